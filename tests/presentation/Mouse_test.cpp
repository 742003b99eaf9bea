// Mouse: real pointer moves and button presses from the X server (xdotool through XTest): the
// button indices, the normalised position, the HasMoved threshold and the cursor.
#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "presentation/BasicMouse.h"

using namespace CorvaneEngine;
using CorvaneTest::WindowConfig;
using CorvaneTest::WindowHarness;

static auto* const environment =
    ::testing::AddGlobalTestEnvironment(new CorvaneTest::DisplayEnvironment);

namespace {

std::string MoveTo(WindowHarness& harness, int x, int y) {
  return "mousemove --window " + std::to_string(harness.window->GetWindowHandle()) + " " +
         std::to_string(x) + " " + std::to_string(y);
}

TEST(Mouse, ButtonsMapToLeftRightMiddleAndGoThroughTheKeyStates) {
  WindowHarness harness(WindowConfig(800, 600, false));
  ASSERT_TRUE(harness.Opened());
  BasicMouse* mouse = BasicMouse::instance;
  ASSERT_NE(nullptr, mouse);
  auto downButtons = [&] {
    return std::vector<bool>{mouse->IsDown(MouseLeft), mouse->IsDown(MouseRight),
                             mouse->IsDown(MouseMiddle)};
  };
  // X numbers the buttons 1 left, 2 middle, 3 right.
  struct Case {
    int xButton;
    int32_t index;
  } cases[] = {{1, MouseLeft}, {3, MouseRight}, {2, MouseMiddle}};
  for (const Case& c : cases) {
    SCOPED_TRACE("X button " + std::to_string(c.xButton));
    harness.Xdo("mousedown " + std::to_string(c.xButton));
    harness.Frame();
    std::vector<bool> expected(3, false);
    expected[c.index] = true;
    EXPECT_EQ(expected, downButtons());
    EXPECT_TRUE(mouse->IsPressed(c.index));
    harness.Frame();
    EXPECT_TRUE(mouse->IsDown(c.index));
    EXPECT_FALSE(mouse->IsPressed(c.index));
    harness.Xdo("mouseup " + std::to_string(c.xButton));
    harness.Frame();
    EXPECT_TRUE(mouse->IsReleased(c.index));
    EXPECT_EQ(std::vector<bool>(3, false), downButtons());
    harness.Frame();
    EXPECT_FALSE(mouse->IsReleased(c.index));
  }
}

TEST(Mouse, PositionIsAFractionOfTheWindowSize) {
  WindowHarness harness(WindowConfig(800, 600, false));
  ASSERT_TRUE(harness.Opened());
  BasicMouse* mouse = BasicMouse::instance;
  harness.Xdo(MoveTo(harness, 400, 300));
  harness.Frame();
  EXPECT_EQ(400, mouse->GetX());
  EXPECT_EQ(300, mouse->GetY());
  EXPECT_FLOAT_EQ(0.5f, mouse->GetPosition().x);
  EXPECT_FLOAT_EQ(0.5f, mouse->GetPosition().y);
  EXPECT_TRUE(mouse->HasMoved());
  harness.Frame();
  EXPECT_FALSE(mouse->HasMoved());
  harness.Xdo(MoveTo(harness, 200, 450));
  harness.Frame();
  EXPECT_FLOAT_EQ(0.25f, mouse->GetPosition().x);
  EXPECT_FLOAT_EQ(0.75f, mouse->GetPosition().y);
}

TEST(Mouse, HasMovedNeedsMoreThanAThousandthOfTheWindowOnAnAxis) {
  // 1200 pixels wide: one pixel is 0.00083 of the width, two are 0.00167.
  WindowHarness harness(WindowConfig(1200, 700, false));
  ASSERT_TRUE(harness.Opened());
  BasicMouse* mouse = BasicMouse::instance;
  harness.Xdo(MoveTo(harness, 600, 350));
  harness.Frame();
  harness.Frame();
  ASSERT_FALSE(mouse->HasMoved());
  harness.Xdo(MoveTo(harness, 601, 350));
  harness.Frame();
  EXPECT_EQ(601, mouse->GetX());
  EXPECT_FALSE(mouse->HasMoved());
  harness.Xdo(MoveTo(harness, 603, 350));
  harness.Frame();
  EXPECT_TRUE(mouse->HasMoved());
  // 700 pixels high: one pixel is 0.00143 of the height.
  harness.Xdo(MoveTo(harness, 603, 351));
  harness.Frame();
  EXPECT_TRUE(mouse->HasMoved());
}

TEST(Mouse, HidingTheCursorHidesTheSystemCursor) {
  WindowHarness harness(WindowConfig(640, 480, false));
  ASSERT_TRUE(harness.Opened());
  BasicMouse* mouse = BasicMouse::instance;
  EXPECT_TRUE(mouse->IsCursorVisible());
  mouse->HideCursor();
  EXPECT_FALSE(mouse->IsCursorVisible());
  EXPECT_EQ(SDL_DISABLE, SDL_ShowCursor(SDL_QUERY));
  mouse->ShowCursor();
  EXPECT_TRUE(mouse->IsCursorVisible());
  EXPECT_EQ(SDL_ENABLE, SDL_ShowCursor(SDL_QUERY));
}

}  // namespace
