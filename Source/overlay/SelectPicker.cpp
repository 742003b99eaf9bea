#include "overlay/SelectPicker.h"

#include <nlohmann/json.hpp>

#include "overlay/HeadlessView.h"

namespace CorvaneEngine {

namespace {

// In a cascade layer of its own and important: an important layered rule wins over the page's
// own appearance rules (a select styled `appearance: none` would otherwise open its list unseen),
// while every other property the page sets still applies. The list (::picker) must be in the
// same form as its select, or it stays a native popup; it has a rule of its own so that a
// browser that does not know it still keeps the first one. The in-page form's closed select is
// transparent, which over the game's scene would leave its text on whatever is drawn behind:
// it keeps the usual form's fill unless the page gives it one.
constexpr char kScript[] = R"JS((function () {
  var css = '@layer corvane-select { select:not([multiple]):not([size]),' +
      ' select:not([multiple])[size="0"], select:not([multiple])[size="1"]' +
      ' { appearance: base-select !important; background-color: ButtonFace; }' +
      ' ::picker(select) { appearance: base-select !important; } }';
  function insert() {
    var root = document.documentElement;
    if (!root) return false;
    var style = document.createElement('style');
    style.textContent = css;
    root.insertBefore(style, root.firstChild);
    return true;
  }
  // The script runs before the document has its root element.
  if (insert()) return;
  var observer = new MutationObserver(function () {
    if (insert()) observer.disconnect();
  });
  observer.observe(document, {childList: true});
})();)JS";

}  // namespace

void SelectPicker::PageCreated(HeadlessView& view) {
  view.SendCommand("Page.addScriptToEvaluateOnNewDocument",
                   nlohmann::json{{"source", kScript}}.dump());
}

}  // namespace CorvaneEngine
