#include "overlay/PageLifecycle.h"

#include <nlohmann/json.hpp>

#include "overlay/HeadlessBrowser.h"
#include "overlay/HeadlessView.h"

namespace CorvaneEngine {

namespace {

std::string Text(const nlohmann::json& object, const char* key) {
  if (!object.is_object()) return std::string();
  auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

}  // namespace

void PageLifecycle::PageCreated(HeadlessView&) {
  // A page after the first is the page of a browser started again after it died.
  crashed = crashed || hadPage;
  hadPage = true;
  mainURL.clear();
  errorPage = false;
}

void PageLifecycle::RendererCrashed(HeadlessView&) {
  crashed = true;
}

void PageLifecycle::PageEvent(HeadlessView&, const std::string& method,
                              const nlohmann::json& params) {
  if (method == "Page.frameNavigated") {
    const nlohmann::json& frame =
        params.is_object() ? params.value("frame", nlohmann::json()) : nlohmann::json();
    if (!frame.is_object() || frame.contains("parentId")) return;
    mainURL = Text(frame, "url") + Text(frame, "urlFragment");
    errorPage = !Text(frame, "unreachableUrl").empty();
  } else if (method == "Page.domContentEventFired") {
    if (mainURL.empty() || errorPage || HeadlessBrowser::IsStartPage(mainURL)) return;
    std::lock_guard<std::mutex> guard(lock);
    news.push_back({Kind::Ready, mainURL, std::string()});
    if (crashed) news.push_back({Kind::Reloaded, mainURL, std::string()});
    crashed = false;
  }
}

void PageLifecycle::PageLoadFailed(HeadlessView&, const std::string& url,
                                   const std::string& reason) {
  std::lock_guard<std::mutex> guard(lock);
  news.push_back({Kind::Failed, url, reason});
}

void PageLifecycle::Update(double) {
  std::vector<News> taken;
  {
    std::lock_guard<std::mutex> guard(lock);
    taken.swap(news);
  }
  for (const News& item : taken) {
    // Copied: a handler may replace itself.
    if (item.kind == Kind::Failed) {
      if (FailedHandler call = onFailed) call(item.url, item.reason);
    } else if (ReadyHandler call = item.kind == Kind::Ready ? onReady : onReloaded) {
      call(item.url);
    }
  }
}

}  // namespace CorvaneEngine
