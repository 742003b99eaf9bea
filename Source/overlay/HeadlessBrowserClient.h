// HeadlessBrowserClient and HeadlessPopupHandler: what the headless browser layer calls back.
// The overlay's BrowserClient and PopupHandler implement them.
//
// Threads: every call-back runs on the browser's reader thread, one at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>

namespace CorvaneEngine {

class HeadlessView;

// Told about one popup: each navigation the popup makes, in order, until it is closed.
class HeadlessPopupHandler {
 public:
  virtual ~HeadlessPopupHandler() = default;
  virtual void PopupNavigating(const std::shared_ptr<HeadlessView>& popup,
                               const std::string& url) = 0;
};

class HeadlessBrowserClient {
 public:
  virtual ~HeadlessBrowserClient() = default;
  // The page exists and takes commands.
  virtual void PageCreated(const std::shared_ptr<HeadlessView>& view) = 0;
  // A new page image: width x height x 4 bytes, blue, green, red, alpha (straight), rows from
  // the top. Valid only during the call.
  virtual void PagePainted(HeadlessView& view, int32_t width, int32_t height,
                           const uint8_t* bgraRowsFromTop) = 0;
  // A page load asked for with HeadlessView::LoadURL failed; `reason` is the browser's (for a
  // missing file "net::ERR_FILE_NOT_FOUND").
  virtual void PageLoadFailed(HeadlessView& view, const std::string& url,
                              const std::string& reason) = 0;
  // The page is gone (closed on request, or with the browser process).
  virtual void PageClosed(HeadlessView& view) = 0;
  // The page opened a popup; the answer handles its navigations (null: it is closed at once).
  virtual std::shared_ptr<HeadlessPopupHandler> PopupOpening(
      const std::shared_ptr<HeadlessView>& parent) = 0;
  // The browser process died, or never answered; `what` says which.
  virtual void BrowserFailed(const std::string& what) = 0;
  // The page's renderer crashed; the page stays (and may be loaded again) in the same browser.
  virtual void PageCrashed(HeadlessView& /*view*/) { BrowserFailed("the page crashed"); }
  // Any other event of the page's own protocol session (dialogs, console, bindings...), in the
  // order the browser sent them. `params` is valid only during the call.
  virtual void PageEvent(HeadlessView& /*view*/, const std::string& /*method*/,
                         const nlohmann::json& /*params*/) {}
};

}  // namespace CorvaneEngine
