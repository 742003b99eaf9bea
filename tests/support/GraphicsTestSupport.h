// What the window, input and graphics suites share: a real engine (configuration and resource
// manager) in a scratch folder, with the real SDL window and its GL context on the shared display.
// The window captures every frame from the back buffer just before the swap, so tests look at
// exactly the picture a frame drew.
#pragma once

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>

#include "TestSupport.h"
#include "VirtualDisplay.h"
#include "core/Engine.h"
#include "core/ProgramEntry.h"
#include "objects/GameObject.h"
#include "objects/ObjectFactory.h"
#include "objects/ObjectManager.h"
#include "presentation/Camera.h"
#include "presentation/GraphicsGlobals.h"
#include "presentation/GraphicsSystem_GL.h"
#include "presentation/InputSystem_SDL.h"
#include "presentation/Renderable_GL.h"
#include "presentation/WindowSystem_SDL.h"
#include "resources/MeshLoader_GL.h"
#include "resources/ResourceManager.h"
#include "resources/TextureLoader_GL.h"

namespace CorvaneTest {

using namespace CorvaneEngine;  // the rigs and the scenes name many engine classes

using Rgb = std::array<int, 3>;
// Channels may differ by 3 (blending rounds differently on different rasterisers).
inline bool Close(Rgb a, Rgb b) {
  return std::abs(a[0] - b[0]) <= 3 && std::abs(a[1] - b[1]) <= 3 && std::abs(a[2] - b[2]) <= 3;
}
const Rgb kBlue{0, 0, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0};

// One captured frame; rows as GL reads them (bottom first), looked up from the top.
struct Frame {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
  Rgb At(int x, int yFromTop) const {
    const uint8_t* p = &rgba[(static_cast<size_t>(height - 1 - yFromTop) * width + x) * 4];
    return {p[0], p[1], p[2]};
  }
};

// A page of BGRA pixels as the browser hands them over, each given by `colour` (0xAARRGGBB).
inline std::vector<uint8_t> Page(int width, int height,
                                 const std::function<uint32_t(int x, int y)>& colour) {
  std::vector<uint8_t> page;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int shift : {0, 8, 16, 24}) page.push_back(static_cast<uint8_t>(colour(x, y) >> shift));
  return page;
}

class CapturingWindow : public WindowSystem_SDL {
 public:
  void SwapBuffers() override {
    last.width = GetWidth(), last.height = GetHeight(), ++frames;
    last.rgba.assign(static_cast<size_t>(last.width) * last.height * 4, 0);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, last.width, last.height, GL_RGBA, GL_UNSIGNED_BYTE, last.rgba.data());
    WindowSystem_SDL::SwapBuffers();
  }
  Frame last;
  int frames = 0;
};

inline std::string WindowConfig(int width, int height, bool fullscreen) {
  return "<?xml version=\"1.0\"?>\n<Amber_Lantern_Grove><Window><Width>" + std::to_string(width) +
         "</Width><Height>" + std::to_string(height) + "</Height><Fullscreen>" +
         (fullscreen ? "True" : "False") +
         "</Fullscreen><Unsupported>0</Unsupported></Window></Amber_Lantern_Grove>\n";
}

// An engine in a scratch folder with its window, opened from `config` (a first run without
// ./config.xml when empty); torn down as the program entry does it.
class EngineRig {
 public:
  ~EngineRig() { TearDownEngine(); }
  void OpenWindow(const std::string& config) {
    SharedDisplay();
    if (!config.empty()) scratch.Write("config.xml", config);
    engine = new Engine();
    engine->AddSystem(window = new CapturingWindow());
  }
  void TearDownEngine() {
    if (engine != nullptr) TearDownProgram(engine), engine = nullptr;
  }
  bool Opened() const { return SDL_GetVideoSurface() != nullptr; }
  // Runs xdotool (which syncs with the server before it exits), then a round trip on the
  // window's own connection, so the resulting events are in its queue for the next frame.
  void Xdo(const std::string& arguments);
  // The same, pointing at (x, y) in the window first: the keyboard focus follows the pointer on
  // a bare X server.
  void Xdo(int x, int y, const std::string& arguments = "") {
    Xdo("mousemove --window " + std::to_string(window->GetWindowHandle()) + " " +
        std::to_string(x) + " " + std::to_string(y) + " " + arguments);
  }

  ScratchDir scratch{"window"};
  ChangeDir inScratch{scratch.Path()};
  Engine* engine = nullptr;
  CapturingWindow* window = nullptr;
};

// The window and input Systems, driven frame by frame in the main loop's order.
class WindowHarness : public EngineRig {
 public:
  explicit WindowHarness(const std::string& config) {
    OpenWindow(config);
    engine->AddSystem(input = new InputSystem_SDL());
    engine->running = true;
    // On a bare X server the keyboard focus follows the pointer: keep it on the window.
    if (Opened()) Xdo(5, 5);
  }
  void Frame() { window->Update(0.0), input->Update(0.0); }
  InputSystem_SDL* input = nullptr;
};

// A window of kWidth x kHeight with the graphics system on it.
class GraphicsTest : public ::testing::Test, public EngineRig {
 protected:
  static constexpr int kWidth = 160, kHeight = 120;
  void SetUp() override {
    ASSERT_TRUE(SharedDisplay().Ok());
    OpenWindow(WindowConfig(kWidth, kHeight, false));
    ASSERT_EQ(0, engine->exitCode) << "no GL window on the virtual display";
    engine->AddSystem(graphics = new GraphicsSystem_GL());
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);  // a blue background makes blending visible
  }
  void TearDown() override { TearDownEngine(); }
  const Frame& DrawFrame() { return graphics->Update(0.0), window->last; }
  GraphicsSystem_GL* graphics = nullptr;
};

// GraphicsTest plus an object manager, the texture and mesh makers, the two component types,
// a 2 x 2 quad mesh facing +z ("quad.obj") and textures: "halves.png" (left red, right green),
// "red.png", "green.png" and "glass.png" (half-transparent green).
class SceneTest : public GraphicsTest {
 protected:
  void SetUp() override;
  // An object file: the named mesh and diffuse texture, optional scale and extra components.
  void WriteType(const std::string& name, const std::string& diffuse, const std::string& scale = "",
                 const std::string& extra = "", const std::string& mesh = "quad.obj") {
    scratch.Write("GameObjects/" + name + ".xml",
                  "<Object>" + scale + "<Name>" + name + "</Name><Renderable>" +
                      (mesh.empty() ? "" : "<Mesh>" + mesh + "</Mesh>") +
                      (diffuse.empty() ? "" : "<Diffuse>" + diffuse + "</Diffuse>") +
                      "</Renderable>" + extra + "</Object>");
  }
  void LoadTypes() { ObjectFactory::instance->LoadObjectTypes(SharedString("./GameObjects")); }
  GameObject* Create(const char* type, float x = 0, float y = 0, float z = 0) {
    GameObject* object = objects->GetObject(ObjectFactory::instance->CreateObject(type));
    if (object != nullptr)
      object->position[0] = x, object->position[1] = y, object->position[2] = z;
    return object;
  }
  ObjectManager* objects = nullptr;
};

}  // namespace CorvaneTest
