// DefaultState: the demo game's one state, "MyState". Entering it creates the lantern (object
// type "sprite") and scales it five times in x and y.
//
// Threads: main thread only.
#pragma once

#include "core/GameState.h"

class DefaultState : public CorvaneEngine::GameState {
 public:
  // Without a "sprite" type the factory says so in the log and the state runs without an object.
  void Initialize() override;
};
