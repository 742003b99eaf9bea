#include "VirtualDisplay.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace CorvaneTest {

VirtualDisplay::VirtualDisplay(int width, int height) {
  if (const char* display = std::getenv("DISPLAY")) previousDisplay = display;
  int fds[2];
  if (pipe(fds) != 0) return;
  server = fork();
  if (server == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    close(fds[0]);
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1), dup2(devnull, 2);
    execlp("Xvfb", "Xvfb", "-displayfd", std::to_string(fds[1]).c_str(), "-screen", "0",
           screen.c_str(), "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  // Xvfb writes its display number and a newline once it accepts connections.
  std::string number;
  for (char c; read(fds[0], &c, 1) == 1 && c != '\n';) number.push_back(c);
  close(fds[0]);
  if (number.empty()) return;
  name = ":" + number;
  setenv("DISPLAY", name.c_str(), 1);
}

VirtualDisplay::~VirtualDisplay() {
  if (server > 0) kill(server, SIGTERM), waitpid(server, nullptr, 0);
  previousDisplay ? setenv("DISPLAY", previousDisplay->c_str(), 1) : unsetenv("DISPLAY");
}

VirtualDisplay& SharedDisplay() {
  // Closing the last GL window unloads Mesa's GLX library and driver; held here they stay
  // loaded, so that the sanitizers can still name them at exit (to match tests/sanitizer) and
  // never see their locks at an address that was unloaded and mapped again.
  static void* libraries[] = {
      dlopen("libGLX_mesa.so.0", RTLD_NOW | RTLD_NODELETE),
      dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE)};
  static VirtualDisplay display(1280, 720);
  setenv("CORVANE_ERROR_BOX", "0", 1);  // an error report must never wait for a click
  return (void)libraries, display;
}

int RunCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string CommandOutput(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  for (int c; pipe != nullptr && (c = std::fgetc(pipe)) != EOF;) output.push_back(char(c));
  if (pipe != nullptr) pclose(pipe);
  return output;
}

}  // namespace CorvaneTest
