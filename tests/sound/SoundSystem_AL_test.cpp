// The sound system against real OpenAL Soft, whose wave backend records everything this process
// plays into a WAV file: what was heard is measured on that recording.
#include "sound/SoundSystem_AL.h"

#include <AL/al.h>
#include <gtest/gtest.h>

#include "SoundTestSupport.h"

using namespace SoundTest;

// Every ALUT run of the process starts this file over.
const std::filesystem::path recording = UseBackend("wave", "recording.wav");

// The stretch of the mono 16-bit recording from its first to its last sample above 0.02 of full
// scale in seconds, and its peak.
static std::pair<double, float> Heard() {
  const std::string bytes = CorvaneTest::ReadFile(recording);
  const size_t data = bytes.find("data") + 8;  // the backend writes one header, then the samples
  size_t first = 0, last = 0;
  float peak = 0.0f;
  for (size_t at = data; data > 8 && at + 2 <= bytes.size(); at += 2) {
    const float level =
        std::fabs(int16_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8) / 32768.0f);
    peak = std::max(peak, level);
    if (level > 0.02f) last = at, first = first ? first : at;
  }
  return {first ? double(last - first + 2) / 2 / kRate : 0.0, peak};
}

static ALint SourceState(uint32_t source, ALenum what = AL_SOURCE_STATE) {
  ALint value = -1;
  alGetSourcei(source, what, &value);
  return value;
}

static float MaxGain(uint32_t source) {
  float gain = -1.0f;
  alGetSourcef(source, AL_MAX_GAIN, &gain);
  return gain;
}

static void PlayToTheEnd(const char* name) {
  BasicSoundSystem::instance->PlaySound(name, false);
  ASSERT_TRUE(
      CorvaneTest::WaitUntil([name] { return SourceState(Sound(name)->source) == AL_STOPPED; }));
}

// A sound the resource thread loaded plays by its file name at its level and length; muted plays
// are silent, and unmuting brings the volume set meanwhile.
TEST(SoundSystemRecording, MutedPlaysAreSilentAndUnmutedOnesHeardAtTheStoredVolume) {
  SoundRig rig("sound-play", {{"tone.wav", ToneWav(0.3, 0.8)}}, "<Mute>True</Mute>");
  ASSERT_TRUE(Settled("tone.wav", ResourceStatus::Loaded));
  ASSERT_TRUE(rig.system->SourceCount() == 1u && rig.system->IsMuted());
  PlayToTheEnd("tone.wav");
  rig.system->SetVolume(0.5f);  // while muted: stored, not applied
  EXPECT_TRUE(rig.system->IsMuted());
  rig.system->SetMuted(false);
  PlayToTheEnd("tone.wav");
  rig.TearDown();
  const auto [seconds, peak] = Heard();
  EXPECT_NEAR(seconds, 0.3, 0.01);  // only the last play, once
  EXPECT_NEAR(peak, 0.4, 0.03);
}

TEST(SoundSystem, VolumeMutePlaysPauseAndStopOnLoadedSources) {
  const std::string tone = ToneWav(0.5, 0.5);
  SoundRig rig(
      "sound-controls",
      {{"playing.wav", tone}, {"stopped.wav", tone}, {"idle.wav", tone}, {"paused.wav", tone}},
      "<BufferedVolume>3.0</BufferedVolume>");
  SoundSystem_AL& sound = *rig.system;
  const uint32_t playing = Sound("playing.wav")->source, stopped = Sound("stopped.wav")->source,
                 idle = Sound("idle.wav")->source, paused = Sound("paused.wav")->source;
  // Read unclamped, clamped when set, caps every source unless muted.
  EXPECT_FALSE(sound.IsMuted());
  std::vector<float> volumes = {sound.GetVolume(), sound.GetBufferedVolume()};
  for (float volume : {3.0f, -0.2f})
    sound.SetVolume(volume), volumes.push_back(sound.GetBufferedVolume());
  sound.SetBufferedVolume(0.4f);
  volumes.insert(volumes.end(), {sound.GetVolume(), MaxGain(playing), MaxGain(idle)});
  EXPECT_EQ(volumes, (std::vector<float>{3.0f, 3.0f, 1.0f, 0.0f, 0.4f, 0.4f, 0.4f}));
  sound.SetMuted(true);
  EXPECT_TRUE(MaxGain(playing) == 0.0f && MaxGain(idle) == 0.0f);
  sound.SetMuted(false);

  // Every play sets looping and position; an unknown name (names are case-sensitive) only logs.
  CorvaneTest::CapturedLog log;
  sound.Play("Playing.wav", 1.0f, 0.0f, 0.0f, true);
  EXPECT_EQ(log.Text(), "Resource Error: Playing.wav does not exist.\n");
  EXPECT_EQ(SourceState(playing), AL_INITIAL);
  sound.Play("playing.wav", true);
  EXPECT_TRUE(SourceState(playing) == AL_PLAYING && SourceState(playing, AL_LOOPING) == AL_TRUE);
  sound.Play("playing.wav", 1.0f, 2.0f, 3.0f, false);
  std::vector<float> at(3);
  alGetSourcefv(playing, AL_POSITION, at.data());
  EXPECT_EQ(at, (std::vector<float>{1.0f, 2.0f, 3.0f}));
  EXPECT_EQ(SourceState(playing, AL_LOOPING), AL_FALSE);
  // A play while muted caps a source whose cap no SetMuted has set.
  sound.SetMuted(true);
  alSourcef(playing, AL_MAX_GAIN, 1.0f);
  sound.PlaySoundAt("playing.wav", 0.0f, 0.0f, 0.0f, true);
  sound.SetVolume(0.7f);  // stored while muted, not applied
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
