// QuitSignal: SIGTERM and SIGINT ask the game to end the way closing its window does. The handler
// only sets a flag; the main loop ends after the frame in which it sees the flag, and long loads
// (a huge mesh read) look at it to stop early, so the orderly tear-down (settings, browser and its
// profile folder) runs promptly and the exit code stays 0.
//
// Install before the window system starts: SDL installs its own handlers only where none is set.
//
// Threads: Requested may be called from any thread; Install from the main thread at start-up.
#pragma once

namespace CorvaneEngine {

class QuitSignal {
 public:
  // Catches SIGTERM and SIGINT from now on (interrupted system calls are restarted).
  static void Install();
  // Whether one of the two signals has arrived.
  static bool Requested();
};

}  // namespace CorvaneEngine
