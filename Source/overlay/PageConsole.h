// PageConsole: the page's console in the engine's log. Each console.log/info/debug/warn/error
// (and the rest of the console API that prints) of any frame of the page, each uncaught
// exception and each unhandled promise rejection becomes one log line with its level, the text,
// and the URL and line it came from:
//
//   Page console.log: score 3 (file:///.../hud.html:12)
//   WARNING: Page console.warn: slow frame (file:///.../hud.html:40)
//   ERROR: Page uncaught exception: Uncaught TypeError: x is null (file:///.../hud.js:7)
//
// The objects a console call names are let go again at once, so that a page that logs objects
// does not keep them alive for the protocol.
//
// Threads: the browser's reader thread only.
#pragma once

#include "overlay/PageFeature.h"

namespace CorvaneEngine {

class PageConsole : public PageFeature {
 public:
  static constexpr size_t kLongestText = 2000;  // longer texts end with "..."

  void PageCreated(HeadlessView& view) override;
  void PageEvent(HeadlessView& view, const std::string& method,
                 const nlohmann::json& params) override;

 private:
  void ConsoleCalled(HeadlessView& view, const nlohmann::json& params);
  void ExceptionThrown(HeadlessView& view, const nlohmann::json& params);
};

}  // namespace CorvaneEngine
