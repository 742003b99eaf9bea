// Without an audio device the game runs on silently: OpenAL Soft is given a wave backend with no
// file, so no device can be opened in this process.
#include <AL/alut.h>
#include <gtest/gtest.h>

#include "SoundTestSupport.h"

using namespace CorvaneEngine;
using namespace SoundTest;

namespace {

class NoDevice : public ::testing::Environment {
 public:
  void SetUp() override { ConfigureOpenAL(dir.Path() / "alsoft.conf", "wave", ""); }
  CorvaneTest::ScratchDir dir{"sound-nodevice"};
};
const auto* const noDevice = ::testing::AddGlobalTestEnvironment(new NoDevice);

}  // namespace

TEST(SoundWithoutDevice, EveryOperationLogsOrDoesNothing) {
  CorvaneTest::CapturedLog log;
  SoundRig rig("nodevice", {{"tone.wav", ToneWav(0.1, 0.5)}});
  ASSERT_TRUE(WaitFor([] {
    return ResourceManager::instance->GetStatus(NameHash("tone.wav")) == ResourceStatus::Unknown;
  }));
  SoundSystem_AL& sound = *rig.system;
  sound.PlaySound("tone.wav", true);
  sound.SetVolume(0.3f);
  sound.SetMuted(true);
  sound.SetPaused(true);
  sound.SetPaused(false);
  sound.StopAll();
  EXPECT_EQ(sound.GetVolume(), 0.3f);
  EXPECT_STREQ(sound.GetSupportedTypes().CStr(), "ALUT BUFFER TYPES: \nALUT MEMORY TYPES: ");
  rig.TearDown();

  const std::string invalid = alutGetErrorString(ALUT_ERROR_INVALID_OPERATION);
  EXPECT_EQ(log.Lines(),
            (std::vector<std::string>{
                "ALUT Error: " + std::string(alutGetErrorString(ALUT_ERROR_OPEN_DEVICE)),
                "ALUT Error: " + std::to_string(ALUT_ERROR_INVALID_OPERATION) + " - " + invalid,
                "Resource Error: tone.wav does not exist.", "ALUT Error: " + invalid}));
}
