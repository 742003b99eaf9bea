#include "overlay/DebugPort.h"

#include <cstdlib>

#include "core/OutputStream.h"
#include "overlay/HeadlessView.h"

namespace CorvaneEngine {

namespace {

constexpr char kTransparentBackground[] = "{\"color\":{\"r\":0,\"g\":0,\"b\":0,\"a\":0}}";

// The port number of the text, or 0 (not all digits, or out of range).
int ParsePort(const char* text) {
  if (text == nullptr || *text == '\0') return 0;
  long port = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9' || port > 65535) return 0;
    port = port * 10 + (*c - '0');
  }
  return port >= 1 && port <= 65535 ? static_cast<int>(port) : 0;
}

}  // namespace

int DebugPort::Port() {
  return ParsePort(std::getenv("CORVANE_DEVTOOLS_PORT"));
}

std::vector<std::string> DebugPort::BrowserArguments() {
  const char* asked = std::getenv("CORVANE_DEVTOOLS_PORT");
  if (asked == nullptr || *asked == '\0') return {};
  const int port = ParsePort(asked);
  if (port == 0) {
    Log << "WARNING: Browser: CORVANE_DEVTOOLS_PORT=\"" << asked
        << "\" is not a port number (1 to 65535); no inspector port is opened" << std::endl;
    return {};
  }
  Log << "Browser: DevTools inspector on http://127.0.0.1:" << port << std::endl;
  return {"--remote-debugging-port=" + std::to_string(port),
          "--remote-debugging-address=127.0.0.1"};
}

void DebugPort::PageCreated(HeadlessView& view) {
  std::lock_guard<std::mutex> guard(lock);
  page = view.weak_from_this();
  portOpen = Port() != 0;
}

void DebugPort::Update(double seconds) {
  sinceBackground += seconds;
  if (sinceBackground < kBackgroundSeconds) return;
  sinceBackground = 0.0;
  std::shared_ptr<HeadlessView> view;
  {
    std::lock_guard<std::mutex> guard(lock);
    if (portOpen) view = page.lock();
  }
  if (view)
    view->SendCommand("Emulation.setDefaultBackgroundColorOverride", kTransparentBackground);
}

}  // namespace CorvaneEngine
