// ConfigData: defaults, values from the file, the standard-error messages, unknown content kept,
// and damaged files that must neither crash nor hang and are replaced by the next save.
#include "core/ConfigData.h"

#include <gtest/gtest.h>

#include <fstream>

#include "TestSupport.h"

using CorvaneEngine::ConfigData;
using CorvaneTest::ReadFile;
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
};

TEST_F(ConfigDataTest, FirstRunWritesEveryDeclaredKeyWithItsDefault) {
  {
    ConfigData config(file.c_str());
    DeclareProgramSettings(config);
    config.Save();
  }
  std::string text = ReadFile(file);
  for (const char* expected :
       {"<Amber_Lantern_Grove>", "<Width>1280</Width>", "<Height>720</Height>",
        "<Fullscreen>True</Fullscreen>", "<Unsupported>0</Unsupported>", "<Mute>False</Mute>",
        "<BufferedVolume>1.000000</BufferedVolume>", "<VSync>True</VSync>"}) {
    EXPECT_NE(std::string::npos, text.find(expected)) << expected << "\n" << text;
  }
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

TEST_F(ConfigDataTest, DamagedFilesFallBackToDefaultsAndAreReplaced) {
  const std::string deep = [] {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "<a>";
    return text;
  }();
  const std::string huge =
      "<R><Window><Width>" + std::string(50 << 20, '7') + "</Width></Window></R>";
  struct Case {
    const char* name;
    std::string content;
    bool widthFromFile;  // the 50 MB value is read as text and wins over the default
  };
  const std::vector<Case> cases = {
      {"empty", "", false},
      {"garbage", std::string("\x00\xff\xfe<<<&&&\x01\x02", 11), false},
      {"truncated", "<?xml version=\"1.0\"?><Root><Window><Width>6", false},
      {"deep", deep, false},
      {"huge", huge, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir.Write("config.xml", c.content);
    {
      ConfigData config(file.c_str());
      DeclareProgramSettings(config);
      int width = config.Get<int>("Window", "Width");
      if (!c.widthFromFile) {
        EXPECT_EQ(1280, width);
      }
      config.Save();
    }
    ConfigData reloaded(file.c_str());
    EXPECT_EQ(720, reloaded.Get<int>("Window", "Height"));
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
