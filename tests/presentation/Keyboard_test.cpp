// Keyboard: the key record's repeat rule on a scripted clock, then real key events from the X
// server frame by frame: the game's view of a key, withheld keys and the Alt+F4 rule.
#include "GraphicsTestSupport.h"
#include "presentation/BasicKeyboard.h"
#include "presentation/KeyRecord.h"

using namespace CorvaneTest;

static uint32_t now = 0;
const KeyRecord::Clock ScriptedClock = [] { return now; };

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
  EXPECT_EQ(std::make_pair(Pressed, 0xFFFFFF00u), std::make_pair(key.state, key.pressTime));
  for (bool down : {false, false, true}) key.Advance(down, ScriptedClock);
  EXPECT_EQ(now, key.pressTime);
}

TEST(Keyboard, KeysGoPressedHeldReleasedWithheldKeysAreUpAndAltF4EndsTheGameOnlyAfterAlt) {
  WindowHarness harness(WindowConfig(640, 480, false));
  ASSERT_TRUE(harness.Opened());
  BasicKeyboard* keyboard = BasicKeyboard::instance;
  // Steps, split at ';': what is typed before a frame (after "!": with the keys withheld by the
  // game). Seen after each: the game's view of space ("d" down, "p" pressed, "r" released, "+"
  // really down) and "x" when the frame ended the game. The window system sees the previous
  // frame's keys: F4 ends it a frame late.
  std::istringstream steps(
      "keydown space;;keyup space;;key space;"
      "keydown space;!;!keyup space;!keydown space;;keyup space;"
      "keydown F4;keydown alt;;keyup F4;keydown F4;;"
      "keyup alt F4;keydown Alt_R+F4;;"
      "!keyup Alt_R F4;!keydown alt;!keydown F4;!");
  std::string seen;
  for (std::string step; std::getline(steps, step, ';');) {
    const bool withheld = !step.empty() && step[0] == '!';
    if (step.size() > withheld) harness.Xdo(step.substr(withheld));
    keyboard->WithholdKeys(withheld);
    harness.engine->running = true;
    harness.Frame();
    seen +=
        std::string(keyboard->IsDown(KeySpace) ? "d" : "") +
        (keyboard->IsPressed(KeySpace) ? "p" : "") + (keyboard->IsReleased(KeySpace) ? "r" : "") +
        (keyboard->IsPhysicallyDown(KeySpace) ? "+" : "") + (harness.engine->running ? "," : "x,");
  }
  // A tap within one frame is not seen; withheld keys are released and then up, and given back
  // while still down they are up until let go; F4 before Alt does not end the game.
  EXPECT_EQ("dp+,d+,r,,,dp+,r+,,+,+,,,,,,,x,,,x,,,,x,", seen);
  EXPECT_FALSE(keyboard->IsDown('a') || keyboard->IsPressed('a') || keyboard->IsReleased('a'));
}
