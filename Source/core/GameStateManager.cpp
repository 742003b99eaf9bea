#include "core/GameStateManager.h"

#include "core/ReportError.h"

namespace CorvaneEngine {

GameStateManager* GameStateManager::instance = nullptr;

GameStateManager::~GameStateManager() {
  if (current) {
    current->Shutdown();
    current->Unload();
  }
  states.ForEach([](StringHashMap::Entry& entry) { delete static_cast<GameState*>(entry.value); });
  states.Clear();
  instance = nullptr;
}

void GameStateManager::AddState(const SharedString& name, GameState* state) {
  states.Insert(name, state);
}

void GameStateManager::SetState(const SharedString& name) {
  StringHashMap::Entry* entry = states.Find(name);
  if (!entry) {
    REPORT_ERROR("ERROR: GameState \"%s\" does not exist", name.CStr());
    return;
  }
  requested = static_cast<GameState*>(entry->value);
}

void GameStateManager::Update(double seconds) {
  if (requested != current) {
    if (current) {
      current->Shutdown();
      current->Unload();
    }
    requested->Load();
    requested->Initialize();
    current = requested;
  }
  if (!current) {
    REPORT_ERROR("ERROR: There is no GameState set when attempting to update the current state");
    return;
  }
  current->Update(seconds);
}

}  // namespace CorvaneEngine
