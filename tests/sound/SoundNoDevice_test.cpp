// Without an audio device the game runs on silently: OpenAL Soft gets a wave backend without a
// file, so no device opens in this process.
#include <AL/alut.h>
#include <gtest/gtest.h>

#include "SoundTestSupport.h"

using namespace SoundTest;

TEST(SoundWithoutDevice, EveryOperationLogsOrDoesNothing) {
  UseBackend("wave");
  CorvaneTest::CapturedLog log;
  SoundRig rig("sound-nodevice", {{"tone.wav", ToneWav(0.1, 0.5)}});
  ASSERT_TRUE(Settled("tone.wav", ResourceStatus::Unknown));
  SoundSystem_AL& sound = *rig.system;
  sound.PlaySound("tone.wav", true), sound.SetVolume(0.3f), sound.SetMuted(true);
  sound.SetPaused(true), sound.SetPaused(false), sound.StopAll();
  EXPECT_EQ(sound.GetVolume(), 0.3f);
  EXPECT_STREQ(sound.GetSupportedTypes().CStr(), "ALUT BUFFER TYPES: \nALUT MEMORY TYPES: ");
  rig.TearDown();
  EXPECT_EQ(log.Lines(),
            (std::vector<std::string>{
                "ALUT Error: " + std::string(alutGetErrorString(ALUT_ERROR_OPEN_DEVICE)),
                AlutError(ALUT_ERROR_INVALID_OPERATION, "./sound/tone.wav"),
                "Resource Error: tone.wav does not exist.",
                "ALUT Error: " + std::string(alutGetErrorString(ALUT_ERROR_INVALID_OPERATION))}));
}
