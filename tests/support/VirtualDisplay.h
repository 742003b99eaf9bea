// VirtualDisplay: a private Xvfb server. Picks a free display number itself (-displayfd), points
// DISPLAY at it for the lifetime of the object and stops it again.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace CorvaneTest {

class VirtualDisplay {
 public:
  explicit VirtualDisplay(int width = 1280, int height = 720);
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  bool Ok() const { return server > 0 && !name.empty(); }

 private:
  pid_t server = -1;
  std::string name;
  std::optional<std::string> previousDisplay;
};

// The one 1280 x 720 display of a test program, started at the first call, with Mesa's GL
// library and driver kept loaded (see the .cpp).
VirtualDisplay& SharedDisplay();

// Runs a shell command with DISPLAY set (xdotool, import, xwininfo ...); returns its exit code.
int RunCommand(const std::string& command);
// Runs a shell command and returns what it printed on standard output.
std::string CommandOutput(const std::string& command);

}  // namespace CorvaneTest
