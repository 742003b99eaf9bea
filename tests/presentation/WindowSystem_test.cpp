// Window system on a private Xvfb: the window a configuration asks for and the settings written
// back, the clean exit without a usable window, run-time mode changes with the graphics hooks,
// refused GL attributes, and the event pump feeding the browser and ending the game.
#include <GL/gl.h>
#include <cxxabi.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>

#include "WindowTestSupport.h"
#include "core/Engine.h"
#include "core/OutputStream.h"
#include "core/ProgramEntry.h"
#include "objects/GOComponent.h"
#include "objects/ObjectFactory.h"
#include "overlay/Browser.h"
#include "presentation/BasicGraphicsSystem.h"
#include "resources/ResourceMaker.h"
#include "resources/ResourceManager.h"

using namespace CorvaneEngine;
using namespace CorvaneTest;

namespace {

std::string TypeName(const void* object, const std::type_info& type) {
  if (object == nullptr) return "none";
  char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, nullptr);
  std::string text = name ? name : type.name();
  std::free(name);
  return text.substr(text.rfind(':') + 1);
}

// What the program entry itself wired up before it called the game: the Systems in frame order,
// each loader with its main-thread flag, and the component prototypes.
std::string WiringSeenByTheStartUpHook() {
  std::string wiring = "Systems";
  for (System* system : Engine::instance->Systems())
    wiring += " " + TypeName(system, typeid(*system));
  wiring += "; loaders";
  for (const char* type : {"Sound", "Texture", "Texture_Mip", "Texture_NoMip", "Mesh"}) {
    const ResourceMaker* maker = ResourceManager::instance->FindMaker(NameHash(type));
    wiring += std::string(" ") + type + "=" + (maker ? TypeName(maker, typeid(*maker)) : "none");
    if (maker != nullptr) wiring += maker->mainThreadOnly ? "(main)" : "(any)";
  }
  wiring += "; components";
  for (const char* type : {"Renderable", "Camera"}) {
    const GOComponent* prototype = ObjectFactory::instance->FindComponentType(SharedString(type));
    wiring += std::string(" ") + type + "=" + TypeName(prototype, typeid(*prototype));
  }
  return wiring;
}

}  // namespace

// The program entry refuses to run a game without its start-up hook; this one reports the wiring.
void GameStartup(const std::vector<SharedString>&) {
  std::fprintf(stderr, "%s\n", WiringSeenByTheStartUpHook().c_str());
}

namespace {

// The size of the window as the X server has it.
std::string XWindowSize(WindowHarness& harness) {
  SDL_SysWMinfo info = harness.Info();
  XWindowAttributes attributes;
  XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes);
  return std::to_string(attributes.width) + "x" + std::to_string(attributes.height);
}

TEST(WindowSystem, AFreshConfigurationOpensAFullscreenWindowOfTheDisplaySize) {
  WindowHarness harness("");
  ASSERT_TRUE(harness.Opened());
  WindowSystem_SDL* window = harness.window;
  EXPECT_TRUE(window->IsFullscreen());
  EXPECT_TRUE(SDL_GetVideoSurface()->flags & SDL_FULLSCREEN);
  EXPECT_EQ("1280x720", XWindowSize(harness));
  ASSERT_EQ(0, window->GetCurrentMode());
  EXPECT_EQ(1280, window->GetModeWidth(0));
  EXPECT_EQ(720, window->GetModeHeight(0));

  ConfigData::instance->Save();
  std::string saved = ReadFile("config.xml");
  for (const char* line : {"<Width>1280</Width>", "<Height>720</Height>",
                           "<Fullscreen>True</Fullscreen>", "<Unsupported>0</Unsupported>"}) {
    EXPECT_NE(std::string::npos, saved.find(line)) << line << " in\n" << saved;
  }
}

struct Outcome {
  bool exited;
  int code;
  std::string errors;
};

