// ConfigData: defaults, values from the file, the standard-error messages, unknown content kept,
// damaged files that must neither crash nor hang and are kept beside their replacement, saves
// that fail without costing the old file, links and permissions, and special files.
#include "core/ConfigData.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>

#include "TestSupport.h"

using CorvaneEngine::ConfigData;
using CorvaneTest::CapturedLog;
using CorvaneTest::ReadFile;
using CorvaneTest::RunInChild;
using CorvaneTest::ScratchDir;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

class ConfigDataTest : public ::testing::Test {
 protected:
  ScratchDir dir{"config"};
  std::string file = (dir.Path() / "config.xml").string();

  // The seven settings the program declares, with the defaults of a 1280x720 desktop.
  static void DeclareProgramSettings(ConfigData& config) {
    config.SetDefault("Window", "Width", 1280);
    config.SetDefault("Window", "Height", 720);
    config.SetDefault("Window", "Fullscreen", true);
    config.SetDefault("Window", "Unsupported", 0);
    config.SetDefault("Sound", "Mute", false);
    config.SetDefault("Sound", "BufferedVolume", 1.0f);
    config.SetDefault("Graphics", "VSync", true);
  }

  // Loads the file, declares the settings, changes one and saves: what the game's start-up does.
  static void SaveChanged(const std::string& path) {
    ConfigData config(path.c_str());
    DeclareProgramSettings(config);
    config.Set("Window", "Width", 1920);
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
  {
    ConfigData config(file.c_str());
    DeclareProgramSettings(config);
    config.Save();
  }
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
  EXPECT_EQ(1280, again.Get<int>("Window", "Width"));
  EXPECT_TRUE(again.Get<bool>("Window", "Fullscreen"));
  EXPECT_FLOAT_EQ(1.0f, again.Get<float>("Sound", "BufferedVolume"));
}

TEST_F(ConfigDataTest, FileValuesWinAndUnknownContentSurvives) {
  dir.Write("config.xml",
            "<?xml version=\"1.0\"?><OtherRoot><Window><Width>640</Width><Extra>keep me</Extra>"
            "</Window><Sound><Mute>true</Mute></Sound><Mods><Level>3</Level></Mods></OtherRoot>");
  {
    ConfigData config(file.c_str());
    DeclareProgramSettings(config);
    EXPECT_EQ(640, config.Get<int>("Window", "Width"));
    EXPECT_FALSE(config.Get<bool>("Sound", "Mute"));  // only "True" is true
    config.Save();
  }
  std::string text = ReadFile(file);
  EXPECT_NE(std::string::npos, text.find("<Amber_Lantern_Grove>"));
  EXPECT_EQ(std::string::npos, text.find("OtherRoot"));
  EXPECT_NE(std::string::npos, text.find("<Width>640</Width>"));
  EXPECT_NE(std::string::npos, text.find("<Extra>keep me</Extra>"));
  EXPECT_NE(std::string::npos, text.find("<Mute>true</Mute>"));  // written back unchanged
  EXPECT_NE(std::string::npos, text.find("<Mods>"));
  EXPECT_NE(std::string::npos, text.find("<Level>3</Level>"));
}

TEST_F(ConfigDataTest, MissingSectionsAndKeysGoToStandardErrorWithFallbacks) {
  ConfigData config(file.c_str());
  config.SetDefault("Window", "Width", 800);
  CaptureStderr();
  EXPECT_EQ(-1, config.Get<int>("Window", "Depth"));
  EXPECT_EQ(-1.0f, config.Get<float>("Nowhere", "Volume"));
  EXPECT_FALSE(config.Get<bool>("Window", "Vsync"));
  config.Set("Window", "Depth", 24);
  config.Set("Nowhere", "Depth", true);
  EXPECT_EQ(
      "Could not find \"Depth\" in \"Window\"\n"
      "Could not find \"Nowhere\" in ConfigData.\n"
      "Could not find \"Vsync\" in \"Window\"\n"
      "Could not find \"Depth\" in \"Window\"\n"
      "Could not find \"Nowhere\" in ConfigData.\n",
      GetCapturedStderr());
  config.Set("Window", "Width", 1024);
  EXPECT_EQ(1024, config.Get<int>("Window", "Width"));
  config.Save();
  EXPECT_EQ(std::string::npos, ReadFile(file).find("Depth"));  // Set never creates
}

TEST_F(ConfigDataTest, DamagedFilesAreKeptBesideTheDefaultsThatReplaceThem) {
  const std::string deep = [] {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "<a>";
    return text;
  }();
  const std::string huge =
      "<R><Window><Width>" + std::string(50 << 20, '7') + "</Width></Window></R>";
  const std::string outOfRange = "\" in \"Window\" is out of range for an int; the default ";
  struct Case {
    const char* name;
    std::string content;
    std::string copy;  // empty: the file parses and is not copied
    std::string errors;
  };
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
      {"huge", huge, "", "the value of \"Width" + outOfRange + "1280 is used"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir.Write("config.xml", c.content);
    CaptureStderr();
    {
      ConfigData config(file.c_str());
      DeclareProgramSettings(config);
      EXPECT_EQ(1280, config.Get<int>("Window", "Width"));
      config.Save();
    }
    std::string kept = c.copy.empty() ? "" : "; kept as " + c.copy;
    EXPECT_EQ(file + ": " + c.errors + kept + "\n", GetCapturedStderr());
    ConfigData reloaded(file.c_str());
    EXPECT_EQ(1280, reloaded.Get<int>("Window", "Width"));
    EXPECT_EQ(720, reloaded.Get<int>("Window", "Height"));
    EXPECT_FLOAT_EQ(1.0f, reloaded.Get<float>("Sound", "BufferedVolume"));
  }
  for (const Case& c : cases) {  // every copy is still there, none overwritten by a later one
    if (!c.copy.empty()) {
      EXPECT_EQ(c.content, ReadFile(dir.Path() / c.copy)) << c.name;
    }
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
      SaveChanged("./config.xml");
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
  SaveChanged(file);

  struct stat info;
  ASSERT_EQ(0, lstat(file.c_str(), &info));
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ("real settings/target é.xml", std::filesystem::read_symlink(file).string());
  ASSERT_EQ(0, stat(target.c_str(), &info));
  EXPECT_EQ(0640u, info.st_mode & 07777);
  EXPECT_NE(std::string::npos, ReadFile(target).find("<Width>1920</Width>"));
  EXPECT_EQ(std::set<std::string>{"target é.xml"}, Listing(target.parent_path()));
}

TEST_F(ConfigDataTest, SpecialFilesInPlaceOfTheSettingsNeitherBlockNorGetReplaced) {
  struct Case {
    const char* name;
    std::function<int(const char*)> make;
    std::filesystem::file_type type;
  };
  const std::vector<Case> cases = {
      {"FIFO", [](const char* path) { return mkfifo(path, 0644); },
       std::filesystem::file_type::fifo},
      {"folder", [](const char* path) { return mkdir(path, 0755); },
       std::filesystem::file_type::directory},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(0, c.make(file.c_str()));
    auto outcome = RunInChild([&] {
      CapturedLog log;
      SaveChanged(file);
      return log.Lines() == std::vector<std::string>{"ERROR: Could Not Open File: " + file,
                                                     "ERROR: Could not save file: " + file}
                 ? 0
                 : 1;
    });
    EXPECT_TRUE(outcome.ended);
    EXPECT_EQ(0, outcome.code);
    EXPECT_EQ(file + ": could not save: not a regular file\n", outcome.errors);
    EXPECT_EQ(c.type, std::filesystem::symlink_status(file).type());
    std::filesystem::remove(file);
  }
}

TEST_F(ConfigDataTest, RepeatedSectionKeepsTheFirstAndRepeatedKeyFindsTheFirst) {
  dir.Write("config.xml",
            "<R><Window><Width>1</Width><Width>2</Width></Window>"
            "<Window><Width>3</Width></Window></R>");
  ConfigData config(file.c_str());
  EXPECT_EQ(1, config.Get<int>("Window", "Width"));
}

}  // namespace
