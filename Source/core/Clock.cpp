#include "core/Clock.h"

#include <chrono>

namespace CorvaneEngine {

uint32_t TimeGetTime() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace CorvaneEngine
