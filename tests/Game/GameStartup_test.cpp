// The demo on the real engine core, from its start-up hook on: configuration, game states, the
// object manager and factory, the game's own object file, the start page's URL, and the rule that
// Space carries the lantern 0.2 a frame and passing x = -7 wins exactly once. Window, browser and
// sound are stand-ins here; the playtests run the game against the real ones.
#include <gtest/gtest.h>

#include <filesystem>

#include "../../Game/DefaultState.h"
#include "TestSupport.h"
#include "core/ConfigData.h"
#include "core/Engine.h"
#include "core/GameHooks.h"
#include "core/GameStateManager.h"
#include "objects/GameObject.h"
#include "objects/ObjectManager.h"
#include "overlay/Browser.h"
#include "presentation/BasicKeyboard.h"
#include "sound/SoundSystem_AL.h"

using namespace CorvaneEngine;
namespace fs = std::filesystem;

namespace {

// A keyboard whose space bar is held exactly while `spaceDown` is true.
class HeldKeys : public BasicKeyboard {
 public:
  bool spaceDown = false;
  void Update() override {}
  bool IsDown(int32_t key) override { return key == KeySpace && spaceDown; }
  bool IsReleased(int32_t) override { return false; }
  bool IsRepeat(int32_t) override { return false; }
  bool IsPressed(int32_t) override { return false; }
};

// A browser that remembers the URLs it was asked to load; it is Browser::instance while it lives.
class RecordingBrowser : public Browser {
 public:
  RecordingBrowser() { instance = this; }
  ~RecordingBrowser() override { instance = nullptr; }
  void LoadURL(const char* url) override { urls.emplace_back(url); }
  std::vector<std::string> urls;
};

// The engine's sound system (into OpenAL's null output), remembering what it was asked to play
// ("!" marks a looping sound).
struct RecordingSound : SoundSystem_AL {
  std::vector<std::string> played;
  void PlaySound(const char* name, bool loop) override {
    played.push_back(name + std::string(loop ? "!" : ""));
  }
};

// The game's own working directory, copied into a folder whose name a URL must escape.
fs::path CopyOfTheGame(const fs::path& folder) {
  fs::copy(fs::path(CORVANE_SOURCE_DIR) / "Game", folder, fs::copy_options::recursive);
  fs::remove(folder / "config.xml");
  return folder;
}

TEST(GameStartup, WritesTheSettingsOpensTheStartPageAndHoldingSpaceWinsOnce) {
  CorvaneTest::ScratchDir scratch{"game startup"};
  const fs::path folder = CopyOfTheGame(scratch.Path() / "lantern grove #é");
  CorvaneTest::ChangeDir inside{folder};
  CorvaneTest::CapturedErrorReports reports;
  RecordingBrowser browser;
  HeldKeys keys;
  Engine engine;
  setenv("ALSOFT_DRIVERS", "null", 1);
  RecordingSound sound;
  GameStateManager states;
  GameStateManager::instance = &states;
  ObjectManager objects;
  // Runs frames as the engine would; how many ran until the lantern's first win, -1 for none.
  auto FramesUntilWin = [&](int limit) {
    for (int frame = 1; frame <= limit; ++frame) {
      size_t pages = browser.urls.size();
      states.Update(0.016);
      objects.Update(0.016);
      if (browser.urls.size() > pages) return frame;
    }
    return -1;
  };

  ConfigData::instance->SetDefault("Window", "Fullscreen", true);  // as the window system does
  GameStartup({});
  EXPECT_NE(std::string::npos,
            CorvaneTest::ReadFile("config.xml").find("<Fullscreen>True</Fullscreen>"));
  ASSERT_EQ(1u, browser.urls.size());  // the start page of this very folder
  EXPECT_EQ(folder.string() + "/default.html", CorvaneTest::PathOfFileURL(browser.urls[0]))
      << browser.urls[0];
  EXPECT_EQ(nullptr, states.Current());  // the state waits for the first frame

  // The first frame enters "MyState", which builds the lantern from its object file.
  EXPECT_EQ(-1, FramesUntilWin(10));  // no key, no move
  ASSERT_NE(nullptr, dynamic_cast<DefaultState*>(states.Current()));
  GameObject* lantern = objects.GetObject(0);
  ASSERT_NE(nullptr, lantern);
  EXPECT_EQ(nullptr, objects.GetObject(1));
  EXPECT_STREQ("sprite", lantern->name.CStr());
  EXPECT_EQ(std::vector<float>(lantern->scale, lantern->scale + 3),
            (std::vector<float>{5.0f, 5.0f, 1.0f}));

  // Space moves it 0.2 a frame: just above -7 after 35 frames; the line itself does not win.
  keys.spaceDown = true;
  EXPECT_EQ(-1, FramesUntilWin(35));
  EXPECT_NEAR(-6.995f, lantern->position[0], 0.005f);
  lantern->position[0] = -7.0f;
  keys.spaceDown = false;
  EXPECT_EQ(-1, FramesUntilWin(5));
  keys.spaceDown = true;
  EXPECT_EQ(1, FramesUntilWin(1));
  ASSERT_EQ(2u, browser.urls.size());
  EXPECT_EQ(folder.string() + "/winner.html", CorvaneTest::PathOfFileURL(browser.urls[1]));
  EXPECT_EQ(std::vector<std::string>{"winsound.wav"}, sound.played);

  // Held long after the win: the lantern keeps moving, nothing is loaded or played again.
  EXPECT_EQ(-1, FramesUntilWin(200));
  EXPECT_NEAR(-7.2f - 200 * 0.2f, lantern->position[0], 0.01f);
  EXPECT_EQ(1u, sound.played.size());
  EXPECT_TRUE(reports.Reports().empty());
  objects.Shutdown();
}

}  // namespace
