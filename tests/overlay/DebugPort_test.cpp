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
// must, with a zero mask that leaves the bytes as they are). Every wait has a deadline.
class Inspector {
 public:
  ~Inspector() { close(fd); }
  // True once the server upgraded. (The server checks only that a key is there.)
  bool Connect(int port, const std::string& path) {
    sockaddr_in address = Loopback(port);
    const timeval second{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &second, sizeof second);
    return connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
           Send("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: "
                "dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n") &&
           WaitFor("\r\n\r\n").compare(0, 12, "HTTP/1.1 101") == 0;
  }
  bool SendText(const std::string& text) {  // under 126 bytes
    return text.size() < 126 &&
           Send(std::string{'\x81', static_cast<char>(0x80 | text.size()), 0, 0, 0, 0} + text);
  }
  // Waits until what the server sent (frame headers and all) holds `text`; "" at the deadline.
  std::string WaitFor(const std::string& text, int seconds = 10) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    char chunk[65536];
    while (received.find(text) == std::string::npos) {
      ssize_t got = read(fd, chunk, sizeof chunk);  // waits a second at most
      if (got > 0)
        received.append(chunk, static_cast<size_t>(got));
      else if (got == 0 || errno != EAGAIN || std::chrono::steady_clock::now() > end)
        return "";
    }
    return received;
  }
  void Close() { close(fd), fd = -1; }

 private:
  bool Send(const std::string& bytes) {
    return write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
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
  ASSERT_TRUE(inspector.Connect(port, "/devtools/page/" + browser->TargetId()));

  // Its own screencast runs beside the overlay's; the page changes and both see it.
  ASSERT_TRUE(
      inspector.SendText(R"({"id":1,"method":"Page.startScreencast","params":{"format":"png"}})"));
  browser->SendEvent("colour", "\"lime\"");
  EXPECT_TRUE(Shows(5, 5, kGreen));
  EXPECT_NE("", inspector.WaitFor("\"method\":\"Page.screencastFrame\"", 20))
      << "the second client's screencast";
  ASSERT_TRUE(inspector.SendText(R"({"id":2,"method":"Page.stopScreencast"})"));
  inspector.Close();

  // Gone again: the overlay still draws each change, over a transparent background.
  for (auto [colour, shown] : {std::pair{"\"blue\"", kBlue}, {"\"red\"", kRed}}) {
    browser->SendEvent("colour", colour);
    EXPECT_TRUE(Shows(5, 5, shown)) << colour;
    EXPECT_TRUE(Shows(100, 80, kClear));
  }
}

}  // namespace
