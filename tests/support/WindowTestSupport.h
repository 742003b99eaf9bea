// What the window and input suites share: one private Xvfb per test program, and a harness with
// a real engine (configuration, resource manager) in a scratch folder and the real window and
// input Systems, driven frame by frame, with real X input sent through xdotool.
#pragma once

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "TestSupport.h"
#include "VirtualDisplay.h"
#include "core/ConfigData.h"
#include "core/Engine.h"
#include "presentation/InputSystem_SDL.h"
#include "presentation/WindowSystem_SDL.h"

namespace CorvaneTest {

class DisplayEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("CORVANE_ERROR_BOX", "0", 1);
    // Mesa's driver is unloaded with every closed display, and the leak checker can then no
    // longer name it to match tests/sanitizer/lsan.supp: keep it loaded for the whole program.
    dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE);
    display = std::make_unique<VirtualDisplay>(1280, 720);
    ASSERT_TRUE(display->Ok());
  }
  void TearDown() override { display.reset(); }
  std::unique_ptr<VirtualDisplay> display;
};
// Every program that includes this file runs under its own display.
static auto* const displayEnvironment = ::testing::AddGlobalTestEnvironment(new DisplayEnvironment);

inline std::string WindowConfig(int width, int height, bool fullscreen, int unsupported = 0) {
  return "<?xml version=\"1.0\"?>\n<Amber_Lantern_Grove><Window><Width>" + std::to_string(width) +
         "</Width><Height>" + std::to_string(height) + "</Height><Fullscreen>" +
         (fullscreen ? "True" : "False") + "</Fullscreen><Unsupported>" +
         std::to_string(unsupported) + "</Unsupported></Window></Amber_Lantern_Grove>\n";
}

class WindowHarness {
 public:
  // An empty config text means a first run without ./config.xml.
  explicit WindowHarness(const std::string& config) : dir("window"), into(dir.Path()) {
    if (!config.empty()) dir.Write("config.xml", config);
    engine = new CorvaneEngine::Engine();
    engine->AddSystem(window = new CorvaneEngine::WindowSystem_SDL());
    engine->AddSystem(input = new CorvaneEngine::InputSystem_SDL());
    engine->running = true;
    // On a bare X server the keyboard focus follows the pointer: keep it on the window.
    if (Opened()) Xdo("mousemove --window " + std::to_string(window->GetWindowHandle()) + " 5 5");
  }
  ~WindowHarness() {
    input->Shutdown();
    window->Shutdown();
    delete input;
    delete window;
    delete engine;
  }

  bool Opened() const { return SDL_GetVideoSurface() != nullptr; }
  SDL_SysWMinfo Info() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    SDL_GetWMInfo(&info);
    return info;
  }

  // Runs xdotool (which syncs with the server before it exits), then a round trip on the
  // window's own connection, so the resulting events are in its queue for the next frame.
  void Xdo(const std::string& arguments) {
    ASSERT_EQ(0, RunCommand("xdotool " + arguments + " 2>/dev/null")) << arguments;
    XSync(Info().info.x11.display, False);
  }

  // One frame in the main loop's order: the window pumps events, then input takes its snapshot.
  void Frame() {
    window->Update(0.0);
    input->Update(0.0);
  }

  ScratchDir dir;
  ChangeDir into;
  CorvaneEngine::Engine* engine = nullptr;
  CorvaneEngine::WindowSystem_SDL* window = nullptr;
  CorvaneEngine::InputSystem_SDL* input = nullptr;
};

}  // namespace CorvaneTest
