// The browser process's life: a missing, non-executable, silent or dying browser (one that never
// showed its page; a browser that dies later is started again) gives one log line and one message
// on standard error with its reason while the overlay stays usable (every operation dropped); a
// silent one is ended; the browser never outlives the game, also when the game is killed with
// SIGKILL. A page that cannot load is logged; messages of an unexpected shape are skipped and the
// reader goes on.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "TestSupport.h"
#include "core/OutputStream.h"
#include "overlay/Browser.h"
#include "overlay/FileURL.h"
#include "overlay/HeadlessBrowser.h"
#include "overlay/HeadlessBrowserClient.h"

using CorvaneEngine::Browser;
using CorvaneTest::CapturedStderr;
using CorvaneTest::LogFile;
using CorvaneTest::WaitUntil;

namespace {

bool Stat(pid_t pid, char& state, int& parent) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  size_t close = line.rfind(')');
  return close != std::string::npos &&
         std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent) == 2;
}
bool Alive(pid_t pid) {
  char state = 0;
  int parent = 0;
  return Stat(pid, state, parent) && state != 'Z';
}

// Processes whose parent is `pid`, and theirs (zombies count as gone).
void Descendants(pid_t pid, std::vector<pid_t>& out) {
  DIR* proc = opendir("/proc");
  while (dirent* entry = proc ? readdir(proc) : nullptr) {
    pid_t candidate = static_cast<pid_t>(std::atoi(entry->d_name));
    char state = 0;
    int parent = 0;
    if (candidate > 0 && Stat(candidate, state, parent) && parent == pid && state != 'Z') {
      out.push_back(candidate);
      Descendants(candidate, out);
    }
  }
  if (proc) closedir(proc);
}

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
      if (c.binary == silent) {
        ASSERT_TRUE(WaitUntil([&] { return Descendants(process, helpers), !helpers.empty(); }));
      }
      // The log line comes first; the standard error line tells that the report is complete.
      EXPECT_TRUE(WaitUntil([&] { return capture.Says("The HTML overlay stays empty"); }));
      if (c.binary == silent) {  // ended, reaped, its helper gone and its profile removed
        char state;
        int parent;
        EXPECT_FALSE(Stat(process, state, parent));
        EXPECT_TRUE(WaitUntil([&] { return !Alive(helpers[0]); }));
        EXPECT_EQ(-1, browser.GetHeadlessBrowser()->ProcessId());
        EXPECT_EQ(0, ProfileFolders(temp));
      }
      // Every operation is a harmless no-op now.
      browser.LoadURL("about:blank");
      browser.Resize();
      browser.KeyDown('a', 0);
      browser.KeyUp('a');
      browser.CharInput('a', 0);
      browser.MouseMove(1, 2);
      browser.MouseDown(1, 1, 2);
      browser.MouseUp(1, 2, 1);
      browser.MouseDown(4, 1, 2);
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

  std::vector<pid_t> browserProcesses;
  Descendants(game, browserProcesses);
  ASSERT_FALSE(browserProcesses.empty());
  kill(game, SIGKILL);
  waitpid(game, nullptr, 0);
  for (pid_t process : browserProcesses) {
    EXPECT_TRUE(WaitUntil([&] { return !Alive(process); })) << "process " << process << " lives";
  }
}

TEST(BrowserProcess, APageThatCannotLoadIsLoggedWithItsUrlAndTheBrowsersReason) {
  unsetenv("CORVANE_BROWSER");
  CorvaneTest::ScratchDir scratch("browser page load");
  LogFile log(scratch.Path() / "log.txt");
  Browser browser;
  browser.Initialize();
  ASSERT_TRUE(WaitUntil([&] { return browser.IsReady(); }));
  const std::string missing =
      CorvaneEngine::FileURL(scratch.Path().c_str(), "/default.html").CStr();
  // A URL that is not UTF-8 goes out with its bad bytes replaced rather than ending the game.
  for (auto [url, reason] : {std::pair{missing, "net::ERR_FILE_NOT_FOUND"},
                             {"file:///nonexistent/caf\xe9.html", "net::ERR_FILE_NOT_FOUND"},
                             {"no url", "Cannot navigate to invalid URL"}}) {
    browser.LoadURL(url.c_str());
    const std::string line = "ERROR: Browser: cannot load " + url + ": " + reason + "\n";
    EXPECT_TRUE(WaitUntil([&] { return log.Says(line); })) << line;
  }
  browser.Shutdown();
}

