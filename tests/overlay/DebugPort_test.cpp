// The inspector port against the real headless Chromium: with CORVANE_DEVTOOLS_PORT the browser
// listens on 127.0.0.1 only, and a second client that attaches to the overlay's page, runs a
// screencast of its own and leaves again takes neither the page's pictures nor its transparent
// background from the overlay. (Without the variable no port is open: see Browser_test.)
#include <regex>

#include "OverlayTestSupport.h"
#include "WebSocketClient.h"

using CorvaneTest::Box;
using CorvaneTest::BrowserOverlayTest;
using namespace CorvaneTest::OverlayColours;

namespace {

class DebugPortTest : public BrowserOverlayTest {
 protected:
  void SetUp() override {
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

  const int port = CorvaneTest::FreePort();
  int lastId = 0;
  CorvaneTest::WebSocketClient inspector;
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
            CorvaneTest::ListeningAddresses(browser->Process()));
  ASSERT_TRUE(inspector.Connect(port, "/devtools/page/" + browser->TargetId()));

  // Its own screencast runs beside the overlay's; the page changes and both see it.
  ASSERT_TRUE(Inspect("Page.startScreencast", "{\"format\":\"png\"}"));
  browser->SendEvent("colour", "\"lime\"");
  EXPECT_TRUE(Shows(5, 5, kGreen));
  const std::string said = inspector.WaitFor("\"method\":\"Page.screencastFrame\"", 20);
  std::smatch session;
  ASSERT_TRUE(std::regex_search(said, session, std::regex("\"sessionId\":(\\d+)")))
      << "the second client's screencast";
  Inspect("Page.screencastFrameAck", "{\"sessionId\":" + session[1].str() + "}");
  ASSERT_TRUE(Inspect("Page.stopScreencast"));
  inspector.Close();

  // Gone again: the overlay still draws each change, over a transparent background.
  for (auto [colour, shown] : {std::pair{"\"blue\"", kBlue}, {"\"red\"", kRed}}) {
    browser->SendEvent("colour", colour);
    EXPECT_TRUE(Shows(5, 5, shown)) << colour;
    EXPECT_TRUE(Shows(100, 80, kClear));
  }
}

}  // namespace
