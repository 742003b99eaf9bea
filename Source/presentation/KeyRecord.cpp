#include "presentation/KeyRecord.h"

#include "core/Clock.h"

namespace CorvaneEngine {

void KeyRecord::Advance(bool down, Clock clock) {
  switch (state) {
    case Held:
      if (down) {
        // Unsigned arithmetic: a clock wrap during the hold still gives the true duration.
        uint32_t periods = (clock() - pressTime) / RepeatInterval;
        repeat = periods > repeatsReported;
        repeatsReported = periods;
      } else {
        state = Released;
        repeat = false;
      }
      break;
    case Pressed:
      state = down ? Held : Released;
      break;
    case Released:
      // A press right after a release keeps the earlier press time (and its repeat count).
      state = down ? Pressed : Up;
      break;
    case Up:
      if (down) {
        state = Pressed;
        pressTime = clock();
        repeat = false;
        repeatsReported = 0;
      }
      break;
  }
}

void KeyRecord::Advance(bool down) {
  Advance(down, TimeGetTime);
}

bool RecordIsDown(const KeyRecord* records, int32_t index) {
  return records[index].state == Held || records[index].state == Pressed;
}

bool RecordIsReleased(const KeyRecord* records, int32_t index) {
  return records[index].state == Released;
}

bool RecordIsRepeat(const KeyRecord* records, int32_t index) {
  return records[index].repeat;
}

bool RecordIsPressed(const KeyRecord* records, int32_t index) {
  return records[index].state == Pressed;
}

}  // namespace CorvaneEngine
