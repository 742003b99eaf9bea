#include "Playtest.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "PlaytestScript.h"

namespace CorvanePlaytest {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Marks an output folder as the tool's own.
const char kOutMarker[] = ".corvane-playtest";

// Runs a helper program (xdotool, import) to its end; its exit code, 127 when it cannot start.
int RunTool(const std::vector<std::string>& arguments) {
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return 127;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// A window of the game may go away between listing it and asking about it; Xlib's default
// handler would end the tool for that.
int IgnoreXError(Display*, XErrorEvent*) {
  return 0;
}

// Children die with the tool, however it ends.
void DieWithParent() {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
}

std::string DescribeEnd(int status) {
  if (WIFSIGNALED(status)) {
    int number = WTERMSIG(status);
    return "crashed with signal " + std::to_string(number) + " (" + strsignal(number) + ")";
  }
  return "ended with exit code " + std::to_string(WEXITSTATUS(status));
}

class Run {
 public:
  explicit Run(const PlaytestOptions& options) : options(options) {}
  ~Run();
  int Execute();

 private:
  bool Prepare(std::string& error);
  bool StartDisplay(std::string& error);
  bool StartGame(std::string& error);
  bool Do(const Step& step, std::string& error);
  bool WaitFor(const Condition& condition, double seconds, std::string& error);
  bool Holds(const Condition& condition, std::string& seen);
  bool GameEnded();
  bool CheckStderr(std::string& error);
  int Fail(const Step* step, const std::string& reason);

  const PlaytestOptions& options;
  PlaytestScript script;
  fs::path out, gameFolder;
  pid_t xvfb = -1, game = -1;
  int gameStatus = 0;
  bool gameEnded = false;
  Display* display = nullptr;
  size_t soundChecked = 44;  // the WAV header is not sound
  bool soundHeard = false;
};

Run::~Run() {
  if (display != nullptr) XCloseDisplay(display);
  if (game > 0 && !gameEnded) kill(game, SIGKILL), waitpid(game, nullptr, 0);
  if (xvfb > 0) kill(xvfb, SIGTERM), waitpid(xvfb, nullptr, 0);
}

int Run::Fail(const Step* step, const std::string& reason) {
  std::string where = options.script;
  if (step != nullptr) where += ":" + std::to_string(step->line) + ": " + step->source;
  std::fprintf(stderr, "playtest: %s: %s\nplaytest: the game's files are in %s\n", where.c_str(),
               reason.c_str(), out.c_str());
  return 1;
}

bool Run::Prepare(std::string& error) {
  std::error_code failed;
  if (options.out.empty()) {
    std::string temp = (fs::temp_directory_path(failed) / "corvane-playtest-XXXXXX").string();
    if (mkdtemp(&temp[0]) == nullptr) {
      error = "no temporary folder";
      return false;
    }
    out = temp;
  } else {
    out = fs::absolute(options.out);
    // Only a folder this tool made is emptied: --out pointed at a wrong place must not cost
    // anyone their files.
    bool empty = !fs::exists(out, failed) || fs::is_empty(out, failed);
    if (!empty && !fs::exists(out / kOutMarker, failed)) {
      error = "--out " + out.string() + " holds files of something else than a playtest";
      return false;
    }
    fs::remove_all(out, failed);
    fs::create_directories(out, failed);
  }
  std::ofstream(out / kOutMarker) << "made by corvane-playtest; emptied by its next run\n";
  gameFolder = out / "game";
  if (!options.folder.empty()) {
    fs::copy(options.folder, gameFolder, fs::copy_options::recursive, failed);
    if (failed) {
      error = "cannot copy " + options.folder + ": " + failed.message();
      return false;
    }
    fs::remove(gameFolder / "config.xml", failed);  // every run is a first run
  } else {
    fs::create_directories(gameFolder, failed);
  }
  std::ofstream(out / "alsoft.conf") << "[general]\ndrivers = wave\nfrequency = 44100\n"
                                        "channels = stereo\nsample-type = int16\n[wave]\nfile = "
                                     << (out / "sound.wav").string() << "\n";
  return true;
}

bool Run::StartDisplay(std::string& error) {
  int ready[2];
  if (pipe(ready) != 0) return error = "no pipe", false;
  std::string size = std::to_string(options.width) + "x" + std::to_string(options.height) + "x24";
  xvfb = fork();
  if (xvfb == 0) {
    DieWithParent();
    close(ready[0]);
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    execlp("Xvfb", "Xvfb", "-displayfd", std::to_string(ready[1]).c_str(), "-screen", "0",
           size.c_str(), "-nolisten", "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(ready[1]);
  // Xvfb writes its display number once it accepts clients.
  std::string number;
  auto deadline = Clock::now() + std::chrono::seconds(30);
  char c = 0;
  while (Clock::now() < deadline && number.find('\n') == std::string::npos) {
    pollfd wait = {ready[0], POLLIN, 0};
    if (poll(&wait, 1, 200) > 0 && read(ready[0], &c, 1) == 1) number += c;
    if (waitpid(xvfb, nullptr, WNOHANG) == xvfb) break;
  }
  close(ready[0]);
  if (number.find('\n') == std::string::npos) {
    error = "Xvfb did not start (is it installed?)";
    return false;
  }
  setenv("DISPLAY", (":" + number.substr(0, number.find('\n'))).c_str(), 1);
  display = XOpenDisplay(nullptr);
  if (display == nullptr) return error = "cannot open the private display", false;
  XSetErrorHandler(&IgnoreXError);
  return true;
}

bool Run::StartGame(std::string& error) {
  std::string program = options.game[0];
  // A relative program path is taken from where the tool was started, not from the copy.
  if (program.find('/') != std::string::npos) program = fs::absolute(program).string();
  game = fork();
  if (game == 0) {
    DieWithParent();
    if (chdir(gameFolder.c_str()) != 0) _exit(126);
    freopen((out / "stdout.txt").c_str(), "w", stdout);
    freopen((out / "stderr.txt").c_str(), "w", stderr);
    setenv("ALSOFT_CONF", (out / "alsoft.conf").c_str(), 1);
    setenv("CORVANE_ERROR_BOX", "0", 1);
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (size_t i = 1; i < options.game.size(); ++i) {
      argv.push_back(const_cast<char*>(options.game[i].c_str()));
    }
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    std::fprintf(stderr, "cannot start %s: %s\n", argv[0], std::strerror(errno));
    _exit(127);
  }
  if (game < 0) return error = "cannot start the game", false;
  return true;
}

bool Run::GameEnded() {
  if (!gameEnded && waitpid(game, &gameStatus, WNOHANG) == game) gameEnded = true;
  return gameEnded;
}

bool Run::Holds(const Condition& condition, std::string& seen) {
  switch (condition.kind) {
    case Condition::Kind::Window: {
      Window root, parent, *children = nullptr;
      unsigned int count = 0;
      XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
      bool found = false;
      for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes;
        char* name = nullptr;
        if (!XGetWindowAttributes(display, children[i], &attributes) ||
            attributes.map_state != IsViewable) {
          continue;
        }
        XFetchName(display, children[i], &name);
        std::string caption = name ? name : "";
        if (name) XFree(name);
        if (condition.text.empty() || caption == condition.text) found = true;
        if (!caption.empty()) seen = "a window \"" + caption + "\"";
      }
      if (children) XFree(children);
      if (seen.empty()) seen = "no window";
      return found;
    }
    case Condition::Kind::Pixel: {
      XImage* image = XGetImage(display, DefaultRootWindow(display), condition.x, condition.y, 1, 1,
                                AllPlanes, ZPixmap);
      if (image == nullptr) return seen = "the pixel is outside the screen", false;
      unsigned long pixel = XGetPixel(image, 0, 0);
      XDestroyImage(image);
      int r = (pixel >> 16) & 255, g = (pixel >> 8) & 255, b = pixel & 255;
      seen =
          "the pixel is " + std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b);
      const std::string& colour = condition.colour;
      if (colour == "red") return r > g + 20 && r > b + 20;
      if (colour == "green") return g > r + 20 && g > b + 20;
      if (colour == "blue") return b > r + 20 && b > g + 20;
      unsigned int want = std::strtoul(colour.c_str() + 1, nullptr, 16);
      return std::abs(r - int(want >> 16 & 255)) <= 24 &&
             std::abs(g - int(want >> 8 & 255)) <= 24 && std::abs(b - int(want & 255)) <= 24;
    }
    case Condition::Kind::Stderr: {
      std::istringstream lines(ReadFile(out / "stderr.txt"));
      for (std::string line; std::getline(lines, line);) {
        if (line.find(condition.text) != std::string::npos) return true;
      }
      seen = "no such line on standard error";
      return false;
    }
    case Condition::Kind::Sound: {
      // 16-bit samples above 2 % of full scale; only the part not looked at before is read.
      std::ifstream wave(out / "sound.wav", std::ios::binary);
      wave.seekg(static_cast<std::streamoff>(soundChecked));
      int16_t samples[4096];
      while (!soundHeard &&
             wave.read(reinterpret_cast<char*>(samples), sizeof samples).gcount() > 0) {
        size_t count = static_cast<size_t>(wave.gcount()) / 2;
        soundChecked += count * 2;
        for (size_t i = 0; i < count && !soundHeard; ++i) soundHeard = std::abs(samples[i]) > 655;
      }
      seen = "only silence was recorded";
      return soundHeard;
    }
    case Condition::Kind::File: {
      std::error_code failed;
      fs::path path = gameFolder / condition.text;
      // "<folder>/<prefix>*": any entry whose name starts so.
      if (!condition.text.empty() && condition.text.back() == '*') {
        std::string prefix = path.filename().string();
        prefix.pop_back();
        for (const auto& entry : fs::directory_iterator(path.parent_path(), failed)) {
          if (entry.path().filename().string().rfind(prefix, 0) == 0) return true;
        }
        return seen = "no such file", false;
      }
      if (!fs::exists(path, failed)) return seen = "no such file", false;
      seen = "the file does not contain it";
      return ReadFile(gameFolder / condition.text).find(condition.contains) != std::string::npos;
    }
  }
  return false;
}

bool Run::WaitFor(const Condition& condition, double seconds, std::string& error) {
  auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(seconds));
  std::string seen;
  for (;;) {
    // The condition first: a game may write its line and end at once.
    if (Holds(condition, seen)) return true;
    if (GameEnded()) {
      error = "the game " + DescribeEnd(gameStatus) + " before that happened";
      return false;
    }
    if (Clock::now() > deadline) {
      std::ostringstream text;
      text << "not within " << seconds << " s: " << seen;
      error = text.str();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

bool Run::Do(const Step& step, std::string& error) {
  auto xdotool = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "xdotool");
    if (RunTool(arguments) == 0) return true;
    error = "xdotool failed (is it installed?)";
    return false;
  };
  switch (step.kind) {
    case Step::Kind::Until:
      return WaitFor(step.condition, step.seconds, error);
    case Step::Kind::Hold: {
      if (!xdotool({"keydown", step.argument})) return false;
      bool held = WaitFor(step.condition, step.seconds, error);
      xdotool({"keyup", step.argument});
      return held;
    }
    case Step::Kind::KeyDown:
      return xdotool({"keydown", step.argument});
    case Step::Kind::KeyUp:
      return xdotool({"keyup", step.argument});
    case Step::Kind::Press:
      // Held across a few frames, as a player presses: a game looks at its keys once a frame.
      return xdotool({"keydown", step.argument, "sleep", "0.2", "keyup", step.argument});
    case Step::Kind::Type:
      return xdotool({"type", "--delay", "50", step.argument});
    case Step::Kind::Click:
      return xdotool({"mousemove", std::to_string(step.x), std::to_string(step.y), "click", "1"});
    case Step::Kind::Screenshot:
      if (RunTool({"import", "-window", "root", (out / step.argument).string()}) == 0) return true;
      error = "import failed (is ImageMagick installed?)";
      return false;
    case Step::Kind::Signal: {
      int number = step.argument == "TERM" ? SIGTERM : step.argument == "INT" ? SIGINT : SIGKILL;
      if (!GameEnded()) kill(game, number);
      return true;
    }
    case Step::Kind::Exit: {
      auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(step.seconds));
      while (!GameEnded() && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      if (!gameEnded) {
        std::ostringstream text;
        text << "the game was still running after " << step.seconds << " s";
        error = text.str();
        return false;
      }
      if (WIFEXITED(gameStatus) && WEXITSTATUS(gameStatus) == step.exitCode) return true;
      error = "the game " + DescribeEnd(gameStatus);
      return false;
    }
  }
  return false;
}

bool Run::CheckStderr(std::string& error) {
  std::istringstream lines(ReadFile(out / "stderr.txt"));
  for (std::string line; std::getline(lines, line);) {
    if (line.empty()) continue;
    bool expected = false;
    for (const std::string& text : script.expectedStderr) {
      expected = expected || line.find(text) != std::string::npos;
    }
    if (!expected) {
      error = "unexpected line on standard error: " + line;
      return false;
    }
  }
  return true;
}

int Run::Execute() {
  std::string error;
  std::ifstream in(options.script);
  if (!in) {
    std::fprintf(stderr, "playtest: cannot read %s\n", options.script.c_str());
    return 2;
  }
  if (!script.Parse(ReadFile(options.script), error)) {
    std::fprintf(stderr, "playtest: %s:%s\n", options.script.c_str(), error.c_str());
    return 2;
  }
  if (!Prepare(error) || !StartDisplay(error) || !StartGame(error)) return Fail(nullptr, error);
  for (const Step& step : script.steps) {
    if (!Do(step, error)) return Fail(&step, error);
  }
  if (!GameEnded()) {
    // The script did not wait for the end: the game is asked to stop as SIGTERM asks.
    kill(game, SIGTERM);
    for (int i = 0; i < 300 && !GameEnded(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!CheckStderr(error)) return Fail(nullptr, error);
  std::printf("playtest: %s passed; files in %s\n", options.script.c_str(), out.c_str());
  return 0;
}

}  // namespace

int RunPlaytest(const PlaytestOptions& options) {
  Run run(options);
  return run.Execute();
}

}  // namespace CorvanePlaytest
