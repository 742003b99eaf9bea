#include "presentation/InputSystem_SDL.h"

#include "presentation/KeyboardSystem_SDL.h"
#include "presentation/MouseSystem_SDL.h"

namespace CorvaneEngine {

InputSystem_SDL* InputSystem_SDL::instance = nullptr;

InputSystem_SDL::InputSystem_SDL()
    : keyboard(new KeyboardSystem_SDL()), mouse(new MouseSystem_SDL()) {
  instance = this;
}

InputSystem_SDL::~InputSystem_SDL() {
  delete mouse;
  delete keyboard;
  if (instance == this) instance = nullptr;
}

void InputSystem_SDL::Update(double) {
  keyboard->Update();
  mouse->Update();
}

}  // namespace CorvaneEngine
