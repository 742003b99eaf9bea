// PointerShape: the shapes the window's pointer can take, one per CSS `cursor` keyword that a
// desktop browser distinguishes (several keywords share a shape). The overlay works out the
// shape under the pointer from the page; the window system shows it with the platform's own
// cursors.
#pragma once

#include <cstdint>

namespace CorvaneEngine {

enum class PointerShape : int32_t {
  Unset,  // nothing asked for yet: the window keeps the cursor it opened with
  Default,
  Pointer,
  Text,
  VerticalText,
  Crosshair,
  Move,
  NotAllowed,
  Wait,
  Progress,
  Help,
  Cell,
  Grab,
  Grabbing,
  ResizeNorth,
  ResizeSouth,
  ResizeEast,
  ResizeWest,
  ResizeNorthEast,
  ResizeNorthWest,
  ResizeSouthEast,
  ResizeSouthWest,
  ResizeEastWest,
  ResizeNorthSouth,
  ResizeNorthEastSouthWest,
  ResizeNorthWestSouthEast,
  ResizeColumn,
  ResizeRow,
  Invisible,  // CSS "none": no pointer at all
};

}  // namespace CorvaneEngine
