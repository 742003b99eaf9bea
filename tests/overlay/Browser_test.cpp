// The overlay against the real headless Chromium, on a real GL window under Xvfb: page images
// land in the page texture with their alpha, rows from the top; popups replace the page; shutting
// down ends the browser; JavaScript dialogs get their default or the game's late answer while the
// page runs on; crashed browsers and renderers come back until the fourth crash in a minute.
#include "OverlayTestSupport.h"

using namespace CorvaneTest;

TEST_F(BrowserOverlayTest, PagesShowInTheTexturePopupsReplaceThemAndShutdownEndsTheBrowser) {
  // Asked for at once, long before the browser has its page: carried out when it is ready.
  browser->LoadURL(Url("box.html", Box(10, 20, 30, 40, "rgba(255,0,0,0.5)") +
                                       Box(100, 90, 20, 10, "rgb(0,0,255)"))
                       .c_str());
  EXPECT_FALSE(browser->IsReady());
  // Until the page shows, nothing is opaque where it has nothing: no white page, not a frame.
  bool opaque = false;
  ASSERT_TRUE(FramesUntil([&] {
    opaque = opaque || At(150, 110)[3] != 0;
    return At(100, 90) == kBlue;
  })) << testing::PrintToString(At(100, 90));
  EXPECT_FALSE(opaque);
  // Straight colour, half alpha, not darkened; a transparent page around it, rows from the top.
  std::vector<Bgra> got;
  for (auto [x, y] :
       {std::pair{10, 20}, {39, 59}, {9, 20}, {10, 19}, {40, 59}, {10, 60}, {120, 100}})
    got.push_back(At(x, y));
  const Bgra half{0, 0, 255, 128};
  EXPECT_EQ((std::vector<Bgra>{half, half, kClear, kClear, kClear, kClear, kClear}), got);
  EXPECT_EQ(kBlue, At(119, 99));

  // Popups: a link's target shows in the overlay; a popup sent on by script shows its target;
  // blank ones (also one written into) are closed and their opener, turned red, stays.
  std::string target = Url("target.html", Box(0, 0, 50, 50, "rgb(0,0,255)"));
  ASSERT_TRUE(ClickLink("target=_blank"));
  EXPECT_TRUE(Shows(5, 5, kBlue)) << "link target";
  for (auto [name, script, shown] :
       // (A target of its own colour: blue could still be the link's target, and a popup sent
       // on late would then replace the next page.)
       {std::tuple{"sent on",
                   "var w=window.open('');w.location='" +
                       Url("green.html", Box(0, 0, 50, 50, "rgb(0,255,0)")) + "'",
                   kGreen},
        {"three blank",
         "var a=window.open(''),b=window.open('about:blank'),c=window.open('');"
         "c.document.write('x');if(a&&b&&c)document.body.style.background='red'",
         kRed}}) {
    browser->LoadURL(Url(std::string(name) + ".html", "<script>" + script + "</script>").c_str());
    EXPECT_TRUE(Shows(5, 5, shown)) << name;
    EXPECT_TRUE(FramesUntil([&] { return browser->GetHeadlessBrowser()->OpenPageCount() == 1; }))
        << name;
  }

  pid_t process = browser->Process();
  ASSERT_GT(process, 0);
  // Without CORVANE_DEVTOOLS_PORT the browser listens on no TCP port at all.
  EXPECT_EQ(std::vector<std::string>{}, ListeningAddresses(process));
  browser->Shutdown();
  EXPECT_FALSE(Alive(process)) << "the browser was reaped";
  // A closed page takes no more commands, and says nothing.
  browser->LoadURL("about:blank"), browser->KeyDown('a', 0);
}

