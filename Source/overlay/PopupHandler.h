// PopupHandler: what a popup of the overlay's page gets instead of a window. Its first
// navigation is carried out in the overlay's own page and the popup is closed; it keeps the
// overlay's page only for that, so any later navigation of the same popup finds none and is
// refused.
//
// Threads: browser reader thread only.
#pragma once

#include <memory>
#include <string>

#include "overlay/HeadlessBrowserClient.h"

namespace CorvaneEngine {

class PopupHandler : public HeadlessPopupHandler {
 public:
  explicit PopupHandler(std::shared_ptr<HeadlessView> parentBrowser);
  void PopupNavigating(const std::shared_ptr<HeadlessView>& popup, const std::string& url) override;

 private:
  std::shared_ptr<HeadlessView> parentBrowser;  // released after the first navigation
};

}  // namespace CorvaneEngine
