#include "overlay/CrashRecovery.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "core/OutputStream.h"
#include "overlay/BrowserClient.h"
#include "overlay/HeadlessView.h"
#include "overlay/JsonFields.h"

namespace CorvaneEngine {

namespace {

using Json = nlohmann::json;
using JsonFields::Text;
constexpr auto kCrashWindow = std::chrono::minutes(1);

}  // namespace

void CrashRecovery::PageCreated(HeadlessView&) {
  std::lock_guard<std::mutex> guard(lock);
  shown = true;
  topFrame.clear();
}

void CrashRecovery::PageEvent(HeadlessView&, const std::string& method,
                              const nlohmann::json& params) {
  if (method == "Page.frameNavigated") {
    const Json& frame = params.is_object() && params.contains("frame") ? params["frame"] : Json();
    if (!frame.is_object() || frame.contains("parentId")) return;  // a frame inside the page
    // A page that could not load is brought back as the URL asked for, not as the error page.
    std::string url = Text(frame, "unreachableUrl");
    if (url.empty()) url = Text(frame, "url") + Text(frame, "urlFragment");
    std::lock_guard<std::mutex> guard(lock);
    topFrame = Text(frame, "id");
    Follow(url);
  } else if (method == "Page.navigatedWithinDocument") {
    std::lock_guard<std::mutex> guard(lock);
    if (!topFrame.empty() && Text(params, "frameId") == topFrame) Follow(Text(params, "url"));
  }
}

// Under `lock`. Until the game asks for a page, the overlay shows only the browser's own empty
// start page, which a new browser shows anyway.
void CrashRecovery::Follow(const std::string& url) {
  if (!lastURL.empty() && !url.empty()) lastURL = url;
}

bool CrashRecovery::BrowserEnded(const std::string& what) {
  {
    std::lock_guard<std::mutex> guard(lock);
    if (!shown) return false;
    browserDead = true;
  }
  if (CountCrash(what, "starting it again")) {
    std::lock_guard<std::mutex> guard(lock);
    restartDue = true;
  }
  return true;
}

void CrashRecovery::PageCrashed(HeadlessView& view) {
  if (!CountCrash("the page crashed", "loading it again")) return;
  std::string url;
  {
    std::lock_guard<std::mutex> guard(lock);
    url = lastURL;
  }
  if (url.empty())
    view.Reload();
  else
    view.LoadURL(url);
}

bool CrashRecovery::CountCrash(const std::string& what, const char* recovery) {
  const auto now = std::chrono::steady_clock::now();
  size_t count;
  {
    std::lock_guard<std::mutex> guard(lock);
    while (!crashes.empty() && now - crashes.front() > kCrashWindow) crashes.pop_front();
    crashes.push_back(now);
    count = crashes.size();
  }
  if (count <= static_cast<size_t>(kCrashLimit)) {
    Log << "ERROR: Browser: " << what << "; " << recovery << std::endl;
    return true;
  }
  Log << "ERROR: Browser: " << what << "; " << count << " crashes within a minute, giving up"
      << std::endl;
  GiveUp("the browser crashed " + std::to_string(count) + " times within a minute");
  return false;
}

void CrashRecovery::GiveUp(const std::string& why) {
  {
    std::lock_guard<std::mutex> guard(lock);
    givenUp = true;
    restartDue = false;
  }
  std::fprintf(stderr, "The HTML overlay stays empty: %s\n", why.c_str());
  BrowserClient::ClearPage();
}

void CrashRecovery::PageRequested(const std::string& url) {
  std::lock_guard<std::mutex> guard(lock);
  lastURL = url;
  if (!givenUp) return;
  givenUp = false;
  restartDue = browserDead;  // a page whose renderer crashed loads again by itself
}

bool CrashRecovery::TakeRestart(std::string& url) {
  std::lock_guard<std::mutex> guard(lock);
  if (!restartDue) return false;
  restartDue = false;
  browserDead = false;
  url = lastURL;
  return true;
}

void CrashRecovery::RestartFailed(const std::string& why) {
  {
    std::lock_guard<std::mutex> guard(lock);
    browserDead = true;
  }
  Log << "ERROR: Browser: cannot start " << why << std::endl;
  GiveUp("cannot start " + why);
}

}  // namespace CorvaneEngine