TEST_F(BrowserOverlayTest, DialogsGetTheirDefaultOrTheHandlersLateAnswerAndThePageRunsOn) {
  LogFile log(scratch.Path() / "log.txt");
  // A page that calls `call` when clicked: box a turns green when the answer is `want` (red
  // otherwise), and box b from a timer after the dialog. Loaded, then clicked once it shows.
  int pages = 0;
  auto loadAndClick = [&](const std::string& call, const std::string& want) {
    std::string url = Url("dialog" + std::to_string(++pages) + ".html",
                          Box(0, 0, 10, 10, "blue", "a") + Box(20, 0, 10, 10, "blue", "b") +
                              "<script>onclick=()=>setTimeout(()=>{var r=String(" + call +
                              ");a.style.background=r=='" + want +
                              "'?'lime':'red';setTimeout(()=>b.style.background='lime',100)})"
                              "</script>");
    return Load(url, 25, 5, kBlue) && (Xdo(50, 50, "click 1"), true);
  };
  for (auto [call, want, line] :
       {std::tuple{"alert('two\\nlines')", "undefined",
                   "Browser: alert dialog accepted: two lines\n"},
        {"confirm('sure?')", "false", "Browser: confirm dialog cancelled: sure?\n"},
        {"prompt('name?','Ann')", "null", "Browser: prompt dialog cancelled: name?\n"}}) {
    ASSERT_TRUE(loadAndClick(call, want));
    EXPECT_TRUE(Shows(5, 5, kGreen)) << call;
    EXPECT_TRUE(Shows(25, 5, kGreen)) << call << ": the page's timers run on";
    EXPECT_TRUE(log.Says(line)) << log.Text();
  }
  // The question before leaving a page the user touched: left, so the game's next page shows.
  ASSERT_TRUE(Load(Fixture("leave.html"), 5, 5, kRed));
  Xdo(5, 5, "click 1");
  ASSERT_TRUE(Shows(5, 5, kGreen));
  // (Small: a dialog page below must not seem to show while this one still does.)
  browser->LoadURL(Url("next.html", Box(0, 0, 20, 20, "blue")).c_str());
  EXPECT_TRUE(Shows(5, 5, kBlue)) << "the next page";
  EXPECT_TRUE(log.Says("Browser: beforeunload dialog accepted: \n")) << log.Text();

  // With a handler: each dialog reaches it in a frame, and its answer given frames later.
  std::vector<std::pair<CorvaneEngine::JavaScriptDialog, CorvaneEngine::DialogReply>> dialogs;
  browser->SetDialogHandler([&](auto& dialog, auto reply) { dialogs.emplace_back(dialog, reply); });
  // (The reply to the alert is dropped unanswered: it gets the default answer.)
  for (auto [call, kind, accepted, want] :
       {std::tuple{"prompt('name?','Ann')", "prompt", "Bea \xc3\xa9", "Bea \xc3\xa9"},
        {"confirm('sure?')", "confirm", "", "true"},
        {"alert('hi')", "alert", nullptr, "undefined"}}) {
    dialogs.clear();
    ASSERT_TRUE(loadAndClick(call, want));
    ASSERT_TRUE(FramesUntil([&] { return !dialogs.empty(); })) << call;
    EXPECT_STREQ(kind, CorvaneEngine::DialogKindName(dialogs[0].first.kind));
    EXPECT_NE(std::string::npos, std::string(call).find(dialogs[0].first.message + "'"));
    Frame(), Frame();
    EXPECT_EQ(kBlue, At(5, 5)) << call << ": the page waits for the answer";
    accepted ? dialogs[0].second.Accept(accepted) : void(dialogs[0].second = {});
    EXPECT_TRUE(Shows(5, 5, kGreen)) << call;
    EXPECT_TRUE(Shows(25, 5, kGreen)) << call;
  }
  EXPECT_TRUE(log.Says("dropped unanswered")) << log.Text();
  EXPECT_FALSE(log.Says("Browser: prompt dialog accepted")) << "a handled dialog is the game's";
}

// The pages are read anew from their files after a crash, so a page rewritten just before the
// crash shows a colour that the page from before could never show.
TEST_F(BrowserOverlayTest, CrashedBrowsersAndPagesComeBackUntilTheFourthCrashInAMinute) {
  LogFile log(scratch.Path() / "log.txt");
  std::vector<std::string> reloaded;
  browser->OnPageReloadedAfterCrash([&](const std::string& url) { reloaded.push_back(url); });
  auto target = [&](const char* colour) { return Url("target.html", Box(0, 0, 50, 50, colour)); };
  const std::string shown = target("blue");
  ASSERT_TRUE(ClickLink(""));
  ASSERT_TRUE(Shows(5, 5, kBlue)) << "the link's target";

  int crashes = 0;
  for (auto [renderer, colour, shows] : {std::tuple{false, "lime", kGreen},
                                         {true, "yellow", Bgra{0, 255, 255, 255}},
                                         {false, "blue", kBlue}}) {
    SCOPED_TRACE(++crashes);
    target(colour);
    ASSERT_TRUE(renderer ? browser->CrashPage() : kill(browser->Process(), SIGKILL) == 0);
    EXPECT_TRUE(Shows(5, 5, shows));
    EXPECT_TRUE(Shows(100, 80, kClear)) << "the page's background stays transparent";
    EXPECT_TRUE(FramesUntil([&] { return reloaded.size() == static_cast<size_t>(crashes); }));
  }
  EXPECT_EQ(std::vector<std::string>(3, shown), reloaded);
  EXPECT_EQ(kBlue, At(5, 5));
  {
    CapturedStderr stderrFile(scratch.Path() / "stderr.txt");
    ASSERT_TRUE(browser->CrashPage());
    EXPECT_TRUE(Shows(5, 5, kClear)) << "given up: a transparent overlay";
    EXPECT_EQ("The HTML overlay stays empty: the browser crashed 4 times within a minute\n",
              stderrFile.Text());
  }
  const std::string ended = "ERROR: Browser: the browser process ended; starting it again\n";
  EXPECT_EQ(ended + "ERROR: Browser: the page crashed; loading it again\n" + ended +
                "ERROR: Browser: the page crashed; 4 crashes within a minute, giving up\n",
            log.Text());

  browser->LoadURL(Url("later.html", Box(0, 0, 50, 50, "lime")).c_str());
  EXPECT_TRUE(Shows(5, 5, kGreen)) << "a later page load tries again";
  // A page that cannot load is logged with its URL and the browser's reason; a URL that is not
  // UTF-8 goes out with its bad bytes replaced rather than ending the game.
  const std::string missing = Url("gone.html", "");
  std::filesystem::remove(scratch.Path() / "gone.html");
  for (auto [url, reason] : {std::pair{missing, "net::ERR_FILE_NOT_FOUND"},
                             {"file:///nonexistent/caf\xe9.html", "net::ERR_FILE_NOT_FOUND"},
                             {"no url", "Cannot navigate to invalid URL"}}) {
    browser->LoadURL(url.c_str());
    const std::string line = "ERROR: Browser: cannot load " + url + ": " + reason + "\n";
    EXPECT_TRUE(FramesUntil([&] { return log.Says(line); })) << line;
  }
}