// Runs the whole program entry in a child process in `folder`, with the log on standard error;
// `meanwhile` runs in this process while the program does.
Outcome RunProgramIn(const std::filesystem::path& folder, bool withDisplay,
                     const std::function<void()>& meanwhile = {}) {
  std::filesystem::path errorsFile = folder / "stderr.txt";
  pid_t child = fork();
  if (child == 0) {
    if (!withDisplay) unsetenv("DISPLAY");
    if (chdir(folder.c_str()) != 0) _exit(100);
    // The program's sound plays into nothing: no sound card or sound server is needed.
    std::ofstream("alsoft.conf") << "[general]\ndrivers=null\n";
    setenv("ALSOFT_CONF", (folder / "alsoft.conf").c_str(), 1);
    if (std::freopen(errorsFile.c_str(), "w", stderr) == nullptr) _exit(101);
    Log.Redirect(&std::cerr, 0);
    const char* argv[] = {"AmberLanternGrove", nullptr};
    int code = RunProgram(1, argv);
    std::fflush(stderr);
    _exit(code);
  }
  if (meanwhile) meanwhile();
  // A program that never ends fails the test rather than hanging the suite.
  int status = 0;
  for (int waits = 0; waitpid(child, &status, WNOHANG) == 0; ++waits) {
    if (waits == 1200) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
    }
    usleep(50000);
  }
  std::string errors = ReadFile(errorsFile);
  std::filesystem::remove(errorsFile);
  return {WIFEXITED(status), WIFEXITED(status) ? WEXITSTATUS(status) : -1, errors};
}

TEST(WindowSystem, WithoutAUsableWindowTheProgramSaysWhyAndExitsNonZero) {
  ScratchDir dir("window-refused");
  std::string config = WindowConfig(4000, 3000, true);
  dir.Write("config.xml", config);

  Outcome refused = RunProgramIn(dir.Path(), true);
  Outcome noDisplay = RunProgramIn(dir.Path(), false);
  for (auto [outcome, logLine, message] :
       {std::tuple{refused, "Window Settings are not valid\n",
                   "4000x3000 (fullscreen) is not available"},
        {noDisplay, "Window failed to initialize\n", "no display: set DISPLAY"}}) {
    ASSERT_TRUE(outcome.exited) << "the program crashed:\n" << outcome.errors;
    EXPECT_EQ(1, outcome.code);
    EXPECT_NE(std::string::npos, outcome.errors.find(logLine)) << outcome.errors;
    EXPECT_NE(std::string::npos, outcome.errors.find(message)) << outcome.errors;
  }
  EXPECT_EQ(config, ReadFile(dir.Path() / "config.xml"));
}

// Records the hooks with the size of the surface that is current when each is called.
class RecordingGraphics : public BasicGraphicsSystem {
 public:
  void SetVSync(bool) override {}
  void Update(double) override {}
  void BeforeVideoModeChange() override { calls.push_back("before " + SurfaceSize()); }
  void AfterVideoModeChange() override {
    // The new context must already be current: the graphics system rebuilds its objects here.
    calls.push_back("after " + SurfaceSize() + (glGetString(GL_VERSION) ? " gl" : " no-gl"));
  }
  static std::string SurfaceSize() {
    SDL_Surface* s = SDL_GetVideoSurface();
    return s ? std::to_string(s->w) + "x" + std::to_string(s->h) : "none";
  }
  std::vector<std::string> calls;
};

