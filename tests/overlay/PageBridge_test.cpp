// Messages between the game and its pages against the real headless Chromium: data crosses both
// ways whole (nested, Unicode, a megabyte); order holds over a thousand messages in one frame;
// calls are answered frames later, rejected without a handler, and an answer never reaches
// another page; events wait for the page asked for and its first listener; pages and frames
// from outside the game's folder get nothing.
#include "overlay/PageBridge.h"

#include <algorithm>

#include "OverlayTestSupport.h"

using CorvaneEngine::PageReply;
using CorvaneTest::BrowserOverlayTest;
using CorvaneTest::LogFile;
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

  // A page of the game's folder running `script` (after `body`).
  std::string Page(const std::string& name, const std::string& script,
                   const std::string& body = "") {
    return Url(name, body + "<script>" + script + "</script>");
  }

  // Loads the page and runs frames until it is ready.
  bool Open(const std::string& url) {
    if (!FramesUntil([&] { return browser->IsReady(); })) return false;
    browser->LoadURL(url.c_str());
    return FramesUntil([&] { return std::count(ready.begin(), ready.end(), url) > 0; }, 60);
  }

  size_t LogCount(const std::string& text) const {
    std::string all = log.Text();
    size_t count = 0;
    for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++count;
    return count;
  }

  LogFile log{scratch.Path() / "log.txt"};
  std::vector<std::string> said, ready;
};

TEST_F(PageBridgeTest, DataCrossesBothWaysWhole) {
  // Each event comes back as a message, and as a call whose answer is the data itself.
  browser->OnPageCall("echo",
                      [](const std::string& json, PageReply reply) { reply.Resolve(json); });
  ASSERT_TRUE(Open(Page("echo.html",
                        "corvane.on('data', d => { corvane.send('said', d);"
                        "corvane.call('echo', d).then(v => corvane.send('said', v)); });")));
  for (const std::string& data :
       {std::string(R"({"a":[1,2.5,-3e-7,{"b":null,"c":[true,false,[]]}],"d":{"e":{"f":"g"}}})"),
        std::string("\"caf\xC3\xA9 \xF0\x9F\x98\x80 \\u2028 \\\"q\\\" \\\\ \\u0000\""),
        "[\"" + std::string(1 << 20, 'x') + "\"]"}) {
    said.clear();
    ASSERT_TRUE(browser->SendEvent("data", data));
    // A megabyte crosses four times: long under a sanitizer on a loaded machine.
    ASSERT_TRUE(FramesUntil([&] { return said.size() == 2; }, 90)) << data.substr(0, 60);
    for (const std::string& back : said) EXPECT_EQ(Json::parse(data), Json::parse(back));
  }
  EXPECT_FALSE(browser->SendEvent("data", "{\"unclosed\":"));
  EXPECT_FALSE(browser->SendEvent("data", "\"\xC3\""));  // not UTF-8
  EXPECT_EQ(2u, LogCount("ERROR: Browser: the event \"data\" is not valid JSON; not sent\n"));
}

TEST_F(PageBridgeTest, OrderHoldsAndAnswersReachOnlyTheirOwnPage) {
  std::vector<PageReply> held;
  browser->OnPageCall("hold", [&](const std::string&, PageReply reply) { held.push_back(reply); });
  std::vector<std::string> numbers;
  browser->OnPageMessage("n", [&](const std::string& json) { numbers.push_back(json); });
  ASSERT_TRUE(Open(Page("a.html",
                        "var next = 0, inOrder = true;"
                        "corvane.on('n', i => { inOrder = inOrder && i === next++;"
                        "  if (next === 1000) corvane.send('said', inOrder); });"
                        "for (var i = 0; i < 1000; i++) corvane.send('n', i);"
                        "corvane.call('nobody').catch(e => corvane.send('said', e.message));"
                        "corvane.call('hold').then(v => corvane.send('said', v));"
                        "corvane.call('hold').then(v => corvane.send('said', v));")));
  for (int i = 0; i < 1000; ++i) browser->SendEvent("n", std::to_string(i));  // in one frame
  ASSERT_TRUE(FramesUntil([&] { return said.size() == 2 && held.size() == 2; }));
  ASSERT_EQ(1000u, numbers.size());
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(std::to_string(i), numbers[i]);
  std::sort(said.begin(), said.end());
  EXPECT_EQ((std::vector<std::string>{"\"no handler for \\\"nobody\\\"\"", "true"}), said);

  said.clear();
  Frame();
  Frame();
  held[0].Resolve("{\"two\":\"frames later\"}");
  ASSERT_TRUE(FramesUntil([&] { return said.size() == 1; }));
  EXPECT_EQ("{\"two\":\"frames later\"}", said[0]);

  // held[1] is still open when its page goes. The next page's third call has its number.
  browser->LoadURL(Page("b.html",
                        "corvane.call('x').catch(() => 0); corvane.call('x').catch(() => 0);"
                        "corvane.call('hold').then(v => corvane.send('said', v));")
                       .c_str());
  ASSERT_TRUE(FramesUntil([&] { return held.size() == 3; }));
  held[1].Resolve("\"late\"");
  held[2].Resolve("\"own\"");
  ASSERT_TRUE(FramesUntil([&] { return said.size() == 2; }));
  EXPECT_EQ("\"own\"", said[1]);
}

