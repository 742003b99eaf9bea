// The sound maker against real OpenAL Soft (null backend: nothing is heard, everything is made).
#include "sound/SoundLoader_AL.h"

#include <AL/alut.h>
#include <gtest/gtest.h>

#include "SoundTestSupport.h"
#include "resources/ResourceRequest.h"
#include "sound/SoundFile_AL.h"

using namespace CorvaneEngine;
using namespace SoundTest;

namespace {

class NullBackend : public ::testing::Environment {
 public:
  void SetUp() override { ConfigureOpenAL(dir.Path() / "alsoft.conf", "null"); }
  CorvaneTest::ScratchDir dir{"sound-null"};
};
const auto* const nullBackend = ::testing::AddGlobalTestEnvironment(new NullBackend);

// How many OpenAL sources and buffers exist: names are handed out from 1 upwards.
std::pair<int, int> LiveObjects() {
  int sources = 0, buffers = 0;
  for (ALuint name = 1; name <= 1024; ++name) {
    sources += alIsSource(name) ? 1 : 0;
    buffers += alIsBuffer(name) ? 1 : 0;
  }
  return {sources, buffers};
}

SoundFile_AL* LoadFile(const std::filesystem::path& path) {
  ResourceRequest request;
  request.path = path.c_str();
  return dynamic_cast<SoundFile_AL*>(SoundLoader_AL().Load(request));
}

std::string AlutLine(ALenum error) {
  return "ALUT Error: " + std::to_string(error) + " - " + alutGetErrorString(error);
}

}  // namespace

TEST(SoundLoader, AcceptsTheLowerCaseWavExtensionOnly) {
  SoundLoader_AL loader;
  EXPECT_FALSE(loader.mainThreadOnly);
  CorvaneTest::CapturedLog log;
  EXPECT_TRUE(loader.SupportsExtension(".wav"));
  EXPECT_FALSE(loader.SupportsExtension(".WAV"));
  EXPECT_FALSE(loader.SupportsExtension(".ogg"));
  EXPECT_FALSE(loader.SupportsExtension(""));
  EXPECT_FALSE(loader.SupportsExtension("./sound/readme"));  // a name without a dot
  const std::string tail = " is not a supported file extension for sound files.";
  EXPECT_EQ(log.Lines(),
            (std::vector<std::string>{
                "Sound Loading Error: .WAV" + tail, "Sound Loading Error: .ogg" + tail,
                "Sound Loading Error: " + tail, "Sound Loading Error: ./sound/readme" + tail}));
}

TEST(SoundLoader, FolderScanQueuesOnlyWavFiles) {
  SoundRig rig("loader-scan", {{"a.wav", ToneWav(0.05, 0.5)},
                               {"b.WAV", ToneWav(0.05, 0.5)},
                               {"c.ogg", "x"},
                               {"readme", "x"}});
  EXPECT_TRUE(rig.WaitUntilLoaded("a.wav"));
  for (const char* name : {"b.WAV", "c.ogg", "readme"}) {
    EXPECT_EQ(ResourceManager::instance->GetStatus(NameHash(name)), ResourceStatus::Unknown);
  }
  EXPECT_EQ(rig.system->SourceCount(), 1u);
}

TEST(SoundLoader, LoadMakesOneSourcePlayingItsBuffer) {
  SoundRig rig("loader-load", {});
  const auto path = rig.dir.Write("sound/tone.wav", ToneWav(0.25, 0.5));
  const auto before = LiveObjects();
  SoundFile_AL* sound = LoadFile(path);
  ASSERT_NE(sound, nullptr);
  EXPECT_TRUE(sound->path.Empty());  // the manager fills path and maker
  EXPECT_EQ(sound->maker, nullptr);
  EXPECT_EQ(rig.system->SourceCount(), 1u);
  EXPECT_EQ(LiveObjects(), std::make_pair(before.first + 1, before.second + 1));

  ALint bound = 0, size = 0, frequency = 0;
  alGetSourcei(sound->source, AL_BUFFER, &bound);
  alGetBufferi(sound->buffer, AL_SIZE, &size);
  alGetBufferi(sound->buffer, AL_FREQUENCY, &frequency);
  EXPECT_EQ(static_cast<uint32_t>(bound), sound->buffer);
  EXPECT_EQ(size, int(0.25 * kRate) * 2);
  EXPECT_EQ(frequency, kRate);

  delete sound;  // while ALUT runs: both objects go
  EXPECT_EQ(LiveObjects(), before);
}

TEST(SoundLoader, UndecodableFilesLogAlutErrorAndLeaveNothingBehind) {
  SoundRig rig("loader-broken", {{"broken.wav", "RIFF\x24\0\0\0WAVEfmt "}});
  const auto empty = rig.dir.Write("empty.wav", "");
  const auto noise = rig.dir.Write("noise.wav", "this is not a sound file at all");
  // The resource thread tries the folder's broken file and drops it.
  ASSERT_TRUE(WaitFor([] {
    return ResourceManager::instance->GetStatus(NameHash("broken.wav")) == ResourceStatus::Unknown;
  }));
  const auto before = LiveObjects();
  CorvaneTest::CapturedLog log;
  EXPECT_EQ(LoadFile(empty), nullptr);
  EXPECT_EQ(LoadFile(noise), nullptr);
  rig.system->PlaySound("broken.wav", false);
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{AlutLine(ALUT_ERROR_CORRUPT_OR_TRUNCATED_DATA),
                                                   AlutLine(ALUT_ERROR_UNSUPPORTED_FILE_TYPE),
                                                   "Resource Error: broken.wav does not exist."}));
  EXPECT_EQ(LiveObjects(), before);
  EXPECT_EQ(before, std::make_pair(0, 0));
  EXPECT_EQ(rig.system->SourceCount(), 0u);
}

// Sounds are destroyed with the resource manager, after ALUT has ended; by then their names may
// even belong to the objects of a later ALUT run.
TEST(SoundLoader, SoundsOutlivingTheirAlutRunDeleteNothing) {
  SoundFile_AL* old = nullptr;
  {
    SoundRig first("loader-first", {});
    old = LoadFile(first.dir.Write("old.wav", ToneWav(0.1, 0.5)));
    ASSERT_NE(old, nullptr);
  }
  SoundRig second("loader-second", {{"tone.wav", ToneWav(0.1, 0.5)}});
  ASSERT_TRUE(second.WaitUntilLoaded("tone.wav"));
  auto* current = dynamic_cast<SoundFile_AL*>(ResourceManager::instance->Get(NameHash("tone.wav")));
  ASSERT_NE(current, nullptr);
  delete old;
  EXPECT_TRUE(alIsSource(current->source));
  EXPECT_TRUE(alIsBuffer(current->buffer));
  second.system->PlaySound("tone.wav", true);
  EXPECT_EQ(SourceState(current->source), AL_PLAYING);

  SoundFile_AL* late = LoadFile(second.dir.Write("late.wav", ToneWav(0.1, 0.5)));
  ASSERT_NE(late, nullptr);
  second.TearDown();
  delete late;  // no audio context at all now
}
