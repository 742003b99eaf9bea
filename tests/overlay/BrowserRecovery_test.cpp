// The overlay after crashes, against the real headless Chromium: a killed browser process is
// started again and a killed renderer's page loaded again, each with the page the overlay showed
// last (here one reached through a link); every crash is logged; the fourth within a minute
// gives up with one line on standard error and a transparent overlay; a later LoadURL tries
// again.
#include <signal.h>

#include "OverlayTestSupport.h"
#include "overlay/HeadlessBrowser.h"

using CorvaneTest::Box;
using CorvaneTest::BrowserOverlayTest;
using CorvaneTest::LogFile;
using namespace CorvaneTest::OverlayColours;

namespace {

const CorvaneTest::Bgra kYellow{0, 255, 255, 255};

// The pages are read anew from their files after a crash, so a page rewritten just before the
// crash shows a colour that the page from before could never show.
TEST_F(BrowserOverlayTest, CrashedBrowsersAndPagesComeBackUntilTheFourthCrashInAMinute) {
  LogFile log(scratch.Path() / "log.txt");
  auto target = [&](const char* colour) { return Url("target.html", Box(0, 0, 50, 50, colour)); };
  std::string link = Url("link.html", "<a href=\"" + target("rgb(0,0,255)") +
                                          "\" style=\"display:block;width:100px;height:60px;"
                                          "background:red\">x</a>");
  ASSERT_TRUE(Load(link, 5, 5, kRed));
  Xdo(20, 20, "click 1");
  ASSERT_TRUE(Shows(5, 5, kBlue)) << "the link's target";

  auto killBrowser = [&] { kill(browser->GetHeadlessBrowser()->ProcessId(), SIGKILL); };
  auto killRenderer = [&] {
    std::vector<pid_t> renderers =
        CorvaneTest::RendererProcesses(browser->GetHeadlessBrowser()->ProcessId());
    ASSERT_FALSE(renderers.empty());
    for (pid_t renderer : renderers) kill(renderer, SIGKILL);
  };
  struct Crash {
    std::function<void()> kill;
    const char* colour;
    CorvaneTest::Bgra shown;
    const char* line;
  };
  const std::string browserLine = "ERROR: Browser: the browser process ended; starting it again\n";
  const std::string pageLine = "ERROR: Browser: the page crashed; loading it again\n";
  int crashes = 0;
  for (const Crash& crash : {Crash{killBrowser, "rgb(0,255,0)", kGreen, browserLine.c_str()},
                             Crash{killRenderer, "rgb(255,255,0)", kYellow, pageLine.c_str()},
                             Crash{killBrowser, "rgb(0,0,255)", kBlue, browserLine.c_str()}}) {
    SCOPED_TRACE(++crashes);
    target(crash.colour);
    crash.kill();
    EXPECT_TRUE(Shows(5, 5, crash.shown));
    EXPECT_TRUE(Shows(100, 80, kClear)) << "the page's background stays transparent";
    EXPECT_TRUE(log.Says(crash.line)) << log.Text();
  }
  std::string errors;
  {
    CorvaneTest::CapturedStderr stderrFile(scratch.Path() / "stderr.txt");
    killRenderer();
    EXPECT_TRUE(Shows(5, 5, kClear)) << "given up: a transparent overlay";
    errors = stderrFile.Text();
  }
  EXPECT_EQ("The HTML overlay stays empty: the browser crashed 4 times within a minute\n", errors);
  std::string text = log.Text();
  EXPECT_EQ(4, std::count(text.begin(), text.end(), '\n')) << text;
  EXPECT_TRUE(log.Says("ERROR: Browser: the page crashed; 4 crashes within a minute, giving up\n"))
      << text;

  browser->LoadURL(Url("later.html", Box(0, 0, 50, 50, "rgb(0,255,0)")).c_str());
  EXPECT_TRUE(Shows(5, 5, kGreen)) << "a later page load tries again";
}

}  // namespace
