// PageLifecycle: tells the game about its page, on the main thread during a frame: the main
// frame's document is ready (its DOM is built; with its URL), a page load the game asked for
// failed (the URL and the browser's reason), and the page came back after its renderer or the
// whole browser crashed (with its URL, once its document is ready again), so that a HUD can
// send its state again. The browser's own empty start page is not reported.
//
// Threads: the PageFeature call-backs on the browser's reader thread; the setters and Update on
// the main thread. `lock` guards the news waiting for the next frame.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "overlay/PageFeature.h"

namespace CorvaneEngine {

class PageLifecycle : public PageFeature {
 public:
  using ReadyHandler = std::function<void(const std::string& url)>;
  using FailedHandler = std::function<void(const std::string& url, const std::string& reason)>;

  void OnReady(ReadyHandler handler) { onReady = std::move(handler); }
  void OnFailed(FailedHandler handler) { onFailed = std::move(handler); }
  void OnReloadedAfterCrash(ReadyHandler handler) { onReloaded = std::move(handler); }

  void PageCreated(HeadlessView& view) override;
  void PageEvent(HeadlessView& view, const std::string& method,
                 const nlohmann::json& params) override;
  void PageLoadFailed(HeadlessView& view, const std::string& url,
                      const std::string& reason) override;
  void RendererCrashed(HeadlessView& view) override;
  void Update(double seconds) override;

 private:
  enum class Kind { Ready, Failed, Reloaded };
  struct News {
    Kind kind;
    std::string url;
    std::string reason;
  };

  // Reader thread only.
  bool hadPage = false;
  bool crashed = false;  // the next ready document is the page come back
  std::string mainURL;
  bool errorPage = false;
  // Main thread only.
  ReadyHandler onReady, onReloaded;
  FailedHandler onFailed;

  std::mutex lock;
  std::vector<News> news;
};

}  // namespace CorvaneEngine
