// KeyState: where a key or mouse button stands after the last input update. Shared by the
// keyboard and the mouse records.
#pragma once

#include <cstdint>

namespace CorvaneEngine {

enum KeyState : int32_t {
  Held = 0,      // down in the last two updates
  Pressed = 1,   // went down in the last update
  Released = 2,  // went up in the last update
  Up = 3,        // up in the last two updates; the initial state
};

}  // namespace CorvaneEngine
