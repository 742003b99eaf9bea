// The page's JavaScript dialogs against the real headless Chromium: without a handler each kind
// gets its default answer at once, is logged, and the page runs on (its timers too), and a
// leave-page question lets the game's next page load; a game's handler gets each dialog in a
// frame and its answer, given frames later, reaches the page.
#include <utility>

#include "OverlayTestSupport.h"

using CorvaneEngine::DialogReply;
using CorvaneEngine::JavaScriptDialog;
using CorvaneTest::BrowserOverlayTest;
using CorvaneTest::Box;
using CorvaneTest::LogFile;
using namespace CorvaneTest::OverlayColours;

namespace {

class BrowserDialogsTest : public BrowserOverlayTest {
 protected:
  // A page that calls `call` shortly after it loaded: box a turns green when the answer, as a
  // string, is `want` (red otherwise), and box b turns green from a timer after the dialog.
  std::string DialogPage(const std::string& name, const std::string& call,
                         const std::string& want) {
    return Url(name, Box(0, 0, 10, 10, "rgb(0,0,255)", "a") +
                         Box(20, 0, 10, 10, "rgb(0,0,255)", "b") +
                         "<script>setTimeout(()=>{var r=String(" + call +
                         ");a.style.background=r=='" + want +
                         "'?'lime':'red';setTimeout(()=>b.style.background='lime',100)},50)"
                         "</script>");
  }

  LogFile log{scratch.Path() / "log.txt"};
};

}  // namespace

TEST_F(BrowserDialogsTest, WithoutAHandlerEachDialogGetsItsDefaultIsLoggedAndThePageRunsOn) {
  for (auto [call, want, line] :
       {std::tuple{"alert('two\\nlines')", "undefined",
                   "Browser: alert dialog accepted: two lines"},
        {"confirm('sure?')", "false", "Browser: confirm dialog cancelled: sure?"},
        {"prompt('name?','Ann')", "null", "Browser: prompt dialog cancelled: name?"}}) {
    ASSERT_TRUE(
        Load(DialogPage(std::string(call).substr(0, 5) + ".html", call, want), 25, 5, kBlue));
    EXPECT_TRUE(Shows(5, 5, kGreen)) << call;
    EXPECT_TRUE(Shows(25, 5, kGreen)) << call << ": the page's timers run on";
    EXPECT_TRUE(log.Says(std::string(line) + "\n")) << log.Text();
  }
  // The question before leaving a page the user touched: left, so the game's next page shows.
  ASSERT_TRUE(Load(Url("leave.html", Box(0, 0, 50, 50, "rgb(255,0,0)") +
                                         "<script>onbeforeunload=e=>{e.preventDefault();"
                                         "return 'stay?'}</script>"),
                   5, 5, kRed));
  Xdo(5, 5, "click 1");
  browser->LoadURL(Url("next.html", Box(0, 0, 50, 50, "rgb(0,255,0)")).c_str());
  EXPECT_TRUE(Shows(5, 5, kGreen)) << "the next page";
  EXPECT_TRUE(log.Says("Browser: beforeunload dialog accepted: \n")) << log.Text();
}

TEST_F(BrowserDialogsTest, AHandlersAnswerGivenFramesLaterReachesThePage) {
  std::vector<std::pair<JavaScriptDialog, DialogReply>> dialogs;
  browser->SetDialogHandler([&](const JavaScriptDialog& dialog, DialogReply reply) {
    dialogs.emplace_back(dialog, reply);
  });
  struct Case {
    const char* call;
    const char* kind;
    std::function<void(DialogReply&)> answer;
    const char* want;
  };
  for (const Case& c :
       {Case{"prompt('name?','Ann')", "prompt", [](DialogReply& r) { r.Accept("Bea \xc3\xa9"); },
             "Bea \xc3\xa9"},
        Case{"confirm('sure?')", "confirm", [](DialogReply& r) { r.Accept(); }, "true"},
        // A reply dropped unanswered gets the default answer.
        Case{"alert('hi')", "alert", [](DialogReply& r) { r = DialogReply(); }, "undefined"}}) {
    dialogs.clear();
    ASSERT_TRUE(Load(DialogPage(std::string(c.kind) + ".html", c.call, c.want), 25, 5, kBlue));
    ASSERT_TRUE(FramesUntil([&] { return !dialogs.empty(); })) << c.call;
    EXPECT_STREQ(c.kind, CorvaneEngine::DialogKindName(dialogs[0].first.kind));
    EXPECT_NE(std::string::npos, std::string(c.call).find(dialogs[0].first.message + "'"));
    Frame();
    Frame();
    EXPECT_EQ(kBlue, At(5, 5)) << c.call << ": the page waits for the answer";
    c.answer(dialogs[0].second);
    EXPECT_TRUE(Shows(5, 5, kGreen)) << c.call;
    EXPECT_TRUE(Shows(25, 5, kGreen)) << c.call;
  }
  EXPECT_TRUE(log.Says("dropped unanswered")) << log.Text();
  EXPECT_FALSE(log.Says("Browser: prompt dialog")) << "a handled dialog is the game's business";
}