namespace {

// A browser that answers just enough to create its page, then sends the lines of the file
// "messages" beside it, and quits when its command pipe closes.
const char* const kFakeBrowser = R"SH(#!/bin/bash
send() { printf '%s\0' "$1" >&4; }
command='^\{"id":([0-9]+),"method":"([^"]+)"'
while IFS= read -r -d '' text <&3; do
  [[ $text =~ $command ]] || continue
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

// A 2 x 1 PNG: an opaque red pixel, then an opaque blue one.
const char* const kTwoPixels =
    "iVBORw0KGgoAAAANSUhEUgAAAAIAAAABCAYAAAD0In+KAAAADklEQVR4nGP4z8AAQv8BD/kD/"
    "YURmXYAAAAASUVORK5CYII=";

class RecordingClient : public CorvaneEngine::HeadlessBrowserClient {
 public:
  void PageCreated(const std::shared_ptr<CorvaneEngine::HeadlessView>&) override {}
  void PagePainted(CorvaneEngine::HeadlessView&, int32_t width, int32_t height,
                   const uint8_t* bgra) override {
    std::lock_guard<std::mutex> guard(lock);
    painted.push_back(std::to_string(width) + "x" + std::to_string(height) + " " +
                      std::to_string(bgra[2]) + "," + std::to_string(bgra[4]));
  }
  void PageLoadFailed(CorvaneEngine::HeadlessView&, const std::string&,
                      const std::string&) override {}
  void PageClosed(CorvaneEngine::HeadlessView&) override {}
  std::shared_ptr<CorvaneEngine::HeadlessPopupHandler> PopupOpening(
      const std::shared_ptr<CorvaneEngine::HeadlessView>&) override {
    return nullptr;
  }
  void BrowserFailed(const std::string& what) override {
    std::lock_guard<std::mutex> guard(lock);
    failures.push_back(what);
  }
  std::vector<std::string> Painted() {
    std::lock_guard<std::mutex> guard(lock);
    return painted;
  }

  std::mutex lock;
  std::vector<std::string> painted;
  std::vector<std::string> failures;
};

}  // namespace

TEST(BrowserProcess, MessagesOfAnUnexpectedShapeAreLoggedAndSkippedAndTheReaderGoesOn) {
  CorvaneTest::ScratchDir scratch("browser messages");
  std::string browserPath = scratch.Write("fake browser", kFakeBrowser).string();
  chmod(browserPath.c_str(), 0755);
  const std::string frame = R"("method":"Page.screencastFrame")";
  const std::vector<std::string> skipped = {
      "[1,2,3]",
      "{\"method\":\"Page.screencastFrame\",\"params\":{\"data\":\"x\"",  // cut short
      "{" + frame + ",\"params\":{\"sessionId\":1,\"data\":42},\"sessionId\":\"S\"}",
  };
  std::string messages;
  for (const std::string& message : skipped) messages += message + "\n";
  messages +=
      R"({"id":"7","method":7,"params":{"targetInfo":[]}})"
      "\n"
      R"({"method":"Target.targetCreated","params":{"targetInfo":{"type":"page","targetId":5}}})"
      "\n";
  // A good frame whose fields come in another order than the browser's own.
  messages += R"({"sessionId":"S","params":{"metadata":{},"sessionId":3,"data":")" +
              std::string(kTwoPixels) + "\"}," + frame + "}\n";
  scratch.Write("messages", messages);

  LogFile log(scratch.Path() / "log.txt");
  RecordingClient client;
  CorvaneEngine::HeadlessBrowser browser(&client);
  CorvaneEngine::HeadlessBrowser::Settings settings;
  settings.binary = browserPath;
  std::string error;
  ASSERT_TRUE(browser.Start(settings, error)) << error;
  EXPECT_TRUE(WaitUntil([&] { return !client.Painted().empty(); }));
  EXPECT_EQ(std::vector<std::string>{"2x1 255,255"}, client.Painted());  // red, then blue
  for (const std::string& message : skipped) {
    EXPECT_TRUE(log.Says("WARNING: Browser: skipped a message (")) << message;
    EXPECT_TRUE(log.Says("): " + message + "\n")) << message;
  }
  EXPECT_EQ(1, browser.OpenPageCount());  // the target without a usable id is not a page
  browser.Stop();
  EXPECT_TRUE(client.failures.empty());
}
