// Messages between the game and its pages against the real headless Chromium: data crosses both
// ways whole (nested, Unicode); order holds over a thousand messages in one frame; calls are
// answered frames later, rejected without a handler, and an answer never reaches another page;
// frames from outside the game's folder get nothing.
#include "overlay/PageBridge.h"

#include <algorithm>

#include "OverlayTestSupport.h"

using CorvaneEngine::PageReply;
using namespace CorvaneTest;
using Json = nlohmann::json;

namespace {

class PageBridgeTest : public BrowserOverlayTest {
 protected:
  void SetUp() override {
    BrowserOverlayTest::SetUp();
    if (HasFatalFailure()) return;
    browser->OnPageMessage("said", [this](const std::string& json) { said.push_back(json); });
    browser->OnPageReady([this](const std::string& url) { ready.push_back(url); });
  }

  // Loads the page and runs frames until it is ready.
  bool Open(const std::string& url) {
    return FramesUntil([&] { return browser->IsReady(); }) &&
           (browser->LoadURL(url.c_str()),
            FramesUntil([&] { return std::count(ready.begin(), ready.end(), url) > 0; }, 60));
  }

  LogFile log{scratch.Path() / "log.txt"};
  std::vector<std::string> said, ready;
};

TEST_F(PageBridgeTest, DataCrossesBothWaysWhole) {
  browser->OnPageCall("echo",
                      [](const std::string& json, PageReply reply) { reply.Resolve(json); });
  ASSERT_TRUE(Open(Fixture("echo.html")));
  for (std::string data :
       {R"({"a":[1,2.5,-3e-7,{"b":null,"c":[true,false,[]]}],"d":{"e":{"f":"g"}}})",
        "\"caf\xC3\xA9 \xF0\x9F\x98\x80 \\u2028 \\\"q\\\" \\\\ \\u0000\""}) {
    said.clear();
    ASSERT_TRUE(browser->SendEvent("data", data));
    ASSERT_TRUE(FramesUntil([&] { return said.size() == 2; })) << data;
    for (const std::string& back : said) EXPECT_EQ(Json::parse(data), Json::parse(back));
  }
  EXPECT_FALSE(browser->SendEvent("data", "{\"unclosed\":"));
  EXPECT_FALSE(browser->SendEvent("data", "\"\xC3\""));  // not UTF-8
  const std::string line = "ERROR: Browser: the event \"data\" is not valid JSON; not sent\n";
  // Script run in the page gives its value (a promise waited for) or its error; what the page
  // prints and throws reaches the log with its level.
  std::vector<std::string> ran;
  for (const char* script : {"Promise.resolve([1,'x'])",
                             "console.warn('w',1);setTimeout(()=>{throw Error('t')});null.x"})
    browser->RunScript(script, [&](bool ok, const std::string& text) {
      ran.push_back((ok ? "ok " : "error ") + text);
    });
  ASSERT_TRUE(FramesUntil([&] { return ran.size() == 2 && log.Says("Error: t"); }));
  EXPECT_EQ("ok [1,\"x\"]", ran[0]);
  EXPECT_EQ(0u, ran[1].rfind("error TypeError", 0)) << ran[1];
  EXPECT_EQ(
      line + line +
          "WARNING: Page console.warn: w 1\nERROR: Page uncaught exception: Uncaught Error: t\n",
      log.Text());
}

TEST_F(PageBridgeTest, OrderHoldsAndAnswersReachOnlyTheirOwnPage) {
  std::vector<PageReply> held;
  browser->OnPageCall("hold", [&](const std::string&, PageReply reply) { held.push_back(reply); });
  std::vector<std::string> numbers, sent;
  browser->OnPageMessage("n", [&](const std::string& json) { numbers.push_back(json); });
  ASSERT_TRUE(Open(Fixture("order.html")));
  for (int i = 0; i < 1000; ++i)  // in one frame
    sent.push_back(std::to_string(i)), browser->SendEvent("n", sent.back());
  ASSERT_TRUE(FramesUntil([&] { return said.size() == 2 && held.size() == 2; }));
  EXPECT_EQ(sent, numbers);
  std::sort(said.begin(), said.end());
  EXPECT_EQ((std::vector<std::string>{"\"no handler for \\\"nobody\\\"\"", "true"}), said);

  said.clear();
  Frame(), Frame();
  held[0].Resolve("{\"two\":\"frames later\"}");
  ASSERT_TRUE(FramesUntil([&] { return said.size() == 1; }));  // before its page goes

  // held[1] is still open when its page goes. The next page's third call has its number. An
  // event sent while the old page still shows waits for the new page's first listener.
  browser->LoadURL(Fixture("next.html").c_str());
  browser->SendEvent("n", "\"early\"");
  ASSERT_TRUE(FramesUntil([&] { return held.size() == 3; }));
  held[1].Resolve("\"late\"");
  held[2].Resolve("\"own\"");
  ASSERT_TRUE(FramesUntil([&] { return said.size() == 3; })) << testing::PrintToString(said);
  std::sort(said.begin(), said.end());
  EXPECT_EQ((std::vector<std::string>{"\"early\"", "\"own\"", "{\"two\":\"frames later\"}"}), said);
}

TEST_F(PageBridgeTest, FramesFromOutsideTheGamesFolderGetNothing) {
  ScratchDir outside("outside");  // beside the game's folder
  outside.Write("intruder.html", ReadFile(CORVANE_SOURCE_DIR "/tests/overlay/pages/intruder.html"));
  std::filesystem::create_directory_symlink(outside.Path(), scratch.Path() / "link");
  ASSERT_TRUE(FramesUntil([&] { return browser->IsReady(); }));
  browser->LoadURL(Url("frames.html",
                       "<iframe src=link/intruder.html></iframe><script>onload = () "
                       "=> { done = true; }; corvane.on('probe', () => "
                       "corvane.send('said', 'main'));</script>")
                       .c_str());
  ASSERT_TRUE(Reads("String(window.done)", "true"));
  browser->SendEvent("probe", "1");
  ASSERT_TRUE(FramesUntil([&] { return said.size() == 1; }));
  Frame();
  EXPECT_EQ("undefined", browser->Evaluate("String(window.leaked)"));
  Frame();  // the intruders' calls, had they been taken, would have reached the handler now
  EXPECT_EQ(std::vector<std::string>{"\"main\""}, said);
  const std::string text = log.Text(), refused = "WARNING: Browser: refused the game's page bridge";
  EXPECT_NE(std::string::npos, text.find(refused)) << text;
  EXPECT_EQ(text.find(refused), text.rfind(refused)) << "once: " << text;
}

}  // namespace
