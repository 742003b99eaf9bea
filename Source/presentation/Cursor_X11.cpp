#include "presentation/Cursor_X11.h"

#include <X11/Xlib.h>
#include <X11/cursorfont.h>

namespace CorvaneEngine {

int32_t Cursor_X11::FontShape(PointerShape shape) {
  // The core font has no shape for some keywords; the nearest one stands in (a themed desktop
  // draws several of these glyphs as the modern shape: circle as "not allowed", hand1 as the
  // open hand).
  switch (shape) {
    case PointerShape::Default:
      return XC_left_ptr;
    case PointerShape::Pointer:
      return XC_hand2;
    case PointerShape::Text:
      return XC_xterm;
    case PointerShape::VerticalText:
      return XC_xterm;
    case PointerShape::Crosshair:
      return XC_crosshair;
    case PointerShape::Move:
      return XC_fleur;
    case PointerShape::NotAllowed:
      return XC_circle;
    case PointerShape::Wait:
      return XC_watch;
    case PointerShape::Progress:
      return XC_watch;
    case PointerShape::Help:
      return XC_question_arrow;
    case PointerShape::Cell:
      return XC_plus;
    case PointerShape::Grab:
      return XC_hand1;
    case PointerShape::Grabbing:
      return XC_fleur;
    case PointerShape::ResizeNorth:
      return XC_top_side;
    case PointerShape::ResizeSouth:
      return XC_bottom_side;
    case PointerShape::ResizeEast:
      return XC_right_side;
    case PointerShape::ResizeWest:
      return XC_left_side;
    case PointerShape::ResizeNorthEast:
      return XC_top_right_corner;
    case PointerShape::ResizeNorthWest:
      return XC_top_left_corner;
    case PointerShape::ResizeSouthEast:
      return XC_bottom_right_corner;
    case PointerShape::ResizeSouthWest:
      return XC_bottom_left_corner;
    case PointerShape::ResizeEastWest:
      return XC_sb_h_double_arrow;
    case PointerShape::ResizeNorthSouth:
      return XC_sb_v_double_arrow;
    case PointerShape::ResizeNorthEastSouthWest:
      return XC_bottom_left_corner;
    case PointerShape::ResizeNorthWestSouthEast:
      return XC_bottom_right_corner;
    case PointerShape::ResizeColumn:
      return XC_sb_h_double_arrow;
    case PointerShape::ResizeRow:
      return XC_sb_v_double_arrow;
    default:
      return -1;
  }
}

unsigned long Cursor_X11::Make(Display* display, PointerShape shape) {
  int32_t glyph = FontShape(shape);
  if (glyph >= 0) return XCreateFontCursor(display, static_cast<unsigned int>(glyph));
  // An empty cursor: one pixel whose mask is clear.
  static const char kClear[1] = {0};
  Pixmap empty = XCreateBitmapFromData(display, DefaultRootWindow(display), kClear, 1, 1);
  XColor black{};
  Cursor cursor = XCreatePixmapCursor(display, empty, empty, &black, &black, 0, 0);
  XFreePixmap(display, empty);
  return cursor;
}

void Cursor_X11::Show(Display* display, unsigned long window, PointerShape shape) {
  if (display == nullptr || window == 0 || shape == PointerShape::Unset) return;
  if (window == shownWindow && shape == shown) return;
  unsigned long& cursor = cursors[static_cast<int32_t>(shape)];
  if (cursor == 0) cursor = Make(display, shape);
  XDefineCursor(display, window, cursor);
  XFlush(display);
  shownWindow = window;
  shown = shape;
}

void Cursor_X11::Release(Display* display) {
  for (unsigned long& cursor : cursors) {
    if (cursor != 0 && display != nullptr) XFreeCursor(display, cursor);
    cursor = 0;
  }
  shownWindow = 0;
}

}  // namespace CorvaneEngine
