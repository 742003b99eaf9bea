// BasicMouse: the portable mouse that game code reads through BasicMouse::instance: three
// buttons with the keyboard's edge queries, the pointer in window pixels and as fractions of the
// window size, and the system cursor.
//
// Threads: main thread only.
#pragma once

#include <cstdint>

namespace CorvaneEngine {

// Button indices of the queries.
enum MouseButton : int32_t { MouseLeft = 0, MouseRight = 1, MouseMiddle = 2, MouseButtonCount = 3 };

// The pointer as fractions of the window size: 0 at the left and top edge, 1 at the other.
struct MousePosition {
  float x = 0.0f;
  float y = 0.0f;
};

class BasicMouse {
 public:
  // The constructor makes this mouse BasicMouse::instance; the destructor clears it.
  BasicMouse() { instance = this; }
  virtual ~BasicMouse() {
    if (instance == this) instance = nullptr;
  }
  BasicMouse(const BasicMouse&) = delete;
  BasicMouse& operator=(const BasicMouse&) = delete;

  // Takes the pointer and the buttons and advances the records by one frame (input system).
  virtual void Update() = 0;
  virtual void HideCursor() {}
  virtual void ShowCursor() {}
  virtual bool IsCursorVisible() { return true; }
  virtual const MousePosition& GetPosition() = 0;
  virtual int32_t GetX() = 0;  // window pixels
  virtual int32_t GetY() = 0;
  virtual bool IsDown(int32_t button) = 0;
  virtual bool IsReleased(int32_t button) = 0;
  virtual bool IsRepeat(int32_t button) = 0;
  virtual bool IsPressed(int32_t button) = 0;
  // Whether the pointer moved by more than 0.001 of the window size on an axis in the last update.
  virtual bool HasMoved() = 0;

  static BasicMouse* instance;
};

}  // namespace CorvaneEngine
