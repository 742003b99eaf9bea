// Keyboard: the key record's repeat rule on a scripted clock, then real key events from the X
// server frame by frame: the game's view of a key, withheld keys and the Alt+F4 rule.
#include "GraphicsTestSupport.h"
#include "presentation/BasicKeyboard.h"
#include "presentation/KeyRecord.h"

using namespace CorvaneTest;

namespace {

uint32_t now = 0;
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
  // Each step: what is typed before a frame, whether the game withholds the keys, then the game's
  // view of space ("d" down, "p" pressed, "r" released, "+" really down) and "x" when the frame
  // ended the game. The window system sees the previous frame's keys: F4 ends it a frame late.
  const std::tuple<const char*, bool, const char*> steps[] = {
      {"keydown space", false, "dp+"},
      {"", false, "d+"},
      {"keyup space", false, "r"},
      {"", false, ""},
      {"key space", false, ""},  // a tap within one frame is not seen
      {"keydown space", false, "dp+"},
      {"", true, "r+"},  // withheld: released
      {"keyup space", true, ""},
      {"keydown space", true, "+"},
      {"", false, "+"},  // given back while still down: up until let go
      {"keyup space", false, ""},
      {"keydown F4", false, ""},
      {"keydown alt", false, ""},
      {"", false, ""},  // Alt after F4
      {"keyup F4", false, ""},
      {"keydown F4", false, ""},
      {"", false, "x"},
      {"keyup alt F4", false, ""},
      {"keydown Alt_R+F4", false, ""},
      {"", false, "x"},
      {"keyup Alt_R F4", true, ""},
      {"keydown alt", true, ""},
      {"keydown F4", true, ""},
      {"", true, "x"}};  // also when withheld
  for (size_t i = 0; i < std::size(steps); ++i) {
    const auto [typed, withheld, expected] = steps[i];
    if (*typed != '\0') harness.Xdo(typed);
    keyboard->WithholdKeys(withheld);
    harness.engine->running = true;
    harness.Frame();
    EXPECT_EQ(expected, std::string(keyboard->IsDown(KeySpace) ? "d" : "") +
                            (keyboard->IsPressed(KeySpace) ? "p" : "") +
                            (keyboard->IsReleased(KeySpace) ? "r" : "") +
                            (keyboard->IsPhysicallyDown(KeySpace) ? "+" : "") +
                            (harness.engine->running ? "" : "x"))
        << "step " << i;
  }
  EXPECT_FALSE(keyboard->IsDown('a') || keyboard->IsPressed('a') || keyboard->IsReleased('a'));
  harness.Xdo("keyup alt F4");
}

}  // namespace
