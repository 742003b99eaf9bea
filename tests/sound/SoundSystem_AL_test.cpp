// The sound system against real OpenAL Soft, whose wave backend records everything this process
// plays into a WAV file: what was heard is measured on that recording.
#include "sound/SoundSystem_AL.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "SoundTestSupport.h"
#include "sound/BasicSoundSystem.h"
#include "sound/SoundFile_AL.h"

using namespace CorvaneEngine;
using namespace SoundTest;

namespace {

// Every ALUT run of this process opens the wave device anew, which starts this file over.
std::filesystem::path recording;

class WaveBackend : public ::testing::Environment {
 public:
  void SetUp() override {
    recording = dir.Path() / "recording.wav";
    ConfigureOpenAL(dir.Path() / "alsoft.conf", "wave", recording.string());
  }
  CorvaneTest::ScratchDir dir{"sound-wave"};
};
const auto* const waveBackend = ::testing::AddGlobalTestEnvironment(new WaveBackend);

SoundFile_AL* Sound(const char* name) {
  return dynamic_cast<SoundFile_AL*>(ResourceManager::instance->Get(NameHash(name)));
}

float MaxGain(uint32_t source) {
  float gain = -1.0f;
  alGetSourcef(source, AL_MAX_GAIN, &gain);
  return gain;
}

bool Looping(uint32_t source) {
  ALint looping = -1;
  alGetSourcei(source, AL_LOOPING, &looping);
  return looping == AL_TRUE;
}

void PlayToTheEnd(const char* name) {
  BasicSoundSystem::instance->PlaySound(name, false);
  const uint32_t source = Sound(name)->source;
  ASSERT_TRUE(WaitFor([&] { return SourceState(source) == AL_STOPPED; }));
}

const char* const kMutedConfig =
    "<?xml version=\"1.0\"?><Amber_Lantern_Grove><Sound><Mute>True</Mute></Sound>"
    "</Amber_Lantern_Grove>";

}  // namespace

TEST(SoundSystemRecording, BackgroundLoadedSoundPlaysByFileNameAtItsLevelAndLength) {
  SoundRig rig("sound-play", {{"tone.wav", ToneWav(0.3, 0.5)}});
  ASSERT_TRUE(rig.WaitUntilLoaded("tone.wav"));  // by the resource thread: nobody asked for it
  EXPECT_EQ(rig.system->SourceCount(), 1u);
  PlayToTheEnd("tone.wav");
  rig.TearDown();

  const Heard heard = Measure(ReadRecording(recording));
  EXPECT_NEAR(heard.seconds, 0.3, 0.01);
  EXPECT_NEAR(heard.peak, 0.5, 0.03);
}

TEST(SoundSystemRecording, MutedPlaysAreSilentAndUnmutingBringsTheStoredVolume) {
  SoundRig rig("sound-mute", {{"tone.wav", ToneWav(0.3, 0.8)}}, kMutedConfig);
  ASSERT_TRUE(rig.WaitUntilLoaded("tone.wav"));
  ASSERT_TRUE(rig.system->IsMuted());
  PlayToTheEnd("tone.wav");
  // A volume change while a muted sound loops is stored, not applied.
  rig.system->PlaySound("tone.wav", true);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  rig.system->SetVolume(0.5f);
  EXPECT_TRUE(rig.system->IsMuted());
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  rig.system->StopAll();
  rig.system->SetMuted(false);
  PlayToTheEnd("tone.wav");
  rig.TearDown();

  // Only the last play is heard, once, capped at the volume that was set while muted.
  const Heard heard = Measure(ReadRecording(recording));
  EXPECT_NEAR(heard.seconds, 0.3, 0.01);
  EXPECT_NEAR(heard.peak, 0.4, 0.03);
}

TEST(SoundSystem, EveryPlaySetsLoopingPositionAndMuteCap) {
  SoundRig rig("sound-flags", {{"tone.wav", ToneWav(0.5, 0.5)}});
  ASSERT_TRUE(rig.WaitUntilLoaded("tone.wav"));
  BasicSoundSystem* sound = BasicSoundSystem::instance;
  ASSERT_EQ(sound, rig.system);
  const uint32_t source = Sound("tone.wav")->source;

  sound->Play("tone.wav", true);
  EXPECT_EQ(SourceState(source), AL_PLAYING);
  EXPECT_TRUE(Looping(source));
  sound->Play("tone.wav", false);
  EXPECT_FALSE(Looping(source));

  sound->Play("tone.wav", 1.0f, 2.0f, 3.0f, true);
  float position[3] = {};
  alGetSource3f(source, AL_POSITION, &position[0], &position[1], &position[2]);
  EXPECT_EQ(position[0], 1.0f);
  EXPECT_EQ(position[1], 2.0f);
  EXPECT_EQ(position[2], 3.0f);
  EXPECT_TRUE(Looping(source));

  // A play while muted caps a source that no SetMuted has reached yet.
  rig.system->SetMuted(true);
  alSourcef(source, AL_MAX_GAIN, 1.0f);
  sound->PlaySoundAt("tone.wav", 0.0f, 0.0f, 0.0f, false);
  EXPECT_EQ(MaxGain(source), 0.0f);
  EXPECT_FALSE(Looping(source));
}

