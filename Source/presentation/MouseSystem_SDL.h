// MouseSystem_SDL: the mouse over SDL 1.2's pointer state: three button records (left, right,
// middle), the pointer in window pixels and as fractions of the window size, and the system
// cursor. Owned by InputSystem_SDL.
//
// Threads: main thread only.
#pragma once

#include <cstdint>

#include "presentation/BasicMouse.h"
#include "presentation/KeyRecord.h"

namespace CorvaneEngine {

class MouseSystem_SDL : public BasicMouse {
 public:
  MouseSystem_SDL();

  void Update() override;
  void HideCursor() override;
  void ShowCursor() override;
  bool IsCursorVisible() override { return cursorVisible; }
  const MousePosition& GetPosition() override { return normalizedPosition; }
  int32_t GetX() override { return pixelX; }
  int32_t GetY() override { return pixelY; }
  bool IsDown(int32_t button) override { return RecordIsDown(buttonRecords, button); }
  bool IsReleased(int32_t button) override { return RecordIsReleased(buttonRecords, button); }
  bool IsRepeat(int32_t button) override { return RecordIsRepeat(buttonRecords, button); }
  bool IsPressed(int32_t button) override { return RecordIsPressed(buttonRecords, button); }
  bool HasMoved() override;

  // The smallest change of a normalised coordinate that counts as a move.
  static constexpr float MoveThreshold = 0.001f;

 private:
  uint8_t buttons = 0;  // SDL's button mask of the last update
  KeyRecord buttonRecords[MouseButtonCount];
  MousePosition normalizedPosition;
  MousePosition previousPosition;
  int32_t pixelX = 0;
  int32_t pixelY = 0;
  bool cursorVisible = true;
};

}  // namespace CorvaneEngine
