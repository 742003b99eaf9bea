#include "overlay/HeadlessView.h"

#include <nlohmann/json.hpp>

#include "overlay/DevToolsPipe.h"

namespace CorvaneEngine {

namespace {

using Json = nlohmann::json;

const char* ButtonName(HeadlessView::MouseButton button) {
  switch (button) {
    case HeadlessView::MouseButton::Left:
      return "left";
    case HeadlessView::MouseButton::Middle:
      return "middle";
    default:
      return "right";
  }
}

uint32_t ButtonBit(HeadlessView::MouseButton button) {
  switch (button) {
    case HeadlessView::MouseButton::Left:
      return 1;
    case HeadlessView::MouseButton::Middle:
      return 4;
    default:
      return 2;
  }
}

}  // namespace

HeadlessView::HeadlessView(std::shared_ptr<DevToolsPipe> pipe, std::string targetId,
                           std::string sessionId, int32_t windowId, int32_t width, int32_t height)
    : pipe(std::move(pipe)),
      targetId(std::move(targetId)),
      sessionId(std::move(sessionId)),
      windowId(windowId),
      width(width),
      height(height) {}

void HeadlessView::SendToPage(const char* method, const std::string& paramsJson) {
  if (!sessionId.empty()) pipe->Send(method, paramsJson, sessionId);
}

void HeadlessView::LoadURL(const std::string& url) {
  if (sessionId.empty()) return;
  // The URL comes from the game and may hold bytes that are not UTF-8: those are sent as
  // U+FFFD rather than ending the program with an exception.
  std::string params = Json{{"url", url}}.dump(-1, ' ', false, Json::error_handler_t::replace);
  std::lock_guard<std::mutex> guard(navigationLock);
  int32_t id = pipe->Send("Page.navigate", params, sessionId);
  if (id != 0) navigations[id] = url;
}

bool HeadlessView::TakeNavigation(int32_t commandId, std::string& url) {
  std::lock_guard<std::mutex> guard(navigationLock);
  auto found = navigations.find(commandId);
  if (found == navigations.end()) return false;
  url = std::move(found->second);
  navigations.erase(found);
  return true;
}

void HeadlessView::Reload() {
  SendToPage("Page.reload", "{}");
}

void HeadlessView::SetSize(int32_t newWidth, int32_t newHeight) {
  width = newWidth;
  height = newHeight;
  if (sessionId.empty() || windowId < 0) return;
  Json bounds{{"width", newWidth}, {"height", newHeight}};
  pipe->Send("Browser.setWindowBounds", Json{{"windowId", windowId}, {"bounds", bounds}}.dump(),
             "");
  // After the window changes size the browser may send no further pictures of the page: the
  // screencast starts again on the new size.
  SendToPage("Page.stopScreencast", "{}");
  SendToPage("Page.startScreencast", kScreencastParameters);
}

bool HeadlessView::GetSize(int32_t& outWidth, int32_t& outHeight) const {
  outWidth = width;
  outHeight = height;
  return outWidth > 0 && outHeight > 0;
}

void HeadlessView::SendKeyEvent(KeyEventType type, const KeyDescription& key, uint32_t modifiers,
                                bool autoRepeat) {
  Json event{{"modifiers", modifiers}, {"key", key.key}, {"code", key.code}};
  if (type == KeyEventType::Char) {
    if (key.text.empty()) return;
    event["type"] = "char";
    event["windowsVirtualKeyCode"] = key.keyCode;
  } else {
    // A key-down with text also types it (the page sees keydown, keypress and input, all with
    // this key); without text it fires the key event only.
    event["type"] = type == KeyEventType::KeyUp ? "keyUp"
                    : key.text.empty()          ? "rawKeyDown"
                                                : "keyDown";
    event["windowsVirtualKeyCode"] = key.keyCode;
    event["nativeVirtualKeyCode"] = key.keyCode;
    event["autoRepeat"] = autoRepeat;
  }
  if (type != KeyEventType::KeyUp && !key.text.empty()) {
    event["text"] = key.text;
    event["unmodifiedText"] = key.text;
  }
  if (key.location != 0) event["location"] = key.location;
  if (key.isKeypad) event["isKeypad"] = true;
  SendToPage("Input.dispatchKeyEvent", event.dump(-1, ' ', false, Json::error_handler_t::replace));
}

void HeadlessView::SendMouseClickEvent(int32_t x, int32_t y, MouseButton button, bool up,
                                       int32_t clickCount) {
  uint32_t held = up ? (heldButtons &= ~ButtonBit(button)) : (heldButtons |= ButtonBit(button));
  Json event{{"type", up ? "mouseReleased" : "mousePressed"},
             {"x", x},
             {"y", y},
             {"button", ButtonName(button)},
             {"buttons", held},
             {"clickCount", clickCount}};
  SendToPage("Input.dispatchMouseEvent", event.dump());
}

void HeadlessView::SendMouseMoveEvent(int32_t x, int32_t y, bool leave) {
  uint32_t held = heldButtons;
  // The protocol has no leave event: a move to a point outside the page ends its hover. While a
  // button is held the page keeps the drag, as a browser does for a pointer out of its window.
  if (leave && held != 0) return;
  if (leave) x = y = -1;
  const char* button = (held & 1) ? "left" : (held & 4) ? "middle" : (held & 2) ? "right" : "none";
  Json event{{"type", "mouseMoved"}, {"x", x}, {"y", y}, {"button", button}, {"buttons", held}};
  SendToPage("Input.dispatchMouseEvent", event.dump());
}

void HeadlessView::SendMouseWheelEvent(int32_t x, int32_t y, int32_t delta) {
  // The protocol's deltaY grows downwards.
  Json event{{"type", "mouseWheel"}, {"x", x}, {"y", y}, {"deltaX", 0}, {"deltaY", -delta}};
  SendToPage("Input.dispatchMouseEvent", event.dump());
}

int32_t HeadlessView::SendCommand(const char* method, const std::string& paramsJson,
                                  ReplyHandler onReply) {
  if (sessionId.empty()) return 0;
  std::lock_guard<std::mutex> guard(navigationLock);
  int32_t id = pipe->Send(method, paramsJson, sessionId);
  if (id != 0 && onReply) replies[id] = std::move(onReply);
  return id;
}

bool HeadlessView::TakeReply(int32_t commandId, ReplyHandler& handler) {
  std::lock_guard<std::mutex> guard(navigationLock);
  auto found = replies.find(commandId);
  if (found == replies.end()) return false;
  handler = std::move(found->second);
  replies.erase(found);
  return true;
}

void HeadlessView::Close() {
  pipe->Send("Target.closeTarget", Json{{"targetId", targetId}}.dump(), "");
}

}  // namespace CorvaneEngine
