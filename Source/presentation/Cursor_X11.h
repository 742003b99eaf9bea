// Cursor_X11: the pointer shapes of the game window on X11. Each shape is a cursor of X's own
// cursor font (which Xlib draws from the desktop's cursor theme when one is installed), made on
// first use and kept until Release; Invisible is an empty cursor. The window system owns one and
// calls it with SDL's display and window.
//
// Threads: main thread only (the window system's), with SDL's display lock held.
#pragma once

#include <cstdint>

#include "presentation/PointerShape.h"

struct _XDisplay;

namespace CorvaneEngine {

class Cursor_X11 {
 public:
  static constexpr int32_t kShapeCount = static_cast<int32_t>(PointerShape::Invisible) + 1;

  // Defines the shape's cursor on the window, unless that is already the one shown there.
  void Show(_XDisplay* display, unsigned long window, PointerShape shape);
  // What the window shows is unknown again (SDL set a cursor of its own): the next Show defines.
  void Forget() { shownWindow = 0; }
  // Frees every cursor made; before the display closes.
  void Release(_XDisplay* display);

  // The cursor-font glyph of a shape (XC_*), or -1 for Invisible and Unset.
  static int32_t FontShape(PointerShape shape);

 private:
  unsigned long Make(_XDisplay* display, PointerShape shape);

  unsigned long cursors[kShapeCount] = {};  // X cursor ids, 0 until made
  unsigned long shownWindow = 0;
  PointerShape shown = PointerShape::Unset;
};

}  // namespace CorvaneEngine
