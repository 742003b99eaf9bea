// The browser process's life: a missing, non-executable or silent browser gives one log line and
// one message on standard error with its reason while the overlay stays usable (every operation
// dropped); a silent one is ended with what it started; the browser never outlives the game, also
// when the game is killed with SIGKILL.
#include <sys/prctl.h>

#include <atomic>

#include "OverlayTestSupport.h"
#include "overlay/HeadlessBrowserClient.h"

using CorvaneEngine::Browser;
using namespace CorvaneTest;

TEST(BrowserProcess, EachWayTheBrowserFailsIsToldOnceWithItsReasonAndTheOverlayStaysInert) {
  setenv("CORVANE_ERROR_BOX", "0", 1);
  ScratchDir scratch("browser process");
  const std::filesystem::path temp = scratch.Write("temp é/.keep", "").parent_path();
  setenv("TMPDIR", temp.c_str(), 1);
  const std::string plain = scratch.Write("plain file", "#!/bin/sh\nexit 0\n").string();
  // Never answers, and leaves a process of its own behind when only the shell is ended.
  const std::string silent = scratch.Write("silent browser", "#!/bin/sh\nsleep 600 &\nwait\n");
  chmod(silent.c_str(), 0755);
  using Case = std::pair<std::string, std::string>;  // the browser, the failure told
  for (auto [binary, what] : {Case{"/nonexistent/chromium",
                                   "cannot start /nonexistent/chromium: No such file or directory"},
                              Case{plain, "cannot start " + plain + ": Permission denied"},
                              Case{silent, silent + " did not answer within 10 s; it was ended"}}) {
    SCOPED_TRACE(binary);
    setenv("CORVANE_BROWSER", binary.c_str(), 1);
    CapturedLog log;
    {
      CapturedStderr capture(scratch.Path() / "stderr.txt");
      Browser browser;
      browser.Initialize();
      std::vector<pid_t> helpers;  // the silent one and its own, ended with it
      ASSERT_TRUE(binary != silent || WaitUntil([&] {
                    helpers = DescendantProcesses(browser.GetHeadlessBrowser()->ProcessId());
                    return helpers.size() > 1;
                  }));
      // The log line comes first; the standard error line tells that the report is complete.
      EXPECT_TRUE(WaitUntil([&] { return capture.Says("The HTML overlay stays empty"); }));
      // Every operation is a harmless no-op now.
      browser.LoadURL("about:blank"), browser.Resize(), browser.KeyDown('a', 0);
      browser.KeyUp('a'), browser.CharInput('a', 0), browser.MouseMove(1, 2);
      browser.MouseDown(1, 1, 2), browser.MouseUp(1, 2, 1), browser.MouseDown(4, 1, 2);
      EXPECT_FALSE(browser.IsReady());
      for (pid_t helper : helpers) EXPECT_TRUE(WaitUntil([&] { return !Alive(helper); }));
      browser.Shutdown();
      EXPECT_EQ("The HTML overlay stays empty: " + what + "\n", capture.Text());
    }
    EXPECT_EQ("ERROR: Browser: " + what + "\n", log.Text());
    // Only .keep is left: the profile folder was removed (no real browser ran to make others).
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(temp), {}));
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
  std::cout << "READY " << getpid() << std::endl;
  // Waits to be killed; also ends with the test that started it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  pause();
}

TEST(BrowserProcess, KillingTheGameWithSigkillLeavesNoBrowserProcess) {
  FILE* game = popen(
      ("exec env -u CORVANE_BROWSER CORVANE_BROWSER_CHILD=1 '" +
       std::filesystem::read_symlink("/proc/self/exe").string() + "' --gtest_filter=BrowserChild.*")
          .c_str(),
      "r");
  ASSERT_NE(nullptr, game);
  char line[256] = "";
  pid_t pid = 0;
  while (std::sscanf(line, "READY %d", &pid) != 1 && std::fgets(line, sizeof line, game)) continue;
  ASSERT_GT(pid, 0) << line;
  std::vector<pid_t> processes = DescendantProcesses(pid);  // the game and its browser
  ASSERT_GT(processes.size(), 1u);
  kill(pid, SIGKILL);
  pclose(game);
  for (pid_t process : processes)
    EXPECT_TRUE(WaitUntil([&] { return !Alive(process); })) << process << " lives";
}

