// The whole game as a player meets it: the built program in a fresh copy of its working
// directory (under a path with spaces), on a private Xvfb, with the real headless Chromium for
// its pages, OpenAL Soft recording into a WAV file, and real key and window events.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <tinyxml2.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "VirtualDisplay.h"
#include "core/ConfigData.h"

// clang-format off
// Last: Xlib's macros (None, Status ...) would clash with the test framework's names.
#include <X11/Xlib.h>
// clang-format on

namespace fs = std::filesystem;
using CorvaneTest::CommandOutput;
using CorvaneTest::RunCommand;

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

CorvaneTest::VirtualDisplay* display = nullptr;

struct DisplayEnvironment : ::testing::Environment {
  void SetUp() override {
    setenv("CORVANE_ERROR_BOX", "0", 1);
    // Browser processes the game leaves behind become our children, so the tests can see them.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    display = new CorvaneTest::VirtualDisplay(kWidth, kHeight);
  }
  void TearDown() override { delete display; }
};
[[maybe_unused]] const auto* const environment =
    ::testing::AddGlobalTestEnvironment(new DisplayEnvironment);

// Polls `done` every 50 ms for at most `seconds` (a bound against hanging, not a speed check).
bool WaitUntil(double seconds, const std::function<bool()>& done) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

struct ScreenImage {
  std::vector<uint8_t> rgb;
  bool Ok() const { return rgb.size() == size_t(kWidth) * kHeight * 3; }
  const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * kWidth + x) * 3]; }
  std::string Corner() const {
    if (!Ok()) return "none";
    return std::to_string(At(10, 10)[0]) + "," + std::to_string(At(10, 10)[1]) + "," +
           std::to_string(At(10, 10)[2]);
  }
  // The start page's bands are dark blue; the winning page is a green veil (top left corner).
  bool ShowsStartPage() const {
    const uint8_t* p = At(10, 10);
    const uint8_t* q = At(kWidth - 10, kHeight - 10);
    return p[2] > p[0] + 20 && p[2] > p[1] + 15 && q[2] > q[0] + 20 && q[2] > q[1] + 15;
  }
  bool ShowsWinningPage() const {
    const uint8_t* p = At(10, 10);
    return p[1] > p[0] + 25 && p[1] > p[2] + 10;
  }
  // The lantern's glass: bright warm pixels in the page's transparent middle; count and mean x.
  int Lantern(double* meanX) const {
    int count = 0;
    double sum = 0;
    for (int y = kHeight / 5; y < kHeight * 4 / 5; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const uint8_t* p = At(x, y);
        if (p[0] >= 200 && p[2] <= 150 && p[0] - p[2] >= 90) ++count, sum += x;
      }
    }
    *meanX = count ? sum / count : -1;
    return count;
  }
};

ScreenImage Shoot(const fs::path& scratch) {
  ScreenImage screen;
  fs::path file = scratch / "screen.rgb";
  if (RunCommand("import -window root -depth 8 'rgb:" + file.string() + "' 2>/dev/null") == 0) {
    std::string bytes = CorvaneTest::ReadFile(file);
    screen.rgb.assign(bytes.begin(), bytes.end());
  }
  return screen;
}

// The lengths in seconds of the bursts of sound in a recording, as sox splits it at every pause
// of 0.1 s or more below 2 % of full scale.
std::vector<double> SoundBursts(const fs::path& recording) {
  fs::path parts = recording.parent_path() / "bursts";
  fs::create_directories(parts);
  RunCommand("sox '" + recording.string() + "' '" + (parts / "burst.wav").string() +
             "' silence 1 0.01 2% 1 0.1 2% : newfile : restart 2>/dev/null");
  std::vector<double> bursts;
  for (const auto& part : fs::directory_iterator(parts)) {
    double seconds = std::atof(CommandOutput("soxi -D '" + part.path().string() + "'").c_str());
    if (seconds > 0.05) bursts.push_back(seconds);
  }
  return bursts;
}