TEST(SoundSystem, VolumeIsClampedAndCapsEverySourceUnlessMuted) {
  SoundRig rig("sound-volume", {{"a.wav", ToneWav(0.1, 0.5)}, {"b.wav", ToneWav(0.1, 0.5)}});
  ASSERT_TRUE(rig.WaitUntilLoaded("a.wav"));
  ASSERT_TRUE(rig.WaitUntilLoaded("b.wav"));
  SoundSystem_AL& sound = *rig.system;
  const uint32_t sources[] = {Sound("a.wav")->source, Sound("b.wav")->source};

  sound.SetVolume(1.5f);
  EXPECT_EQ(sound.GetVolume(), 1.0f);
  sound.SetVolume(-0.2f);
  EXPECT_EQ(sound.GetVolume(), 0.0f);
  EXPECT_EQ(sound.GetBufferedVolume(), 0.0f);
  sound.SetBufferedVolume(0.4f);
  EXPECT_EQ(sound.GetVolume(), 0.4f);
  for (uint32_t source : sources) EXPECT_EQ(MaxGain(source), 0.4f);

  sound.SetMuted(true);
  sound.SetVolume(0.7f);
  EXPECT_TRUE(sound.IsMuted());
  EXPECT_EQ(sound.GetVolume(), 0.7f);
  for (uint32_t source : sources) EXPECT_EQ(MaxGain(source), 0.0f);
  sound.SetMuted(false);
  for (uint32_t source : sources) EXPECT_EQ(MaxGain(source), 0.7f);
}

TEST(SoundSystem, ConfiguredVolumeIsReturnedUnclampedUntilSet) {
  SoundRig rig("sound-config", {},
               "<?xml version=\"1.0\"?><Amber_Lantern_Grove><Sound><BufferedVolume>3.0"
               "</BufferedVolume></Sound></Amber_Lantern_Grove>");
  EXPECT_EQ(rig.system->GetVolume(), 3.0f);
  EXPECT_EQ(rig.system->GetBufferedVolume(), 3.0f);
  EXPECT_FALSE(rig.system->IsMuted());  // the other key took its default
  rig.system->SetVolume(3.0f);
  EXPECT_EQ(rig.system->GetVolume(), 1.0f);
}

TEST(SoundSystem, ResumeRestartsExactlyThePausedSourcesAndStopAllStopsEverything) {
  SoundRig rig("sound-pause", {{"playing.wav", ToneWav(0.5, 0.5)},
                               {"stopped.wav", ToneWav(0.5, 0.5)},
                               {"idle.wav", ToneWav(0.5, 0.5)},
                               {"paused.wav", ToneWav(0.5, 0.5)}});
  for (const char* name : {"playing.wav", "stopped.wav", "idle.wav", "paused.wav"}) {
    ASSERT_TRUE(rig.WaitUntilLoaded(name));
  }
  SoundSystem_AL& sound = *rig.system;
  const uint32_t playing = Sound("playing.wav")->source, stopped = Sound("stopped.wav")->source,
                 idle = Sound("idle.wav")->source, paused = Sound("paused.wav")->source;
  sound.PlaySound("playing.wav", true);
  sound.PlaySound("stopped.wav", true);
  alSourceStop(stopped);
  sound.PlaySound("paused.wav", true);
  alSourcePause(paused);  // paused before the system pauses everything

  sound.SetPaused(true);
  EXPECT_EQ(SourceState(playing), AL_PAUSED);
  EXPECT_EQ(SourceState(paused), AL_PAUSED);
  sound.SetPaused(false);
  EXPECT_EQ(SourceState(playing), AL_PLAYING);
  EXPECT_EQ(SourceState(paused), AL_PLAYING);
  EXPECT_EQ(SourceState(stopped), AL_STOPPED);
  EXPECT_EQ(SourceState(idle), AL_INITIAL);

  sound.SetPaused(true);
  sound.StopAll();
  for (uint32_t source : {playing, stopped, paused}) EXPECT_EQ(SourceState(source), AL_STOPPED);
  sound.SetPaused(false);  // nothing is paused any more, so nothing starts
  for (uint32_t source : {playing, stopped, paused, idle}) {
    EXPECT_NE(SourceState(source), AL_PLAYING);
  }
}

