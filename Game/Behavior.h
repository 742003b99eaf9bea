// Behavior: the demo game's component. While the space bar is held it moves its object to the
// left by a fixed step per frame; the first time the object passes the edge of the grove it
// shows the winning page and plays the win jingle, once.
//
// Lives outside the engine's namespace: it is the game's code. Registered with the object
// factory under "Behavior" by the game's start-up; the object file of the sprite names it.
//
// Threads: main thread only.
#pragma once

#include "objects/GOComponent.h"

class Behavior : public CorvaneEngine::GOComponent {
 public:
  static constexpr float kStep = 0.2f;      // per frame, not scaled by the time step
  static constexpr float kWinLine = -7.0f;  // the win needs x strictly below it

  // A fresh component: no owner, not won (nothing is copied).
  CorvaneEngine::GOComponent* Clone() override;
  void Update(double seconds) override;

  bool HasWon() const { return won; }

 private:
  bool won = false;
};
