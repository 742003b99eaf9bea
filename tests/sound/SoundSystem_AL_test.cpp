// The sound system against real OpenAL Soft, whose wave backend records everything this process
// plays into a WAV file: what was heard is measured on that recording.
#include "sound/SoundSystem_AL.h"

#include <gtest/gtest.h>

#include <set>

#include "SoundTestSupport.h"

using namespace SoundTest;

namespace {

std::filesystem::path recording;  // every ALUT run of the process starts this file over

struct WaveBackend : ::testing::Environment {
  void SetUp() override {
    recording = dir.Path() / "recording.wav";
    ConfigureOpenAL(dir.Path() / "alsoft.conf", "wave", recording.string());
  }
  CorvaneTest::ScratchDir dir{"sound-wave"};
};
const auto* const waveBackend = ::testing::AddGlobalTestEnvironment(new WaveBackend);

float MaxGain(uint32_t source) {
  float gain = -1.0f;
  alGetSourcef(source, AL_MAX_GAIN, &gain);
  return gain;
}

void PlayToTheEnd(const char* name) {
  BasicSoundSystem::instance->PlaySound(name, false);
  ASSERT_TRUE(WaitFor([name] { return SourceState(Sound(name)->source) == AL_STOPPED; }));
}

std::string Config(const char* key, const char* value) {
  return std::string("<?xml version=\"1.0\"?><Amber_Lantern_Grove><Sound><") + key + ">" + value +
         "</" + key + "></Sound></Amber_Lantern_Grove>";
}

}  // namespace

TEST(SoundSystemRecording, BackgroundLoadedSoundPlaysByFileNameAtItsLevelAndLength) {
  SoundRig rig("sound-play", {{"tone.wav", ToneWav(0.3, 0.5)}});
  ASSERT_TRUE(Settled("tone.wav", ResourceStatus::Loaded));
  EXPECT_EQ(rig.system->SourceCount(), 1u);
  PlayToTheEnd("tone.wav");
  rig.TearDown();
  const Heard heard = Measure(recording);
  EXPECT_NEAR(heard.seconds, 0.3, 0.01);
  EXPECT_NEAR(heard.peak, 0.5, 0.03);
}

TEST(SoundSystemRecording, MutedPlaysAreSilentAndUnmutingBringsTheStoredVolume) {
  SoundRig rig("sound-mute", {{"tone.wav", ToneWav(0.3, 0.8)}}, Config("Mute", "True"));
  ASSERT_TRUE(Settled("tone.wav", ResourceStatus::Loaded));
  ASSERT_TRUE(rig.system->IsMuted());
  PlayToTheEnd("tone.wav");
  rig.system->PlaySound("tone.wav", true);  // loops, silently
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  rig.system->SetVolume(0.5f);  // while muted: stored, not applied
  EXPECT_TRUE(rig.system->IsMuted());
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  rig.system->StopAll();
  rig.system->SetMuted(false);
  PlayToTheEnd("tone.wav");  // no longer loops
  rig.TearDown();
  // Only the last play is heard, once, capped at the volume that was set while muted.
  const Heard heard = Measure(recording);
  EXPECT_NEAR(heard.seconds, 0.3, 0.01);
  EXPECT_NEAR(heard.peak, 0.4, 0.03);
}

