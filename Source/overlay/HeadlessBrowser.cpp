#include "overlay/HeadlessBrowser.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>
#include <vector>

#include "core/GameIdentity.h"
#include "core/OutputStream.h"
#include "overlay/DebugPort.h"
#include "overlay/DevToolsPipe.h"
#include "overlay/FileURL.h"
#include "overlay/HeadlessBrowserClient.h"
#include "overlay/HeadlessView.h"
#include "overlay/JsonFields.h"
#include "overlay/PageImageDecoder.h"

namespace CorvaneEngine {

namespace {

using Json = nlohmann::json;
using JsonFields::Member;
using JsonFields::Text;

// The real program behind Debian's wrapper script: started directly, so the parent-death
// signal reaches the browser itself rather than a shell in between.
constexpr const char* kShellProgram = "/usr/lib/chromium/chromium-headless-shell";
constexpr const char* kShellWrapper = "/usr/bin/chromium-headless-shell";
constexpr int kStopGraceMilliseconds = 2000;
// How long the browser may take to show its first page. It needs well under a second; a binary
// that has not answered by then never will.
constexpr int kStartSeconds = 10;
// How long a popup that shows an empty page (window.open('') or 'about:blank') may take to be
// sent somewhere by its opener's script before it is closed. A script that sends it on does so
// at once or after a short wait; one that only writes into it makes a page that no one sees.
constexpr auto kBlankPopupGrace = std::chrono::seconds(1);

// The page the browser opens with: an empty local file in the profile folder. Pages from files
// then load into the renderer that already has the transparent background; from about:blank
// the first file page would get a new renderer, whose first pictures come out opaque white
// before the background override reaches it.
std::string StartPage(const std::string& profile) {
  std::ofstream(profile + "/start.html") << "<!DOCTYPE html><html></html>";
  return FileURL(profile.c_str(), "/start.html").CStr();
}

// Profiles of games that were killed before they could remove theirs: the folder name holds the
// game's process id, and a folder whose process is gone is removed.
void RemoveStaleProfiles(const std::filesystem::path& temp) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(temp, error)) {
    const std::string name = entry.path().filename().string();
    const std::string kPrefix = CurrentGameIdentity().profilePrefix + "-";
    if (name.compare(0, kPrefix.size(), kPrefix) != 0) continue;
    pid_t owner = static_cast<pid_t>(std::atol(name.c_str() + kPrefix.size()));
    if (owner <= 0 || owner == getpid()) continue;
    if (kill(owner, 0) != 0 && errno == ESRCH) std::filesystem::remove_all(entry.path(), error);
  }
}

}  // namespace

struct HeadlessBrowser::Impl {
  struct Popup {
    std::shared_ptr<HeadlessView> view;
    std::shared_ptr<HeadlessPopupHandler> handler;
    std::string lastUrl;
    bool blank = false;  // on its empty first page, closed at `closeAt` unless it moves on
    std::chrono::steady_clock::time_point closeAt;
  };

  HeadlessBrowserClient* client;
  std::shared_ptr<DevToolsPipe> pipe;
  std::thread reader;
  std::atomic<bool> stopping{false};
  std::atomic<int32_t> openPages{0};
  std::atomic<pid_t> processId{-1};
  std::string binary;       // fixed before the reader starts
  std::string userDataDir;  // fixed before the reader starts
  int32_t width = 0, height = 0;

  // Reader thread only.
  std::string overlayTarget;
  std::string overlaySession;
  int32_t attachRequest = 0;
  int32_t windowRequest = 0;
  std::shared_ptr<HeadlessView> view;
  bool viewClosed = false;
  std::set<std::string> pages;
  std::map<std::string, Popup> popups;
  std::string pendingFrame;                     // the newest frame message, not decoded yet
  size_t pendingData = 0, pendingDataSize = 0;  // its base64 image within the message
  bool hasPendingFrame = false;
  PageImageDecoder decoder;

  void Run();
  void EndUnansweringBrowser();
  void Handle(std::string& text);
  void Skip(const std::string& text, const char* why);
  bool TakeFrame(std::string& text);
  void HandleReply(int32_t id, const Json& message);
  void NavigationAnswered(const std::string& url, const Json& message);
  void TargetCreated(const Json& info);
  void PopupUrl(const std::string& targetId, const std::string& url);
  void TargetGone(const std::string& targetId);
  int CloseBlankPopups();
  void CloseOverlay();
  void PaintPendingFrame();
};

HeadlessBrowser::HeadlessBrowser(HeadlessBrowserClient* client) : impl(new Impl) {
  impl->client = client;
}

HeadlessBrowser::~HeadlessBrowser() {
  Stop();
}

