// InputSystem_SDL: the input System over SDL 1.2. Owns the keyboard and the mouse and advances
// them once per frame, right after the window system has pumped SDL's events, so that code
// running later in the frame sees this frame's keys and buttons.
//
// Owned by the program entry (the second System added). Threads: main thread only.
#pragma once

#include "presentation/BasicInputSystem.h"

namespace CorvaneEngine {

class KeyboardSystem_SDL;
class MouseSystem_SDL;

class InputSystem_SDL : public BasicInputSystem {
 public:
  InputSystem_SDL();  // creates the keyboard, then the mouse
  ~InputSystem_SDL() override;

  void Update(double seconds) override;  // the keyboard, then the mouse

  KeyboardSystem_SDL* GetKeyboard() { return keyboard; }
  MouseSystem_SDL* GetMouse() { return mouse; }

  static InputSystem_SDL* instance;

 private:
  KeyboardSystem_SDL* keyboard;  // owned
  MouseSystem_SDL* mouse;        // owned
};

}  // namespace CorvaneEngine
