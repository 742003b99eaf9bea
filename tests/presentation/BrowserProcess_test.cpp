// The browser process's life: a missing, dying or killed browser gives one log line and one
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
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Standard error of this process, sent into a file until Text() or the end of the object.
class CapturedStderr {
 public:
  explicit CapturedStderr(const std::filesystem::path& file) : path(file), saved(dup(2)) {
    fflush(stderr);
    int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 2);
    close(fd);
  }
  ~CapturedStderr() { Text(); }
  // Read from the file, so polling it shares no memory with the thread that writes.
  bool Says(const std::string& text) const {
    return CorvaneTest::ReadFile(path).find(text) != std::string::npos;
  }
  std::string Text() {
    if (saved >= 0) fflush(stderr), dup2(saved, 2), close(saved), saved = -1;
    return CorvaneTest::ReadFile(path);
  }

 private:
  std::filesystem::path path;
  int saved;
};

// The state and parent of a process from /proc (false when it is gone).
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

}  // namespace

TEST(BrowserProcess, AMissingDyingOrKilledBrowserSaysSoOnceAndTheOverlayStaysInert) {
  setenv("CORVANE_ERROR_BOX", "0", 1);
  CorvaneTest::ScratchDir scratch("browser-process");
  std::string dying = scratch.Write("dying-browser", "#!/bin/sh\nexit 3\n").string();
  chmod(dying.c_str(), 0755);
  // The empty name stands for the real browser, killed under the page once it is ready.
  for (const std::string& binary : {std::string("/nonexistent/chromium"), dying, std::string()}) {
    SCOPED_TRACE(binary);
    if (binary.empty())
      unsetenv("CORVANE_BROWSER");
    else
      setenv("CORVANE_BROWSER", binary.c_str(), 1);
    CorvaneTest::CapturedLog log;
    std::string errors;
    {
      CapturedStderr capture(scratch.Path() / "stderr.txt");
      Browser browser;
      browser.Initialize();
      if (binary.empty()) {
        ASSERT_TRUE(WaitUntil([&] { return browser.IsReady(); }));
        kill(browser.GetHeadlessBrowser()->ProcessId(), SIGKILL);
      }
      // The log line comes first; the standard error line tells that the report is complete.
      EXPECT_TRUE(WaitUntil([&] { return capture.Says("The HTML overlay stays empty"); }));
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
      EXPECT_TRUE(binary.empty() || !browser.IsReady());
      browser.Shutdown();
      errors = capture.Text();
    }
    ASSERT_EQ(1u, log.Lines().size()) << log.Text();
    EXPECT_EQ(0u, log.Lines()[0].find("ERROR: Browser: ")) << log.Text();
    EXPECT_EQ(1, std::count(errors.begin(), errors.end(), '\n')) << errors;
  }
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
