// The game's start-up hook on the real engine core: configuration, game states, the object
// manager and factory, the game's own object file, and the start page's URL.
#include <gtest/gtest.h>

#include <filesystem>

#include "../../Game/Behavior.h"
#include "../../Game/DefaultState.h"
#include "GameTestDoubles.h"
#include "TestProbes.h"
#include "TestSupport.h"
#include "core/ConfigData.h"
#include "core/Engine.h"
#include "core/GameHooks.h"
#include "core/GameStateManager.h"
#include "objects/GameObject.h"
#include "objects/ObjectManager.h"

using namespace CorvaneEngine;
namespace fs = std::filesystem;

class GameStartupTest : public ::testing::Test {
 protected:
  // The game's own working directory, copied into a folder whose name a URL must escape.
  static fs::path CopyOfTheGame(const fs::path& folder) {
    fs::copy(fs::path(CORVANE_SOURCE_DIR) / "Game", folder, fs::copy_options::recursive);
    fs::remove(folder / "config.xml");
    return folder;
  }
  void SetUp() override {
    ConfigData::instance->SetDefault("Window", "Fullscreen", true);  // as the window system does
    GameStateManager::instance = states;
    engine.AddSystem(states);
    engine.AddSystem(objects);
  }
  void TearDown() override {
    objects->Shutdown();
    delete objects;
    delete states;
  }

  CorvaneTest::ScratchDir scratch{"game startup"};
  const fs::path folder = CopyOfTheGame(scratch.Path() / "lantern grove #é");
  CorvaneTest::ChangeDir inside{folder};
  CorvaneTest::CapturedErrorReports reports;
  CorvaneTest::CapturedLog log;
  RecordingBrowser browser;
  Engine engine;
  GameStateManager* states = new GameStateManager();
  ObjectManager* objects = new ObjectManager();
};

TEST_F(GameStartupTest, WritesTheSettingsAndOpensTheStartPageBeforeTheLanternIsBuilt) {
  GameStartup({});
  EXPECT_NE(std::string::npos,
            CorvaneTest::ReadFile("config.xml").find("<Fullscreen>True</Fullscreen>"));
  ASSERT_EQ(1u, browser.urls.size());  // the start page of this very folder
  EXPECT_EQ(folder.string() + "/default.html", CorvaneTest::PathOfFileURL(browser.urls[0]))
      << browser.urls[0];
  EXPECT_EQ(nullptr, states->Current());  // the state waits for the first frame

  // The first frame enters "MyState", which builds the lantern from its object file.
  states->Update(0.0);
  ASSERT_NE(nullptr, dynamic_cast<DefaultState*>(states->Current()));
  GameObject* lantern = objects->GetObject(0);
  ASSERT_NE(nullptr, lantern);
  EXPECT_STREQ("sprite", lantern->name.CStr());
  EXPECT_EQ(std::vector<float>(lantern->scale, lantern->scale + 3),
            (std::vector<float>{5.0f, 5.0f, 1.0f}));
  int behaviors = 0;
  for (GOComponent* component : lantern->components) {
    behaviors += dynamic_cast<Behavior*>(component) && component->owner == lantern;
  }
  EXPECT_EQ(1, behaviors);  // one, and owned by the lantern
  EXPECT_EQ(nullptr, objects->GetObject(1));
  EXPECT_TRUE(reports.Reports().empty());
}

TEST_F(GameStartupTest, WithoutTheSpriteTypeTheStateRunsOnEmpty) {
  fs::remove_all(folder / "GameObjects");
  fs::create_directories(folder / "GameObjects");
  GameStartup({});
  states->Update(0.0);
  EXPECT_TRUE(objects->Objects().empty());
  EXPECT_NE(std::string::npos, log.Text().find("ERROR: There is no object of type sprite."))
      << log.Text();
}
