#include "overlay/ClickCounter.h"

#include <cstdlib>

namespace CorvaneEngine {

int32_t ClickCounter::Press(int32_t button, int32_t x, int32_t y, uint32_t milliseconds) {
  const bool continues = button == lastButton && milliseconds - lastTime <= kDoubleClickMs &&
                         std::abs(x - lastX) <= kDoubleClickSlop &&
                         std::abs(y - lastY) <= kDoubleClickSlop;
  count = continues ? (count < kMaxCount ? count + 1 : kMaxCount) : 1;
  lastButton = button;
  lastX = x;
  lastY = y;
  lastTime = milliseconds;
  return count;
}

int32_t ClickCounter::Release(int32_t button) const {
  return button == lastButton ? count : 1;
}

}  // namespace CorvaneEngine
