// GameState: base of the game's states. The GameStateManager calls Load and Initialize when a
// state becomes current, Update every frame while it is, Shutdown and Unload when it stops being
// current.
#pragma once

namespace CorvaneEngine {

class GameState {
public:
  virtual ~GameState() = default;
  virtual void Load() {}
  virtual void Initialize() {}
  virtual void Update(double /*seconds*/) {}
  virtual void Shutdown() {}
  virtual void Unload() {}
};

}  // namespace CorvaneEngine
