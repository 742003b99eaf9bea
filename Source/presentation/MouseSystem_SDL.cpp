#include "presentation/MouseSystem_SDL.h"

#include <SDL.h>

#include <cmath>

#include "presentation/BasicWindowSystem.h"

namespace CorvaneEngine {

MouseSystem_SDL::MouseSystem_SDL() {
  // Record order is left, right, middle; SDL numbers the buttons left, middle, right.
  buttonRecords[MouseLeft].code = SDL_BUTTON(SDL_BUTTON_LEFT);
  buttonRecords[MouseRight].code = SDL_BUTTON(SDL_BUTTON_RIGHT);
  buttonRecords[MouseMiddle].code = SDL_BUTTON(SDL_BUTTON_MIDDLE);
}

void MouseSystem_SDL::Update() {
  previousPosition = normalizedPosition;
  int x = 0;
  int y = 0;
  buttons = SDL_GetMouseState(&x, &y);
  pixelX = x;
  pixelY = y;
  BasicWindowSystem* window = BasicWindowSystem::instance;
  int32_t windowWidth = window != nullptr ? window->GetWidth() : 0;
  int32_t windowHeight = window != nullptr ? window->GetHeight() : 0;
  // Without a window size there is nothing to be a fraction of; stay at the top left.
  normalizedPosition.x = windowWidth > 0 ? static_cast<float>(x) / windowWidth : 0.0f;
  normalizedPosition.y = windowHeight > 0 ? static_cast<float>(y) / windowHeight : 0.0f;
  for (KeyRecord& record : buttonRecords) record.Advance((buttons & record.code) != 0);
}

void MouseSystem_SDL::HideCursor() {
  cursorVisible = false;
  SDL_ShowCursor(0);
}

void MouseSystem_SDL::ShowCursor() {
  cursorVisible = true;
  SDL_ShowCursor(1);
}

bool MouseSystem_SDL::HasMoved() {
  return std::fabs(normalizedPosition.x - previousPosition.x) > MoveThreshold ||
         std::fabs(normalizedPosition.y - previousPosition.y) > MoveThreshold;
}

}  // namespace CorvaneEngine
