#include "overlay/PageCursor.h"

#include <nlohmann/json.hpp>

#include "overlay/HeadlessView.h"
#include "presentation/BasicWindowSystem.h"

namespace CorvaneEngine {

namespace {

constexpr char kBinding[] = "__corvanePointer";

// Runs in every document (and frame) before the page's own scripts. It reports the resolved
// keyword whenever it changes: on pointer movement and presses, on scrolling and typing, and
// twice a second while the pointer rests, since a page may change the cursor (or the element
// under it) without any input. A new document has no pointer position until the pointer moves:
// it starts from the element the browser shows as hovered, or the arrow.
constexpr char kScript[] = R"JS((() => {
  if (window.__corvanePointerWatch) return;
  window.__corvanePointerWatch = true;
  let binding = window.__corvanePointer;
  let x = -1, y = -1, last = '';
  const textTypes = /^(text|search|url|tel|email|password|number)$/;
  const editable = el =>
    el.isContentEditable || (el.tagName === 'TEXTAREA' && !el.disabled) ||
    (el.tagName === 'INPUT' && !el.disabled && textTypes.test(el.type));
  const keyword = el => {
    const css = getComputedStyle(el).cursor;
    const tail = css.slice(css.lastIndexOf(')') + 1);  // url(...) images fall back to a keyword
    return tail.slice(tail.lastIndexOf(',') + 1).trim() || 'auto';
  };
  // The text node whose glyph boxes hold the point, if any.
  const textAt = (px, py) => {
    const caret = document.caretRangeFromPoint(px, py);
    const node = caret && caret.startContainer;
    if (!node || node.nodeType !== Node.TEXT_NODE || !node.data.trim()) return null;
    const range = document.createRange();
    range.selectNodeContents(node);
    for (const box of range.getClientRects())
      if (px >= box.left && px < box.right && py >= box.top && py < box.bottom) return node;
    return null;
  };
  const resolve = (el, px, py) => {
    const css = keyword(el);
    if (css !== 'auto') return css;
    if (el.closest('a[href],area[href]')) return 'pointer';
    if (editable(el)) return 'text';
    if (el.closest('button,select,input,option,textarea,video,audio')) return 'default';
    if (px < 0) return 'default';
    const text = textAt(px, py);
    if (!text || !text.parentElement) return 'default';
    const style = getComputedStyle(text.parentElement);
    return (style.userSelect || style.webkitUserSelect) === 'none' ? 'default' : 'text';
  };
  const report = shape => {
    if (typeof binding !== 'function') binding = window.__corvanePointer;
    if (shape === last || typeof binding !== 'function') return;
    last = shape;
    binding(shape);
  };
  const check = () => {
    if (x < 0) return;
    const el = document.elementFromPoint(x, y);
    // Over a frame its own document reports.
    if (el && !/^(IFRAME|FRAME|OBJECT|EMBED)$/.test(el.tagName)) report(resolve(el, x, y));
  };
  const options = {capture: true, passive: true};
  addEventListener('mousemove', e => { x = e.clientX; y = e.clientY; check(); }, options);
  addEventListener('mouseout', e => { if (!e.relatedTarget) x = -1; }, options);
  for (const type of ['mousedown', 'mouseup', 'wheel', 'scroll', 'keyup'])
    addEventListener(type, check, options);
  setInterval(check, 500);
  addEventListener('DOMContentLoaded', () => {
    if (x >= 0 || window !== window.top) return;
    const hovered = document.querySelectorAll(':hover');
    const el = hovered[hovered.length - 1];
    report(el ? resolve(el, -1, -1) : 'default');
  });
})();)JS";

struct Keyword {
  const char* css;
  PointerShape shape;
};

// Every keyword of CSS's `cursor` property, and what a desktop browser shows for it.
const Keyword kKeywords[] = {
    {"auto", PointerShape::Default},
    {"default", PointerShape::Default},
    {"context-menu", PointerShape::Default},
    {"alias", PointerShape::Default},
    {"copy", PointerShape::Default},
    {"zoom-in", PointerShape::Default},
    {"zoom-out", PointerShape::Default},
    {"none", PointerShape::Invisible},
    {"pointer", PointerShape::Pointer},
    {"text", PointerShape::Text},
    {"vertical-text", PointerShape::VerticalText},
    {"crosshair", PointerShape::Crosshair},
    {"move", PointerShape::Move},
    {"all-scroll", PointerShape::Move},
    {"not-allowed", PointerShape::NotAllowed},
    {"no-drop", PointerShape::NotAllowed},
    {"wait", PointerShape::Wait},
    {"progress", PointerShape::Progress},
    {"help", PointerShape::Help},
    {"cell", PointerShape::Cell},
    {"grab", PointerShape::Grab},
    {"grabbing", PointerShape::Grabbing},
    {"n-resize", PointerShape::ResizeNorth},
    {"s-resize", PointerShape::ResizeSouth},
    {"e-resize", PointerShape::ResizeEast},
    {"w-resize", PointerShape::ResizeWest},
    {"ne-resize", PointerShape::ResizeNorthEast},
    {"nw-resize", PointerShape::ResizeNorthWest},
    {"se-resize", PointerShape::ResizeSouthEast},
    {"sw-resize", PointerShape::ResizeSouthWest},
    {"ew-resize", PointerShape::ResizeEastWest},
    {"ns-resize", PointerShape::ResizeNorthSouth},
    {"nesw-resize", PointerShape::ResizeNorthEastSouthWest},
    {"nwse-resize", PointerShape::ResizeNorthWestSouthEast},
    {"col-resize", PointerShape::ResizeColumn},
    {"row-resize", PointerShape::ResizeRow},
};

}  // namespace

PointerShape PageCursor::ShapeOf(const std::string& keyword) {
  for (const Keyword& entry : kKeywords) {
    if (keyword == entry.css) return entry.shape;
  }
  return PointerShape::Default;
}

void PageCursor::PageCreated(HeadlessView& view) {
  // The binding first, so that the script finds it in every document from the next one on.
  view.SendCommand("Runtime.enable", "{}");
  view.SendCommand("Runtime.addBinding", nlohmann::json{{"name", kBinding}}.dump());
  view.SendCommand("Page.addScriptToEvaluateOnNewDocument",
                   nlohmann::json{{"source", kScript}}.dump());
}

void PageCursor::PageEvent(HeadlessView&, const std::string& method, const nlohmann::json& params) {
  if (method != "Runtime.bindingCalled") return;
  auto name = params.find("name");
  auto payload = params.find("payload");
  if (name == params.end() || *name != kBinding || payload == params.end() ||
      !payload->is_string()) {
    return;
  }
  shape = ShapeOf(payload->get<std::string>());
}

void PageCursor::Update(double) {
  PointerShape wanted = shape;
  BasicWindowSystem* window = BasicWindowSystem::instance;
  if (wanted == shown || window == nullptr) return;
  window->SetPointerShape(wanted);
  shown = wanted;
}

}  // namespace CorvaneEngine
