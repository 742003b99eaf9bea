// PageFeature: one piece of page behaviour that the overlay adds on top of drawing the page
// (answering dialogs, following the pointer's shape, tracking focus...). Each feature sets up
// what it needs whenever the overlay gets a page (also a new one after the browser restarted),
// hears the page's protocol events, and may do a little work on the main thread once a frame.
// The BrowserClient owns the features and calls them; the Browser calls Update.
//
// Threads: PageCreated, PageEvent, PageLoadFailed and RendererCrashed on the browser's reader
// thread, one call at a time; Update on the main thread. A feature guards what both threads touch.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>

namespace CorvaneEngine {

class HeadlessView;

class PageFeature {
 public:
  virtual ~PageFeature() = default;
  // The overlay has a new page: enable protocol domains, add scripts for every document.
  virtual void PageCreated(HeadlessView&) {}
  // An event of the page's session that the overlay does not handle itself.
  virtual void PageEvent(HeadlessView&, const std::string& /*method*/,
                         const nlohmann::json& /*params*/) {}
  // A page load asked for with HeadlessView::LoadURL failed (the browser's reason).
  virtual void PageLoadFailed(HeadlessView&, const std::string& /*url*/,
                              const std::string& /*reason*/) {}
  // The page's renderer crashed; the page is loaded again in the same browser.
  virtual void RendererCrashed(HeadlessView&) {}
  // Main thread, once a frame, from Browser::Update.
  virtual void Update(double /*seconds*/) {}
};

}  // namespace CorvaneEngine
