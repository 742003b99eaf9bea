// How long the game takes to end after SIGTERM (or SIGINT) that arrives while it loads a huge
// mesh: the built game runs on a private Xvfb in a scratch copy of its working directory whose
// lantern mesh is replaced by a generated OBJ of about 100 MB with 4 million quads. The signal is
// sent as soon as the game has mapped that file (the read is under way), and the time until the
// process has exited is the iteration time. Counters: the exit code (0 expected), whether the
// browser's profile folder was left behind (0 expected) and how many signals hit the read itself.
//
// Goal: at most 2 s from the signal to the exit. Reference in the same run: the time the same
// game takes from its start to reading the file, which a player would otherwise wait out again.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "VirtualDisplay.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kGrid = 317;             // 317 x 317 vertices, 316 x 316 quads per layer
constexpr int kQuadsWanted = 4000000;  // the layers repeat until there are this many quads

fs::path BuildFolder() {
  char self[4096] = {};
  ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return fs::current_path();
  return fs::path(std::string(self, static_cast<size_t>(length))).parent_path();
}

// The huge mesh, written once next to this program: a grid, then its quads ("f a b c d") over
// and over.
fs::path HugeMesh() {
  const fs::path path = BuildFolder() / "QuitDuringLoad_bench_huge.obj";
  if (fs::exists(path) && fs::file_size(path) > (90u << 20)) return path;
  std::string text;
  text.reserve(110u << 20);
  char line[96];
  for (int y = 0; y < kGrid; ++y) {
    for (int x = 0; x < kGrid; ++x) {
      text.append(line, std::snprintf(line, sizeof line, "v %d %d 0\n", x, y));
    }
  }
  for (int quads = 0; quads < kQuadsWanted;) {
    for (int y = 0; y + 1 < kGrid && quads < kQuadsWanted; ++y) {
      for (int x = 0; x + 1 < kGrid && quads < kQuadsWanted; ++x, ++quads) {
        const int a = y * kGrid + x + 1;
        text.append(line, std::snprintf(line, sizeof line, "f %d %d %d %d\n", a, a + 1,
                                        a + kGrid + 1, a + kGrid));
      }
    }
  }
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

struct Run {
  double secondsToRead = -1;  // from the start to the file being mapped; -1 when never seen
  double secondsToExit = -1;  // from the signal to the exit; -1 when the game did not end
  int exitCode = -1;
  bool signalDuringRead = false;
  bool profileLeft = false;
};

bool MapsFile(pid_t pid, const std::string& name) {
  std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
  for (std::string line; std::getline(maps, line);) {
    if (line.find(name) != std::string::npos) return true;
  }
  return false;
}

// One game: a fresh working directory, the start, the signal once the mesh is being read, the
// wait for the exit (at most 60 s, then it is killed).
Run RunGame(const fs::path& mesh, int signal) {
  Run run;
  const fs::path scratch = BuildFolder() / "quit-during-load";
  fs::remove_all(scratch);
  const fs::path folder = scratch / "game";
  fs::create_directories(scratch);
  fs::copy(fs::path(CORVANE_SOURCE_DIR) / "Game", folder, fs::copy_options::recursive);
  fs::remove(folder / "config.xml");
  fs::remove(folder / "art" / "lantern.obj");
  fs::create_symlink(mesh, folder / "art" / "lantern.obj");
  fs::create_directories(scratch / "tmp");
  std::ofstream(scratch / "alsoft.conf") << "[general]\ndrivers = null\n";

  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (chdir(folder.c_str()) != 0) _exit(126);
    setenv("ALSOFT_CONF", (scratch / "alsoft.conf").c_str(), 1);
    setenv("TMPDIR", (scratch / "tmp").c_str(), 1);
    setenv("CORVANE_ERROR_BOX", "0", 1);
    if (!freopen("/dev/null", "w", stdout) ||
        !freopen((scratch / "stderr.txt").c_str(), "w", stderr))
      _exit(126);
    execl(CORVANE_GAME_BINARY, CORVANE_GAME_BINARY, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  bool ended = false;
  // The read is under way once the file is mapped; poll often, it is fast.
  while (Clock::now() - start < std::chrono::seconds(60)) {
    if (waitpid(pid, &status, WNOHANG) == pid) {
      ended = true;
      break;
    }
    if (MapsFile(pid, mesh.filename().string())) {
      run.secondsToRead = std::chrono::duration<double>(Clock::now() - start).count();
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  if (ended) return run;
  const Clock::time_point signalled = Clock::now();
  kill(pid, signal);
  run.signalDuringRead = run.secondsToRead >= 0 && MapsFile(pid, mesh.filename().string());
  while (Clock::now() - signalled < std::chrono::seconds(60)) {
    if (waitpid(pid, &status, WNOHANG) == pid) {
      ended = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return run;
  }
  run.secondsToExit = std::chrono::duration<double>(Clock::now() - signalled).count();
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  // The browser ends with the game; its profile folder must be gone once it has.
  const Clock::time_point exited = Clock::now();
  while (!fs::is_empty(scratch / "tmp") && Clock::now() - exited < std::chrono::seconds(5)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  run.profileLeft = !fs::is_empty(scratch / "tmp");
  return run;
}

void QuitDuringLoad(benchmark::State& state) {
  static CorvaneTest::VirtualDisplay display(1280, 720);
  if (!display.Ok()) {
    state.SkipWithError("no Xvfb");
    return;
  }
  // The browser ends with the game; reap what is handed to us.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  const fs::path mesh = HugeMesh();
  const int signal = static_cast<int>(state.range(0));
  double worstExitCode = 0, profilesLeft = 0, duringRead = 0, toRead = 0;
  for (auto _ : state) {
    const Run run = RunGame(mesh, signal);
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    if (run.secondsToExit < 0) {
      state.SkipWithError("the game did not end within 60 s of the signal");
      break;
    }
    state.SetIterationTime(run.secondsToExit);
    if (run.exitCode != 0) worstExitCode = run.exitCode;
    profilesLeft += run.profileLeft;
    duringRead += run.signalDuringRead;
    toRead += run.secondsToRead;
  }
  state.counters["exit_code"] = worstExitCode;
  state.counters["profiles_left"] = profilesLeft;
  state.counters["signals_during_read"] = duringRead;
  state.counters["start_to_read_s"] = toRead / static_cast<double>(state.iterations());
  state.counters["file_MB"] = static_cast<double>(fs::file_size(mesh)) / 1e6;
}

}  // namespace

BENCHMARK(QuitDuringLoad)
    ->Arg(SIGTERM)
    ->Arg(SIGINT)
    ->ArgName("signal")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
