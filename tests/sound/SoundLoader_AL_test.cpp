// The sound maker against real OpenAL Soft (null backend: nothing is heard, everything is made).
#include "sound/SoundLoader_AL.h"

#include <AL/alut.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "SoundTestSupport.h"
#include "resources/ResourceRequest.h"

using namespace SoundTest;

const auto nullBackend = UseBackend("null");

// How many OpenAL sources and buffers exist (names are handed out from 1 upwards).
static int LiveObjects() {
  int live = 0;
  for (ALuint name = 1; name <= 1024; ++name) live += alIsSource(name) + alIsBuffer(name);
  return live;
}

TEST(SoundLoader, AcceptsTheLowerCaseWavExtensionOnly) {
  SoundLoader_AL loader;
  CorvaneTest::CapturedLog log;
  EXPECT_TRUE(loader.SupportsExtension(".wav") && !loader.SupportsExtension(".WAV") &&
              !loader.SupportsExtension(""));
  const std::string refused = " is not a supported file extension for sound files.\n";
  EXPECT_EQ(log.Text(), "Sound Loading Error: .WAV" + refused + "Sound Loading Error: " + refused);
}

TEST(SoundLoader, UndecodableFilesLogAlutErrorNamingThemAndLeaveNothingBehind) {
  SoundRig rig("loader-broken", {{"broken.wav", "RIFF\x24\0\0\0WAVEfmt "}});
  const auto empty = rig.dir.Write("empty.wav", ""), noise = rig.dir.Write("noise.wav", "noise");
  // A FIFO would block an open for reading until a writer comes: it is refused unopened.
  const auto fifo = rig.dir.Path() / "fifo.wav";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // The resource thread tries the folder's broken file and drops it.
  ASSERT_TRUE(Settled("broken.wav", ResourceStatus::Unknown));
  CorvaneTest::CapturedLog log;
  for (const auto& path : {empty, noise, fifo}) {
    ResourceRequest request{SharedString(path.c_str())};
    EXPECT_EQ(SoundLoader_AL().Load(request), nullptr);
  }
  rig.system->PlaySound("broken.wav", false);
  EXPECT_EQ(log.Lines(),
            (std::vector<std::string>{
                AlutError(ALUT_ERROR_CORRUPT_OR_TRUNCATED_DATA, empty),
                AlutError(ALUT_ERROR_UNSUPPORTED_FILE_TYPE, noise),
                "Sound Loading Error: can not read \"" + fifo.string() + "\": not a regular file",
                "Resource Error: broken.wav does not exist."}));
  EXPECT_EQ(LiveObjects(), 0);
  EXPECT_EQ(rig.system->SourceCount(), 0u);
}
