// Browser: the HTML overlay. Runs one off-screen page at the window's size in a headless
// Chromium; every painted image goes into the graphics system's page texture. The window system
// hands it keyboard, character and mouse events; the game switches pages with LoadURL.
//
// Every operation below is dropped until the browser is ready (its page exists), except LoadURL:
// the last page asked for before then is loaded once ready. The input operations are virtual so
// that tests can stand in for the browser.
//
// Threads: main thread. The client's call-backs run on the browser thread.
#pragma once

#include <cstdint>
#include <memory>

#include "core/System.h"

namespace CorvaneEngine {

class BrowserClient;
class HeadlessBrowser;
class PageKeyboard;

class Browser : public System {
 public:
  Browser();
  ~Browser() override;

  void Initialize() override;  // starts the browser and creates the page (empty, transparent)
  void Shutdown() override;    // closes the page and ends the browser process
  void Update(double seconds) override;  // the page features' per-frame work

  virtual void LoadURL(const char* url);  // UTF-8
  // Lays the page out at the window's current size and reloads it (after a video-mode change).
  virtual void Resize();
  // SDL key symbol and modifier state, the character the key typed (SDL's unicode of the
  // key-down, 0 for none: it is typed with the key-down) and the X keycode of the physical key
  // (0 when unknown). A held key repeats in the page until its KeyUp.
  virtual void KeyDown(int32_t symbol, int32_t modifiers, uint32_t character = 0,
                       int32_t scancode = 0);
  virtual void KeyUp(int32_t symbol, int32_t modifiers = 0, int32_t scancode = 0);
  // A character typed without a key event of its own: its Unicode code point and the SDL
  // modifier state at the time.
  virtual void CharInput(uint32_t character, uint32_t modifiers);
  virtual void MouseMove(int32_t x, int32_t y);                  // window pixels
  virtual void MouseDown(int32_t button, int32_t x, int32_t y);  // SDL button number
  virtual void MouseUp(int32_t x, int32_t y, int32_t button);

  // True once the page exists (it never goes back).
  bool IsReady() const;
  // The browser layer (null before Initialize); tests look at its process and open pages.
  HeadlessBrowser* GetHeadlessBrowser() const { return headless.get(); }

  static Browser* instance;  // set by the program entry, cleared by the destructor

 protected:
  BrowserClient* client = nullptr;  // owned; outlives the browser layer's reader thread
  std::unique_ptr<HeadlessBrowser> headless;
  PageKeyboard* keyboard = nullptr;  // one of the client's page features
};

}  // namespace CorvaneEngine
