// BrowserClient: the overlay's side of the headless browser. Keeps the page (`browser`) and the
// ready flag under its lock, sizes the page to the window when it is created, carries out the
// last page load asked for before then, hands every painted image to the graphics system's page
// texture and gives each popup a PopupHandler. Owned by the Browser, which outlives the browser
// layer's reader thread.
//
// Threads: the call-backs run on the browser's reader thread; ReadyBrowser and LoadURL on the
// main thread. `lock` guards `browser`, `ready` and the kept URL; it is never held while the
// page texture is called, so the two browser locks never nest.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "overlay/HeadlessBrowserClient.h"
#include "overlay/PageFeature.h"

namespace CorvaneEngine {

class CrashRecovery;

class BrowserClient : public HeadlessBrowserClient {
 public:
  // The ready check: a new reference to the page while ready (null before ready, or after the
  // page closed).
  std::shared_ptr<HeadlessView> ReadyBrowser();
  bool IsReady();
  // Loads the URL now if there is a page; otherwise keeps it (the last one wins) for the next
  // PageCreated (the first page, or the page of a restarted browser).
  void LoadURL(const std::string& url);
  // Reports a browser that failed to start (or, without a crash recovery, died): one log line
  // and one line on standard error (only for the first failure), and the overlay is made
  // transparent.
  void ReportFailure(const std::string& what);
  // Makes the overlay transparent: whatever the page showed last must not stay over the scene.
  static void ClearPage();
  // Who brings the page back after a crash (null: a crash is reported as a failure). Main
  // thread, before the browser starts.
  void SetCrashRecovery(CrashRecovery* recovery) { crashRecovery = recovery; }

  // Takes a feature on; main thread, before the browser starts (the reader thread reads the list
  // without a lock).
  void AddFeature(std::unique_ptr<PageFeature> feature);
  const std::vector<std::unique_ptr<PageFeature>>& Features() const { return features; }

  // The view size: the game window's size (read without a lock: it changes only during a
  // video-mode change on the main thread).
  static void GetViewRect(int32_t& width, int32_t& height);

  void PageCreated(const std::shared_ptr<HeadlessView>& view) override;
  void PagePainted(HeadlessView& view, int32_t width, int32_t height,
                   const uint8_t* bgraRowsFromTop) override;
  // One log line with the URL and the browser's reason.
  void PageLoadFailed(HeadlessView& view, const std::string& url,
                      const std::string& reason) override;
  void PageClosed(HeadlessView& view) override;
  std::shared_ptr<HeadlessPopupHandler> PopupOpening(
      const std::shared_ptr<HeadlessView>& parent) override;
  void BrowserFailed(const std::string& what) override;
  void PageCrashed(HeadlessView& view) override;
  void PageEvent(HeadlessView& view, const std::string& method,
                 const nlohmann::json& params) override;

 private:
  // The features' set-up of `view` is in place: the page is ready and the kept URL loads.
  void PageSetUp(const std::shared_ptr<HeadlessView>& view);

  std::mutex lock;
  std::shared_ptr<HeadlessView> browser;
  bool ready = false;  // never cleared once set
  std::string keptURL;
  bool hasKeptURL = false;
  std::atomic<bool> failureReported{false};
  std::vector<std::unique_ptr<PageFeature>> features;
  CrashRecovery* crashRecovery = nullptr;  // one of `features`
};

}  // namespace CorvaneEngine
