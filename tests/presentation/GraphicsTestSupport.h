// What the graphics suites share: a private Xvfb, a real engine (configuration and resource
// manager) in a scratch folder, the real SDL window with its GL context, and the graphics system.
// The window captures every frame from the back buffer just before the swap, so tests look at
// exactly the picture a frame drew.
#pragma once

#include <GL/glew.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "TestSupport.h"
#include "VirtualDisplay.h"
#include "core/Engine.h"
#include "presentation/GraphicsSystem_GL.h"
#include "presentation/WindowSystem_SDL.h"

// Lock reports from inside the window libraries: libX11 and libGLX take their display and
// context locks in both orders while SDL opens the GL window, and Mesa's GLX releases a lock
// through a path the race detector does not see taken when SDL closes it. That is the libraries'
// own business; the engine's locks are not affected.
extern "C" __attribute__((used)) inline const char* __tsan_default_suppressions() {
  return "deadlock:libX11.so\ndeadlock:libGLX.so\nmutex:libSDL-1.2.so\nmutex:libGLX_mesa.so\n"
         "mutex:libxcb.so\nmutex:libX11.so\n";
}

namespace CorvaneTest {

struct Rgb {
  int r, g, b;
};

// Channels may differ by `tolerance` (blending rounds differently on different rasterisers).
inline bool Near(Rgb a, Rgb b, int tolerance = 3) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}
inline bool Close(Rgb a, Rgb b) {
  return Near(a, b);
}  // for EXPECT_PRED2
inline std::ostream& operator<<(std::ostream& out, Rgb c) {
  return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// One captured frame; rows as GL reads them (bottom first), looked up from the top.
struct Frame {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
  Rgb At(int x, int yFromTop) const {
    const uint8_t* p = &rgba[(static_cast<size_t>(height - 1 - yFromTop) * width + x) * 4];
    return {p[0], p[1], p[2]};
  }
};

class CapturingWindow : public CorvaneEngine::WindowSystem_SDL {
 public:
  void SwapBuffers() override {
    last.width = GetWidth();
    last.height = GetHeight();
    last.rgba.assign(static_cast<size_t>(last.width) * last.height * 4, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, last.width, last.height, GL_RGBA, GL_UNSIGNED_BYTE, last.rgba.data());
    ++frames;
    WindowSystem_SDL::SwapBuffers();
  }
  Frame last;
  int frames = 0;
};

inline VirtualDisplay& SharedDisplay() {
  static VirtualDisplay display(1280, 720);
  // Every test opens and closes its own window, and closing the last one unloads Mesa's GLX
  // library and driver; held here they stay loaded, so that the sanitizers can still name them
  // at exit and never see their locks at an address that was unloaded and mapped again.
  static void* glx = dlopen("libGLX_mesa.so.0", RTLD_NOW | RTLD_NODELETE);
  static void* driver =
      dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE);
  (void)glx;
  (void)driver;
  return display;
}

// A window of kWidth x kHeight, the graphics system on it, and the folders of a scratch game.
class GraphicsTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 160;
  static constexpr int kHeight = 120;

  void SetUp() override {
    setenv("CORVANE_ERROR_BOX", "0", 1);
    ASSERT_TRUE(SharedDisplay().Ok());
    engine = new CorvaneEngine::Engine();
    window = new CapturingWindow();
    window->SetSize(kWidth, kHeight);
    window->SetFullscreen(false);
    engine->AddSystem(window);
    ASSERT_EQ(0, engine->exitCode) << "no GL window on the virtual display";
    graphics = new CorvaneEngine::GraphicsSystem_GL();
    engine->AddSystem(graphics);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);  // a blue background makes blending visible
  }

  void TearDown() override { TearDownEngine(); }

  // Every System shut down in reverse order, then deleted in reverse order, then the engine.
  void TearDownEngine() {
    if (engine == nullptr) return;
    std::vector<CorvaneEngine::System*> systems = engine->Systems();
    for (auto it = systems.rbegin(); it != systems.rend(); ++it) (*it)->Shutdown();
    for (auto it = systems.rbegin(); it != systems.rend(); ++it) delete *it;
    delete engine;
    engine = nullptr;
  }

  const Frame& DrawFrame() {
    graphics->Update(0.0);
    return window->last;
  }

  ScratchDir scratch{"graphics"};
  ChangeDir inScratch{scratch.Path()};
  CorvaneEngine::Engine* engine = nullptr;
  CapturingWindow* window = nullptr;
  CorvaneEngine::GraphicsSystem_GL* graphics = nullptr;
};

}  // namespace CorvaneTest
