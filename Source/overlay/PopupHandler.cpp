#include "overlay/PopupHandler.h"

#include "overlay/HeadlessView.h"

namespace CorvaneEngine {

PopupHandler::PopupHandler(std::shared_ptr<HeadlessView> parentBrowser)
    : parentBrowser(std::move(parentBrowser)) {}

void PopupHandler::PopupNavigating(const std::shared_ptr<HeadlessView>& popup,
                                   const std::string& url) {
  if (!parentBrowser) return;  // a navigation after the first: refused
  parentBrowser->LoadURL(url);
  popup->Close();
  parentBrowser.reset();
}

}  // namespace CorvaneEngine
