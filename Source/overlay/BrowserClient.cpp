#include "overlay/BrowserClient.h"

#include <cstdio>
#include <vector>

#include "core/OutputStream.h"
#include "overlay/CrashRecovery.h"
#include "overlay/HeadlessView.h"
#include "overlay/PopupHandler.h"
#include "presentation/BasicWindowSystem.h"
#include "presentation/GraphicsSystem_GL.h"

namespace CorvaneEngine {

std::shared_ptr<HeadlessView> BrowserClient::ReadyBrowser() {
  std::lock_guard<std::mutex> guard(lock);
  return ready ? browser : nullptr;
}

bool BrowserClient::IsReady() {
  std::lock_guard<std::mutex> guard(lock);
  return ready;
}

void BrowserClient::LoadURL(const std::string& url) {
  std::shared_ptr<HeadlessView> page;
  {
    std::lock_guard<std::mutex> guard(lock);
    if (!ready || !browser) {  // not created yet, or gone until a restarted browser has one
      keptURL = url;
      hasKeptURL = true;
      return;
    }
    page = browser;
  }
  if (page) page->LoadURL(url);
}

void BrowserClient::AddFeature(std::unique_ptr<PageFeature> feature) {
  features.push_back(std::move(feature));
}

void BrowserClient::PageEvent(HeadlessView& view, const std::string& method,
                              const nlohmann::json& params) {
  for (const auto& feature : features) feature->PageEvent(view, method, params);
}

void BrowserClient::GetViewRect(int32_t& width, int32_t& height) {
  BasicWindowSystem* window = BasicWindowSystem::instance;
  width = window != nullptr ? window->GetWidth() : 0;
  height = window != nullptr ? window->GetHeight() : 0;
}

void BrowserClient::PageCreated(const std::shared_ptr<HeadlessView>& view) {
  int32_t width, height;
  GetViewRect(width, height);
  if (width > 0 && height > 0) view->SetSize(width, height);
  // The features set the page up before anything else reaches it, the first load included.
  // Outside the lock: a feature's own lock never nests inside it.
  for (const auto& feature : features) feature->PageCreated(*view);
  // The set-up (bindings, scripts for every new document) is carried out by the page's
  // renderer, a load is started by the browser process: a load sent now may bring its document
  // before the set-up arrives, a page without its scripts. The renderer answers in order, so
  // its answer to one more command means the set-up is in place.
  std::weak_ptr<HeadlessView> page = view;
  auto setUp = [this, page](const nlohmann::json&) {
    if (std::shared_ptr<HeadlessView> view = page.lock()) PageSetUp(view);
  };
  if (view->SendCommand("Runtime.evaluate", "{\"expression\":\"0\"}", setUp) == 0) PageSetUp(view);
}

void BrowserClient::PageSetUp(const std::shared_ptr<HeadlessView>& view) {
  std::string url;
  bool load = false;
  {
    std::lock_guard<std::mutex> guard(lock);
    browser = view;
    ready = true;
    url.swap(keptURL);
    load = hasKeptURL;
    hasKeptURL = false;
  }
  if (load) view->LoadURL(url);
}

void BrowserClient::PagePainted(HeadlessView& view, int32_t width, int32_t height,
                                const uint8_t* bgraRowsFromTop) {
  int32_t viewWidth, viewHeight;
  if (!view.GetSize(viewWidth, viewHeight)) return;
  // The page texture drops an image whose size is not its own (one painted before a resize).
  GraphicsSystem_GL::CopyPageToBrowserTexture(width, height, bgraRowsFromTop);
}

void BrowserClient::PageLoadFailed(HeadlessView& view, const std::string& url,
                                   const std::string& reason) {
  Log << "ERROR: Browser: cannot load " << url << ": " << reason << std::endl;
  for (const auto& feature : features) feature->PageLoadFailed(view, url, reason);
}

void BrowserClient::PageClosed(HeadlessView&) {
  std::lock_guard<std::mutex> guard(lock);
  browser.reset();  // `ready` stays set: the operations find no page and do nothing
}

std::shared_ptr<HeadlessPopupHandler> BrowserClient::PopupOpening(
    const std::shared_ptr<HeadlessView>& parent) {
  return std::make_shared<PopupHandler>(parent);
}

void BrowserClient::BrowserFailed(const std::string& what) {
  if (crashRecovery != nullptr && crashRecovery->BrowserEnded(what)) return;
  ReportFailure(what);
}

void BrowserClient::PageCrashed(HeadlessView& view) {
  for (const auto& feature : features) feature->RendererCrashed(view);
  if (crashRecovery != nullptr)
    crashRecovery->PageCrashed(view);
  else
    ReportFailure("the page crashed");
}

void BrowserClient::ReportFailure(const std::string& what) {
  if (failureReported.exchange(true)) return;
  Log << "ERROR: Browser: " << what << std::endl;
  std::fprintf(stderr, "The HTML overlay stays empty: %s\n", what.c_str());
  ClearPage();
}

void BrowserClient::ClearPage() {
  int32_t width, height;
  GetViewRect(width, height);
  if (width > 0 && height > 0) {
    std::vector<uint8_t> transparent(static_cast<size_t>(width) * height * 4, 0);
    GraphicsSystem_GL::CopyPageToBrowserTexture(width, height, transparent.data());
  }
}

}  // namespace CorvaneEngine
