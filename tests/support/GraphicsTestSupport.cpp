#include "GraphicsTestSupport.h"

#include <SDL.h>
#include <SDL_syswm.h>

namespace CorvaneTest {

void EngineRig::Xdo(const std::string& arguments) {
  ASSERT_EQ(0, RunCommand("xdotool " + arguments + " 2>/dev/null")) << arguments;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  SDL_GetWMInfo(&info);
  XSync(info.info.x11.display, False);
}

void SceneTest::SetUp() {
  GraphicsTest::SetUp();
  if (HasFatalFailure()) return;
  engine->AddSystem(objects = new ObjectManager());
  ResourceManager* resources = ResourceManager::instance;
  resources->RegisterMaker(new TextureLoader_GL(), NameHash("Texture"));
  resources->RegisterMaker(new MeshLoader_GL(hasVertexBufferObjects), NameHash("Mesh"));
  ObjectFactory::instance->RegisterComponentType(SharedString("Renderable"), new Renderable_GL());
  ObjectFactory::instance->RegisterComponentType(SharedString("Camera"), new Camera());
  scratch.Write("art/quad.obj",
                "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                "vn 0 0 1\nf 1/1/1 2/2/1 3/3/1 4/4/1\n");
  ASSERT_EQ(0,
            RunCommand("mkdir textures && cd textures && convert -size 8x8 xc:red -fill lime -draw "
                       "'rectangle 4,0 7,7' PNG32:halves.png && convert -size 8x8 xc:red "
                       "PNG32:red.png && convert -size 8x8 xc:lime PNG32:green.png && convert "
                       "-size 8x8 'xc:rgba(0,255,0,0.5)' PNG32:glass.png"));
  ASSERT_EQ(0, resources->AddDirectory(SharedString("./art"), NameHash("Mesh")));
  ASSERT_EQ(0, resources->AddDirectory(SharedString("./textures"), NameHash("Texture")));
}

}  // namespace CorvaneTest
