// KeyboardSystem_SDL: the keyboard over SDL 1.2's key state array. SDL keeps that array current
// while the window system pumps events; each Update turns it into one edge record per key
// symbol. Owned by InputSystem_SDL.
//
// Threads: main thread only.
#pragma once

#include <cstdint>

#include "presentation/BasicKeyboard.h"
#include "presentation/KeyRecord.h"

namespace CorvaneEngine {

class KeyboardSystem_SDL : public BasicKeyboard {
 public:
  KeyboardSystem_SDL();

  void Update() override;
  bool IsDown(int32_t key) override { return RecordIsDown(keyRecords, key); }
  bool IsReleased(int32_t key) override { return RecordIsReleased(keyRecords, key); }
  bool IsRepeat(int32_t key) override { return RecordIsRepeat(keyRecords, key); }
  bool IsPressed(int32_t key) override { return RecordIsPressed(keyRecords, key); }

 private:
  const uint8_t* keyStates;  // SDL's own array, read in place
  KeyRecord keyRecords[KeyCount];
};

}  // namespace CorvaneEngine
