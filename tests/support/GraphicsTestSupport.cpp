#include "GraphicsTestSupport.h"

#include <SDL.h>
#include <SDL_syswm.h>

namespace CorvaneTest {

void CapturingWindow::SwapBuffers() {
  last.width = GetWidth();
  last.height = GetHeight();
  last.rgba.assign(static_cast<size_t>(last.width) * last.height * 4, 0);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, last.width, last.height, GL_RGBA, GL_UNSIGNED_BYTE, last.rgba.data());
  ++frames;
  WindowSystem_SDL::SwapBuffers();
}

void EngineRig::OpenWindow(const std::string& config) {
  SharedDisplay();
  if (!config.empty()) scratch.Write("config.xml", config);
  engine = new Engine();
  engine->AddSystem(window = new CapturingWindow());
}

void EngineRig::TearDownEngine() {
  if (engine == nullptr) return;
  const std::vector<System*> systems(engine->Systems().rbegin(), engine->Systems().rend());
  for (System* system : systems) system->Shutdown();
  for (System* system : systems) delete system;
  delete engine;
  engine = nullptr;
}

void EngineRig::Xdo(const std::string& arguments) {
  ASSERT_EQ(0, RunCommand("xdotool " + arguments + " 2>/dev/null")) << arguments;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  SDL_GetWMInfo(&info);
  XSync(info.info.x11.display, False);
}

WindowHarness::WindowHarness(const std::string& config) {
  OpenWindow(config);
  engine->AddSystem(input = new InputSystem_SDL());
  engine->running = true;
  // On a bare X server the keyboard focus follows the pointer: keep it on the window.
  if (Opened()) Xdo("mousemove --window " + std::to_string(window->GetWindowHandle()) + " 5 5");
}

void GraphicsTest::SetUp() {
  ASSERT_TRUE(SharedDisplay().Ok());
  OpenWindow(WindowConfig(kWidth, kHeight, false));
  ASSERT_EQ(0, engine->exitCode) << "no GL window on the virtual display";
  engine->AddSystem(graphics = new GraphicsSystem_GL());
  glClearColor(0.0f, 0.0f, 1.0f, 1.0f);  // a blue background makes blending visible
}

void SceneTest::SetUp() {
  GraphicsTest::SetUp();
  if (HasFatalFailure()) return;
  engine->AddSystem(objects = new ObjectManager());
  ResourceManager::instance->RegisterMaker(new TextureLoader_GL(), NameHash("Texture"));
  ResourceManager::instance->RegisterMaker(new MeshLoader_GL(hasVertexBufferObjects),
                                           NameHash("Mesh"));
  ObjectFactory::instance->RegisterComponentType(SharedString("Renderable"), new Renderable_GL());
  ObjectFactory::instance->RegisterComponentType(SharedString("Camera"), new Camera());
  scratch.Write("art/quad.obj",
                "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                "vn 0 0 1\nf 1/1/1 2/2/1 3/3/1 4/4/1\n");
  std::filesystem::create_directories(scratch.Path() / "textures");
  ASSERT_EQ(0, RunCommand("cd textures && convert -size 8x8 xc:red -fill lime -draw "
                          "'rectangle 4,0 7,7' PNG32:halves.png && convert -size 8x8 xc:red "
                          "PNG32:red.png && convert -size 8x8 xc:lime PNG32:green.png && convert "
                          "-size 8x8 'xc:rgba(0,255,0,0.5)' PNG32:glass.png"));
  ASSERT_EQ(0, ResourceManager::instance->AddDirectory(SharedString("./art"), NameHash("Mesh")));
  ASSERT_EQ(
      0, ResourceManager::instance->AddDirectory(SharedString("./textures"), NameHash("Texture")));
}

void SceneTest::WriteType(const std::string& name, const std::string& diffuse,
                          const std::string& scale, const std::string& extra,
                          const std::string& mesh) {
  const std::string meshTag = mesh.empty() ? "" : "<Mesh>" + mesh + "</Mesh>";
  const std::string diffuseTag = diffuse.empty() ? "" : "<Diffuse>" + diffuse + "</Diffuse>";
  scratch.Write("GameObjects/" + name + ".xml", "<Object>" + scale + "<Name>" + name +
                                                    "</Name><Renderable>" + meshTag + diffuseTag +
                                                    "</Renderable>" + extra + "</Object>");
}

GameObject* SceneTest::Create(const char* type, float x, float y, float z) {
  GameObject* object = objects->GetObject(ObjectFactory::instance->CreateObject(type));
  if (object != nullptr) object->position[0] = x, object->position[1] = y, object->position[2] = z;
  return object;
}

}  // namespace CorvaneTest
