// KeyTranslation: what a desktop browser on a US keyboard reports for a key of the game window.
// SDL 1.2 gives a key symbol (from the layout), the X keycode of the physical key and, on a
// key-down, the character typed; pages read the Windows virtual-key code (keyCode), `key`, `code`
// and `location`. The symbol table (`keyTranslation`, one entry per SDL key symbol, filled on
// first use) gives the virtual-key code of every key that has one: the letters as 65-90 (97-122
// would be the keypad's), digits, punctuation (VK_OEM_*), the editing, arrow and function keys,
// the keypad (VK_NUMPAD*) and left and right modifiers. `code` names the physical key from the X
// keycode, so other layouts report where the key is, as browsers do; `key` is the character
// typed when there is one, otherwise the key's name.
//
// Threads: main thread only (the table is filled lazily without a lock).
#pragma once

#include <cstdint>
#include <string>

namespace CorvaneEngine {

// One key as the page's key events carry it.
struct KeyDescription {
  int32_t keyCode = 0;   // Windows virtual-key code
  std::string key;       // DOM `key`: the character, or the key's name ("Shift", "ArrowLeft"...)
  std::string code;      // DOM `code`: the physical key ("KeyA", "Numpad7"...); empty if unknown
  std::string text;      // what the key types (UTF-8); empty for keys that type nothing
  int32_t location = 0;  // 0 standard, 1 left, 2 right, 3 keypad
  bool isKeypad = false;
  uint32_t modifierBit = 0;  // the browser's modifier bit the key itself sets (Shift: 8), or 0
};

class KeyTranslation {
 public:
  static constexpr int32_t kSymbolCount = 323;  // SDLK_LAST

  // The virtual-key code of an SDL key symbol (the keypad's as with NumLock on); 0 for a symbol
  // without one, and a symbol outside the table passes unchanged.
  static int32_t Translate(int32_t symbol);
  // SDL modifier state (KMOD_*) to the browser's bits: Alt 1, Ctrl 2, Meta 4, Shift 8.
  static uint32_t Modifiers(uint32_t sdlModifiers);
  // The key of an SDL key event: its symbol, the SDL modifier state, the character typed (0 for
  // none) and the X keycode of the physical key (0 when unknown: the US key of the symbol).
  static KeyDescription Describe(int32_t symbol, uint32_t sdlModifiers, uint32_t character,
                                 int32_t scancode);
  // UTF-8 text of a code point; empty for one that is not a character.
  static std::string Utf8(uint32_t character);

 private:
  static void Fill();
  static int32_t table[kSymbolCount];
  static bool filled;
};

}  // namespace CorvaneEngine
