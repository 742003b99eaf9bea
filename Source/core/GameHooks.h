// The game's hooks. A game defines them as ordinary functions with exactly these signatures; they
// are weak here so that the program entry can tell which ones the game supplies. GameStartup is
// required: without it (or with another signature, which is another function to the linker) the
// program says so and exits with code 2. The other two are optional.
//
// Threads: main thread only.
#pragma once

#include <vector>

#include "core/GameIdentity.h"
#include "objects/SharedString.h"

// Optional; called first of all, before the engine exists: the game names itself and chooses
// where its settings live (the identity comes in with the defaults).
void GameIdentify(CorvaneEngine::GameIdentity& identity) __attribute__((weak));
// Called after the engine and its Systems are complete, before the first frame.
void GameStartup(const std::vector<CorvaneEngine::SharedString>& arguments) __attribute__((weak));
// Optional; called after the engine has been destroyed.
void GameShutdown() __attribute__((weak));
