// Keyboard: the record transitions and the repeat rule on a scripted clock, then real key events
// from the X server seen frame by frame, and the Alt+F4 rule.
#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "presentation/BasicKeyboard.h"
#include "presentation/KeyRecord.h"

using namespace CorvaneEngine;
using CorvaneTest::WindowConfig;
using CorvaneTest::WindowHarness;

static auto* const environment =
    ::testing::AddGlobalTestEnvironment(new CorvaneTest::DisplayEnvironment);

namespace {

uint32_t now = 0;
uint32_t ScriptedClock() {
  return now;
}

TEST(KeyRecord, PressTimesAndARepeatForEvery500MillisecondsOfHolding) {
  KeyRecord key;
  now = 0xFFFFFF00u;  // the hold crosses the clock's wrap
  key.Advance(true, ScriptedClock);
  EXPECT_EQ(Pressed, key.state);
  std::vector<uint32_t> repeatsAt;
  for (uint32_t elapsed = 100; elapsed <= 1600; elapsed += 30) {
    now = 0xFFFFFF00u + elapsed;
    key.Advance(true, ScriptedClock);
    if (key.repeat) repeatsAt.push_back(elapsed);
  }
  EXPECT_EQ((std::vector<uint32_t>{520, 1000, 1510}), repeatsAt);
  key.Advance(false, ScriptedClock);
  EXPECT_FALSE(key.repeat);
  // Down again right after the release: Pressed, keeping the earlier press time.
  now += 5000;
  key.Advance(true, ScriptedClock);
  EXPECT_EQ(Pressed, key.state);
  EXPECT_EQ(0xFFFFFF00u, key.pressTime);
  key.Advance(false, ScriptedClock);
  key.Advance(false, ScriptedClock);
  key.Advance(true, ScriptedClock);
  EXPECT_EQ(now, key.pressTime);
}

class KeyboardTest : public ::testing::Test {
 protected:
  void TearDown() override { harness.Xdo("keyup space a alt F4 Alt_R"); }
  // "d" down, "p" pressed, "r" released, as the keyboard reports the key now.
  std::string States(int32_t key) {
    BasicKeyboard* k = BasicKeyboard::instance;
    return std::string(k->IsDown(key) ? "d" : "") + (k->IsPressed(key) ? "p" : "") +
           (k->IsReleased(key) ? "r" : "");
  }
  WindowHarness harness{WindowConfig(640, 480, false)};
};

TEST_F(KeyboardTest, AKeyGoesPressedHeldReleasedUpAndATapWithinAFrameIsNotSeen) {
  ASSERT_TRUE(harness.Opened());
  std::vector<std::string> seen;
  for (const char* step : {"keydown space", "", "", "keyup space", "", "key space", ""}) {
    if (*step != '\0') harness.Xdo(step);
    harness.Frame();
    seen.push_back(States(KeySpace));
  }
  EXPECT_EQ((std::vector<std::string>{"dp", "d", "d", "r", "", "", ""}), seen);
  EXPECT_EQ("", States('a'));
}

TEST_F(KeyboardTest, AltF4EndsTheGameOnlyWhenF4GoesDownWhileAltIsDown) {
  ASSERT_TRUE(harness.Opened());
  bool& running = harness.engine->running;
  // Alt pressed while F4 is already held: the game goes on.
  harness.Xdo("keydown F4");
  harness.Frame();
  harness.Frame();
  harness.Xdo("keydown alt");
  for (int i = 0; i < 3; ++i) harness.Frame();
  EXPECT_TRUE(running);
  // Alt held, then F4 goes down: the window system sees the previous frame's keys, so the frame
  // after the one that pumped F4 ends the game.
  harness.Xdo("keyup F4");
  harness.Frame();
  harness.Frame();
  harness.Xdo("keydown F4");
  harness.Frame();
  EXPECT_TRUE(running);
  harness.Frame();
  EXPECT_FALSE(running);
  // Right Alt and F4 going down in the same frame end it too.
  harness.Xdo("keyup alt F4");
  harness.Frame();
  harness.Frame();
  running = true;
  harness.Xdo("keydown Alt_R+F4");
  harness.Frame();
  harness.Frame();
  EXPECT_FALSE(running);
}

}  // namespace
