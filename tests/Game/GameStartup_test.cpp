// The game's start-up and its state, on the real engine core: configuration, game states, the
// resource manager, the object manager and factory, and the game's own object file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
#include "objects/ObjectFactory.h"
#include "objects/ObjectManager.h"

using namespace CorvaneEngine;
namespace fs = std::filesystem;

class GameStartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("CORVANE_ERROR_BOX", "0", 1);
    // The game's own working directory, copied into a folder whose name has a space.
    folder = scratch.Path() / "lantern grove";
    fs::copy(fs::path(CORVANE_SOURCE_DIR) / "Game", folder, fs::copy_options::recursive);
    fs::remove(folder / "config.xml");
    inside = std::make_unique<CorvaneTest::ChangeDir>(folder);
    engine = std::make_unique<Engine>();
    GameStateManager::instance = states = new GameStateManager();
    engine->AddSystem(states);
    engine->AddSystem(objects = new ObjectManager());
    // What the window system declares; the others follow the same rule.
    ConfigData::instance->SetDefault("Window", "Fullscreen", true);
  }
  void TearDown() override {
    objects->Shutdown();
    delete objects;
    delete states;
    engine.reset();
    inside.reset();
  }

  CorvaneTest::ScratchDir scratch{"game startup"};
  fs::path folder;
  std::unique_ptr<CorvaneTest::ChangeDir> inside;
  std::unique_ptr<Engine> engine;
  GameStateManager* states = nullptr;
  ObjectManager* objects = nullptr;
  RecordingBrowser browser;
  CorvaneTest::CapturedErrorReports reports;
};

TEST_F(GameStartupTest, WritesTheSettingsAndOpensTheStartPageBeforeAnyFrame) {
  ASSERT_TRUE(GameStartup);
  CorvaneTest::CapturedLog log;
  GameStartup({});
  std::string config = CorvaneTest::ReadFile("config.xml");
  EXPECT_NE(std::string::npos, config.find("<Fullscreen>True</Fullscreen>")) << config;
  // One URL, naming the start page of this very folder.
  ASSERT_EQ(1u, browser.urls.size());
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
  CorvaneTest::CapturedLog log;
  ObjectFactory::instance->RegisterComponentType("Behavior", new Behavior());
  states->AddState("MyState", new DefaultState());
  states->SetState("MyState");
  states->Update(0.0);
  EXPECT_TRUE(objects->Objects().empty());
  EXPECT_NE(std::string::npos, log.Text().find("ERROR: There is no object of type sprite."))
      << log.Text();
}
