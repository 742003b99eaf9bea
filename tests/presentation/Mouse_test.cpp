// Mouse: real pointer moves and button presses from the X server: the button indices, the
// position in pixels and as fractions of the window, the HasMoved threshold and the cursor.
#include "GraphicsTestSupport.h"
#include "presentation/BasicMouse.h"

using namespace CorvaneTest;

TEST(Mouse, ButtonsPositionsTheMoveThresholdAndTheCursor) {
  WindowHarness harness(WindowConfig(1200, 700, false));
  ASSERT_TRUE(harness.Opened());
  BasicMouse* mouse = BasicMouse::instance;
  // X numbers the buttons 1 left, 2 middle, 3 right. Seen after a press, a frame and a release:
  // "d" down, "p" pressed, "r" released for the left, right and middle records.
  std::string seen;
  for (const char* button : {"1", "3", "2"}) {
    for (const char* step : {"mousedown ", "", "mouseup "}) {
      if (*step != '\0') harness.Xdo(step + std::string(button));
      harness.Frame();
      for (int32_t i : {MouseLeft, MouseRight, MouseMiddle})
        seen += std::string(mouse->IsDown(i) ? "d" : "") + (mouse->IsPressed(i) ? "p" : "") +
                (mouse->IsReleased(i) ? "r" : "") + "|";
      seen += " ";
    }
    harness.Frame();
  }
  EXPECT_EQ("dp||| d||| r||| |dp|| |d|| |r|| ||dp| ||d| ||r| ", seen);

  // A move counts when it is more than a thousandth of the window on an axis: one pixel is
  // 0.00083 of 1200 (no move) but 0.00143 of 700 (a move).
  const std::tuple<int, int, bool> moves[] = {{600, 350, true},  {600, 350, false},
                                              {601, 350, false}, {603, 350, true},
                                              {603, 351, true},  {300, 525, true}};
  for (const auto& [x, y, moved] : moves) {
    harness.Xdo("mousemove --window " + std::to_string(harness.window->GetWindowHandle()) + " " +
                std::to_string(x) + " " + std::to_string(y));
    harness.Frame();
    EXPECT_EQ(std::make_tuple(x, y, moved),
              std::make_tuple(mouse->GetX(), mouse->GetY(), mouse->HasMoved()));
    EXPECT_FLOAT_EQ(x / 1200.0f, mouse->GetPosition().x);
    EXPECT_FLOAT_EQ(y / 700.0f, mouse->GetPosition().y);
  }

  mouse->HideCursor();
  EXPECT_EQ(SDL_DISABLE, SDL_ShowCursor(SDL_QUERY));
  mouse->ShowCursor();
  EXPECT_EQ(SDL_ENABLE, SDL_ShowCursor(SDL_QUERY));
}
