// What the window and input suites share: a private Xvfb for the test program, and a harness
// that builds a real engine (configuration, resource manager) in a scratch folder with the real
// window and input Systems, drives frames by hand and sends real X input with xdotool.
#pragma once

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
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

// Mesa's GL driver is built without frame pointers: only the slow unwinder follows its
// allocations back to the library names that tests/sanitizer/lsan.supp lists.
// (One test source per program includes this header, so the definition is not repeated.)
extern "C" __attribute__((used)) const char* __asan_default_options() {
  return "fast_unwind_on_malloc=0";
}

namespace CorvaneTest {

// One Xvfb per test program, 1280x720, started before the first test.
class DisplayEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("CORVANE_ERROR_BOX", "0", 1);
    display = std::make_unique<VirtualDisplay>(1280, 720);
    ASSERT_TRUE(display->Ok());
  }
  void TearDown() override { display.reset(); }
  std::unique_ptr<VirtualDisplay> display;
};

inline std::string WindowConfig(int width, int height, bool fullscreen, int unsupported = 0) {
  return "<?xml version=\"1.0\"?>\n<Amber_Lantern_Grove><Window><Width>" + std::to_string(width) +
         "</Width><Height>" + std::to_string(height) + "</Height><Fullscreen>" +
         (fullscreen ? "True" : "False") + "</Fullscreen><Unsupported>" +
         std::to_string(unsupported) + "</Unsupported></Window></Amber_Lantern_Grove>\n";
}

// The window system and the input system in a real engine, with the frame order of the main
// loop: the window pumps the events, then the input system takes its snapshot.
class WindowHarness {
 public:
  // An empty config text means a fresh start without ./config.xml.
  explicit WindowHarness(const std::string& config, bool withInput = true)
      : dir("window"), into(dir.Path()) {
    if (!config.empty()) dir.Write("config.xml", config);
    engine = new CorvaneEngine::Engine();
    window = new CorvaneEngine::WindowSystem_SDL();
    engine->AddSystem(window);
    if (withInput) {
      input = new CorvaneEngine::InputSystem_SDL();
      engine->AddSystem(input);
    }
    engine->running = true;
    if (Opened()) {
      // Keyboard focus follows the pointer on a bare X server: keep the pointer on the window.
      Xdo("mousemove --window " + std::to_string(window->GetWindowHandle()) + " 5 5");
      Frame();
      Frame();
    }
  }
  ~WindowHarness() {
    if (input != nullptr) input->Shutdown();
    window->Shutdown();
    delete input;
    delete window;
    delete engine;
  }

  bool Opened() const { return SDL_GetVideoSurface() != nullptr; }

  // Runs xdotool against the private display and waits until the X server has turned the
  // request into events in this program's queue, so the next frame is sure to see them.
  void Xdo(const std::string& arguments) {
    ASSERT_EQ(0, RunCommand("xdotool " + arguments)) << arguments;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) > 0) XSync(info.info.x11.display, False);
  }

  void Frame() {
    window->Update(0.0);
    if (input != nullptr) input->Update(0.0);
  }

  SDL_SysWMinfo Info() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    SDL_GetWMInfo(&info);
    return info;
  }

  ScratchDir dir;
  ChangeDir into;
  CorvaneEngine::Engine* engine = nullptr;
  CorvaneEngine::WindowSystem_SDL* window = nullptr;
  CorvaneEngine::InputSystem_SDL* input = nullptr;
};

}  // namespace CorvaneTest
