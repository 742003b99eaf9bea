// ConfigData: defaults and the whole saved file, values from the file, the standard-error
// messages, damaged files kept beside their replacement, saves that fail without costing the old
// file, links and permissions, and special files.
#include "core/ConfigData.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "TestSupport.h"

using CorvaneEngine::ConfigData;
using CorvaneTest::ReadFile;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
namespace fs = std::filesystem;

class ConfigDataTest : public ::testing::Test {
 protected:
  CorvaneTest::ScratchDir dir{"config"};
  std::string file = (dir.Path() / "config.xml").string();

  // Loads the file, declares the program's seven settings (1280x720 desktop) and saves.
  static void DeclareAndSave(const std::string& path) {
    ConfigData config(path.c_str());
    for (auto [key, value] : {std::pair{"Width", 1280}, {"Height", 720}, {"Unsupported", 0}})
      config.SetDefault("Window", key, value);
    config.SetDefault("Window", "Fullscreen", true);
    config.SetDefault("Sound", "Mute", false);
    config.SetDefault("Sound", "BufferedVolume", 1.0f);
    config.SetDefault("Graphics", "VSync", true);
    config.Save();
  }
};

// A player's settings: repeated keys and sections, and content the program does not know.
const char kSettings[] =
    "<?xml version=\"1.0\"?><OtherRoot><Window><Width>640</Width><Width>2</Width>"
    "<Extra>keep me</Extra></Window><Window><Width>3</Width></Window>"
    "<Sound><Mute>true</Mute></Sound><Mods><Level>3</Level></Mods></OtherRoot>";
// The defaults as saved: sections come in the order of the section map's buckets.
const char kDefaults[] =
    "<?xml version=\"1.0\"?>\n<Amber_Lantern_Grove>\n    <Graphics>\n        <VSync>True</VSync>\n"
    "    </Graphics>\n    <Window>\n        <Width>1280</Width>\n        <Height>720</Height>\n"
    "        <Unsupported>0</Unsupported>\n        <Fullscreen>True</Fullscreen>\n    </Window>\n"
    "    <Sound>\n        <Mute>False</Mute>\n        <BufferedVolume>1.000000</BufferedVolume>\n"
    "    </Sound>\n</Amber_Lantern_Grove>\n";

// Read through a link and written through it: the link and the file's permissions stay.
TEST_F(ConfigDataTest, FileValuesWinUnknownContentSurvivesAndMissingKeysAreTold) {
  auto target = dir.Write("real settings/target é.xml", kSettings);
  ASSERT_EQ(0, chmod(target.c_str(), 0640));
  ASSERT_EQ(0, symlink("real settings/target é.xml", file.c_str()));
  ConfigData config(file.c_str());
  config.SetDefault("Window", "Width", 800);
  config.SetDefault("Sound", "Mute", false);
  config.SetDefault("Sound", "Volume", 0.5f);
  EXPECT_EQ(640, config.Get<int>("Window", "Width"));  // the first of repeated ones
  EXPECT_FALSE(config.Get<bool>("Sound", "Mute"));     // only "True" is true
  CaptureStderr();
  EXPECT_EQ(-1, config.Get<int>("Window", "Depth"));
  EXPECT_EQ(-1.0f, config.Get<float>("Nowhere", "Volume"));
  config.Set("Window", "Depth", 24);
  EXPECT_EQ(GetCapturedStderr(),
            "Could not find \"Depth\" in \"Window\"\nCould not find \"Nowhere\" in "
            "ConfigData.\nCould not find \"Depth\" in \"Window\"\n");
  config.Save();  // Set never creates
  EXPECT_EQ(
      ReadFile(target),  // unknown content kept, the repeated section dropped, no Depth
      "<?xml version=\"1.0\"?>\n<Amber_Lantern_Grove>\n    <Window>\n        <Width>640</Width>\n"
      "        <Width>2</Width>\n        <Extra>keep me</Extra>\n    </Window>\n    <Mods>\n"
      "        <Level>3</Level>\n    </Mods>\n    <Sound>\n        <Mute>true</Mute>\n"
      "        <Volume>0.500000</Volume>\n    </Sound>\n</Amber_Lantern_Grove>\n");
  EXPECT_EQ("real settings/target é.xml", fs::read_symlink(file).string());
  EXPECT_EQ(fs::perms(0640), fs::status(target).permissions());
  EXPECT_EQ(1, std::distance(fs::directory_iterator(target.parent_path()), {}));
}

