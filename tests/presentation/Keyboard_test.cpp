// Keyboard: the record transitions and the repeat rule on a scripted clock, then real key events
// from the X server seen frame by frame, and the Alt+F4 rule.
#include <gtest/gtest.h>

#include <iterator>
#include <tuple>
#include <utility>

#include "WindowTestSupport.h"
#include "presentation/BasicKeyboard.h"
#include "presentation/KeyRecord.h"

using namespace CorvaneEngine;
using namespace CorvaneTest;

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

TEST(Keyboard, AKeyGoesPressedHeldReleasedUpAndAltF4EndsTheGameOnlyAfterAlt) {
  WindowHarness harness(WindowConfig(640, 480, false));
  ASSERT_TRUE(harness.Opened());
  // "d" down, "p" pressed, "r" released, as the keyboard reports the key now.
  auto states = [](int32_t key) {
    BasicKeyboard* k = BasicKeyboard::instance;
    return std::string(k->IsDown(key) ? "d" : "") + (k->IsPressed(key) ? "p" : "") +
           (k->IsReleased(key) ? "r" : "");
  };
  // A tap within one frame is not seen.
  std::vector<std::string> seen;
  for (const char* step : {"keydown space", "", "", "keyup space", "", "key space", ""}) {
    if (*step != '\0') harness.Xdo(step);
    harness.Frame();
    seen.push_back(states(KeySpace));
  }
  EXPECT_EQ((std::vector<std::string>{"dp", "d", "d", "r", "", "", ""}), seen);
  EXPECT_EQ("", states('a'));

  // Each step: what is typed before a frame, and whether the game runs after that frame. The
  // window system sees the previous frame's keys, so F4 ends the game one frame late.
  const std::pair<const char*, bool> steps[] = {
      {"keydown F4", true},   {"", true}, {"keydown alt", true},      {"", true},    // Alt after F4
      {"keyup F4", true},     {"", true}, {"keydown F4", true},       {"", false},   // F4 after Alt
      {"keyup alt F4", true}, {"", true}, {"keydown Alt_R+F4", true}, {"", false}};  // together
  for (size_t i = 0; i < std::size(steps); ++i) {
    if (*steps[i].first != '\0') harness.Xdo(steps[i].first);
    if (i == 8) harness.engine->running = true;
    harness.Frame();
    EXPECT_EQ(steps[i].second, harness.engine->running) << "step " << i;
  }
  harness.Xdo("keyup Alt_R F4");
}

TEST(Keyboard, WithheldKeysAreUpForTheGameButNotForAltF4) {
  WindowHarness harness(WindowConfig(640, 480, false));
  ASSERT_TRUE(harness.Opened());
  BasicKeyboard* keyboard = BasicKeyboard::instance;
  // The game's view ("d" down, "p" pressed, "r" released), then "+" when the key is really down.
  auto states = [&] {
    return std::string(keyboard->IsDown(KeySpace) ? "d" : "") +
           (keyboard->IsPressed(KeySpace) ? "p" : "") +
           (keyboard->IsReleased(KeySpace) ? "r" : "") +
           (keyboard->IsPhysicallyDown(KeySpace) ? "+" : "");
  };
  const std::tuple<const char*, bool, const char*> steps[] = {
      {"keydown space", false, "dp+"},
      {"", true, "r+"},  // held when withheld: released
      {"keyup space", true, ""},
      {"keydown space", true, "+"},
      {"", false, "+"},  // given back while still down: up until let go
      {"keyup space", false, ""},
      {"keydown space", false, "dp+"},
      {"keyup space", false, "r"}};
  for (size_t i = 0; i < std::size(steps); ++i) {
    auto [typed, withheld, expected] = steps[i];
    if (*typed != '\0') harness.Xdo(typed);
    keyboard->WithholdKeys(withheld);
    harness.Frame();
    EXPECT_EQ(expected, states()) << "step " << i;
  }
  keyboard->WithholdKeys(true);
  for (const char* typed : {"keydown alt", "keydown F4", ""}) {
    harness.Xdo(typed[0] != '\0' ? typed : "sleep 0");
    harness.Frame();
  }
  EXPECT_FALSE(harness.engine->running) << "Alt+F4 while the keys are withheld";
  harness.Xdo("keyup alt F4");
}

}  // namespace
