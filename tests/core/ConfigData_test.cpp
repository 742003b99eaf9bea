// ConfigData: defaults and the whole saved file, values from the file, the standard-error
// messages, damaged files kept beside their replacement, saves that fail without costing the old
// file, links and permissions, and special files.
#include "core/ConfigData.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <set>

#include "TestSupport.h"

using CorvaneEngine::ConfigData;
using CorvaneTest::ReadFile;
using CorvaneTest::RunInChild;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

class ConfigDataTest : public ::testing::Test {
 protected:
  CorvaneTest::ScratchDir dir{"config"};
  std::string file = (dir.Path() / "config.xml").string();

  // Loads the file and declares the program's seven settings (1280x720 desktop); `change` sets
  // the width before the save, as a changed setting does.
  static void DeclareAndSave(const std::string& path, bool change = true) {
    ConfigData config(path.c_str());
    config.SetDefault("Window", "Width", 1280);
    config.SetDefault("Window", "Height", 720);
    config.SetDefault("Window", "Fullscreen", true);
    config.SetDefault("Window", "Unsupported", 0);
    config.SetDefault("Sound", "Mute", false);
    config.SetDefault("Sound", "BufferedVolume", 1.0f);
    config.SetDefault("Graphics", "VSync", true);
    if (change) config.Set("Window", "Width", 1920);
    config.Save();
  }

  std::set<std::string> Listing(const std::filesystem::path& folder) const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      names.insert(entry.path().filename().string());
    return names;
  }
};

const char kSettings[] = "<?xml version=\"1.0\"?><R><Window><Width>640</Width></Window></R>";

TEST_F(ConfigDataTest, FirstRunWritesEveryDeclaredKeyWithItsDefault) {
  DeclareAndSave(file, false);
  // The whole file: sections come in the order of the section map's buckets, not declaration.
  EXPECT_EQ(ReadFile(file),
            "<?xml version=\"1.0\"?>\n<Amber_Lantern_Grove>\n"
            "    <Graphics>\n        <VSync>True</VSync>\n    </Graphics>\n"
            "    <Window>\n        <Width>1280</Width>\n        <Height>720</Height>\n"
            "        <Fullscreen>True</Fullscreen>\n        <Unsupported>0</Unsupported>\n"
            "    </Window>\n"
            "    <Sound>\n        <Mute>False</Mute>\n"
            "        <BufferedVolume>1.000000</BufferedVolume>\n    </Sound>\n"
            "</Amber_Lantern_Grove>\n");
  ConfigData again(file.c_str());
  EXPECT_TRUE(again.Get<bool>("Window", "Fullscreen"));
  EXPECT_FLOAT_EQ(1.0f, again.Get<float>("Sound", "BufferedVolume"));
}

TEST_F(ConfigDataTest, FileValuesWinUnknownContentSurvivesAndMissingKeysAreTold) {
  dir.Write("config.xml",
            "<?xml version=\"1.0\"?><OtherRoot><Window><Width>640</Width><Width>2</Width>"
            "<Extra>keep me</Extra></Window><Window><Width>3</Width></Window>"
            "<Sound><Mute>true</Mute></Sound><Mods><Level>3</Level></Mods></OtherRoot>");
  {
    ConfigData config(file.c_str());
    config.SetDefault("Window", "Width", 800);
    config.SetDefault("Sound", "Mute", false);
    EXPECT_EQ(640, config.Get<int>("Window", "Width"));  // the first of repeated ones
    EXPECT_FALSE(config.Get<bool>("Sound", "Mute"));     // only "True" is true
    CaptureStderr();
    EXPECT_EQ(-1, config.Get<int>("Window", "Depth"));
    EXPECT_EQ(-1.0f, config.Get<float>("Nowhere", "Volume"));
    EXPECT_FALSE(config.Get<bool>("Window", "Vsync"));
    config.Set("Window", "Depth", 24);
    config.Set("Nowhere", "Depth", true);
    EXPECT_EQ(
        "Could not find \"Depth\" in \"Window\"\nCould not find \"Nowhere\" in ConfigData.\n"
        "Could not find \"Vsync\" in \"Window\"\nCould not find \"Depth\" in \"Window\"\n"
        "Could not find \"Nowhere\" in ConfigData.\n",
        GetCapturedStderr());
    config.Save();
  }
  std::string text = ReadFile(file);
  for (const char* kept : {"<Amber_Lantern_Grove>", "<Width>640</Width>", "<Extra>keep me</Extra>",
                           "<Mute>true</Mute>", "<Mods>", "<Level>3</Level>"}) {
    EXPECT_NE(std::string::npos, text.find(kept)) << kept << " in\n" << text;
  }
  EXPECT_EQ(std::string::npos, text.find("OtherRoot"));
  EXPECT_EQ(std::string::npos, text.find("Depth"));  // Set never creates
}

