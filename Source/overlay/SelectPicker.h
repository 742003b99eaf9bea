// SelectPicker: makes the drop-down list of every <select> usable in the overlay. The headless
// browser draws a select's list as a separate native popup that never reaches the page image, so
// the list would open unseen. Every document of the page gets a style that turns each drop-down
// select into the browser's in-page ("base-select") form, whose list is part of the page: it
// shows in the overlay and takes the mouse and the keyboard like the rest of the page. List
// boxes (multiple, or size above 1) are drawn in the page already and keep their look.
//
// Owned by the BrowserClient. Threads: PageCreated on the browser's reader thread.
#pragma once

#include "overlay/PageFeature.h"

namespace CorvaneEngine {

class SelectPicker : public PageFeature {
 public:
  void PageCreated(HeadlessView& view) override;
};

}  // namespace CorvaneEngine
