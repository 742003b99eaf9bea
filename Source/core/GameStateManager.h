// GameStateManager: runs the game's named states. A switch asked for with SetState takes effect
// at the next Update, never in the middle of a state's Update. Owns every registered state.
//
// Threads: main thread only.
#pragma once

#include "core/GameState.h"
#include "core/System.h"
#include "objects/StringHashMap.h"

namespace CorvaneEngine {

class GameStateManager : public System {
public:
  GameStateManager() = default;
  ~GameStateManager() override;

  // Registers the state under the name; a name already taken keeps its first state and the new
  // one stays the caller's.
  void AddState(const SharedString& name, GameState* state);
  // Asks for a switch at the next Update; an unknown name is reported and ignored.
  void SetState(const SharedString& name);
  void Update(double seconds) override;

  GameState* Current() const { return current; }

  static GameStateManager* instance;

private:
  StringHashMap states;
  GameState* current = nullptr;
  GameState* requested = nullptr;
};

}  // namespace CorvaneEngine