std::string HeadlessBrowser::DefaultBinary() {
  const char* chosen = std::getenv("CORVANE_BROWSER");
  if (chosen != nullptr && *chosen != '\0') return chosen;
  if (access(kShellProgram, X_OK) == 0) return kShellProgram;
  return kShellWrapper;
}

bool HeadlessBrowser::Start(const Settings& settings, std::string& error) {
  if (impl->pipe) {
    error = "already started";
    return false;
  }
  std::error_code noTemp;
  std::filesystem::path tempRoot = std::filesystem::temp_directory_path(noTemp);
  if (noTemp) tempRoot = "/tmp";
  RemoveStaleProfiles(tempRoot);
  std::string temp = (tempRoot / (CurrentGameIdentity().profilePrefix + "-" +
                                  std::to_string(getpid()) + "-XXXXXX"))
                         .string();
  if (mkdtemp(&temp[0]) == nullptr) {
    error = "no temporary folder for the browser profile";
    return false;
  }
  impl->userDataDir = temp;
  impl->binary = settings.binary.empty() ? DefaultBinary() : settings.binary;
  impl->width = settings.width;
  impl->height = settings.height;

  std::vector<std::string> arguments = {
      impl->binary,
      "--headless",
      "--remote-debugging-pipe",
      "--no-first-run",
      // Nothing goes to the network unless a page asks for it.
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-sync",
      "--disable-gpu",
      "--disable-logging",
      "--log-level=3",
      "--force-device-scale-factor=1",
      // Pages loaded from files may read other files and reach any origin.
      "--allow-file-access-from-files",
      "--user-data-dir=" + temp,
      "--window-size=" + std::to_string(settings.width) + "," + std::to_string(settings.height),
  };
  // An inspector for UI authors, only when asked for (CORVANE_DEVTOOLS_PORT).
  for (const std::string& argument : DebugPort::BrowserArguments())
    arguments.push_back(argument);
  // The browser refuses to start as root with its sandbox on; elsewhere the sandbox stays.
  if (geteuid() == 0) arguments.push_back("--no-sandbox");
  arguments.push_back(StartPage(temp));

  impl->pipe = std::make_shared<DevToolsPipe>();
  if (!impl->pipe->Start(arguments, error)) {
    error = arguments[0] + ": " + error;
    impl->pipe.reset();
    std::error_code ignored;
    std::filesystem::remove_all(impl->userDataDir, ignored);
    return false;
  }
  impl->processId = impl->pipe->ProcessId();
  impl->pipe->Send("Target.setDiscoverTargets", "{\"discover\":true}", "");
  impl->reader = std::thread([this] { impl->Run(); });
  return true;
}

void HeadlessBrowser::Stop() {
  if (!impl->pipe) return;
  impl->stopping = true;
  impl->pipe->Send("Browser.close", "{}", "");
  impl->pipe->Stop(kStopGraceMilliseconds);
  impl->processId = -1;
  if (impl->reader.joinable()) impl->reader.join();
  impl->pipe.reset();
  std::error_code ignored;
  std::filesystem::remove_all(impl->userDataDir, ignored);
}

// The start page is "start.html" in the profile folder ("corvane-browser-<pid>-XXXXXX").
bool HeadlessBrowser::IsStartPage(const std::string& url) {
  static const std::string kName = "/start.html";
  return url.find("/corvane-browser-") != std::string::npos && url.size() >= kName.size() &&
         url.compare(url.size() - kName.size(), kName.size(), kName) == 0;
}

pid_t HeadlessBrowser::ProcessId() const {
  return impl->processId;
}

int32_t HeadlessBrowser::OpenPageCount() const {
  return impl->openPages;
}

// ---- Reader thread ----

void HeadlessBrowser::Impl::Run() {
  pthread_setname_np(pthread_self(), "Browser Thread");
  const auto startDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(kStartSeconds);
  std::string text;
  bool ended = false;  // the browser was ended here: its pipe's end is no news
  for (;;) {
    // The wait ends when a blank popup is due to close, and until the page exists it is bounded
    // anyway: a browser that never answers is ended.
    int waitLimit = CloseBlankPopups();
    if (!view) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          startDeadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) {
        if (!stopping) EndUnansweringBrowser();
        ended = true;
        break;
      }
      waitLimit = static_cast<int>(left.count());
    }
    // A frame waits until the pipe is drained, so a reader that fell behind decodes only the
    // newest of several queued frames.
    DevToolsPipe::Received got = pipe->Receive(text, !hasPendingFrame, waitLimit);
    if (got == DevToolsPipe::Received::Closed) break;
    const bool drained = got == DevToolsPipe::Received::Nothing;
    // Whatever the browser sends, this thread goes on: a message that cannot be used is logged
    // and skipped (the accesses below check every type; this is the last guard).
    try {
      if (drained)
        PaintPendingFrame();
      else
        Handle(text);
    } catch (const std::exception& error) {
      Skip(drained ? std::string("a page frame") : text, error.what());
    }
  }
  if (!stopping && !ended) client->BrowserFailed("the browser process ended");
  CloseOverlay();
}

