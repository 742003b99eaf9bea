// CrashRecovery: brings the overlay's page back when the browser fails under it. It follows the
// page the overlay shows (the game's last LoadURL, and any page the user reached from it through
// a link, a form or a script), reloads it after its renderer crashed, and has the Browser start
// a new browser process and load it after the browser process died. Every crash gives a log
// line; more than kCrashLimit crashes within a minute give up instead (one line on standard
// error, a transparent overlay) until the game's next LoadURL tries once more.
//
// A browser that never showed a page is not restarted: that is a failure to start, which the
// client reports as before.
//
// Threads: PageCreated, PageEvent, BrowserEnded and PageCrashed on the browser's reader thread;
// PageRequested, TakeRestart and RestartFailed on the main thread. `lock` guards all state; no
// call goes out while it is held.
#pragma once

#include <chrono>
#include <deque>
#include <mutex>
#include <string>

#include "overlay/PageFeature.h"

namespace CorvaneEngine {

class CrashRecovery : public PageFeature {
 public:
  static constexpr int kCrashLimit = 3;  // crashes within a minute that are still recovered

  void PageCreated(HeadlessView& view) override;
  // Follows the page's main frame (Page.frameNavigated, Page.navigatedWithinDocument).
  void PageEvent(HeadlessView& view, const std::string& method,
                 const nlohmann::json& params) override;
  // The browser process ended (`what` says how). False when it never showed a page: the caller
  // reports a failure to start. Otherwise logged and counted, and a restart is due unless it
  // gave up.
  bool BrowserEnded(const std::string& what);
  // The page's renderer crashed: logged and counted, and the page loaded again unless it gave up.
  void PageCrashed(HeadlessView& view);

  // The game asked for a page: that is the page to bring back. After giving up, one more try.
  void PageRequested(const std::string& url);
  // True once for each restart that is due, with the page to load in it (empty: none yet).
  bool TakeRestart(std::string& url);
  // A restarted browser could not be started at all: gives up (the next LoadURL tries again).
  void RestartFailed(const std::string& why);

 private:
  // Logs one crash; false, after the standard error line and a transparent overlay, when this
  // one is over the limit.
  bool CountCrash(const std::string& what, const char* recovery);
  void GiveUp(const std::string& why);
  void Follow(const std::string& url);

  std::mutex lock;
  std::deque<std::chrono::steady_clock::time_point> crashes;  // within the last minute
  std::string lastURL;   // empty until the game asks for a page
  std::string topFrame;  // the page's main frame id
  bool shown = false;    // a browser of this overlay has created its page
  bool browserDead = false;
  bool restartDue = false;
  bool givenUp = false;
};

}  // namespace CorvaneEngine
