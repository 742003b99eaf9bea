// The game's two hooks. A game defines them as ordinary functions; both are weak here so that the
// program entry calls only those the game supplies (a test binary supplies none).
//
// Threads: main thread only.
#pragma once

#include <vector>

#include "objects/SharedString.h"

// Called after the engine and its Systems are complete, before the first frame.
void GameStartup(const std::vector<CorvaneEngine::SharedString>& arguments) __attribute__((weak));
// Called after the engine has been destroyed.
void GameShutdown() __attribute__((weak));
