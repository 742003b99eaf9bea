// PageKeyboard: the game window's keys as the page's key events. Describes every key as a
// desktop browser does (KeyTranslation), types a key-down's character with the key itself (so the
// page's keypress carries the key and text is typed once), gives each key-up the key its key-down
// had, and repeats a held key in the page with a desktop's delay and rate: SDL's own key repeat
// stays off, because the game's key records must see one press per press.
// Owned by the BrowserClient as one of its page features; the Browser forwards its key input.
//
// Threads: main thread only (KeyDown, KeyUp, CharInput, Update).
#pragma once

#include <cstdint>
#include <map>

#include "overlay/KeyTranslation.h"
#include "overlay/PageFeature.h"

namespace CorvaneEngine {

class BrowserClient;

class PageKeyboard : public PageFeature {
 public:
  // Half a second before the first repeat, then 30 a second: the usual desktop setting (the
  // keyboard settings of GNOME and Windows by default; a bare X server's 660 ms and 25 a second
  // feel sluggish next to them).
  static constexpr double kRepeatDelay = 0.5;
  static constexpr double kRepeatInterval = 1.0 / 30.0;
  // A slow frame sends the repeats it owes up to this many; the rest are dropped rather than
  // arriving as a burst.
  static constexpr int kMaxRepeatsPerFrame = 4;

  explicit PageKeyboard(BrowserClient& client) : client(client) {}

  // SDL symbol, modifier state, the character typed (0: none) and the X keycode (0: unknown).
  void KeyDown(int32_t symbol, uint32_t sdlModifiers, uint32_t character, int32_t scancode);
  void KeyUp(int32_t symbol, uint32_t sdlModifiers, int32_t scancode);
  // A character that came without a key (typed once, no key events).
  void CharInput(uint32_t character, uint32_t sdlModifiers);
  // Sends the repeats of the held key that are due.
  void Update(double seconds) override;

 private:
  struct HeldKey {
    int32_t symbol = 0;
    KeyDescription key;
    uint32_t modifiers = 0;  // the browser's bits at the key-down
    double heldFor = 0.0;    // seconds since the key-down
    double nextRepeat = 0.0;
  };
  static int64_t KeyId(int32_t symbol, int32_t scancode) {
    return (static_cast<int64_t>(scancode) << 32) | static_cast<uint32_t>(symbol);
  }
  static bool Repeats(const KeyDescription& key);
  bool StillHeld() const;

  BrowserClient& client;
  std::map<int64_t, KeyDescription> down;  // keys down in the page, for their key-ups
  bool repeating = false;
  int64_t repeatingId = 0;
  HeldKey held;
};

}  // namespace CorvaneEngine
