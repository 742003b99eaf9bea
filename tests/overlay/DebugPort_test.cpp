// The inspector port against the real headless Chromium: with CORVANE_DEVTOOLS_PORT the browser
// listens on 127.0.0.1 only, and a second client that attaches to the overlay's page, runs a
// screencast of its own and leaves again takes neither the page's pictures nor its transparent
// background from the overlay. (Without the variable no port is open: see Browser_test.)
#include <arpa/inet.h>

#include "OverlayTestSupport.h"

using namespace CorvaneTest;

namespace {

sockaddr_in Loopback(int port) {
  return {AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
}

// A port no one listens on at the time of the call (0 when there is none).
int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), size);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  close(fd);
  return ntohs(address.sin_port);
}

// A second inspector: a minimal WebSocket client (RFC 6455: short text frames, masked as a client
// must, with a zero mask that leaves the bytes as they are). Each read waits 20 s at most.
struct Inspector {
  ~Inspector() { close(fd); }
  bool Send(std::string bytes, bool asFrame = true) {  // a frame: under 126 bytes
    if (asFrame)
      bytes = std::string{'\x81', static_cast<char>(0x80 | bytes.size()), 0, 0, 0, 0} + bytes;
    return write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // Reads until what the server sent (frame headers and all) holds `text`.
  bool WaitFor(const std::string& text) {
    char chunk[65536];
    for (ssize_t got = 0; received.find(text) == std::string::npos; received.append(chunk, got))
      if ((got = read(fd, chunk, sizeof chunk)) <= 0) return false;
    return true;
  }
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  std::string received;
};

class DebugPortTest : public BrowserOverlayTest {
 protected:
  void SetUp() override {  // (the only test of its program: the variable may stay)
    setenv("CORVANE_DEVTOOLS_PORT", std::to_string(port).c_str(), 1);
    BrowserOverlayTest::SetUp();
  }

  const int port = FreePort();
  Inspector inspector;
};

TEST_F(DebugPortTest, AnInspectorOn127001LeavesTheOverlayDrawing) {
  ASSERT_NE(0, port);
  ASSERT_TRUE(Load(
      Url("inspected.html", Box(0, 0, 20, 20, "red", "b") + "<script>corvane.on('colour', c => "
                                                            "b.style.background = c)</script>"),
      5, 5, kRed));
  char hexPort[8];
  std::snprintf(hexPort, sizeof hexPort, "%04X", port);
  EXPECT_EQ(std::vector<std::string>{std::string("0100007F:") + hexPort},
            ListeningAddresses(browser->Process()));
  sockaddr_in address = Loopback(port);
  const timeval deadline{20, 0};
  setsockopt(inspector.fd, SOL_SOCKET, SO_RCVTIMEO, &deadline, sizeof deadline);
  ASSERT_EQ(0, connect(inspector.fd, reinterpret_cast<sockaddr*>(&address), sizeof address));
  // (The server checks only that a key is there.)
  ASSERT_TRUE(
      inspector.Send("GET /devtools/page/" + browser->TargetId() +
                         " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                         "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: "
                         "dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n",
                     false));
  ASSERT_TRUE(inspector.WaitFor("\r\n\r\n"));
  ASSERT_EQ(0u, inspector.received.find("HTTP/1.1 101")) << inspector.received;

  // Its own screencast runs beside the overlay's; the page changes and both see it.
  ASSERT_TRUE(
      inspector.Send(R"({"id":1,"method":"Page.startScreencast","params":{"format":"png"}})"));
  browser->SendEvent("colour", "\"lime\"");
  EXPECT_TRUE(Shows(5, 5, kGreen));
  EXPECT_TRUE(inspector.WaitFor("\"method\":\"Page.screencastFrame\"")) << "its own screencast";
  ASSERT_TRUE(inspector.Send(R"({"id":2,"method":"Page.stopScreencast"})"));
  close(inspector.fd), inspector.fd = -1;

  // Gone again: the overlay still draws each change, over a transparent background.
  browser->SendEvent("colour", "\"blue\"");
  EXPECT_TRUE(Shows(5, 5, kBlue));
  EXPECT_TRUE(Shows(100, 80, kClear));
}

}  // namespace
