// PageCursor: makes the window's pointer follow the page. The browser tells no one which cursor
// its page wants, so a small script in every document of the page watches the pointer, reads
// the CSS `cursor` of what lies under it, resolves `auto` as a desktop browser does (a link
// gives the hand, editable or selectable text the text beam, anything else the arrow), and
// reports each change through a private binding. Once a frame the window system is given the
// shape the page asked for last; it shows it (or keeps the pointer hidden when the game hid it).
//
// Owned by the BrowserClient, as every page feature; the Browser keeps a plain pointer to it.
// Threads: PageCreated and PageEvent on the browser's reader thread; Update and Shape on the
// main thread. The shape crosses in an atomic.
#pragma once

#include <atomic>
#include <string>

#include "overlay/PageFeature.h"
#include "presentation/PointerShape.h"

namespace CorvaneEngine {

class PageCursor : public PageFeature {
 public:
  void PageCreated(HeadlessView& view) override;
  void PageEvent(HeadlessView& view, const std::string& method,
                 const nlohmann::json& params) override;
  void Update(double seconds) override;

  // The last shape the page reported (Unset before the first).
  PointerShape Shape() const { return shape; }

  // The shape of a CSS cursor keyword as the script reports it; Default for one it does not know.
  static PointerShape ShapeOf(const std::string& keyword);

 private:
  std::atomic<PointerShape> shape{PointerShape::Unset};
  PointerShape shown = PointerShape::Unset;  // main thread: last handed to the window system
};

}  // namespace CorvaneEngine