TEST_F(ConfigDataTest, DamagedFilesAreKeptBesideTheDefaultsThatReplaceThem) {
  const std::string outOfRange = "\" in \"Window\" is out of range for an int; the default ";
  struct Case {
    const char* name;
    std::string content;
    std::string copy;  // empty: the file parses and is not copied
    std::string errors;
  };
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  const std::vector<Case> cases = {
      {"empty", "", "config.xml.damaged", "XML_ERROR_EMPTY_DOCUMENT, line 0"},
      {"garbage", std::string("\x00\xff\xfe<<<&&&\x01\x02", 11), "config.xml.damaged.1",
       "XML_ERROR_EMPTY_DOCUMENT, line 0"},
      {"truncated", "<?xml version=\"1.0\"?>\n<Root><Window><Width>6", "config.xml.damaged.2",
       "XML_ERROR_PARSING_TEXT, line 2"},
      {"deep", deep, "config.xml.damaged.3",
       "XML_ELEMENT_DEPTH_EXCEEDED (Element nesting is too deep.), line 1"},
      {"out of range",
       "<R><Window><Width>99999999999</Width></Window>"
       "<Sound><BufferedVolume>-1e39</BufferedVolume></Sound></R>",
       "",
       "the value of \"Width" + outOfRange + "1280 is used\n" + file +
           ": the value of \"BufferedVolume\" in \"Sound\" is out of range for a float; the "
           "default 1.000000 is used"},
      {"huge", "<R><Window><Width>" + std::string(50 << 20, '7') + "</Width></Window></R>", "",
       "the value of \"Width" + outOfRange + "1280 is used"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir.Write("config.xml", c.content);
    CaptureStderr();
    DeclareAndSave(file, false);
    std::string kept = c.copy.empty() ? "" : "; kept as " + c.copy;
    EXPECT_EQ(file + ": " + c.errors + kept + "\n", GetCapturedStderr());
    ConfigData reloaded(file.c_str());
    EXPECT_EQ(1280, reloaded.Get<int>("Window", "Width"));
    EXPECT_FLOAT_EQ(1.0f, reloaded.Get<float>("Sound", "BufferedVolume"));
  }
  for (const Case& c : cases) {  // every copy is still there, none overwritten by a later one
    if (!c.copy.empty()) EXPECT_EQ(c.content, ReadFile(dir.Path() / c.copy)) << c.name;
  }
}

TEST_F(ConfigDataTest, SaveThatCannotWriteLeavesTheOldFileAndSaysWhy) {
  const std::filesystem::path folder = dir.Path();
  struct Case {
    const char* name;
    std::function<bool()> limitChild;  // runs in the child before the save
    int error;
  };
  const std::vector<Case> cases = {
      {"disk full (a file-size limit)",
       [] {
         signal(SIGXFSZ, SIG_IGN);
         rlimit limit{64, 64};  // the new file is several times that
         return setrlimit(RLIMIT_FSIZE, &limit) == 0;
       },
       EFBIG},
      // Root may write anywhere, so the child becomes an unprivileged user first; it is in the
      // folder already, so the folders above need not be open to that user.
      {"a folder the game may not write",
       [] {
         if (chmod(".", 0555) != 0) return false;
         if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return false;
         return access("config.xml", R_OK) == 0;
       },
       EACCES},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir.Write("config.xml", kSettings);
    chmod(file.c_str(), 0644);
    auto outcome = RunInChild([&] {
      if (chdir(folder.c_str()) != 0 || !c.limitChild()) return 2;
      DeclareAndSave("./config.xml");
      return 0;
    });
    chmod(folder.c_str(), 0755);
    EXPECT_TRUE(outcome.ended);
    EXPECT_EQ(0, outcome.code);
    EXPECT_EQ(std::string("./config.xml: could not save: ") + std::strerror(c.error) + "\n",
              outcome.errors);
    EXPECT_EQ(kSettings, ReadFile(file));
    EXPECT_EQ(std::set<std::string>{"config.xml"}, Listing(folder));  // no temporary file left
  }
}

TEST_F(ConfigDataTest, SaveWritesThroughALinkAndKeepsThePermissions) {
  auto target = dir.Write("real settings/target é.xml", kSettings);
  ASSERT_EQ(0, chmod(target.c_str(), 0640));
  ASSERT_EQ(0, symlink("real settings/target é.xml", file.c_str()));
  DeclareAndSave(file);
  EXPECT_EQ("real settings/target é.xml", std::filesystem::read_symlink(file).string());
  struct stat info;
  ASSERT_EQ(0, stat(target.c_str(), &info));
  EXPECT_EQ(0640u, info.st_mode & 07777);
  EXPECT_NE(std::string::npos, ReadFile(target).find("<Width>1920</Width>"));
  EXPECT_EQ(std::set<std::string>{"target é.xml"}, Listing(target.parent_path()));
}

TEST_F(ConfigDataTest, SpecialFilesInPlaceOfTheSettingsNeitherBlockNorGetReplaced) {
  for (auto type : {std::filesystem::file_type::fifo, std::filesystem::file_type::directory}) {
    SCOPED_TRACE(static_cast<int>(type));
    bool fifo = type == std::filesystem::file_type::fifo;
    ASSERT_EQ(0, fifo ? mkfifo(file.c_str(), 0644) : mkdir(file.c_str(), 0755));
    auto outcome = RunInChild([&] {
      CorvaneTest::CapturedLog log;
      DeclareAndSave(file);
      return log.Lines() == std::vector<std::string>{"ERROR: Could Not Open File: " + file,
                                                     "ERROR: Could not save file: " + file}
                 ? 0
                 : 1;
    });
    EXPECT_TRUE(outcome.ended);
    EXPECT_EQ(0, outcome.code);
    EXPECT_EQ(file + ": could not save: not a regular file\n", outcome.errors);
    EXPECT_EQ(type, std::filesystem::symlink_status(file).type());
    std::filesystem::remove(file);
  }
}

}  // namespace