namespace {

// Answers just enough to create its page, then sends the lines of the file "messages" beside it.
const char* const kFakeBrowser = R"SH(#!/bin/bash
send() { printf '%s\0' "$1" >&4; }
while IFS= read -r -d '' text <&3; do
  [[ $text =~ ^\{\"id\":([0-9]+),\"method\":\"([^\"]+)\" ]] || continue
  id=${BASH_REMATCH[1]}
  case ${BASH_REMATCH[2]} in
    Target.setDiscoverTargets)
      send '{"method":"Target.targetCreated","params":{"targetInfo":{"targetId":"T","type":"page"}}}' ;;
    Target.attachToTarget) send "{\"id\":$id,\"result\":{\"sessionId\":\"S\"}}" ;;
    Browser.getWindowForTarget)
      send "{\"id\":$id,\"result\":{\"windowId\":1}}"
      while IFS= read -r line; do send "$line"; done <"$(dirname "$0")/messages" ;;
  esac
done
)SH";

struct PaintRecorder : CorvaneEngine::HeadlessBrowserClient {
  void PageCreated(const std::shared_ptr<CorvaneEngine::HeadlessView>&) override {}
  void PagePainted(CorvaneEngine::HeadlessView&, int32_t width, int32_t height,
                   const uint8_t* bgra) override {
    painted = std::to_string(width) + "x" + std::to_string(height) + " " + std::to_string(bgra[2]) +
              "," + std::to_string(bgra[4]);
    done = true;
  }
  void PageLoadFailed(CorvaneEngine::HeadlessView&, const std::string&,
                      const std::string&) override {}
  void PageClosed(CorvaneEngine::HeadlessView&) override {}
  std::shared_ptr<CorvaneEngine::HeadlessPopupHandler> PopupOpening(
      const std::shared_ptr<CorvaneEngine::HeadlessView>&) override {
    return nullptr;
  }
  void BrowserFailed(const std::string& what) override { failures += what; }
  std::atomic<bool> done{false};
  std::string painted, failures;  // written on the reader thread, read once it has stopped
};

}  // namespace

// The reader thread logs and skips what it cannot use, and reads on: a good frame with its fields
// in another order than the browser's own (a 2 x 1 PNG, red then blue) still paints.
TEST(BrowserProcess, MessagesOfAnUnexpectedShapeAreLoggedAndSkipped) {
  ScratchDir scratch("browser messages");
  const std::string binary = scratch.Write("fake browser", kFakeBrowser).string();
  chmod(binary.c_str(), 0755);
  const std::vector<std::string> skipped = {
      "[1,2,3]", R"({"method":"Page.screencastFrame","params":{"data":"x")",
      R"({"method":"Page.screencastFrame","params":{"sessionId":1,"data":42},"sessionId":"S"})"};
  std::string messages;
  for (const std::string& message : skipped) messages += message + "\n";
  scratch.Write(
      "messages",
      messages +
          R"({"id":"7","method":7,"params":{"targetInfo":[]}})"
          "\n"
          R"({"method":"Target.targetCreated","params":{"targetInfo":{"type":"page","targetId":5}}})"
          "\n"
          R"({"sessionId":"S","params":{"metadata":{},"sessionId":3,"data":"iVBORw0KGgoAAAANSUhEUgAAAAIAAAABCAYAAAD0In+KAAAADklEQVR4nGP4z8AAQv8BD/kD/YURmXYAAAAASUVORK5CYII="},"method":"Page.screencastFrame"})"
          "\n");
  LogFile log(scratch.Path() / "log.txt");
  PaintRecorder client;
  CorvaneEngine::HeadlessBrowser browser(&client);
  CorvaneEngine::HeadlessBrowser::Settings settings;
  settings.binary = binary;
  std::string error;
  ASSERT_TRUE(browser.Start(settings, error)) << error;
  EXPECT_TRUE(WaitUntil([&] { return client.done.load(); }));  // the last message
  EXPECT_EQ(1, browser.OpenPageCount());  // the target without a usable id is not a page
  browser.Stop();
  EXPECT_EQ("2x1 255,255", client.painted);
  for (const std::string& message : skipped)
    EXPECT_TRUE(log.Says("WARNING: Browser: skipped a message (") &&
                log.Says("): " + message + "\n"))
        << message;
  EXPECT_EQ("", client.failures);
}
