// Mouse: real pointer moves and button presses from the X server: the button indices, the
// normalised position, the HasMoved threshold and the cursor.
#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "presentation/BasicMouse.h"

using namespace CorvaneEngine;
using namespace CorvaneTest;

namespace {

void MoveTo(WindowHarness& harness, int x, int y) {
  harness.Xdo("mousemove --window " + std::to_string(harness.window->GetWindowHandle()) + " " +
              std::to_string(x) + " " + std::to_string(y));
  harness.Frame();
}

TEST(Mouse, ButtonsMapToLeftRightMiddleAndPositionsAreFractionsOfTheWindow) {
  WindowHarness harness(WindowConfig(800, 600, false));
  ASSERT_TRUE(harness.Opened());
  BasicMouse* mouse = BasicMouse::instance;
  // "d" down, "p" pressed, "r" released for the left, right and middle records.
  auto states = [&] {
    std::string s;
    for (int32_t i : {MouseLeft, MouseRight, MouseMiddle}) {
      s += std::string(mouse->IsDown(i) ? "d" : "") + (mouse->IsPressed(i) ? "p" : "") +
           (mouse->IsReleased(i) ? "r" : "") + "|";
    }
    return s;
  };
  // X numbers the buttons 1 left, 2 middle, 3 right.
  std::vector<std::string> seen;
  for (const char* button : {"1", "3", "2"}) {
    harness.Xdo(std::string("mousedown ") + button);
    harness.Frame();
    seen.push_back(states());
    harness.Frame();
    seen.push_back(states());
    harness.Xdo(std::string("mouseup ") + button);
    harness.Frame();
    seen.push_back(states());
    harness.Frame();
  }
  EXPECT_EQ((std::vector<std::string>{"dp|||", "d|||", "r|||", "|dp||", "|d||", "|r||", "||dp|",
                                      "||d|", "||r|"}),
            seen);

  MoveTo(harness, 400, 300);
  EXPECT_EQ(400, mouse->GetX());
  EXPECT_EQ(300, mouse->GetY());
  EXPECT_FLOAT_EQ(0.5f, mouse->GetPosition().x);
  EXPECT_FLOAT_EQ(0.5f, mouse->GetPosition().y);
  MoveTo(harness, 200, 450);
  EXPECT_FLOAT_EQ(0.25f, mouse->GetPosition().x);
  EXPECT_FLOAT_EQ(0.75f, mouse->GetPosition().y);

  mouse->HideCursor();
  EXPECT_FALSE(mouse->IsCursorVisible());
  EXPECT_EQ(SDL_DISABLE, SDL_ShowCursor(SDL_QUERY));
  mouse->ShowCursor();
  EXPECT_EQ(SDL_ENABLE, SDL_ShowCursor(SDL_QUERY));
}

TEST(Mouse, HasMovedNeedsMoreThanAThousandthOfTheWindowOnAnAxis) {
  // One pixel is 0.00083 of 1200 (no move) but 0.00143 of 700 (a move).
  WindowHarness harness(WindowConfig(1200, 700, false));
  ASSERT_TRUE(harness.Opened());
  BasicMouse* mouse = BasicMouse::instance;
  std::vector<bool> moved;
  for (auto [x, y] : {std::pair{600, 350}, {600, 350}, {601, 350}, {603, 350}, {603, 351}}) {
    MoveTo(harness, x, y);
    moved.push_back(mouse->HasMoved());
  }
  EXPECT_EQ((std::vector<bool>{true, false, false, true, true}), moved);
}

}  // namespace
