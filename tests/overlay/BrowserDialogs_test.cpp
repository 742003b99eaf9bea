// The page's JavaScript dialogs against the real headless Chromium: without a handler each kind
// gets its default answer at once, is logged, and the page runs on (its timers too), and a
// leave-page question lets the game's next page load; a game's handler gets each dialog in a
// frame and its answer, given frames later, reaches the page.
#include <signal.h>

#include <utility>

#include "OverlayTestSupport.h"
#include "overlay/HeadlessBrowser.h"

using CorvaneEngine::DialogReply;
using CorvaneEngine::JavaScriptDialog;
using CorvaneTest::Box;
using CorvaneTest::BrowserOverlayTest;
using CorvaneTest::LogFile;
using namespace CorvaneTest::OverlayColours;

namespace {

class BrowserDialogsTest : public BrowserOverlayTest {
 protected:
  // A page that calls `call` when clicked (or at once with `atLoad`): box a turns green when the
  // answer, as a string, is `want` (red otherwise), and box b from a timer after the dialog.
  // Called on a click, the dialog comes only after the page showed.
  std::string DialogPage(const std::string& name, const std::string& call, const std::string& want,
                         bool atLoad = false) {
    return Url(name, Box(0, 0, 10, 10, "rgb(0,0,255)", "a") +
                         Box(20, 0, 10, 10, "rgb(0,0,255)", "b") + "<script>" +
                         (atLoad ? "setTimeout(" : "onclick=()=>setTimeout(") +
                         "()=>{var r=String(" + call + ");a.style.background=r=='" + want +
                         "'?'lime':'red';setTimeout(()=>b.style.background='lime',100)})</script>");
  }

  // Loads the page and clicks it once it shows.
  bool LoadAndClick(const std::string& url) {
    if (!Load(url, 25, 5, kBlue)) return false;
    Xdo(50, 50, "click 1");
    return true;
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
    ASSERT_TRUE(LoadAndClick(DialogPage(std::string(call).substr(0, 5) + ".html", call, want)));
    EXPECT_TRUE(Shows(5, 5, kGreen)) << call;
    EXPECT_TRUE(Shows(25, 5, kGreen)) << call << ": the page's timers run on";
    EXPECT_TRUE(log.Says(std::string(line) + "\n")) << log.Text();
  }
  // The question before leaving a page the user touched: left, so the game's next page shows.
  // The click (which the question needs) has reached the page when its box turns green.
  ASSERT_TRUE(Load(Url("leave.html", Box(0, 0, 50, 50, "rgb(255,0,0)", "a") +
                                         "<script>onbeforeunload=e=>{e.preventDefault();"
                                         "return 'stay?'};onclick=()=>a.style.background='lime'"
                                         "</script>"),
                   5, 5, kRed));
  Xdo(5, 5, "click 1");
  ASSERT_TRUE(Shows(5, 5, kGreen));
  browser->LoadURL(Url("next.html", Box(0, 0, 50, 50, "rgb(0,0,255)")).c_str());
  EXPECT_TRUE(Shows(5, 5, kBlue)) << "the next page";
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
    ASSERT_TRUE(LoadAndClick(DialogPage(std::string(c.kind) + ".html", c.call, c.want)));
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

TEST_F(BrowserDialogsTest, AReplyWhosePageWentAwayAnswersNothingInTheNextPage) {
  std::vector<DialogReply> replies;
  browser->SetDialogHandler(
      [&](const JavaScriptDialog&, DialogReply reply) { replies.push_back(reply); });
  ASSERT_TRUE(LoadAndClick(DialogPage("page.html", "alert('old')", "undefined")));
  ASSERT_TRUE(FramesUntil([&] { return replies.size() == 1; }));
  // The browser dies under the dialog; the restarted one shows the page anew, now asking this.
  DialogPage("page.html", "confirm('new')", "false", true);
  kill(browser->GetHeadlessBrowser()->ProcessId(), SIGKILL);
  ASSERT_TRUE(FramesUntil([&] { return replies.size() == 2; }));
  replies[0].Accept();  // must not accept the new page's confirm
  replies[1].Cancel();
  EXPECT_TRUE(Shows(5, 5, kGreen));
}
