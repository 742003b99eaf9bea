// BasicInputSystem: the portable face of the input System, which owns the keyboard and the mouse
// and advances them once per frame. Game code reads them through BasicKeyboard::instance and
// BasicMouse::instance.
//
// Threads: main thread only.
#pragma once

#include "core/System.h"

namespace CorvaneEngine {

class BasicInputSystem : public System {
 public:
  BasicInputSystem() { instance = this; }
  ~BasicInputSystem() override {
    if (instance == this) instance = nullptr;
  }

  static BasicInputSystem* instance;
};

}  // namespace CorvaneEngine
