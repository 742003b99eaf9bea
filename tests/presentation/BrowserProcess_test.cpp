// The browser process's life: a missing or dying browser binary gives one log line and one
// message on standard error while the overlay stays usable (every operation dropped); the
// browser never outlives the game, also when the game is killed with SIGKILL.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>

#include "TestSupport.h"
#include "presentation/Browser.h"
#include "presentation/HeadlessBrowser.h"

using CorvaneEngine::Browser;

namespace {

bool WaitUntil(const std::function<bool()>& condition, int seconds = 20) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}

// Standard error of this process, sent into a file for the lifetime of the object.
class CapturedStderr {
 public:
  explicit CapturedStderr(const std::filesystem::path& file) : path(file) {
    fflush(stderr);
    saved = dup(2);
    int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 2);
    close(fd);
  }
  ~CapturedStderr() { Restore(); }
  std::string Text() {
    Restore();
    return CorvaneTest::ReadFile(path);
  }
  // Read from the file, so polling it shares no memory with the thread that writes.
  bool Says(const std::string& text) const {
    return CorvaneTest::ReadFile(path).find(text) != std::string::npos;
  }

 private:
  void Restore() {
    if (saved < 0) return;
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
    saved = -1;
  }
  std::filesystem::path path;
  int saved = -1;
};

// Processes whose parent is `pid`, and theirs, found in /proc (zombies count as gone).
void Descendants(pid_t pid, std::vector<pid_t>& out) {
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return;
  while (dirent* entry = readdir(proc)) {
    pid_t candidate = static_cast<pid_t>(std::atoi(entry->d_name));
    if (candidate <= 0) continue;
    std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
    std::string line;
    std::getline(stat, line);
    size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    int parent = 0;
    if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent) != 2) continue;
    if (parent == pid && state != 'Z') {
      out.push_back(candidate);
      Descendants(candidate, out);
    }
  }
  closedir(proc);
}

bool Alive(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  size_t close = line.rfind(')');
  return close != std::string::npos && line.size() > close + 2 && line[close + 2] != 'Z';
}

class BrowserProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("CORVANE_ERROR_BOX", "0", 1); }
  void TearDown() override { unsetenv("CORVANE_BROWSER"); }

  // Every operation must be a harmless no-op on a browser that never became ready.
  static void UseEverything(Browser& browser) {
    browser.LoadURL("about:blank");
    browser.Resize();
    browser.KeyDown('a', 0);
    browser.KeyUp('a');
    browser.CharInput('a', 0);
    browser.MouseMove(1, 2);
    browser.MouseDown(1, 1, 2);
    browser.MouseUp(1, 2, 1);
    browser.MouseDown(4, 1, 2);
  }

  CorvaneTest::ScratchDir scratch{"browser-process"};
};

}  // namespace

TEST_F(BrowserProcessTest, AMissingOrDyingBrowserSaysSoOnceAndTheOverlayStaysInert) {
  std::string dying = scratch.Write("dying-browser", "#!/bin/sh\nexit 3\n").string();
  chmod(dying.c_str(), 0755);
  for (const std::string& binary : {std::string("/nonexistent/chromium"), dying}) {
    SCOPED_TRACE(binary);
    setenv("CORVANE_BROWSER", binary.c_str(), 1);
    CorvaneTest::CapturedLog log;
    std::string errors;
    {
      CapturedStderr capture(scratch.Path() / "stderr.txt");
      Browser browser;
      browser.Initialize();
      // The log line comes first; the standard error line tells that the report is complete.
      EXPECT_TRUE(WaitUntil([&] { return capture.Says("The HTML overlay stays empty"); }));
      UseEverything(browser);
      EXPECT_FALSE(browser.IsReady());
      browser.Shutdown();
      errors = capture.Text();
    }
    ASSERT_EQ(1u, log.Lines().size()) << log.Text();
    EXPECT_EQ(0u, log.Lines()[0].find("ERROR: Browser: ")) << log.Text();
    EXPECT_NE(std::string::npos, errors.find("The HTML overlay stays empty")) << errors;
    EXPECT_EQ(1, std::count(errors.begin(), errors.end(), '\n')) << errors;
  }
}

TEST_F(BrowserProcessTest, ABrowserKilledUnderThePageIsReportedOnceAndShutdownStaysClean) {
  CorvaneTest::CapturedLog log;
  CapturedStderr capture(scratch.Path() / "stderr.txt");
  Browser browser;
  browser.Initialize();
  ASSERT_TRUE(WaitUntil([&] { return browser.IsReady(); }));
  kill(browser.GetHeadlessBrowser()->ProcessId(), SIGKILL);
  EXPECT_TRUE(WaitUntil([&] { return capture.Says("The HTML overlay stays empty"); }));
  UseEverything(browser);
  browser.Shutdown();
  EXPECT_EQ(1u, log.Lines().size()) << log.Text();
}

// Run as a child by the test below: a "game" that starts the browser and waits to be killed.
TEST(BrowserChild, StartsTheBrowserAndWaitsToBeKilled) {
  if (std::getenv("CORVANE_BROWSER_CHILD") == nullptr) GTEST_SKIP() << "child of another test";
  Browser browser;
  browser.Initialize();
  ASSERT_TRUE(WaitUntil([&] { return browser.IsReady(); }));
  std::printf("READY\n");
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::seconds(60));
}

TEST_F(BrowserProcessTest, KillingTheGameWithSigkillLeavesNoBrowserProcess) {
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
