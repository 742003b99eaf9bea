// Browser: the HTML overlay. Runs one off-screen page at the window's size in a headless
// Chromium; every painted image goes into the graphics system's page texture. The window system
// hands it keyboard, character and mouse events; the game switches pages with LoadURL.
//
// The page's JavaScript dialogs are always answered (PageDialogs), and a page whose renderer or
// browser process died is brought back (CrashRecovery).
//
// The game and its own pages talk to each other (PageBridge has the page's side): the page calls
// corvane.send(name, data) and corvane.call(name, data), which reach the handlers given to
// OnPageMessage and OnPageCall; the game sends events with SendEvent (the page listens with
// corvane.on(name, fn)) and runs script with RunScript. Data are JSON texts both ways. Only pages
// from the game's folder (files below the working directory) take part; the page's console and
// errors go to the log (PageConsole); OnPageReady, OnPageFailed and OnPageReloadedAfterCrash tell
// the game about its page (PageLifecycle). Handlers and callbacks run on the main thread during
// a frame (Update). With CORVANE_DEVTOOLS_PORT the page can be inspected (DebugPort).
//
// Every operation below is dropped until the browser is ready (its page exists), except LoadURL:
// the last page asked for before then is loaded once ready. The input operations are virtual so
// that tests can stand in for the browser.
//
// Threads: main thread. The client's call-backs run on the browser thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/System.h"
#include "overlay/ClickCounter.h"
#include "presentation/PointerShape.h"
#include "overlay/JavaScriptDialog.h"
#include "overlay/PageReply.h"

namespace CorvaneEngine {

class BrowserClient;
class EditableFocus;
class HeadlessBrowser;
class PageCursor;
class PageKeyboard;
class CrashRecovery;
class HeadlessBrowser;
class PageDialogs;
class PageBridge;
class PageLifecycle;

class Browser : public System {
 public:
  Browser();
  ~Browser() override;

  void Initialize() override;  // starts the browser and creates the page (empty, transparent)
  void Shutdown() override;    // closes the page and ends the browser process
  // The page features' per-frame work; starts the browser again after it died under the page.
  void Update(double seconds) override;

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
  // The pointer left the window: the page's hover ends (dropped while a button is held: the
  // page keeps the drag until the release).
  virtual void MouseLeave();

  // The shape of the page's CSS cursor under the pointer (Unset until the page told one); the
  // window system shows it, and a game that draws its own pointer may follow it.
  PointerShape GetPointerShape() const;

  // Decides the page's dialogs (alert, confirm, prompt, leave-page): called on the main thread
  // during a frame, it may answer through the reply then or in a later frame while the page
  // waits. Empty (the default): alert and leave-page are accepted, confirm and prompt cancelled,
  // and each dialog is logged.
  using DialogHandler = std::function<void(const JavaScriptDialog&, DialogReply)>;
  void SetDialogHandler(DialogHandler handler);

  // ---- Messages between the game and its pages ----
  // corvane.send(name, data) of the page: the data as JSON text, in the order the page sent.
  using PageMessageHandler = std::function<void(const std::string& json)>;
  // corvane.call(name, data) of the page: answer through the reply, now or in a later frame.
  using PageCallHandler = std::function<void(const std::string& json, PageReply reply)>;
  // One handler per name; an empty one removes it. A call without a handler is rejected.
  void OnPageMessage(const std::string& name, PageMessageHandler handler);
  void OnPageCall(const std::string& name, PageCallHandler handler);
  // An event for the page's corvane.on(name) listeners, to the page current now or asked for by
  // the latest LoadURL (it waits for that page's document). False, with a log line and nothing
  // sent, when `json` is not valid JSON.
  bool SendEvent(const std::string& name, const std::string& json);
  // Runs script in that same page; `done` gets ok and the script's value as JSON text (a promise
  // is waited for), or not ok and the exception's text (or "the page went away").
  using ScriptCallback = std::function<void(bool ok, const std::string& jsonOrError)>;
  void RunScript(const std::string& script, ScriptCallback done);
  // The main page's document is ready (DOM built), with its URL.
  void OnPageReady(std::function<void(const std::string& url)> handler);
  // A page load asked for with LoadURL failed: the URL and the browser's reason.
  void OnPageFailed(std::function<void(const std::string& url, const std::string& reason)> handler);
  // The page is back after its renderer or the browser crashed (after its OnPageReady), so that
  // the game can send its state again.
  void OnPageReloadedAfterCrash(std::function<void(const std::string& url)> handler);

  // True once the page exists (it never goes back).
  bool IsReady() const;

  // Whether something of the page that takes typing (a text field, a textarea, contenteditable
  // content) has the keyboard focus. Follows the focus a frame or so late.
  bool HasEditableFocus() const;
  // While set (it is not by default), the game's keyboard reports every key as up whenever the
  // page has such focus, so that typing into the page does not also drive the game. Alt+F4
  // still ends the program.
  void KeepTypingFromGame(bool keep);
  // Whether the page draws something (is not transparent) under the pointer, in its latest
  // image: a click there is meant for the page rather than the game.
  bool IsPointerOverPage() const;
  // The same at window pixel (x, y) from the top left.
  bool IsPageDrawnAt(int32_t x, int32_t y) const;
  // The browser layer (null before Initialize); tests look at its process and open pages.
  HeadlessBrowser* GetHeadlessBrowser() const { return headless.get(); }

  static Browser* instance;  // set by the program entry, cleared by the destructor

 protected:
  BrowserClient* client = nullptr;         // owned; outlives the browser layer's reader thread
  EditableFocus* editableFocus = nullptr;  // owned by the client
  std::unique_ptr<HeadlessBrowser> headless;
  ClickCounter clicks;
  PageCursor* cursor = nullptr;  // a feature owned by `client`
  PageKeyboard* keyboard = nullptr;  // one of the client's page features

 private:
  bool StartBrowser(std::string& error);
  void Restart(const std::string& url);

  PageDialogs* dialogs = nullptr;  // owned by the client, as its features
  CrashRecovery* recovery = nullptr;
  PageBridge* bridge = nullptr;  // features owned by the client
  PageLifecycle* lifecycle = nullptr;
};

}  // namespace CorvaneEngine
