// KeyTranslation: SDL 1.2 key symbols to the Windows virtual-key codes the page's key events
// carry, and SDL modifier states to the browser's modifier bits. The table has one entry per
// SDL key symbol and is filled on first use; every symbol maps to itself except the letters
// (a-z to the virtual-key codes 65-90, which is what pages expect: the lower-case codes 97-122
// are the numeric keypad's), the quote, minus and period keys, the arrow and navigation keys
// and F1-F15.
//
// Threads: main thread only (the table is filled lazily without a lock).
#pragma once

#include <cstdint>

namespace CorvaneEngine {

class KeyTranslation {
 public:
  static constexpr int32_t kSymbolCount = 323;  // SDLK_LAST

  // The virtual-key code of an SDL key symbol; a symbol outside the table passes unchanged.
  static int32_t Translate(int32_t symbol);
  // SDL modifier state (KMOD_*) to the browser's bits: Alt 1, Ctrl 2, Meta 4, Shift 8.
  static uint32_t Modifiers(uint32_t sdlModifiers);

 private:
  static void Fill();
  static int32_t table[kSymbolCount];
  static bool filled;
};

}  // namespace CorvaneEngine