TEST_F(PageBridgeTest, EventsWaitForThePageAskedForAndItsFirstListener) {
  ASSERT_TRUE(Open(Page("old.html", "corvane.on('which', () => corvane.send('said', 'old'));")));
  // Sent in the frame of the LoadURL, while the old page still shows; the new page listens late.
  browser->LoadURL(
      Page("new.html", "setTimeout(() => corvane.on('which', w => corvane.send('said', w)), 300);")
          .c_str());
  browser->SendEvent("which", "1");
  browser->SendEvent("which", "2");
  ASSERT_TRUE(FramesUntil([&] { return said.size() == 2; }));
  EXPECT_EQ((std::vector<std::string>{"1", "2"}), said);
}

// A data: URL of the document, every byte but letters and digits escaped.
std::string DataURL(const std::string& document) {
  std::string url = "data:text/html,";
  for (unsigned char c : document) {
    static const char kHex[] = "0123456789ABCDEF";
    if (std::isalnum(c))
      url += static_cast<char>(c);
    else
      url += std::string{'%', kHex[c >> 4], kHex[c & 15]};
  }
  return url;
}

// A document that calls the raw binding (twice), would take the game's events if they came
// (its own receiver and a listener), tells the top page if they did, and sets `done`.
std::string Intruder() {
  return "<script>function leak() { top.postMessage('leak', '*'); }"
         "try { window.__corvaneIn = leak; corvane.on('probe', leak); } catch (e) {}"
         "for (var k of ['s', 'c']) __corvaneBridge(JSON.stringify([[k, 1, 'said', '\"in\"']]));"
         "addEventListener('message', e => { if (e.data === 'leak') top.leaked = true; });"
         "top.done = true;</script>";
}

TEST_F(PageBridgeTest, PagesAndFramesFromOutsideTheGamesFolderGetNothing) {
  CorvaneTest::ScratchDir outside("outside");  // beside the game's folder
  outside.Write("intruder.html", Intruder());
  std::filesystem::create_directory_symlink(outside.Path(), scratch.Path() / "link");
  const std::string folder = scratch.Path().string();
  const std::string outsideName = outside.Path().filename().string();
  struct Case {
    const char* what;
    std::string url;
    const char* mainGets;  // what the game's own main page says on the probe ("": none)
  } cases[] = {
      {"a data: page", DataURL(Intruder()), ""},
      {"a .. path out of the folder",
       CorvaneEngine::FileURL(folder.c_str(), ("/../" + outsideName + "/intruder.html").c_str())
           .CStr(),
       ""},
      {"a link out of the folder",
       CorvaneEngine::FileURL(folder.c_str(), "/link/intruder.html").CStr(), ""},
      {"frames from elsewhere in a game page",
       Page("frames.html",
            "onload = () => { done = true; };"
            "corvane.on('probe', () => corvane.send('said', 'main'));",
            std::string("<iframe src=\"") +
                CorvaneEngine::FileURL(folder.c_str(), "/link/intruder.html").CStr() +
                "\"></iframe><iframe src=\"" + DataURL(Intruder()) + "\"></iframe>"),
       "\"main\""},
  };
  ASSERT_TRUE(FramesUntil([&] { return browser->IsReady(); }));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    said.clear();
    const size_t refusals = LogCount("WARNING: Browser: refused the game's page bridge to ");
    browser->LoadURL(c.url.c_str());
    ASSERT_TRUE(FramesUntil([&] { return browser->Evaluate("String(window.done)") == "true"; }));
    browser->SendEvent("probe", "1");
    if (*c.mainGets) {
      ASSERT_TRUE(FramesUntil([&] { return !said.empty(); }));
    }
    Frame();
    EXPECT_EQ("undefined", browser->Evaluate("String(window.leaked)"));
    Frame();  // the intruders' calls, had they been taken, would have reached the handler now
    EXPECT_EQ(*c.mainGets ? std::vector<std::string>{c.mainGets} : std::vector<std::string>{},
              said);
    EXPECT_EQ(refusals + 1, LogCount("WARNING: Browser: refused the game's page bridge to "))
        << log.Text();
  }
}

}  // namespace