// Sanitizer build only: Mesa unloads its software driver with the GL context, and its caches then
// look like leaks from an unknown module. Preloaded, the driver stays, and they stay reachable.
// (The runtime itself is not preloaded: the browser inherits the environment and must not run
// under it.)
void KeepGLDriverLoaded() {
#if defined(__SANITIZE_ADDRESS__)
  for (const char* driver : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
                             "/usr/lib/dri/swrast_dri.so", "/usr/lib64/dri/swrast_dri.so"}) {
    if (fs::exists(driver)) {
      setenv("LD_PRELOAD", driver, 1);
      std::string options = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
      setenv("ASAN_OPTIONS", (options + ":verify_asan_link_order=0").c_str(), 1);
      return;
    }
  }
#endif
}

class Game {
 public:
  explicit Game(const fs::path& scratch) : scratch(scratch), folder(scratch / "Amber Grove #1") {
    fs::copy(fs::path(CORVANE_SOURCE_DIR) / "Game", folder, fs::copy_options::recursive);
    fs::remove(folder / "config.xml");
    std::ofstream(scratch / "alsoft.conf")
        << "[general]\ndrivers = wave\nfrequency = 44100\nchannels = stereo\n"
           "sample-type = int16\n[wave]\nfile = "
        << (scratch / "sound.wav").string() << "\n";
  }
  ~Game() {
    if (pid > 0) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
  }

  void Start() {
    pid = fork();
    if (pid != 0) return;
    if (chdir(folder.c_str()) != 0) _exit(126);
    setenv("ALSOFT_CONF", (scratch / "alsoft.conf").c_str(), 1);
    unsetenv("CORVANE_LOG");
    KeepGLDriverLoaded();
    // The path is quoted: the sanitizer's options parser splits at spaces.
    setenv("LSAN_OPTIONS",
           "suppressions=\"" CORVANE_SOURCE_DIR "/tests/sanitizer/lsan.supp\":print_suppressions=0",
           0);
    if (!freopen((scratch / "stdout.txt").c_str(), "w", stdout)) _exit(126);
    if (!freopen((scratch / "stderr.txt").c_str(), "w", stderr)) _exit(126);
    execl(CORVANE_GAME_BINARY, CORVANE_GAME_BINARY, static_cast<char*>(nullptr));
    _exit(127);
  }
  // The exit code, or -1 when the game did not end within the bound (it is killed then).
  int WaitForExit(double seconds) {
    int status = 0;
    if (!WaitUntil(seconds, [&] { return waitpid(pid, &status, WNOHANG) == pid; })) return -1;
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  std::string StandardError() const { return CorvaneTest::ReadFile(scratch / "stderr.txt"); }

  const fs::path scratch;
  const fs::path folder;
  pid_t pid = -1;
};

// Processes that outlived the game and were handed to this test, but for our Xvfb and the shell
// that runs ps; those already gone are reaped first.
std::string LeftoverProcesses() {
  while (waitpid(-1, nullptr, WNOHANG) > 0) {
  }
  return CommandOutput("ps -o pid=,comm= --ppid " + std::to_string(getpid()) +
                       " | grep -v -e ' Xvfb$' -e ' sh$'");
}

// What the window manager's close button does: WM_DELETE_WINDOW to the game's top-level window.
bool CloseWindow(const std::string& id) {
  Display* x = XOpenDisplay(nullptr);
  if (x == nullptr || id.empty()) return false;
  XEvent event;
  std::memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = std::strtoul(id.c_str(), nullptr, 10);
  event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = XInternAtom(x, "WM_DELETE_WINDOW", False);
  event.xclient.data.l[1] = CurrentTime;
  Status sent = XSendEvent(x, event.xclient.window, False, NoEventMask, &event);
  XCloseDisplay(x);
  return sent != 0;
}

// The settings file as section -> key -> text; empty when it cannot be read.
using Settings = std::map<std::string, std::map<std::string, std::string>>;
Settings ReadSettings(const fs::path& file) {
  Settings settings;
  tinyxml2::XMLDocument document;
  if (document.LoadFile(file.c_str()) != tinyxml2::XML_SUCCESS) return settings;
  for (auto* section = document.RootElement()->FirstChildElement(); section;
       section = section->NextSiblingElement()) {
    for (auto* key = section->FirstChildElement(); key; key = key->NextSiblingElement()) {
      settings[section->Name()][key->Name()] = key->GetText() ? key->GetText() : "";
    }
  }
  return settings;
}

// Exit code 0, nothing on standard error, no browser process left.
void ExpectCleanEnd(Game& game) {
  EXPECT_EQ(0, game.WaitForExit(30));
  EXPECT_EQ("", game.StandardError());
  std::string left;
  EXPECT_TRUE(WaitUntil(10, [&] { return (left = LeftoverProcesses()).empty(); }))
      << "still running after the game:\n"
      << left;
}

}  // namespace

