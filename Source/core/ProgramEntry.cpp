#include "core/ProgramEntry.h"

#include <cstdio>
#include <cstring>

#include "core/Engine.h"
#include "core/GameHooks.h"
#include "core/GameStateManager.h"
#include "core/QuitSignal.h"
#include "core/System.h"
#include "objects/ObjectFactory.h"
#include "objects/ObjectManager.h"
#include "overlay/Browser.h"
#include "presentation/Camera.h"
#include "presentation/GraphicsGlobals.h"
#include "presentation/GraphicsSystem_GL.h"
#include "presentation/InputSystem_SDL.h"
#include "presentation/Renderable_GL.h"
#include "presentation/WindowSystem_SDL.h"
#include "resources/MeshLoader_GL.h"
#include "resources/ResourceManager.h"
#include "resources/TextureLoader_GL.h"
#include "resources/TextureLoader_MipMap_GL.h"
#include "resources/TextureLoader_NoMipMap_GL.h"
#include "sound/SoundLoader_AL.h"
#include "sound/SoundSystem_AL.h"

namespace CorvaneEngine {

SharedString JoinArguments(int argc, const char* const* argv) {
  SharedString line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line.Append(" ", 1);
    line.Append(argv[i]);
  }
  return line;
}

std::vector<SharedString> SplitCommandLine(const char* commandLine) {
  std::vector<SharedString> arguments;
  if (commandLine == nullptr) return arguments;
  const char* cursor = commandLine;
  while (*cursor != '\0') {
    while (*cursor == ' ') ++cursor;
    const char* start = cursor;
    while (*cursor != '\0' && *cursor != ' ') ++cursor;
    if (cursor > start) arguments.emplace_back(start, static_cast<uint32_t>(cursor - start));
  }
  return arguments;
}

namespace {

const char kMissingStartupHook[] =
    "The game has no start-up hook. Define it, outside any namespace, exactly as\n"
    "  void GameStartup(const std::vector<CorvaneEngine::SharedString>& arguments)\n"
    "(declared in <corvane/core/GameHooks.h>); a function of another name or signature is not "
    "called.\n";

// ---- Start-up order: every System, loader and component type, in the order of the frame ----

void AddSystems(Engine& engine) {
  engine.AddSystem(new WindowSystem_SDL());  // opens the window and the GL context
  // Without a window nothing after it can work: the entry tears down and exits non-zero.
  if (engine.exitCode != 0) return;
  engine.AddSystem(new InputSystem_SDL());
  GameStateManager* states = new GameStateManager();
  GameStateManager::instance = states;
  engine.AddSystem(states);
  engine.AddSystem(new ObjectManager());   // creates the ObjectFactory as well
  engine.AddSystem(new SoundSystem_AL());  // starts ALUT in its constructor
  Browser* browser = new Browser();        // starts the headless browser; the page comes later
  Browser::instance = browser;
  engine.AddSystem(browser);
  engine.AddSystem(new GraphicsSystem_GL());  // probes GL before the loaders are registered
}

void RegisterResourceMakers() {
  ResourceManager::instance->RegisterMaker(new SoundLoader_AL(false), NameHash("Sound"));
  ResourceManager::instance->RegisterMaker(new TextureLoader_GL(), NameHash("Texture"));
  ResourceManager::instance->RegisterMaker(new TextureLoader_MipMap_GL(), NameHash("Texture_Mip"));
  ResourceManager::instance->RegisterMaker(new TextureLoader_NoMipMap_GL(),
                                           NameHash("Texture_NoMip"));
  // With vertex buffers a mesh load makes GL buffers, so only the main thread may run it.
  ResourceManager::instance->RegisterMaker(new MeshLoader_GL(hasVertexBufferObjects),
                                           NameHash("Mesh"));
}

void RegisterComponentTypes() {
  // Prototypes without owner: a renderable with no resources, a camera looking down -z.
  ObjectFactory::instance->RegisterComponentType("Renderable", new Renderable_GL());
  ObjectFactory::instance->RegisterComponentType("Camera", new Camera());
}

}  // namespace

void TearDownProgram(Engine* engine) {
  const std::vector<System*>& systems = engine->Systems();  // the engine outlives both loops
  for (auto it = systems.rbegin(); it != systems.rend(); ++it) {
    if (*it != nullptr) (*it)->Shutdown();
  }
  for (auto it = systems.rbegin(); it != systems.rend(); ++it) delete *it;
  delete engine;
  if (GameShutdown) GameShutdown();
}

int RunProgram(int argc, const char* const* argv) {
  // Without its start-up hook a game would run empty, with a state error every frame.
  if (!GameStartup) {
    std::fprintf(stderr, "%s", kMissingStartupHook);
    return 2;
  }
  if (GameIdentify) {
    GameIdentity identity = CurrentGameIdentity();
    GameIdentify(identity);
    SetGameIdentity(identity);
  }
  // Before SDL starts: it leaves signals alone that already have a handler.
  QuitSignal::Install();
  Engine* engine = new Engine();
  AddSystems(*engine);
  // A System that cannot work (no window, for instance) says why and asks for a clean exit.
  int exitCode = engine->exitCode;
  if (exitCode == 0) {
    RegisterResourceMakers();
    RegisterComponentTypes();
    SharedString commandLine = JoinArguments(argc, argv);
    std::vector<SharedString> arguments = SplitCommandLine(commandLine.CStr());
    GameStartup(arguments);
    engine->Run();
    exitCode = engine->exitCode;
  }
  TearDownProgram(engine);
  return exitCode;
}

}  // namespace CorvaneEngine