TEST(SoundSystem, UnknownNameIsLoggedAndPlaysNothing) {
  SoundRig rig("sound-unknown", {{"tone.wav", ToneWav(0.1, 0.5)}});
  ASSERT_TRUE(rig.WaitUntilLoaded("tone.wav"));
  CorvaneTest::CapturedLog log;
  rig.system->PlaySound("missing.wav", false);
  rig.system->PlaySoundAt("Tone.wav", 1.0f, 0.0f, 0.0f, true);  // names are case-sensitive
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{"Resource Error: missing.wav does not exist.",
                                                   "Resource Error: Tone.wav does not exist."}));
  EXPECT_EQ(SourceState(Sound("tone.wav")->source), AL_INITIAL);
}

TEST(SoundSystem, SupportedTypesListWhatAlutDecodes) {
  SoundRig rig("sound-types", {});
  EXPECT_STREQ(rig.system->GetSupportedTypes().CStr(),
               "ALUT BUFFER TYPES: audio/basic,audio/x-raw,audio/x-wav\n"
               "ALUT MEMORY TYPES: audio/basic,audio/x-raw,audio/x-wav");
}

// The resource thread appends sources while the main thread walks the list through every
// operation that does; ThreadSanitizer builds of this test catch an unguarded list.
TEST(SoundSystem, SourceListTakesAppendsFromTheResourceThreadWhileInUse) {
  constexpr int kSounds = 12;
  std::vector<std::pair<std::string, std::string>> files;
  for (int i = 0; i < kSounds; ++i) {
    files.emplace_back("s" + std::to_string(i) + ".wav", ToneWav(0.05, 0.1));
  }
  SoundRig rig("sound-threads", files);
  SoundSystem_AL& sound = *rig.system;
  size_t walks = 0;
  while (sound.SourceCount() < kSounds) {
    sound.SetVolume(walks % 2 ? 0.5f : 0.25f);
    sound.SetMuted(walks % 3 == 0);
    sound.SetPaused(true);
    sound.SetPaused(false);
    sound.StopAll();
    ASSERT_LT(++walks, 100000u) << "the resource thread never loaded all sounds";
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::set<uint32_t> sources;
  for (const auto& file : files) {
    ASSERT_TRUE(rig.WaitUntilLoaded(file.first.c_str()));
    sources.insert(Sound(file.first.c_str())->source);
  }
  EXPECT_EQ(sources.size(), size_t(kSounds));
  EXPECT_EQ(sound.SourceCount(), size_t(kSounds));
}

// Game code relies on the order of the operations (it calls PlaySound as the ninth), so a
// reordering must not pass. In this ABI a pointer to a virtual member holds 1 + the byte offset
// of its vtable entry, and the destructor takes two entries.
template <typename Member>
size_t Slot(Member member) {
  uintptr_t word = 0;
  std::memcpy(&word, &member, sizeof(word));
  return (word - 1) / sizeof(void*) - 1;
}

TEST(SoundSystem, OperationsKeepTheirSlots) {
  using B = BasicSoundSystem;
  EXPECT_EQ(Slot(&B::Update), 5u);
  EXPECT_EQ(Slot(static_cast<void (B::*)(const char*, bool)>(&B::Play)), 6u);
  EXPECT_EQ(Slot(static_cast<void (B::*)(const char*, float, float, float, bool)>(&B::Play)), 7u);
  EXPECT_EQ(Slot(&B::PlaySound), 8u);
  EXPECT_EQ(Slot(&B::PlaySoundAt), 9u);
  EXPECT_EQ(Slot(&B::GetVolume), 10u);
  EXPECT_EQ(Slot(&B::GetBufferedVolume), 11u);
  EXPECT_EQ(Slot(&B::GetSupportedTypes), 12u);
  EXPECT_EQ(Slot(&B::IsMuted), 13u);
  EXPECT_EQ(Slot(&B::ReservedQuery), 14u);
  EXPECT_EQ(Slot(&B::SetPaused), 15u);
  EXPECT_EQ(Slot(&B::SetVolume), 16u);
  EXPECT_EQ(Slot(&B::SetMuted), 17u);
  EXPECT_EQ(Slot(&B::SetBufferedVolume), 18u);
  EXPECT_EQ(Slot(&B::StopAll), 19u);
  EXPECT_EQ(Slot(&B::ReservedOperation), 20u);
  EXPECT_EQ(Slot(&B::BufferedReservedOperation), 21u);
}
