// What the graphics suites share: a private Xvfb, a real engine (configuration and resource
// manager) in a scratch folder, the real SDL window with its GL context, and the graphics system.
// The window captures every frame from the back buffer just before the swap, so tests look at
// exactly the picture a frame drew.
#pragma once

#include <GL/glew.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <tuple>
#include <vector>

#include "TestSupport.h"
#include "VirtualDisplay.h"
#include "core/Engine.h"
#include "objects/GameObject.h"
#include "objects/ObjectFactory.h"
#include "objects/ObjectManager.h"
#include "presentation/Camera.h"
#include "presentation/GraphicsGlobals.h"
#include "presentation/GraphicsSystem_GL.h"
#include "presentation/Renderable_GL.h"
#include "presentation/WindowSystem_SDL.h"
#include "resources/MeshLoader_GL.h"
#include "resources/ResourceManager.h"
#include "resources/TextureLoader_GL.h"

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

// Channels may differ by 3 (blending rounds differently on different rasterisers).
inline bool Close(Rgb a, Rgb b) {
  return std::abs(a.r - b.r) <= 3 && std::abs(a.g - b.g) <= 3 && std::abs(a.b - b.b) <= 3;
}
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
  static void* libraries[] = {
      dlopen("libGLX_mesa.so.0", RTLD_NOW | RTLD_NODELETE),
      dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE)};
  return (void)libraries, display;
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

  // Every System shut down, then deleted, in reverse order, then the engine.
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

using namespace CorvaneEngine;  // the scene below names many engine classes

const Rgb kBlue{0, 0, 255};
const Rgb kRed{255, 0, 0};
const Rgb kGreen{0, 255, 0};

// A 2 x 2 quad in the z = 0 plane facing +z: u runs left to right.
const char* const kQuadObj =
    "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "vn 0 0 1\n"
    "f 1/1/1 2/2/1 3/3/1 4/4/1\n";

// One pixel of world length at distance 10 in the 160 x 120 window with a 45-degree view:
// 1 / (10 tan 22.5) * 60 pixels vertically, and the same horizontally (the aspect is kept).
const double kPixelsPerUnitAt10 = 60.0 / (10.0 * std::tan(22.5 * M_PI / 180.0));

// GraphicsTest plus an object manager, the texture and mesh makers, the two component types,
// a 2 x 2 quad mesh and a few textures: the world that object files describe.
class SceneTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    if (HasFatalFailure()) return;
    objects = new CorvaneEngine::ObjectManager();
    engine->AddSystem(objects);
    ResourceManager::instance->RegisterMaker(new TextureLoader_GL(), NameHash("Texture"));
    ResourceManager::instance->RegisterMaker(new MeshLoader_GL(hasVertexBufferObjects),
                                             NameHash("Mesh"));
    ObjectFactory::instance->RegisterComponentType(SharedString("Renderable"), new Renderable_GL());
    ObjectFactory::instance->RegisterComponentType(SharedString("Camera"), new Camera());

    scratch.Write("art/quad.obj", kQuadObj);
    std::filesystem::create_directories(scratch.Path() / "textures");
    // Left half red, right half green; red; green; a half-transparent green.
    ASSERT_EQ(0, RunCommand("cd textures && convert -size 8x8 xc:red -fill lime -draw "
                            "'rectangle 4,0 7,7' PNG32:halves.png && convert -size 8x8 xc:red "
                            "PNG32:red.png && convert -size 8x8 xc:lime PNG32:green.png && convert "
                            "-size 8x8 'xc:rgba(0,255,0,0.5)' PNG32:glass.png"));
    ASSERT_EQ(0, ResourceManager::instance->AddDirectory(SharedString("./art"), NameHash("Mesh")));
    ASSERT_EQ(0, ResourceManager::instance->AddDirectory(SharedString("./textures"),
                                                         NameHash("Texture")));
  }

  // An object file: the named mesh and diffuse texture, optional scale and extra components.
  void WriteType(const std::string& name, const std::string& diffuse, const std::string& scale = "",
                 const std::string& extra = "", const std::string& mesh = "quad.obj") {
    std::string renderable = "<Renderable>";
    if (!mesh.empty()) renderable += "<Mesh>" + mesh + "</Mesh>";
    if (!diffuse.empty()) renderable += "<Diffuse>" + diffuse + "</Diffuse>";
    renderable += "</Renderable>";
    scratch.Write("GameObjects/" + name + ".xml", "<Object>" + scale + "<Name>" + name + "</Name>" +
                                                      renderable + extra + "</Object>");
  }

  void LoadTypes() { ObjectFactory::instance->LoadObjectTypes(SharedString("./GameObjects")); }

  GameObject* Create(const char* type, float x = 0, float y = 0, float z = 0) {
    GameObject* object = objects->GetObject(ObjectFactory::instance->CreateObject(type));
    if (object != nullptr)
      std::tie(object->position[0], object->position[1], object->position[2]) = std::tie(x, y, z);
    return object;
  }

  // The window pixel of a world point in the z = 0 plane seen by the default view.
  static int PixelX(double x) { return static_cast<int>(std::lround(80 + x * kPixelsPerUnitAt10)); }
  static int PixelY(double y) { return static_cast<int>(std::lround(60 - y * kPixelsPerUnitAt10)); }

  ObjectManager* objects = nullptr;
};

}  // namespace CorvaneTest
