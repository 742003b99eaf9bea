// KeyRecord: the per-frame edge record of one key or mouse button, and the queries the keyboard
// and the mouse share (one implementation over a record array and an index).
//
// Threads: main thread only.
#pragma once

#include <cstdint>

#include "presentation/KeyState.h"

namespace CorvaneEngine {

struct KeyRecord {
  using Clock = uint32_t (*)();

  // How long a key must stay held for each repeat.
  static constexpr uint32_t RepeatInterval = 500;

  int32_t code = 0;  // keyboard: the SDL key symbol; mouse: the button's bit in SDL's mask
  bool repeat = false;
  KeyState state = Up;
  uint32_t pressTime = 0;  // clock value when the record last went from Up to Pressed
  // Repeats already reported for the current hold: repeat is true only in the update in which
  // the hold passes another whole RepeatInterval.
  uint32_t repeatsReported = 0;

  // Advances the record by one update, given whether its key is down now. The clock is read only
  // on a press and while the key is held.
  void Advance(bool down, Clock clock);
  void Advance(bool down);
};

// The queries of the keyboard and the mouse, on records[index].
bool RecordIsDown(const KeyRecord* records, int32_t index);
bool RecordIsReleased(const KeyRecord* records, int32_t index);
bool RecordIsRepeat(const KeyRecord* records, int32_t index);
bool RecordIsPressed(const KeyRecord* records, int32_t index);

}  // namespace CorvaneEngine
