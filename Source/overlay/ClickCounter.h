// ClickCounter: the click count of each mouse press, as a desktop browser counts it. A press of
// the same button within kDoubleClickMs of the previous press and within kDoubleClickSlop pixels
// of it on each axis (the 4-pixel square centred on the first press that Windows and Chromium
// on Linux use) continues the series: 2 is a double click, 3 a triple click, and the count stays
// at 3 after that, as Chromium keeps it. A release carries the count of its press.
//
// Threads: main thread only.
#pragma once

#include <cstdint>

namespace CorvaneEngine {

class ClickCounter {
 public:
  static constexpr uint32_t kDoubleClickMs = 500;
  static constexpr int32_t kDoubleClickSlop = 2;
  static constexpr int32_t kMaxCount = 3;

  // The count of a press of `button` at (x, y) at `milliseconds` (any clock; may wrap).
  int32_t Press(int32_t button, int32_t x, int32_t y, uint32_t milliseconds);
  // The count of the release of `button`: that of its last press (1 without one).
  int32_t Release(int32_t button) const;

 private:
  int32_t lastButton = -1;  // -1: no press yet
  int32_t lastX = 0;
  int32_t lastY = 0;
  uint32_t lastTime = 0;
  int32_t count = 0;
};

}  // namespace CorvaneEngine