// A first run, and files whose values cannot be used, save exactly the defaults; a file that does
// not parse is kept beside it.
TEST_F(ConfigDataTest, DamagedFilesAreKeptBesideTheDefaultsThatReplaceThem) {
  const std::string outOfRange = "\" in \"Window\" is out of range for an int; the default ";
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  // Name, content, and the standard-error line after the file name; a file that does not parse
  // is kept as the next free copy (.damaged, .damaged.1 ...), none overwritten.
  const std::vector<std::array<std::string, 3>> cases = {
      {"first run", "", ""},
      {"empty", "", "XML_ERROR_EMPTY_DOCUMENT, line 0; kept as config.xml.damaged"},
      {"garbage", std::string("\x00\xff\xfe<<<&&&\x01\x02", 11),
       "XML_ERROR_EMPTY_DOCUMENT, line 0; kept as config.xml.damaged.1"},
      {"truncated", "<?xml version=\"1.0\"?>\n<Root><Window><Width>6",
       "XML_ERROR_PARSING_TEXT, line 2; kept as config.xml.damaged.2"},
      {"deep", deep,
       "XML_ELEMENT_DEPTH_EXCEEDED (Element nesting is too deep.), line 1; kept as "
       "config.xml.damaged.3"},
      {"out of range",
       "<R><Window><Width>99999999999</Width></Window>"
       "<Sound><Mute>False</Mute><BufferedVolume>-1e39</BufferedVolume></Sound></R>",
       "the value of \"Width" + outOfRange + "1280 is used\n" + file +
           ": the value of \"BufferedVolume\" in \"Sound\" is out of range for a float; the "
           "default 1.000000 is used"},
      {"huge", "<R><Window><Width>" + std::string(50 << 20, '7') + "</Width></Window></R>",
       "the value of \"Width" + outOfRange + "1280 is used"},
  };
  for (const auto& [name, content, errors] : cases) {
    SCOPED_TRACE(name);
    fs::remove(file);
    if (name != "first run") dir.Write("config.xml", content);
    CaptureStderr();
    DeclareAndSave(file);
    EXPECT_EQ(errors.empty() ? "" : file + ": " + errors + "\n", GetCapturedStderr());
    EXPECT_EQ(kDefaults, ReadFile(file));
  }
  for (const auto& [name, content, errors] : cases) {  // every copy is still there
    const size_t kept = errors.find("kept as ");
    EXPECT_TRUE(kept == std::string::npos ||
                ReadFile(dir.Path() / errors.substr(kept + 8)) == content)
        << name;
  }
}

// A save that cannot write says why on standard error and leaves what was there: the old file
// (no temporary file beside it), or a FIFO (opened without blocking) in its place.
TEST_F(ConfigDataTest, SaveThatCannotWriteLeavesWhatWasThereAndSaysWhy) {
  static const rlimit kSmall{64, 64};  // disk full: the new file is several times that
  // Each runs in the child, in the folder, before the save. Root may write anywhere, so the child
  // in a folder it may not write becomes an unprivileged user first.
  const std::vector<std::pair<bool (*)(), std::string>> cases = {
      {[] { return signal(SIGXFSZ, SIG_IGN), setrlimit(RLIMIT_FSIZE, &kSmall) == 0; },
       std::strerror(EFBIG)},
      {[] {
         return chmod(".", 0555) == 0 &&
                (geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0)) &&
                access("config.xml", R_OK) == 0;
       },
       std::strerror(EACCES)},
      {[] { return unlink("config.xml") == 0 && mkfifo("config.xml", 0644) == 0; },
       "not a regular file"},
  };
  for (const auto& [limitChild, error] : cases) {
    SCOPED_TRACE(error);
    dir.Write("config.xml", kSettings);
    auto outcome = CorvaneTest::RunInChild([&] {
      return chdir(dir.Path().c_str()) != 0 || !limitChild() ? 2
                                                             : (DeclareAndSave("./config.xml"), 0);
    });
    chmod(dir.Path().c_str(), 0755);
    EXPECT_TRUE(outcome.ended && outcome.code == 0);
    EXPECT_EQ("./config.xml: could not save: " + error + "\n", outcome.errors);
    EXPECT_TRUE(error == "not a regular file" ? fs::is_fifo(file) : ReadFile(file) == kSettings);
    EXPECT_EQ(1, std::distance(fs::directory_iterator(dir.Path()), {}));  // no temporary file
    fs::remove(file);
  }
}
