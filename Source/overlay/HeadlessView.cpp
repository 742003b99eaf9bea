#include "overlay/HeadlessView.h"

#include <nlohmann/json.hpp>

#include "overlay/DevToolsPipe.h"

namespace CorvaneEngine {

namespace {

using Json = nlohmann::json;

// The DOM `key` and `code` of a Windows virtual-key code, so that pages reading event.key or
// event.code see what a real keyboard gives. Codes without a name send neither.
void KeyNames(int32_t keyCode, bool shift, std::string& key, std::string& code) {
  if (keyCode >= 'A' && keyCode <= 'Z') {
    key = std::string(1, static_cast<char>(shift ? keyCode : keyCode - 'A' + 'a'));
    code = std::string("Key") + static_cast<char>(keyCode);
    return;
  }
  if (keyCode >= '0' && keyCode <= '9') {
    key = std::string(1, static_cast<char>(keyCode));
    code = "Digit" + key;
    return;
  }
  if (keyCode >= 112 && keyCode <= 135) {
    key = code = "F" + std::to_string(keyCode - 111);
    return;
  }
  struct Named {
    int32_t keyCode;
    const char* key;
    const char* code;
  };
  static const Named kNamed[] = {
      {8, "Backspace", "Backspace"},
      {9, "Tab", "Tab"},
      {13, "Enter", "Enter"},
      {16, "Shift", "ShiftLeft"},
      {17, "Control", "ControlLeft"},
      {18, "Alt", "AltLeft"},
      {19, "Pause", "Pause"},
      {27, "Escape", "Escape"},
      {32, " ", "Space"},
      {33, "PageUp", "PageUp"},
      {34, "PageDown", "PageDown"},
      {35, "End", "End"},
      {36, "Home", "Home"},
      {37, "ArrowLeft", "ArrowLeft"},
      {38, "ArrowUp", "ArrowUp"},
      {39, "ArrowRight", "ArrowRight"},
      {40, "ArrowDown", "ArrowDown"},
      {45, "Insert", "Insert"},
      {46, "Delete", "Delete"},
      {189, "-", "Minus"},
      {190, ".", "Period"},
      {222, "'", "Quote"},
  };
  for (const Named& named : kNamed) {
    if (named.keyCode == keyCode) {
      key = named.key;
      code = named.code;
      return;
    }
  }
}

// UTF-8 text of a code point; empty for one that is not a character.
std::string Utf8(uint32_t c) {
  std::string out;
  if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return out;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
  return out;
}

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

void HeadlessView::SendKeyEvent(KeyEventType type, int32_t keyCode, uint32_t modifiers,
                                uint32_t character) {
  Json event{{"modifiers", modifiers}};
  if (type == KeyEventType::Char) {
    std::string text = Utf8(character);
    if (text.empty()) return;
    event["type"] = "char";
    event["text"] = text;
    event["unmodifiedText"] = text;
    event["windowsVirtualKeyCode"] = character;
  } else {
    // A key-down without text only fires the key event: the text comes with the Char event.
    event["type"] = type == KeyEventType::KeyDown ? "rawKeyDown" : "keyUp";
    event["windowsVirtualKeyCode"] = keyCode;
    event["nativeVirtualKeyCode"] = keyCode;
    std::string key, code;
    KeyNames(keyCode, (modifiers & kShift) != 0, key, code);
    if (!key.empty()) {
      event["key"] = key;
      event["code"] = code;
    }
  }
  SendToPage("Input.dispatchKeyEvent", event.dump());
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