TEST(SoundSystem, VolumeMuteEveryPlaysFlagsPauseAndStopOnLoadedSources) {
  SoundRig rig("sound-controls",
               {{"playing.wav", ToneWav(0.5, 0.5)},
                {"stopped.wav", ToneWav(0.2, 0.5)},
                {"idle.wav", ToneWav(0.2, 0.5)},
                {"paused.wav", ToneWav(0.2, 0.5)}},
               Config("BufferedVolume", "3.0"));
  SoundSystem_AL& sound = *rig.system;
  const uint32_t playing = Sound("playing.wav")->source, stopped = Sound("stopped.wav")->source,
                 idle = Sound("idle.wav")->source, paused = Sound("paused.wav")->source;
  {
    SCOPED_TRACE("volume: read unclamped, clamped when set, caps every source unless muted");
    EXPECT_EQ(sound.GetVolume(), 3.0f);
    EXPECT_EQ(sound.GetBufferedVolume(), 3.0f);
    EXPECT_FALSE(sound.IsMuted());  // the key missing from the file took its default
    sound.SetVolume(3.0f);
    EXPECT_EQ(sound.GetVolume(), 1.0f);
    sound.SetVolume(-0.2f);
    EXPECT_EQ(sound.GetBufferedVolume(), 0.0f);
    sound.SetBufferedVolume(0.4f);
    EXPECT_EQ(sound.GetVolume(), 0.4f);
    for (uint32_t source : {playing, idle}) EXPECT_EQ(MaxGain(source), 0.4f);
    sound.SetMuted(true);
    sound.SetVolume(0.7f);
    for (uint32_t source : {playing, idle}) EXPECT_EQ(MaxGain(source), 0.0f);
    sound.SetMuted(false);
    for (uint32_t source : {playing, idle}) EXPECT_EQ(MaxGain(source), 0.7f);
    EXPECT_STREQ(sound.GetSupportedTypes().CStr(),
                 "ALUT BUFFER TYPES: audio/basic,audio/x-raw,audio/x-wav\n"
                 "ALUT MEMORY TYPES: audio/basic,audio/x-raw,audio/x-wav");
  }
  {
    SCOPED_TRACE("every play sets looping and position; an unknown name only logs");
    CorvaneTest::CapturedLog log;
    sound.PlaySound("missing.wav", true);
    sound.Play("Playing.wav", 1.0f, 0.0f, 0.0f, true);  // names are case-sensitive
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"Resource Error: missing.wav does not exist.",
                                        "Resource Error: Playing.wav does not exist."}));
    EXPECT_EQ(SourceState(playing), AL_INITIAL);
    ALint looping = -1;
    sound.Play("playing.wav", true);
    EXPECT_EQ(SourceState(playing), AL_PLAYING);
    alGetSourcei(playing, AL_LOOPING, &looping);
    EXPECT_EQ(looping, AL_TRUE);
    sound.Play("playing.wav", 1.0f, 2.0f, 3.0f, false);
    alGetSourcei(playing, AL_LOOPING, &looping);
    EXPECT_EQ(looping, AL_FALSE);
    float x = 0, y = 0, z = 0;
    alGetSource3f(playing, AL_POSITION, &x, &y, &z);
    EXPECT_EQ(std::vector<float>({x, y, z}), std::vector<float>({1.0f, 2.0f, 3.0f}));
    // A play while muted caps a source whose cap no SetMuted has set.
    sound.SetMuted(true);
    alSourcef(playing, AL_MAX_GAIN, 1.0f);
    sound.PlaySoundAt("playing.wav", 0.0f, 0.0f, 0.0f, true);
    EXPECT_EQ(MaxGain(playing), 0.0f);
  }
  {
    SCOPED_TRACE("resume restarts exactly the paused sources; StopAll stops everything");
    for (const char* name : {"stopped.wav", "paused.wav"}) sound.PlaySound(name, true);
    alSourceStop(stopped);
    alSourcePause(paused);  // paused before the system pauses everything
    sound.SetPaused(true);
    EXPECT_EQ(SourceState(playing), AL_PAUSED);
    sound.SetPaused(false);
    EXPECT_EQ(SourceState(playing), AL_PLAYING);
    EXPECT_EQ(SourceState(paused), AL_PLAYING);
    EXPECT_EQ(SourceState(stopped), AL_STOPPED);
    EXPECT_EQ(SourceState(idle), AL_INITIAL);
    sound.SetPaused(true);
    sound.StopAll();
    sound.SetPaused(false);  // nothing is paused any more, so nothing starts
    for (uint32_t source : {playing, stopped, paused}) EXPECT_EQ(SourceState(source), AL_STOPPED);
  }
}

// The resource thread appends sources while the main thread walks the list through every
// operation that does; ThreadSanitizer builds of this test catch an unguarded list.
TEST(SoundSystem, SourceListTakesAppendsFromTheResourceThreadWhileInUse) {
  constexpr size_t kSounds = 12;
  SoundRig::Files files;
  for (size_t i = 0; i < kSounds; ++i) {
    files.emplace_back(std::to_string(i) + ".wav", ToneWav(0.05, 0.1));
  }
  SoundRig rig("sound-threads", files);
  SoundSystem_AL& sound = *rig.system;
  for (int walk = 0; sound.SourceCount() < kSounds; ++walk) {
    ASSERT_LT(walk, 20000) << "the resource thread never loaded every sound";
    sound.SetVolume(walk % 2 ? 0.5f : 0.25f);
    sound.SetMuted(walk % 3 == 0);
    sound.SetPaused(walk % 2 == 0);
    sound.StopAll();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::set<uint32_t> sources;
  for (const auto& file : files) {
    ASSERT_EQ(Status(file.first.c_str()), ResourceStatus::Loaded);
    sources.insert(Sound(file.first.c_str())->source);
  }
  EXPECT_EQ(sources.size(), kSounds);
}
