// VirtualDisplay: a private Xvfb server for one test program. Picks a free display number
// itself (-displayfd), points DISPLAY at it for the lifetime of the object and stops it again.
// Create one per test program (for instance in a global test environment or a static), before
// anything opens the display.
#pragma once

#include <sys/types.h>

#include <string>

namespace CorvaneTest {

class VirtualDisplay {
 public:
  explicit VirtualDisplay(int width = 1280, int height = 720);
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  bool Ok() const { return server > 0 && !name.empty(); }
  const std::string& Name() const { return name; }  // such as ":17"

 private:
  pid_t server = -1;
  std::string name;
  std::string previousDisplay;
  bool hadDisplay = false;
};

// Runs a shell command with DISPLAY set (xdotool, import, xwininfo ...); returns its exit code.
int RunCommand(const std::string& command);
// Runs a shell command and returns what it printed on standard output.
std::string CommandOutput(const std::string& command);

}  // namespace CorvaneTest
