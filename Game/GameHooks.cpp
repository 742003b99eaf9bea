// The demo game's start-up and shut-down hooks (filled in with the game).
#include "core/GameHooks.h"

void GameStartup(const std::vector<CorvaneEngine::SharedString>&) {}
void GameShutdown() {}
