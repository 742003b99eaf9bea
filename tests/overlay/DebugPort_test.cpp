// The inspector port against the real headless Chromium: with CORVANE_DEVTOOLS_PORT the browser
// lists the overlay's page at /json/list on 127.0.0.1 and listens on no other address, and a
// second client that attaches, runs a screencast of its own and leaves again takes neither the
// page's pictures nor its transparent background from the overlay; without the variable the
// browser listens on no TCP port at all.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <sstream>

#include "OverlayTestSupport.h"
#include "WebSocketClient.h"
#include "overlay/HeadlessBrowser.h"

using CorvaneTest::Box;
using CorvaneTest::BrowserOverlayTest;
using namespace CorvaneTest::OverlayColours;
using Json = nlohmann::json;

namespace {

// The local addresses ("0100007F:1F90": 127.0.0.1 port 8080, as /proc/net writes them) that the
// browser and its children listen on for TCP, over IPv4 and IPv6.
std::vector<std::string> ListeningAddresses(pid_t browser) {
  std::set<std::string> sockets;
  std::vector<pid_t> processes = CorvaneTest::DescendantProcesses(browser);
  processes.push_back(browser);
  for (pid_t process : processes) {
    const std::string fds = "/proc/" + std::to_string(process) + "/fd";
    DIR* folder = opendir(fds.c_str());
    while (dirent* entry = folder ? readdir(folder) : nullptr) {
      char target[64] = {};
      if (readlink((fds + "/" + entry->d_name).c_str(), target, sizeof target - 1) > 0 &&
          std::string(target).compare(0, 8, "socket:[") == 0)
        sockets.insert(std::string(target + 8, std::string(target).size() - 9));
    }
    if (folder) closedir(folder);
  }
  std::vector<std::string> addresses;
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    std::istringstream lines(CorvaneTest::ReadFile(table));
    std::string line;
    std::getline(lines, line);  // the heading
    while (std::getline(lines, line)) {
      std::istringstream fields(line);
      std::string slot, local, remote, state, skip, inode;
      fields >> slot >> local >> remote >> state;
      for (int i = 0; i < 5; ++i) fields >> skip;  // queues, timer, retransmits, uid, timeout
      fields >> inode;
      if (state == "0A" && sockets.count(inode)) addresses.push_back(local);  // 0A: listening
    }
  }
  return addresses;
}

class DebugPortTest : public BrowserOverlayTest {
 protected:
  void SetUp() override {
    port = CorvaneTest::FreePort();
    setenv("CORVANE_DEVTOOLS_PORT", std::to_string(port).c_str(), 1);
    BrowserOverlayTest::SetUp();
  }
  void TearDown() override {
    BrowserOverlayTest::TearDown();
    unsetenv("CORVANE_DEVTOOLS_PORT");
  }

  bool Inspect(const std::string& method, const std::string& params = "{}") {
    return inspector.SendText("{\"id\":" + std::to_string(++lastId) + ",\"method\":\"" + method +
                              "\",\"params\":" + params + "}");
  }

  int port = 0;
  int lastId = 0;
  CorvaneTest::WebSocketClient inspector;
};

TEST_F(DebugPortTest, AnInspectorOn127001LeavesTheOverlayDrawing) {
  ASSERT_NE(0, port);
  const std::string page = Url(
      "inspected.html", Box(0, 0, 20, 20, "rgb(255,0,0)", "b") +
                            "<script>corvane.on('colour', c => b.style.background = c)</script>");
  ASSERT_TRUE(Load(page, 5, 5, kRed));
  char hexPort[8];
  std::snprintf(hexPort, sizeof hexPort, "%04X", port);
  const pid_t process = browser->GetHeadlessBrowser()->ProcessId();
  EXPECT_EQ(std::vector<std::string>{std::string("0100007F:") + hexPort},
            ListeningAddresses(process));

  Json list = Json::parse(CorvaneTest::HttpGet(port, "/json/list"), nullptr, false);
  std::string socketPath;
  for (const Json& target : list.is_array() ? list : Json::array())
    if (target.value("url", "") == page) socketPath = target.value("webSocketDebuggerUrl", "");
  const std::string prefix = "ws://127.0.0.1:" + std::to_string(port);
  ASSERT_EQ(0u, socketPath.find(prefix)) << list.dump();
  ASSERT_TRUE(inspector.Connect(port, socketPath.substr(prefix.size())));

  // Its own screencast runs beside the overlay's; the page changes and both see it.
  ASSERT_TRUE(Inspect("Page.startScreencast", "{\"format\":\"png\"}"));
  browser->SendEvent("colour", "\"rgb(0,255,0)\"");
  EXPECT_TRUE(Shows(5, 5, kGreen));
  std::string message;
  bool framed = false;
  while (!framed && inspector.ReceiveText(message)) {
    Json event = Json::parse(message, nullptr, false);
    framed = event.value("method", "") == "Page.screencastFrame";
    if (framed)
      Inspect("Page.screencastFrameAck", Json{{"sessionId", event["params"]["sessionId"]}}.dump());
  }
  EXPECT_TRUE(framed) << "the second client's screencast";
  ASSERT_TRUE(Inspect("Page.stopScreencast"));
  inspector.Close();

  // Gone again: the overlay still draws each change, over a transparent background.
  for (const auto& [colour, shown] :
       {std::pair{"\"rgb(0,0,255)\"", kBlue}, std::pair{"\"rgb(255,0,0)\"", kRed}}) {
    browser->SendEvent("colour", colour);
    EXPECT_TRUE(Shows(5, 5, shown)) << colour;
    EXPECT_TRUE(Shows(100, 80, kClear));
  }
}

TEST_F(BrowserOverlayTest, WithoutTheVariableTheBrowserListensOnNoTCPPort) {
  ASSERT_TRUE(Load(Url("plain.html", Box(0, 0, 20, 20, "rgb(255,0,0)")), 5, 5, kRed));
  EXPECT_EQ(std::vector<std::string>{},
            ListeningAddresses(browser->GetHeadlessBrowser()->ProcessId()));
}

}  // namespace
