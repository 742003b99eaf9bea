// The demo on the real engine core, from its start-up hook on: game states, the
// object manager and factory, the game's own object file, the start page's URL, and the rule that
// Space carries the lantern 0.2 a frame and passing x = -7 wins exactly once. Window, browser and
// sound are stand-ins here; the playtests run the game against the real ones.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
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
struct HeldKeys : BasicKeyboard {
  bool spaceDown = false;
  void Update() override {}
  bool IsDown(int32_t key) override { return key == KeySpace && spaceDown; }
  bool IsReleased(int32_t) override { return false; }
  bool IsRepeat(int32_t) override { return false; }
  bool IsPressed(int32_t) override { return false; }
};

// A browser that remembers the URLs it was asked to load; it is Browser::instance while it lives.
struct RecordingBrowser : Browser {
  RecordingBrowser() { instance = this; }
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

TEST(GameStartup, OpensTheStartPageAndHoldingSpaceCarriesTheLanternToOneWin) {
  CorvaneTest::ScratchDir scratch{"game startup"};
  // The game's own working directory, copied into a folder whose name a URL must escape.
  const fs::path folder = scratch.Path() / "lantern grove #é";
  fs::copy(fs::path(CORVANE_SOURCE_DIR) / "Game", folder, fs::copy_options::recursive);
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

  GameStartup({});  // opens the start page of this very folder (checked with the others below)
  // The first frame enters "MyState", which builds the lantern from its object file.
  EXPECT_EQ(-1, FramesUntilWin(10));  // no key, no move
  GameObject* lantern = objects.GetObject(0);
  ASSERT_NE(nullptr, lantern);
  EXPECT_EQ(nullptr, objects.GetObject(1));
  EXPECT_EQ(std::vector<float>(lantern->scale, lantern->scale + 3),
            (std::vector<float>{5.0f, 5.0f, 1.0f}));

  // Space moves it 0.2 a frame: not past -7 after 35 frames; the line itself does not win.
  keys.spaceDown = true;
  EXPECT_EQ(-1, FramesUntilWin(35));
  lantern->position[0] = -7.0f;
  keys.spaceDown = false;
  EXPECT_EQ(-1, FramesUntilWin(5));
  keys.spaceDown = true;
  EXPECT_EQ(1, FramesUntilWin(1));

  // Held long after the win: the lantern keeps moving, nothing is loaded or played again.
  EXPECT_EQ(-1, FramesUntilWin(200));
  EXPECT_NEAR(-7.2f - 200 * 0.2f, lantern->position[0], 0.01f);
  std::vector<std::string> pages;
  for (const std::string& url : browser.urls) pages.push_back(CorvaneTest::PathOfFileURL(url));
  EXPECT_EQ(pages, (std::vector<std::string>{folder.string() + "/default.html",
                                             folder.string() + "/winner.html"}));
  EXPECT_EQ(std::vector<std::string>{"winsound.wav"}, sound.played);
  EXPECT_TRUE(reports.Reports().empty());
  objects.Shutdown();
}

}  // namespace
