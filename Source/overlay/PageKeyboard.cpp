#include "overlay/PageKeyboard.h"

#include <SDL_keyboard.h>

#include <cstring>

#include "overlay/BrowserClient.h"
#include "overlay/HeadlessView.h"

namespace CorvaneEngine {

namespace {

// SDL reports CapsLock and NumLock going down when the lock turns on and up when it turns off;
// each of those is a whole press of the key.
bool SdlLockKey(int32_t symbol) {
  return symbol == SDLK_CAPSLOCK || symbol == SDLK_NUMLOCK;
}

// The key a key-up reports when Shift changed since its key-down: browsers read the key again
// at the key-up. Letters change case; a shifted US character goes back to its key's own one
// (only when the layout agrees with the US one there, so other layouts keep the key-down's).
std::string KeyAfterShiftChange(const KeyDescription& down, int32_t symbol, bool shift) {
  const std::string& key = down.key;
  if (key.size() != 1) return key;
  char c = key[0];
  if (c >= 'a' && c <= 'z' && shift) return std::string(1, static_cast<char>(c - 'a' + 'A'));
  if (c >= 'A' && c <= 'Z' && !shift) return std::string(1, static_cast<char>(c - 'A' + 'a'));
  static const char kUnshifted[] = "`1234567890-=[]\\;',./";
  static const char kShifted[] = "~!@#$%^&*()_+{}|:\"<>?";
  const char* at = std::strchr(kShifted, c);
  if (!shift && at != nullptr && kUnshifted[at - kShifted] == symbol) {
    return std::string(1, static_cast<char>(symbol));
  }
  return key;
}

}  // namespace

void PageKeyboard::KeyDown(int32_t symbol, uint32_t sdlModifiers, uint32_t character,
                           int32_t scancode) {
  std::shared_ptr<HeadlessView> page = client.ReadyBrowser();
  if (!page) return;
  KeyDescription key = KeyTranslation::Describe(symbol, sdlModifiers, character, scancode);
  // A modifier's own key-down already counts it as held, as in browsers.
  uint32_t modifiers = KeyTranslation::Modifiers(sdlModifiers) | key.modifierBit;
  page->SendKeyEvent(HeadlessView::KeyEventType::KeyDown, key, modifiers, false);
  if (SdlLockKey(symbol)) {
    page->SendKeyEvent(HeadlessView::KeyEventType::KeyUp, key, modifiers, false);
    return;
  }
  const int64_t id = KeyId(symbol, scancode);
  down[id] = key;
  // As on a desktop, only the last key pressed repeats; a modifier or lock key stops it.
  repeating = Repeats(key);
  if (repeating) {
    repeatingId = id;
    held = HeldKey{symbol, key, modifiers, 0.0, kRepeatDelay};
  }
}

void PageKeyboard::KeyUp(int32_t symbol, uint32_t sdlModifiers, int32_t scancode) {
  if (SdlLockKey(symbol)) {
    KeyDown(symbol, sdlModifiers, 0, scancode);
    return;
  }
  const int64_t id = KeyId(symbol, scancode);
  if (repeating && repeatingId == id) repeating = false;
  auto found = down.find(id);
  KeyDescription key;
  if (found != down.end()) {
    // The character is not known any more: the key-down's, read again for the Shift state.
    key = found->second;
    key.key = KeyAfterShiftChange(key, symbol, (sdlModifiers & KMOD_SHIFT) != 0);
    down.erase(found);
  } else {
    key = KeyTranslation::Describe(symbol, sdlModifiers, 0, scancode);
  }
  std::shared_ptr<HeadlessView> page = client.ReadyBrowser();
  if (!page) return;
  uint32_t modifiers = KeyTranslation::Modifiers(sdlModifiers) & ~key.modifierBit;
  page->SendKeyEvent(HeadlessView::KeyEventType::KeyUp, key, modifiers, false);
}

void PageKeyboard::CharInput(uint32_t character, uint32_t sdlModifiers) {
  std::shared_ptr<HeadlessView> page = client.ReadyBrowser();
  if (!page) return;
  KeyDescription key;
  key.keyCode = static_cast<int32_t>(character);
  key.key = key.text = KeyTranslation::Utf8(character);
  page->SendKeyEvent(HeadlessView::KeyEventType::Char, key, KeyTranslation::Modifiers(sdlModifiers),
                     false);
}

void PageKeyboard::Update(double seconds) {
  if (!repeating) return;
  std::shared_ptr<HeadlessView> page = client.ReadyBrowser();
  // A key-up the window never saw (the key let go in another window) must not repeat forever.
  if (!page || !StillHeld()) {
    repeating = false;
    return;
  }
  held.heldFor += seconds;
  for (int sent = 0; held.heldFor >= held.nextRepeat && sent < kMaxRepeatsPerFrame; ++sent) {
    page->SendKeyEvent(HeadlessView::KeyEventType::KeyDown, held.key, held.modifiers, true);
    held.nextRepeat += kRepeatInterval;
  }
  if (held.heldFor >= held.nextRepeat) held.nextRepeat = held.heldFor + kRepeatInterval;
}

bool PageKeyboard::Repeats(const KeyDescription& key) {
  return key.modifierBit == 0 && key.key != "CapsLock" && key.key != "NumLock" &&
         key.key != "ScrollLock" && key.key != "AltGraph";
}

// SDL's own key state, not the game's key records: a game may be told that keys are up while the
// page has them.
bool PageKeyboard::StillHeld() const {
  if (held.symbol <= 0 || held.symbol >= KeyTranslation::kSymbolCount) return true;
  return SDL_GetKeyState(nullptr)[held.symbol] != 0;
}

}  // namespace CorvaneEngine
