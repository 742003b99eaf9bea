// The smallest game on an installed engine, in one file: it names itself, keeps its settings in
// a folder of its own and writes them. Built by the install check twice: with pkg-config and its
// own main (KIT_OWN_MAIN), and with find_package and the engine's main.
#include <corvane/core/ConfigData.h>
#include <corvane/core/GameHooks.h>
#include <corvane/core/GameStateManager.h>
#include <corvane/core/ProgramEntry.h>

void GameIdentify(CorvaneEngine::GameIdentity& identity) {
  identity = CorvaneEngine::GameIdentity::Named("Kit Game");
  identity.configFolder = "settings";
}

void GameStartup(const std::vector<CorvaneEngine::SharedString>& /*arguments*/) {
  CorvaneEngine::GameStateManager::instance->AddState("Empty", new CorvaneEngine::GameState());
  CorvaneEngine::GameStateManager::instance->SetState("Empty");
  CorvaneEngine::ConfigData::instance->Save();
}

#ifdef KIT_OWN_MAIN
int main(int argc, char** argv) {
  return CorvaneEngine::RunProgram(argc, argv);
}
#endif
