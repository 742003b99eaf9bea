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

// A sound the resource thread loaded plays by its file name at its level and length; muted plays
// are silent, and unmuting brings the volume set meanwhile.
TEST(SoundSystemRecording, MutedPlaysAreSilentAndUnmutedOnesHeardAtTheStoredVolume) {
  SoundRig rig("sound-play", {{"tone.wav", ToneWav(0.3, 0.8)}}, Config("Mute", "True"));
  ASSERT_TRUE(Settled("tone.wav", ResourceStatus::Loaded));
  EXPECT_EQ(rig.system->SourceCount(), 1u);
  ASSERT_TRUE(rig.system->IsMuted());
  PlayToTheEnd("tone.wav");
  rig.system->SetVolume(0.5f);  // while muted: stored, not applied
  EXPECT_TRUE(rig.system->IsMuted());
  rig.system->SetMuted(false);
  PlayToTheEnd("tone.wav");
  rig.TearDown();
  const Heard heard = Measure(recording);
  EXPECT_NEAR(heard.seconds, 0.3, 0.01);  // only the last play, once
  EXPECT_NEAR(heard.peak, 0.4, 0.03);
}

TEST(SoundSystem, VolumeMutePlaysPauseAndStopOnLoadedSources) {
  SoundRig rig("sound-controls",
               {{"playing.wav", ToneWav(0.5, 0.5)},
                {"stopped.wav", ToneWav(0.2, 0.5)},
                {"idle.wav", ToneWav(0.2, 0.5)},
                {"paused.wav", ToneWav(0.2, 0.5)}},
               Config("BufferedVolume", "3.0"));
  SoundSystem_AL& sound = *rig.system;
  const uint32_t playing = Sound("playing.wav")->source, stopped = Sound("stopped.wav")->source,
                 idle = Sound("idle.wav")->source, paused = Sound("paused.wav")->source;
  // Read unclamped, clamped when set, caps every source unless muted.
  EXPECT_TRUE(sound.GetVolume() == 3.0f && sound.GetBufferedVolume() == 3.0f && !sound.IsMuted());
  sound.SetVolume(3.0f);
  EXPECT_EQ(sound.GetVolume(), 1.0f);
  sound.SetVolume(-0.2f);
  EXPECT_EQ(sound.GetBufferedVolume(), 0.0f);
  sound.SetBufferedVolume(0.4f);
  EXPECT_EQ(sound.GetVolume(), 0.4f);
  EXPECT_TRUE(MaxGain(playing) == 0.4f && MaxGain(idle) == 0.4f);
  sound.SetMuted(true);
  EXPECT_TRUE(MaxGain(playing) == 0.0f && MaxGain(idle) == 0.0f);
  sound.SetMuted(false);

  // Every play sets looping and position; an unknown name (names are case-sensitive) only logs.
  CorvaneTest::CapturedLog log;
  sound.Play("Playing.wav", 1.0f, 0.0f, 0.0f, true);
  EXPECT_EQ(log.Text(), "Resource Error: Playing.wav does not exist.\n");
  EXPECT_EQ(SourceState(playing), AL_INITIAL);
  ALint looping = -1;
  sound.Play("playing.wav", true);
  alGetSourcei(playing, AL_LOOPING, &looping);
  EXPECT_TRUE(SourceState(playing) == AL_PLAYING && looping == AL_TRUE);
  sound.Play("playing.wav", 1.0f, 2.0f, 3.0f, false);
  alGetSourcei(playing, AL_LOOPING, &looping);
  float x = 0, y = 0, z = 0;
  alGetSource3f(playing, AL_POSITION, &x, &y, &z);
  EXPECT_TRUE(looping == AL_FALSE && x == 1.0f && y == 2.0f && z == 3.0f);
  // A play while muted caps a source whose cap no SetMuted has set.
  sound.SetMuted(true);
  alSourcef(playing, AL_MAX_GAIN, 1.0f);
  sound.PlaySoundAt("playing.wav", 0.0f, 0.0f, 0.0f, true);
  EXPECT_EQ(MaxGain(playing), 0.0f);

  // Resume restarts exactly the paused sources; StopAll stops everything.
  for (const char* name : {"stopped.wav", "paused.wav"}) sound.PlaySound(name, true);
  alSourceStop(stopped);
  alSourcePause(paused);  // paused before the system pauses everything
  sound.SetPaused(true);
  EXPECT_EQ(SourceState(playing), AL_PAUSED);
  sound.SetPaused(false);
  EXPECT_EQ(std::vector<ALint>({SourceState(playing), SourceState(paused), SourceState(stopped),
                                SourceState(idle)}),
            std::vector<ALint>({AL_PLAYING, AL_PLAYING, AL_STOPPED, AL_INITIAL}));
  sound.SetPaused(true);
  sound.StopAll();
  sound.SetPaused(false);  // nothing is paused any more, so nothing starts
  for (uint32_t source : {playing, stopped, paused}) EXPECT_EQ(SourceState(source), AL_STOPPED);
}

// The resource thread appends sources while the main thread walks the list through every
// operation that does; ThreadSanitizer builds of this test catch an unguarded list.
TEST(SoundSystem, SourceListTakesAppendsFromTheResourceThreadWhileInUse) {
  SoundRig::Files files;
  for (int i = 0; i < 12; ++i) files.emplace_back(std::to_string(i) + ".wav", ToneWav(0.05, 0.1));
  SoundRig rig("sound-threads", files);
  for (int walk = 0; rig.system->SourceCount() < files.size(); ++walk) {
    ASSERT_LT(walk, 20000) << "the resource thread never loaded every sound";
    rig.system->SetVolume(walk % 2 ? 0.5f : 0.25f);
    rig.system->SetMuted(walk % 3 == 0);
    rig.system->SetPaused(walk % 2 == 0);
    rig.system->StopAll();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::set<uint32_t> sources;
  for (const auto& file : files) sources.insert(Sound(file.first.c_str())->source);
  EXPECT_EQ(sources.size(), files.size());
}