TEST(WindowSystem, AConfiguredWindowOpensAndRunTimeModeChangesCallTheHooksAndAreSaved) {
  WindowHarness harness(WindowConfig(640, 480, false));
  ASSERT_TRUE(harness.Opened());
  EXPECT_FALSE(SDL_GetVideoSurface()->flags & SDL_FULLSCREEN);
  EXPECT_EQ("640x480", XWindowSize(harness));
  EXPECT_EQ(-1, harness.window->GetCurrentMode());  // no fullscreen mode of this display
  RecordingGraphics graphics;
  WindowSystem_SDL* window = harness.window;

  window->SetSize(800, 600);
  window->ApplySettings();
  EXPECT_EQ((std::vector<std::string>{"before 640x480", "after 800x600 gl"}), graphics.calls);
  EXPECT_EQ("800x600", XWindowSize(harness));
  EXPECT_EQ(800, ConfigData::instance->Get<int>("Window", "Width"));
  EXPECT_EQ(600, ConfigData::instance->Get<int>("Window", "Height"));

  graphics.calls.clear();
  ASSERT_EQ(1, window->GetModeCount());
  window->SelectMode(0, true);
  window->ApplySettings();
  EXPECT_EQ((std::vector<std::string>{"before 800x600", "after 1280x720 gl"}), graphics.calls);
  EXPECT_EQ(0, window->GetCurrentMode());
  EXPECT_TRUE(SDL_GetVideoSurface()->flags & SDL_FULLSCREEN);
  EXPECT_TRUE(ConfigData::instance->Get<bool>("Window", "Fullscreen"));
  EXPECT_EQ(1280, ConfigData::instance->Get<int>("Window", "Width"));

  // A mode the display refuses changes nothing: no hooks, same window, same settings.
  graphics.calls.clear();
  CapturedLog log;
  window->SetSize(4000, 3000);
  window->ApplySettings();
  EXPECT_EQ(std::vector<std::string>{"Window Settings are not valid"}, log.Lines());
  EXPECT_TRUE(graphics.calls.empty());
  EXPECT_EQ(1280, window->GetWidth());
  EXPECT_EQ(1280, ConfigData::instance->Get<int>("Window", "Width"));
  EXPECT_EQ("1280x720", XWindowSize(harness));
}

std::vector<int> askedAttributes;
int RefuseDoubleBuffering(int attribute, int value) {
  askedAttributes.push_back(attribute);
  return attribute == SDL_GL_DOUBLEBUFFER ? -1 : SDL_GL_SetAttribute(SDL_GLattr(attribute), value);
}

TEST(WindowSystem, ARefusedAttributeIsStoredAndNeverAskedForAgain) {
  auto* realSetter = WindowSystem_SDL::glAttributeSetter;
  WindowSystem_SDL::glAttributeSetter = &RefuseDoubleBuffering;
  {
    WindowHarness harness(WindowConfig(640, 480, false));
    EXPECT_TRUE(harness.Opened());
    EXPECT_EQ((std::vector<int>{SDL_GL_DOUBLEBUFFER, SDL_GL_ACCELERATED_VISUAL}), askedAttributes);
    EXPECT_EQ(2, ConfigData::instance->Get<int>("Window", "Unsupported"));
    askedAttributes.clear();
    harness.window->ApplySettings();
    EXPECT_EQ(std::vector<int>{SDL_GL_ACCELERATED_VISUAL}, askedAttributes);
  }
  askedAttributes.clear();
  WindowHarness nextRun(WindowConfig(640, 480, false, 2));  // reads the bit back
  EXPECT_EQ(std::vector<int>{SDL_GL_ACCELERATED_VISUAL}, askedAttributes);
  WindowSystem_SDL::glAttributeSetter = realSetter;
}

class RecordingBrowser : public Browser {
 public:
  void KeyDown(int32_t symbol, int32_t modifiers, uint32_t character, int32_t) override {
    Add("down", symbol);
    if (character != 0) CharInput(character, static_cast<uint32_t>(modifiers));
  }
  void KeyUp(int32_t symbol, int32_t, int32_t) override { Add("up", symbol); }
  void CharInput(uint32_t character, uint32_t modifiers) override {
    Add((modifiers & KMOD_SHIFT) ? "shifted char" : "char", character);
  }
  void MouseMove(int32_t x, int32_t y) override { Add("move", x, y); }
  void MouseDown(int32_t button, int32_t x, int32_t y) override { Add("press", button, x, y); }
  void MouseUp(int32_t x, int32_t y, int32_t button) override { Add("release", button, x, y); }
  void Add(std::string call, int64_t a, int64_t b = -1, int64_t c = -1) {
    for (int64_t value : {a, b, c}) {
      if (value >= 0) call += " " + std::to_string(value);
    }
    calls.push_back(call);
  }
  std::vector<std::string> calls;
};

