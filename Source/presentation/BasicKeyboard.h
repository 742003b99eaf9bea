// BasicKeyboard: the portable keyboard that game code and the window system read, through
// BasicKeyboard::instance. Keys are SDL 1.2 key symbols (0 to 322): letters and digits are
// their lower-case ASCII codes, the space bar is 32. The answers describe the last input
// update: code that runs after the input system in a frame sees this frame's keys, the window
// system (updated before it) sees the previous frame's.
//
// Threads: main thread only.
#pragma once

#include <cstdint>

namespace CorvaneEngine {

// A few SDL 1.2 key symbols by name, so that game code needs no SDL header.
enum KeyCode : int32_t {
  KeyBackspace = 8,
  KeyTab = 9,
  KeyReturn = 13,
  KeyEscape = 27,
  KeySpace = 32,
  KeyUpArrow = 273,
  KeyDownArrow = 274,
  KeyRightArrow = 275,
  KeyLeftArrow = 276,
  KeyF4 = 285,
  KeyRightShift = 303,
  KeyLeftShift = 304,
  KeyRightCtrl = 305,
  KeyLeftCtrl = 306,
  KeyRightAlt = 307,
  KeyLeftAlt = 308,
  KeyCount = 323,  // SDLK_LAST: one record per symbol below this
};

class BasicKeyboard {
 public:
  // The constructor makes this keyboard BasicKeyboard::instance; the destructor clears it.
  BasicKeyboard() { instance = this; }
  virtual ~BasicKeyboard() {
    if (instance == this) instance = nullptr;
  }
  BasicKeyboard(const BasicKeyboard&) = delete;
  BasicKeyboard& operator=(const BasicKeyboard&) = delete;

  // Advances every key record by one frame (called by the input system).
  virtual void Update() = 0;
  virtual bool IsDown(int32_t key) = 0;      // Pressed or Held
  virtual bool IsReleased(int32_t key) = 0;  // went up in the last update
  virtual bool IsRepeat(int32_t key) = 0;    // held through another 500 ms in the last update
  virtual bool IsPressed(int32_t key) = 0;   // went down in the last update

  // While withheld, the answers above report every key as up, so that typing meant for
  // something else (a text field of the page) does not also drive the game. A key that goes
  // up for the game is seen Released first; a key pressed while withheld stays up for the game
  // until it is let go, even if the keys are given back meanwhile.
  virtual void WithholdKeys(bool withheld) { (void)withheld; }
  // The keys as they really are, withheld or not: the engine's own shortcuts (Alt+F4) read
  // these.
  virtual bool IsPhysicallyDown(int32_t key) { return IsDown(key); }
  virtual bool IsPhysicallyPressed(int32_t key) { return IsPressed(key); }

  static BasicKeyboard* instance;
};

}  // namespace CorvaneEngine