TEST(EndToEnd, AFreshStartPlaysToTheWinAndEndsWithAltF4) {
  ASSERT_TRUE(display->Ok());
  CorvaneTest::ScratchDir scratch("end to end fresh");
  Game game(scratch.Path());
  game.Start();

  ScreenImage screen;
  ASSERT_TRUE(WaitUntil(
      30, [&] { return (screen = Shoot(scratch.Path())).Ok() && screen.ShowsStartPage(); }))
      << "no start page; corner pixel " << screen.Corner() << "; stderr: " << game.StandardError();

  // Written at start-up: the three sections with their seven keys, at their defaults.
  Settings expected = {
      {"Window",
       {{"Width", "1280"}, {"Height", "720"}, {"Fullscreen", "True"}, {"Unsupported", "0"}}},
      {"Sound", {{"Mute", "False"}, {"BufferedVolume", "1.000000"}}},
      {"Graphics", {{"VSync", "True"}}}};
  EXPECT_EQ(expected, ReadSettings(game.folder / "config.xml"));

  // The lantern stands in the middle of the scene, seen through the page.
  double startX = -1;
  ASSERT_GT(screen.Lantern(&startX), 2000);
  EXPECT_NEAR(kWidth / 2, startX, 10);

  // Short taps move the lantern left by whole steps (17 px each), long before the line (36 steps
  // away). A tap that fell between two frames' key snapshots moves nothing; the next is longer.
  double x = startX;
  for (int tap = 0; tap < 7 && x > startX - 15; ++tap) {
    double hold = 0.02 * (1 << tap);
    RunCommand("xdotool keydown space sleep " + std::to_string(hold) + " keyup space");
    // The step shows in a later frame, however slow frames are; a tap that moved nothing leaves
    // the lantern where it was until the wait gives up.
    const double before = x;
    WaitUntil(2, [&] {
      screen = Shoot(scratch.Path());
      return screen.Lantern(&x) > 500 && x < before - 8;
    });
    ASSERT_GT(screen.Lantern(&x), 500) << "the lantern left the screen after a tap of " << hold;
    ASSERT_TRUE(screen.ShowsStartPage());
  }
  EXPECT_LT(x, startX - 15);

  // Held past the line: the winning page comes up; holding on after that plays no second jingle.
  RunCommand("xdotool keydown space");
  bool won = WaitUntil(
      30, [&] { return (screen = Shoot(scratch.Path())).Ok() && screen.ShowsWinningPage(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  RunCommand("xdotool keyup space");
  EXPECT_TRUE(won) << "corner pixel " << screen.Corner();

  RunCommand("xdotool keydown alt keydown F4 sleep 0.3 keyup F4 keyup alt");
  ExpectCleanEnd(game);

  std::vector<double> bursts = SoundBursts(scratch.Path() / "sound.wav");
  ASSERT_EQ(1u, bursts.size()) << "the jingle played " << bursts.size() << " times";
  double jingle =
      std::atof(CommandOutput("soxi -D '" CORVANE_SOURCE_DIR "/Game/sound/winsound.wav'").c_str());
  EXPECT_NEAR(jingle, bursts[0], 0.1);
}

TEST(EndToEnd, SavedSettingsLoadAgainAndClosingTheWindowEndsTheGame) {
  ASSERT_TRUE(display->Ok());
  CorvaneTest::ScratchDir scratch("end to end saved");
  Game game(scratch.Path());
  // A windowed setting from an earlier run; VSync is missing and gets its default.
  std::ofstream(game.folder / "config.xml")
      << "<?xml version=\"1.0\"?>\n<Amber_Lantern_Grove><Window><Width>960</Width>"
         "<Height>540</Height><Fullscreen>False</Fullscreen><Unsupported>0</Unsupported>"
         "</Window><Sound><Mute>True</Mute><BufferedVolume>1.000000</BufferedVolume></Sound>"
         "</Amber_Lantern_Grove>\n";
  game.Start();

  std::string window, geometry;
  ASSERT_TRUE(WaitUntil(30, [&] {
    window = CommandOutput("xdotool search --name '^Amber_Lantern_Grove$' 2>/dev/null");
    return !(window = window.substr(0, window.find('\n'))).empty();
  })) << game.StandardError();
  EXPECT_TRUE(WaitUntil(10, [&] {
    geometry = CommandOutput("xdotool getwindowgeometry " + window);
    return geometry.find("960x540") != std::string::npos;
  })) << geometry;
  EXPECT_TRUE(WaitUntil(10, [&] {
    return ReadSettings(game.folder / "config.xml")["Graphics"]["VSync"] == "True";
  })) << CorvaneTest::ReadFile(game.folder / "config.xml");

  ASSERT_TRUE(CloseWindow(window));
  ExpectCleanEnd(game);

  // The rewritten file reads back with the engine's own configuration class.
  CorvaneEngine::ConfigData settings((game.folder / "config.xml").c_str());
  EXPECT_EQ(960, settings.Get<int>("Window", "Width"));
  EXPECT_EQ(540, settings.Get<int>("Window", "Height"));
  EXPECT_FALSE(settings.Get<bool>("Window", "Fullscreen"));
  EXPECT_TRUE(settings.Get<bool>("Sound", "Mute"));
  EXPECT_TRUE(settings.Get<bool>("Graphics", "VSync"));
}

// SIGTERM and SIGINT end the game as Alt+F4 does, also while it reads a large mesh: exit code 0,
// nothing on standard error, the settings in place, the browser and its profile folder gone.
TEST(EndToEnd, SignalsEndTheGameCleanlyAlsoDuringALongLoad) {
  ASSERT_TRUE(display->Ok());
  std::string mesh = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";
  for (int i = 0; i < 1500000; ++i) mesh += "f 1 2 3 4\n";  // 15 MB of quads
  for (int signal : {SIGTERM, SIGINT}) {
    CorvaneTest::ScratchDir scratch("end to end signal");
    Game game(scratch.Path());
    std::ofstream(game.folder / "art" / "lantern.obj") << mesh;
    game.Start();
    const std::string profilePrefix = "corvane-browser-" + std::to_string(game.pid) + "-";
    // The settings are written just before the objects, and with them the mesh, are loaded.
    ASSERT_TRUE(WaitUntil(30, [&] { return fs::exists(game.folder / "config.xml"); }))
        << game.StandardError();
    kill(game.pid, signal);
    ExpectCleanEnd(game);
    EXPECT_EQ(1u, ReadSettings(game.folder / "config.xml").count("Window"));
    for (const auto& entry : fs::directory_iterator(fs::temp_directory_path())) {
      EXPECT_NE(0u, entry.path().filename().string().rfind(profilePrefix, 0)) << entry.path();
    }
  }
}
