#include "presentation/KeyboardSystem_SDL.h"

#include <SDL.h>

namespace CorvaneEngine {

// The named keys of BasicKeyboard.h are SDL's symbols.
static_assert(int{KeyCount} == int{SDLK_LAST}, "one key record per SDL key symbol");
static_assert(int{KeySpace} == int{SDLK_SPACE} && int{KeyF4} == int{SDLK_F4} &&
                  int{KeyLeftAlt} == int{SDLK_LALT} && int{KeyRightAlt} == int{SDLK_RALT} &&
                  int{KeyLeftArrow} == int{SDLK_LEFT} && int{KeyLeftShift} == int{SDLK_LSHIFT} &&
                  int{KeyEscape} == int{SDLK_ESCAPE} && int{KeyRightCtrl} == int{SDLK_RCTRL},
              "key names match SDL 1.2 key symbols");

KeyboardSystem_SDL::KeyboardSystem_SDL() : keyStates(SDL_GetKeyState(nullptr)) {
  for (int32_t i = 0; i < KeyCount; ++i) keyRecords[i].code = gameRecords[i].code = i;
}

void KeyboardSystem_SDL::Update() {
  for (int32_t i = 0; i < KeyCount; ++i) {
    const bool down = keyStates[i] != 0;
    KeyRecord& record = keyRecords[i];
    KeyRecord& game = gameRecords[i];
    // Nearly every key is up and stays up: skip the calls for those.
    if (!down && record.state == Up && game.state == Up) continue;
    if (down || record.state != Up) record.Advance(down);
    swallowed[i] = down && (swallowed[i] || withholding);
    const bool gameDown = down && !swallowed[i];
    if (gameDown || game.state != Up) game.Advance(gameDown);
  }
}

}  // namespace CorvaneEngine
