// Keyboard: the record transitions and the repeat rule on a scripted clock, then real key events
// from the X server (xdotool through XTest) seen frame by frame, and the Alt+F4 rule.
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

TEST(KeyRecord, TransitionsPressTimesAndRepeatEvery500Milliseconds) {
  KeyRecord key;
  now = 0xFFFFFF00u;  // the hold crosses the clock's wrap
  key.Advance(true, ScriptedClock);
  EXPECT_EQ(Pressed, key.state);
  EXPECT_EQ(0xFFFFFF00u, key.pressTime);
  now += 100;
  key.Advance(true, ScriptedClock);
  EXPECT_EQ(Held, key.state);
  // Each further 500 ms of holding gives one update with repeat, however the frames fall.
  std::vector<uint32_t> repeatsAt;
  for (uint32_t elapsed = 130; elapsed <= 1600; elapsed += 30) {
    now = 0xFFFFFF00u + elapsed;
    key.Advance(true, ScriptedClock);
    if (key.repeat) repeatsAt.push_back(elapsed);
  }
  EXPECT_EQ((std::vector<uint32_t>{520, 1000, 1510}), repeatsAt);

  key.Advance(false, ScriptedClock);
  EXPECT_EQ(Released, key.state);
  EXPECT_FALSE(key.repeat);
  // Down again right after the release: Pressed, but the press time of the earlier press stays.
  now += 5000;
  key.Advance(true, ScriptedClock);
  EXPECT_EQ(Pressed, key.state);
  EXPECT_EQ(0xFFFFFF00u, key.pressTime);
  key.Advance(false, ScriptedClock);
  key.Advance(false, ScriptedClock);
  EXPECT_EQ(Up, key.state);
  key.Advance(true, ScriptedClock);
  EXPECT_EQ(now, key.pressTime);
}

class KeyboardTest : public ::testing::Test {
 protected:
  void TearDown() override { harness.Xdo("keyup space alt F4 Alt_R"); }
  WindowHarness harness{WindowConfig(640, 480, false)};
  BasicKeyboard* keyboard = BasicKeyboard::instance;
};

struct Seen {
  bool down, pressed, released;
  bool operator==(const Seen& other) const {
    return down == other.down && pressed == other.pressed && released == other.released;
  }
};
std::ostream& operator<<(std::ostream& out, const Seen& s) {
  return out << "{down " << s.down << ", pressed " << s.pressed << ", released " << s.released
             << "}";
}

TEST_F(KeyboardTest, AKeyGoesThroughPressedHeldReleasedUpAcrossFrames) {
  ASSERT_TRUE(harness.Opened());
  ASSERT_EQ(keyboard, BasicKeyboard::instance);
  auto space = [&] {
    return Seen{keyboard->IsDown(KeySpace), keyboard->IsPressed(KeySpace),
                keyboard->IsReleased(KeySpace)};
  };
  EXPECT_EQ((Seen{false, false, false}), space());
  harness.Xdo("keydown space");
  harness.Frame();
  EXPECT_EQ((Seen{true, true, false}), space());
  harness.Frame();
  EXPECT_EQ((Seen{true, false, false}), space());
  harness.Frame();
  EXPECT_EQ((Seen{true, false, false}), space());
  harness.Xdo("keyup space");
  harness.Frame();
  EXPECT_EQ((Seen{false, false, true}), space());
  harness.Frame();
  EXPECT_EQ((Seen{false, false, false}), space());
  // Only the space bar moved.
  EXPECT_FALSE(keyboard->IsDown('a'));
  EXPECT_FALSE(keyboard->IsReleased(KeyLeftAlt));
}

TEST_F(KeyboardTest, ATapShorterThanAFrameIsNotSeen) {
  ASSERT_TRUE(harness.Opened());
  harness.Xdo("keydown space keyup space");
  harness.Frame();
  EXPECT_FALSE(keyboard->IsDown(KeySpace));
  EXPECT_FALSE(keyboard->IsPressed(KeySpace));
  EXPECT_FALSE(keyboard->IsReleased(KeySpace));
  // A press that lasts over a frame boundary is seen, so the tap above really reached SDL.
  harness.Xdo("keydown a");
  harness.Frame();
  EXPECT_TRUE(keyboard->IsPressed('a'));
  harness.Xdo("keyup a");
  harness.Frame();
  EXPECT_TRUE(keyboard->IsReleased('a'));
}

TEST_F(KeyboardTest, AltF4EndsTheGameOnlyWhenF4GoesDownWhileAltIsDown) {
  ASSERT_TRUE(harness.Opened());
  bool& running = harness.engine->running;

  // F4 alone, and Alt pressed while F4 is already held: the game goes on.
  harness.Xdo("keydown F4");
  harness.Frame();
  harness.Frame();
  harness.Xdo("keydown alt");
  for (int i = 0; i < 3; ++i) harness.Frame();
  EXPECT_TRUE(running);
  harness.Xdo("keyup F4");
  for (int i = 0; i < 3; ++i) harness.Frame();
  EXPECT_TRUE(running);

  // Alt held from before, then F4 goes down: the frame after the input system saw F4 Pressed
  // (the window system reads the previous frame's keys) clears the flag.
  harness.Xdo("keydown F4");
  harness.Frame();
  EXPECT_TRUE(running);
  harness.Frame();
  EXPECT_FALSE(running);
}

TEST_F(KeyboardTest, RightAltAndF4InTheSameFrameEndTheGame) {
  ASSERT_TRUE(harness.Opened());
  harness.Xdo("keydown Alt_R+F4");
  harness.Frame();
  EXPECT_TRUE(harness.engine->running);
  harness.Frame();
  EXPECT_FALSE(harness.engine->running);
}

}  // namespace
