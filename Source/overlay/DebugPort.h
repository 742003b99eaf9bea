// DebugPort: Chrome DevTools for the people who write the game's pages. With the
// environment variable CORVANE_DEVTOOLS_PORT set to a port number, the browser also listens for
// DevTools on 127.0.0.1 at that port (never on another address), so chrome://inspect (or
// http://127.0.0.1:<port>) opens the live page. Without it no TCP port is open; an invalid
// value is logged and ignored.
//
// An inspector is a second protocol session on the overlay's page. When one attaches or leaves,
// or stops a screencast of its own, the browser drops the page's transparent background, and the
// page would cover the scene with white; so while the port is open the overlay sets the
// background again every kBackgroundSeconds (the browser ignores a repeat of the value it has).
//
// Threads: BrowserArguments anywhere; PageCreated on the browser's reader thread; Update on the
// main thread. `lock` guards the page.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "overlay/PageFeature.h"

namespace CorvaneEngine {

class DebugPort : public PageFeature {
 public:
  static constexpr double kBackgroundSeconds = 0.1;

  // The port asked for by CORVANE_DEVTOOLS_PORT (0: none, or not a port number).
  static int Port();
  // The browser's arguments for it (none without a port).
  static std::vector<std::string> BrowserArguments();

  void PageCreated(HeadlessView& view) override;
  void Update(double seconds) override;

 private:
  std::mutex lock;
  std::weak_ptr<HeadlessView> page;
  bool portOpen = false;         // the browser of `page` listens for inspectors
  double sinceBackground = 0.0;  // main thread only
};

}  // namespace CorvaneEngine
