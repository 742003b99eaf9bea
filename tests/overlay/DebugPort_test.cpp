// The inspector port against the real headless Chromium: with CORVANE_DEVTOOLS_PORT the browser
// listens on 127.0.0.1 only, and a second client that attaches to the overlay's page, runs a
// screencast of its own and leaves again takes neither the page's pictures nor its transparent
// background from the overlay. (Without the variable no port is open: see Browser_test.)
#include "OverlayTestSupport.h"
#include "WebSocketClient.h"

using namespace CorvaneTest;

namespace {

class DebugPortTest : public BrowserOverlayTest {
 protected:
  void SetUp() override {  // (the only test of its program: the variable may stay)
    setenv("CORVANE_DEVTOOLS_PORT", std::to_string(port).c_str(), 1);
    BrowserOverlayTest::SetUp();
  }

  const int port = FreePort();
  WebSocketClient inspector;
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
