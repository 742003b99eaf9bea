#include "overlay/EditableFocus.h"

#include <nlohmann/json.hpp>

#include "overlay/HeadlessView.h"
#include "presentation/BasicKeyboard.h"

namespace CorvaneEngine {

namespace {

std::string Text(const nlohmann::json& object, const char* key) {
  auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

constexpr char kBinding[] = "__corvaneFocus";

// Takes the binding away from the page's own scripts (they cannot fake a report), then reports
// "1" or "0" on every focus change of this document. Focus moving into a frame of the page is
// reported by that frame's own copy of the script. Input types whose field takes typed keys
// (text-like ones, numbers, dates and times) count; read-only or disabled ones do not.
constexpr char kScript[] = R"JS((function () {
  var report = window.__corvaneFocus;
  if (typeof report !== 'function') return;
  try { delete window.__corvaneFocus; } catch (e) {}
  var typed = {text: 1, search: 1, url: 1, tel: 1, email: 1, password: 1, number: 1,
               date: 1, time: 1, 'datetime-local': 1, month: 1, week: 1};
  function editable(e) {
    while (e && e.shadowRoot && e.shadowRoot.activeElement) e = e.shadowRoot.activeElement;
    if (!e || !e.tagName) return false;
    if (e.isContentEditable) return true;
    var tag = e.tagName.toUpperCase();
    if (tag === 'TEXTAREA') return !e.readOnly && !e.disabled;
    if (tag === 'INPUT') return typed[e.type] === 1 && !e.readOnly && !e.disabled;
    return false;
  }
  function send(on) { report(on ? '1' : '0'); }
  addEventListener('focusin', function (event) {
    send(editable(event.composedPath()[0]));
  }, true);
  // Moving straight to another editable element is reported by its focusin alone.
  addEventListener('focusout', function (event) {
    if (!editable(event.relatedTarget)) send(false);
  }, true);
  addEventListener('blur', function (event) { if (event.target === window) send(false); });
  addEventListener('focus', function (event) {
    if (event.target === window) send(editable(document.activeElement));
  });
})();)JS";

}  // namespace

EditableFocus::~EditableFocus() {
  KeepKeysFromGame(false);
}

void EditableFocus::PageCreated(HeadlessView& view) {
  focused = false;  // a new page (also after a browser restart) has nothing focused
  view.SendCommand("Runtime.enable", "{}");
  view.SendCommand("Runtime.addBinding", nlohmann::json{{"name", kBinding}}.dump());
  view.SendCommand("Page.addScriptToEvaluateOnNewDocument",
                   nlohmann::json{{"source", kScript}}.dump());
}

void EditableFocus::PageEvent(HeadlessView&, const std::string& method,
                              const nlohmann::json& params) {
  if (!params.is_object()) return;
  if (method == "Runtime.bindingCalled") {
    if (Text(params, "name") == kBinding) focused = Text(params, "payload") == "1";
  } else if (method == "Page.frameNavigated") {
    // A new document in the page's main frame has no focus yet.
    auto frame = params.find("frame");
    if (frame != params.end() && frame->is_object() && !frame->contains("parentId")) {
      focused = false;
    }
  }
}

void EditableFocus::KeepKeysFromGame(bool keep) {
  keepKeys = keep;
  Update(0.0);
}

void EditableFocus::Update(double) {
  const bool withhold = keepKeys && focused;
  BasicKeyboard* keyboard = BasicKeyboard::instance;
  if (keyboard == nullptr || withhold == withholding) return;
  keyboard->WithholdKeys(withhold);
  withholding = withhold;
}

}  // namespace CorvaneEngine
