// ProgramEntry: builds the whole engine in its fixed order, runs the main loop and takes
// everything down again. main() only hands over its arguments.
//
// Threads: main thread only.
#pragma once

#include <vector>

#include "objects/SharedString.h"

namespace CorvaneEngine {

// argv[1..] joined with single spaces: the command-line string the entry splits.
SharedString JoinArguments(int argc, const char* const* argv);
// Splits at spaces only: runs of spaces give no empty arguments, tabs stay inside arguments.
std::vector<SharedString> SplitCommandLine(const char* commandLine);

class Engine;

// Shuts every System down (last added first), deletes them (last added first), destroys the
// engine and calls the game's shut-down hook.
void TearDownProgram(Engine* engine);

// The whole program: start-up, loop, tear-down. A game that writes its own main calls this with
// main's arguments and returns its answer (the engine's own main does nothing else). Returns the
// process exit code: 0 after an orderly run (Alt+F4, the window closed, SIGTERM or SIGINT); 1
// when a System found at start-up that the game cannot run (no window, for instance); 2 when the
// game has no GameStartup hook (GameHooks.h). Call once per process, on the main thread.
int RunProgram(int argc, const char* const* argv);

}  // namespace CorvaneEngine
