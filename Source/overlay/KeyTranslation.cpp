#include "overlay/KeyTranslation.h"

#include <SDL_keysym.h>

namespace CorvaneEngine {

int32_t KeyTranslation::table[KeyTranslation::kSymbolCount];
bool KeyTranslation::filled = false;

static_assert(SDLK_LAST == KeyTranslation::kSymbolCount, "one entry per SDL key symbol");

void KeyTranslation::Fill() {
  for (int32_t symbol = 0; symbol < kSymbolCount; ++symbol) table[symbol] = symbol;
  for (int32_t letter = SDLK_a; letter <= SDLK_z; ++letter) table[letter] = letter - SDLK_a + 65;
  table[SDLK_QUOTE] = 222;   // VK_OEM_7
  table[SDLK_MINUS] = 189;   // VK_OEM_MINUS
  table[SDLK_PERIOD] = 190;  // VK_OEM_PERIOD
  table[SDLK_UP] = 38;
  table[SDLK_DOWN] = 40;
  table[SDLK_RIGHT] = 39;
  table[SDLK_LEFT] = 37;
  table[SDLK_INSERT] = 45;
  table[SDLK_HOME] = 36;
  table[SDLK_END] = 35;
  table[SDLK_PAGEUP] = 33;    // VK_PRIOR
  table[SDLK_PAGEDOWN] = 34;  // VK_NEXT
  for (int32_t key = SDLK_F1; key <= SDLK_F15; ++key) table[key] = key - SDLK_F1 + 112;
  filled = true;
}

int32_t KeyTranslation::Translate(int32_t symbol) {
  if (!filled) Fill();
  if (symbol < 0 || symbol >= kSymbolCount) return symbol;
  return table[symbol];
}

uint32_t KeyTranslation::Modifiers(uint32_t sdl) {
  uint32_t bits = 0;
  if (sdl & KMOD_ALT) bits |= 1;
  if (sdl & KMOD_CTRL) bits |= 2;
  if (sdl & KMOD_META) bits |= 4;
  if (sdl & KMOD_SHIFT) bits |= 8;
  return bits;
}

}  // namespace CorvaneEngine