void HeadlessBrowser::Impl::EndUnansweringBrowser() {
  pipe->Stop(0);
  processId = -1;
  std::error_code ignored;
  std::filesystem::remove_all(userDataDir, ignored);
  client->BrowserFailed(binary + " did not answer within " + std::to_string(kStartSeconds) +
                        " s; it was ended");
}

void HeadlessBrowser::Impl::Skip(const std::string& text, const char* why) {
  constexpr size_t kShown = 120;
  Log << "WARNING: Browser: skipped a message (" << why << "): " << text.substr(0, kShown)
      << (text.size() > kShown ? "..." : "") << std::endl;
}

// Frames are most of what arrives, each a megabyte of base64: the image is cut out of the text
// before the rest is parsed, so it is neither scanned as JSON nor copied.
bool HeadlessBrowser::Impl::TakeFrame(std::string& text) {
  static const char kPrefix[] = "{\"method\":\"Page.screencastFrame\",\"params\":{\"data\":\"";
  constexpr size_t kPrefixSize = sizeof kPrefix - 1;
  if (text.compare(0, kPrefixSize, kPrefix) != 0) return false;
  size_t end = text.find('"', kPrefixSize);
  if (end == std::string::npos || end + 2 > text.size()) return false;
  std::string rest = "{\"params\":{" + text.substr(end + 2);
  Json message = Json::parse(rest, nullptr, false);
  if (!message.is_object()) return false;  // another field order: the general path acks it
  if (Text(message, "sessionId") != overlaySession) return true;
  // Acknowledged at once, also when dropped: without it the stream stops after three frames.
  pipe->Send("Page.screencastFrameAck",
             Json{{"sessionId", Member(Member(message, "params"), "sessionId")}}.dump(),
             overlaySession);
  pendingFrame.swap(text);
  pendingData = kPrefixSize;
  pendingDataSize = end - kPrefixSize;
  hasPendingFrame = true;
  return true;
}

void HeadlessBrowser::Impl::Handle(std::string& text) {
  if (TakeFrame(text)) return;
  Json message = Json::parse(text, nullptr, false);
  if (!message.is_object()) return Skip(text, "not a JSON object");
  const Json& id = Member(message, "id");
  if (id.is_number_integer()) {
    HandleReply(id.get<int32_t>(), message);
    return;
  }
  const std::string method = Text(message, "method");
  const Json& params = Member(message, "params");
  if (method == "Page.screencastFrame") {
    if (Text(message, "sessionId") != overlaySession) return;
    // Acknowledged at once, also when dropped: without it the stream stops after three frames.
    pipe->Send("Page.screencastFrameAck", Json{{"sessionId", Member(params, "sessionId")}}.dump(),
               overlaySession);
    const Json& data = Member(params, "data");
    if (!data.is_string()) return Skip(text, "a page frame without image data");
    pendingFrame = data.get<std::string>();
    pendingData = 0;
    pendingDataSize = pendingFrame.size();
    hasPendingFrame = true;
  } else if (method == "Target.targetCreated") {
    TargetCreated(Member(params, "targetInfo"));
  } else if (method == "Target.targetInfoChanged") {
    const Json& info = Member(params, "targetInfo");
    PopupUrl(Text(info, "targetId"), Text(info, "url"));
  } else if (method == "Target.targetDestroyed") {
    TargetGone(Text(params, "targetId"));
  } else if (method == "Target.detachedFromTarget") {
    if (!overlaySession.empty() && Text(params, "sessionId") == overlaySession) CloseOverlay();
  } else if (method == "Target.targetCrashed") {
    if (Text(params, "targetId") == overlayTarget && view && !viewClosed) {
      hasPendingFrame = false;  // a picture of the dead page must not follow the news of its end
      client->PageCrashed(*view);
    }
  } else if (!overlaySession.empty() && Text(message, "sessionId") == overlaySession && view &&
             !viewClosed && !method.empty()) {
    client->PageEvent(*view, method, params);
  }
}

