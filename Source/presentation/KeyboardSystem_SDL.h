// KeyboardSystem_SDL: the keyboard over SDL 1.2's key state array. SDL keeps that array current
// while the window system pumps events; each Update turns it into one edge record per key
// symbol. Owned by InputSystem_SDL. Two sets of records advance side by side: the keys as they
// are (for the engine's shortcuts) and the keys as the game sees them, which differ only while
// keys are withheld or a key pressed then is still down.
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
  bool IsDown(int32_t key) override { return RecordIsDown(gameRecords, key); }
  bool IsReleased(int32_t key) override { return RecordIsReleased(gameRecords, key); }
  bool IsRepeat(int32_t key) override { return RecordIsRepeat(gameRecords, key); }
  bool IsPressed(int32_t key) override { return RecordIsPressed(gameRecords, key); }

  void WithholdKeys(bool withheld) override { withholding = withheld; }
  bool IsPhysicallyDown(int32_t key) override { return RecordIsDown(keyRecords, key); }
  bool IsPhysicallyPressed(int32_t key) override { return RecordIsPressed(keyRecords, key); }

 private:
  const uint8_t* keyStates;         // SDL's own array, read in place
  KeyRecord keyRecords[KeyCount];   // the keys as they are
  KeyRecord gameRecords[KeyCount];  // the keys as the game sees them
  bool swallowed[KeyCount] = {};    // down since a moment the keys were withheld
  bool withholding = false;
};

}  // namespace CorvaneEngine
