// HeadlessView: one page of the headless browser, as the overlay sees it: the overlay's own page
// or a popup it opened. Commands go straight onto the DevTools pipe; nothing waits for an answer.
// Shared (std::shared_ptr) between the layer and whoever holds the page, so a holder may keep
// using it after the browser went away: the commands then go nowhere.
//
// Threads: every operation may be called from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json_fwd.hpp>
#include <string>

#include "overlay/KeyTranslation.h"

namespace CorvaneEngine {

class DevToolsPipe;

// The page's pictures: every frame, as PNG (the only format with alpha).
constexpr char kScreencastParameters[] = "{\"format\":\"png\",\"everyNthFrame\":1}";

// Made only through std::make_shared, so that a holder of a reference may keep a weak one.
class HeadlessView : public std::enable_shared_from_this<HeadlessView> {
 public:
  enum class KeyEventType { KeyDown, KeyUp, Char };
  enum class MouseButton { Left, Middle, Right };
  // The browser's modifier bits.
  static constexpr uint32_t kAlt = 1, kControl = 2, kMeta = 4, kShift = 8;

  // `sessionId` empty: a page the layer never attached to (a popup); only Close works on it.
  HeadlessView(std::shared_ptr<DevToolsPipe> pipe, std::string targetId, std::string sessionId,
               int32_t windowId, int32_t width, int32_t height);

  const std::string& TargetId() const { return targetId; }

  // Loads the URL; a failure is reported to the client (HeadlessBrowserClient::PageLoadFailed).
  void LoadURL(const std::string& url);
  // Layer's reader thread: true, with the URL, when `commandId` is a page load of this page
  // (each is taken once).
  bool TakeNavigation(int32_t commandId, std::string& url);
  void Reload();
  // Resizes the page's window: the page is laid out again and paints at the new size.
  void SetSize(int32_t width, int32_t height);
  // The size last asked for (false before the page has one).
  bool GetSize(int32_t& width, int32_t& height) const;

  // A key event as a desktop browser reports it. A KeyDown with text also types it; Char types
  // the text alone (a character that came without a key); `modifiers` are the browser's bits.
  void SendKeyEvent(KeyEventType type, const KeyDescription& key, uint32_t modifiers,
                    bool autoRepeat);
  void SendMouseClickEvent(int32_t x, int32_t y, MouseButton button, bool up, int32_t clickCount);
  // `leave`: the pointer left the view (x and y are not used); the page's hover ends, except
  // while a button is held.
  void SendMouseMoveEvent(int32_t x, int32_t y, bool leave);
  // Positive deltas turn the wheel up (the page scrolls towards its top), in pixels.
  void SendMouseWheelEvent(int32_t x, int32_t y, int32_t delta);
  // Closes the page; the layer reports it closed when the browser confirms.
  void Close();

  // Any command of the page's own protocol session (Page.*, Runtime.*, Input.*...). `onReply`,
  // when given, receives the browser's whole answer on the layer's reader thread. The command id,
  // or 0 when nothing was sent (a popup, or the browser is gone).
  using ReplyHandler = std::function<void(const nlohmann::json& answer)>;
  int32_t SendCommand(const char* method, const std::string& paramsJson,
                      ReplyHandler onReply = nullptr);
  // Layer's reader thread: the handler waiting for `commandId`'s answer (each is taken once).
  bool TakeReply(int32_t commandId, ReplyHandler& handler);

 private:
  void SendToPage(const char* method, const std::string& paramsJson);

  std::shared_ptr<DevToolsPipe> pipe;
  const std::string targetId;
  const std::string sessionId;
  const int32_t windowId;
  std::atomic<int32_t> width;
  std::atomic<int32_t> height;
  std::atomic<uint32_t> heldButtons{0};  // DevTools bits: left 1, right 2, middle 4
  // Page loads sent and not answered yet, by command id. The lock is held from the send to the
  // entry, so an answer cannot be looked for before its load is known.
  std::mutex navigationLock;
  std::map<int32_t, std::string> navigations;
  std::map<int32_t, ReplyHandler> replies;  // under navigationLock, for the same reason
};

}  // namespace CorvaneEngine
