// Playtest: runs a game under a playtest script on a private display. It starts Xvfb, sets up
// OpenAL Soft to record everything the game plays into a WAV file, starts the game in a fresh
// copy of its folder (without a config.xml, as on a first run) with the error box turned off,
// carries out the steps, and checks the exit code and every line the game wrote to standard
// error against the lines the script expects. The first failure ends the run with one line that
// names the script line, what was waited for and what was seen instead.
//
// Needs Xvfb, xdotool and ImageMagick's import (screenshots) on the PATH.
//
// Threads: main thread only; one Playtest per process (it points DISPLAY at its server).
#pragma once

#include <string>
#include <vector>

namespace CorvanePlaytest {

struct PlaytestOptions {
  std::string script;              // the script file
  std::vector<std::string> game;   // the program and its arguments
  std::string folder;              // copied as the game's working directory ("" = none)
  std::string out;                 // where everything is left ("" = a new temp folder)
  int width = 1280, height = 720;  // of the private display
};

// 0 when every step passed and the game ended as expected; 1 after a failure (one line on
// standard error says which); 2 when the script or the options are wrong.
int RunPlaytest(const PlaytestOptions& options);

}  // namespace CorvanePlaytest