void HeadlessBrowser::Impl::HandleReply(int32_t id, const Json& message) {
  std::string url;
  if (view && view->TakeNavigation(id, url)) return NavigationAnswered(url, message);
  HeadlessView::ReplyHandler onReply;
  if (view && view->TakeReply(id, onReply)) return onReply(message);
  const Json& result = Member(message, "result");
  if (id == attachRequest) {
    overlaySession = Text(result, "sessionId");
    if (overlaySession.empty()) {
      client->BrowserFailed("the page could not be attached");
      return;
    }
    pipe->Send("Page.enable", "{}", overlaySession);
    pipe->Send("Emulation.setDefaultBackgroundColorOverride",
               "{\"color\":{\"r\":0,\"g\":0,\"b\":0,\"a\":0}}", overlaySession);
    pipe->Send("Page.startScreencast", kScreencastParameters, overlaySession);
    windowRequest =
        pipe->Send("Browser.getWindowForTarget", Json{{"targetId", overlayTarget}}.dump(), "");
  } else if (id == windowRequest) {
    const Json& windowId = Member(result, "windowId");
    view = std::make_shared<HeadlessView>(
        pipe, overlayTarget, overlaySession,
        windowId.is_number_integer() ? windowId.get<int32_t>() : -1, width, height);
    client->PageCreated(view);
  }
}

// The browser answers a page load once it has started or failed: a failure carries its reason
// as errorText (a missing file: "net::ERR_FILE_NOT_FOUND"), or as a protocol error.
void HeadlessBrowser::Impl::NavigationAnswered(const std::string& url, const Json& message) {
  std::string reason = Text(Member(message, "result"), "errorText");
  if (reason.empty()) reason = Text(Member(message, "error"), "message");
  if (!reason.empty() && view) client->PageLoadFailed(*view, url, reason);
}

void HeadlessBrowser::Impl::TargetCreated(const Json& info) {
  if (Text(info, "type") != "page") return;
  const std::string targetId = Text(info, "targetId");
  if (targetId.empty() || !pages.insert(targetId).second) return;
  openPages = static_cast<int32_t>(pages.size());
  const std::string opener = Text(info, "openerId");
  if (overlayTarget.empty() && opener.empty()) {
    overlayTarget = targetId;
    attachRequest = pipe->Send("Target.attachToTarget",
                               Json{{"targetId", targetId}, {"flatten", true}}.dump(), "");
    return;
  }
  // Any other page is a popup (the overlay's, or one of a popup's): it never shows by itself.
  auto popupView = std::make_shared<HeadlessView>(pipe, targetId, "", -1, 0, 0);
  std::shared_ptr<HeadlessPopupHandler> handler;
  if (view && !viewClosed) handler = client->PopupOpening(view);
  if (!handler) {
    popupView->Close();
    return;
  }
  popups[targetId] = Popup{popupView, handler, std::string(), false, {}};
  PopupUrl(targetId, Text(info, "url"));
}

void HeadlessBrowser::Impl::PopupUrl(const std::string& targetId, const std::string& url) {
  auto found = popups.find(targetId);
  // A popup starts out empty or on about:blank before it navigates to its target.
  if (found == popups.end() || url.empty()) return;
  Popup& popup = found->second;
  if (url == "about:blank") {
    if (!popup.blank && popup.lastUrl.empty()) {
      popup.blank = true;
      popup.closeAt = std::chrono::steady_clock::now() + kBlankPopupGrace;
    }
    return;
  }
  popup.blank = false;
  if (url == popup.lastUrl) return;
  popup.lastUrl = url;
  std::shared_ptr<HeadlessPopupHandler> handler = popup.handler;  // the call may close it
  handler->PopupNavigating(popup.view, url);
}

void HeadlessBrowser::Impl::TargetGone(const std::string& targetId) {
  pages.erase(targetId);
  openPages = static_cast<int32_t>(pages.size());
  popups.erase(targetId);
  if (targetId == overlayTarget) CloseOverlay();
}

// Closes the popups whose empty page had its time; answers the milliseconds until the next one
// is due (-1: none), as the reader's wait limit.
int HeadlessBrowser::Impl::CloseBlankPopups() {
  const auto now = std::chrono::steady_clock::now();
  int next = -1;
  for (auto& [targetId, popup] : popups) {
    if (!popup.blank) continue;
    if (now >= popup.closeAt) {
      popup.blank = false;  // closed once; the browser reports it gone
      popup.view->Close();
      continue;
    }
    int left = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(popup.closeAt - now).count() + 1);
    if (next < 0 || left < next) next = left;
  }
  return next;
}

void HeadlessBrowser::Impl::CloseOverlay() {
  if (!view || viewClosed) return;
  viewClosed = true;
  client->PageClosed(*view);
}

void HeadlessBrowser::Impl::PaintPendingFrame() {
  if (!hasPendingFrame) return;
  hasPendingFrame = false;
  if (!view || viewClosed) return;
  if (!decoder.Decode(pendingFrame.data() + pendingData, pendingDataSize)) return;
  client->PagePainted(*view, decoder.Width(), decoder.Height(), decoder.Pixels());
}

}  // namespace CorvaneEngine