// What a window manager sends when the user clicks the close button.
void SendCloseRequest(Window target) {
  Display* manager = XOpenDisplay(nullptr);
  ASSERT_NE(nullptr, manager);
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = target;
  event.xclient.message_type = XInternAtom(manager, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(manager, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(manager, target, False, NoEventMask, &event);
  XCloseDisplay(manager);
}

TEST(WindowSystem, EventsOfAFrameAllReachTheBrowserAndACloseRequestEndsTheGame) {
  WindowHarness harness(WindowConfig(800, 600, false));
  ASSERT_TRUE(harness.Opened());
  std::string window = std::to_string(harness.window->GetWindowHandle());

  // Without a browser the events are consumed and dropped.
  harness.Xdo("type x");
  harness.Frame();

  RecordingBrowser browser;
  Browser::instance = &browser;
  // Letters and shifted symbols arrive as the characters typed, with the shift state.
  harness.Xdo("type aB!");
  harness.Frame();
  std::vector<std::string> characters;
  for (const std::string& call : browser.calls) {
    if (call.find("char") != std::string::npos) characters.push_back(call);
  }
  EXPECT_EQ((std::vector<std::string>{"char 97", "shifted char 66", "shifted char 33"}),
            characters);
  EXPECT_TRUE(harness.engine->running);

  // Everything queued before one frame is handled in that frame, in queue order.
  browser.calls.clear();
  harness.Xdo("mousemove --window " + window + " 400 300 click 3 key Return");
  SendCloseRequest(harness.Info().info.x11.wmwindow);
  harness.Xdo("mousemove --window " + window + " 10 20");
  harness.Frame();
  EXPECT_EQ((std::vector<std::string>{"move 400 300", "press 3 400 300", "release 3 400 300",
                                      "down 13", "char 13", "up 13", "move 10 20"}),
            browser.calls);
  EXPECT_FALSE(harness.engine->running);
  Browser::instance = nullptr;
}

TEST(WindowSystem, TheRealMainLoopEndsOnAltF4AndOnACloseRequest) {
  ScratchDir dir("window-loop");
  dir.Write("config.xml", WindowConfig(640, 480, false));
  const std::string find = "timeout 60 xdotool search --sync --name '^Amber_Lantern_Grove$' ";
  Outcome altF4 = RunProgramIn(dir.Path(), true, [&] {
    RunCommand(find + "mousemove --window %1 5 5 keydown alt+F4 2>/dev/null");
  });
  RunCommand("xdotool keyup alt F4 2>/dev/null");
  Outcome closed = RunProgramIn(dir.Path(), true, [&] {
    SendCloseRequest(std::stoul("0" + CommandOutput(find + "| head -1")));
  });
  for (const Outcome& outcome : {altF4, closed}) {
    EXPECT_TRUE(outcome.exited) << outcome.errors;
    EXPECT_EQ(0, outcome.code) << outcome.errors;
  }
  // The entry's own start-up order, as the game's hook finds it (llvmpipe has vertex buffers, so
  // meshes load on the main thread).
  EXPECT_NE(std::string::npos,
            altF4.errors.find(
                "Systems WindowSystem_SDL InputSystem_SDL GameStateManager ObjectManager "
                "SoundSystem_AL Browser GraphicsSystem_GL; loaders Sound=SoundLoader_AL(any) "
                "Texture=TextureLoader_GL(main) Texture_Mip=TextureLoader_MipMap_GL(main) "
                "Texture_NoMip=TextureLoader_NoMipMap_GL(main) Mesh=MeshLoader_GL(main); "
                "components Renderable=Renderable_GL Camera=Camera\n"))
      << altF4.errors;
}

}  // namespace
