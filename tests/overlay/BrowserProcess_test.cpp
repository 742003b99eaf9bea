// The browser process's life: a missing, non-executable, silent or dying browser (one that never
// showed its page; a browser that dies later is started again) gives one log line and one message
// on standard error with its reason while the overlay stays usable (every operation dropped); a
// silent one is ended; the browser never outlives the game, also when the game is killed with
// SIGKILL.
#include <sys/prctl.h>
#include <sys/wait.h>

#include "OverlayTestSupport.h"

using CorvaneEngine::Browser;
using CorvaneTest::CapturedStderr;
using CorvaneTest::LogFile;
using CorvaneTest::WaitUntil;

namespace {

// Folders the browser layer made under `temp` for its profiles.
int ProfileFolders(const std::filesystem::path& temp) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(temp))
    count += entry.path().filename().string().rfind("corvane-browser-", 0) == 0;
  return count;
}

}  // namespace

TEST(BrowserProcess, EachWayTheBrowserFailsIsToldOnceWithItsReasonAndTheOverlayStaysInert) {
  setenv("CORVANE_ERROR_BOX", "0", 1);
  CorvaneTest::ScratchDir scratch("browser process");
  const std::filesystem::path temp = scratch.Write("temp é/.keep", "").parent_path();
  setenv("TMPDIR", temp.c_str(), 1);
  auto script = [&](const char* name, const char* text, mode_t mode) {
    std::string path = scratch.Write(name, text).string();
    chmod(path.c_str(), mode);
    return path;
  };
  std::string dying = script("dying browser", "#!/bin/sh\nexit 3\n", 0755);
  std::string plain = script("plain file", "#!/bin/sh\nexit 0\n", 0644);
  // Never answers, and leaves a process of its own behind when only the shell is ended.
  std::string silent = script("silent browser", "#!/bin/sh\nsleep 600 &\nwait\n", 0755);
  struct Case {
    std::string binary;  // empty: the real browser, killed under the page once it is ready
    std::string reason;
  };
  for (const Case& c :
       {Case{"/nonexistent/chromium", "/nonexistent/chromium: No such file or directory"},
        Case{plain, plain + ": Permission denied"}, Case{dying, "the browser process ended"},
        Case{silent, silent + " did not answer within 10 s; it was ended"}}) {
    SCOPED_TRACE(c.binary);
    setenv("CORVANE_BROWSER", c.binary.c_str(), 1);
    CorvaneTest::CapturedLog log;
    std::string errors;
    {
      CapturedStderr capture(scratch.Path() / "stderr.txt");
      Browser browser;
      browser.Initialize();
      pid_t process = browser.GetHeadlessBrowser()->ProcessId();
      std::vector<pid_t> helpers;
      if (c.binary == silent)
        ASSERT_TRUE(WaitUntil(
            [&] { return !(helpers = CorvaneTest::DescendantProcesses(process)).empty(); }));
      // The log line comes first; the standard error line tells that the report is complete.
      EXPECT_TRUE(WaitUntil([&] { return capture.Says("The HTML overlay stays empty"); }));
      if (c.binary == silent) {  // ended, reaped, its helper gone and its profile removed
        EXPECT_FALSE(CorvaneTest::Alive(process));
        EXPECT_TRUE(WaitUntil([&] { return !CorvaneTest::Alive(helpers[0]); }));
        EXPECT_EQ(-1, browser.GetHeadlessBrowser()->ProcessId());
        EXPECT_EQ(0, ProfileFolders(temp));
      }
      // Every operation is a harmless no-op now.
      browser.LoadURL("about:blank"), browser.Resize(), browser.KeyDown('a', 0);
      browser.KeyUp('a'), browser.CharInput('a', 0), browser.MouseMove(1, 2);
      browser.MouseDown(1, 1, 2), browser.MouseUp(1, 2, 1), browser.MouseDown(4, 1, 2);
      EXPECT_FALSE(browser.IsReady());
      browser.Shutdown();
      errors = capture.Text();
    }
    ASSERT_EQ(1u, log.Lines().size()) << log.Text();
    EXPECT_EQ(0u, log.Lines()[0].find("ERROR: Browser: ")) << log.Text();
    EXPECT_EQ(1, std::count(errors.begin(), errors.end(), '\n')) << errors;
    EXPECT_NE(std::string::npos, errors.find(c.reason)) << errors;
    EXPECT_EQ(0, ProfileFolders(temp));
  }
  unsetenv("CORVANE_BROWSER");
  unsetenv("TMPDIR");
}

// Run as a child by the test below: a "game" that starts the browser and waits to be killed.
TEST(BrowserChild, StartsTheBrowserAndWaitsToBeKilled) {
  if (std::getenv("CORVANE_BROWSER_CHILD") == nullptr) GTEST_SKIP() << "child of another test";
  Browser browser;
  browser.Initialize();
  ASSERT_TRUE(WaitUntil([&] { return browser.IsReady(); }));
  std::printf("READY\n");
  std::fflush(stdout);
  // Waits to be killed; also ends with the test that started it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  pause();
}

TEST(BrowserProcess, KillingTheGameWithSigkillLeavesNoBrowserProcess) {
  unsetenv("CORVANE_BROWSER");
  int out[2];
  ASSERT_EQ(0, pipe(out));
  pid_t game = fork();
  if (game == 0) {
    dup2(out[1], 1);
    close(out[0]);
    setenv("CORVANE_BROWSER_CHILD", "1", 1);
    execl("/proc/self/exe", "game", "--gtest_filter=BrowserChild.*", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string said;
  char chunk[256];
  ssize_t got;
  while (said.find("READY") == std::string::npos && (got = read(out[0], chunk, sizeof chunk)) > 0)
    said.append(chunk, static_cast<size_t>(got));
  close(out[0]);
  ASSERT_NE(std::string::npos, said.find("READY")) << said;

  std::vector<pid_t> browserProcesses = CorvaneTest::DescendantProcesses(game);
  ASSERT_FALSE(browserProcesses.empty());
  kill(game, SIGKILL);
  waitpid(game, nullptr, 0);
  for (pid_t process : browserProcesses) {
    EXPECT_TRUE(WaitUntil([&] { return !CorvaneTest::Alive(process); })) << process << " lives";
  }
}
