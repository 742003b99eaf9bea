// Window system on the shared display: the whole program without a usable window, and a first run
// on the whole screen that Alt+F4 ends, with the start-up wiring the program entry did.
#include <cxxabi.h>

#include "GraphicsTestSupport.h"
#include "core/ConfigData.h"
#include "core/ProgramEntry.h"
#include "resources/ResourceMaker.h"

using namespace CorvaneTest;

template <typename T>
std::string TypeName(const T* object) {
  if (object == nullptr) return "none";
  char* name = abi::__cxa_demangle(typeid(*object).name(), nullptr, nullptr, nullptr);
  const std::string text = name ? name : typeid(*object).name();
  std::free(name);
  return text.substr(text.rfind(':') + 1);
}

// The program entry refuses to run a game without its start-up hook. This one reports what the
// entry wired up before it: the Systems in frame order, each loader with its main-thread flag, the
// component prototypes, and the window ("!" when fullscreen) with its settings.
void GameStartup(const std::vector<SharedString>&) {
  std::string wiring = "Systems";
  for (System* system : Engine::instance->Systems()) wiring += " " + TypeName(system);
  wiring += "; loaders";
  for (const char* type : {"Sound", "Texture", "Texture_Mip", "Texture_NoMip", "Mesh"}) {
    const ResourceMaker* maker = ResourceManager::instance->FindMaker(NameHash(type));
    wiring += std::string(" ") + type + "=" + TypeName(maker);
    if (maker != nullptr) wiring += maker->mainThreadOnly ? "(main)" : "(any)";
  }
  wiring += "; components";
  for (const char* type : {"Renderable", "Camera"})
    wiring += std::string(" ") + type + "=" +
              TypeName(ObjectFactory::instance->FindComponentType(SharedString(type)));
  ConfigData* config = ConfigData::instance;
  const SDL_Surface* s = SDL_GetVideoSurface();
  std::cerr << wiring << "; window " << s->w << "x" << s->h
            << (s->flags & SDL_FULLSCREEN ? "! " : " ") << config->Get<int>("Window", "Width")
            << "x" << config->Get<int>("Window", "Height")
            << (config->Get<bool>("Window", "Fullscreen") ? "!" : "") << std::endl;
}

TEST(WindowSystem, WithoutAWindowTheProgramSaysWhyAndAFirstRunFillsTheScreenUntilAltF4) {
  ASSERT_TRUE(SharedDisplay().Ok());
  ScratchDir dir("program");
  const std::string refused = WindowConfig(4000, 3000, true);
  const struct {
    std::string config;
    bool display;
    int code;
    std::string says, saysToo;
  } runs[] = {
      {refused, true, 1, "Window Settings are not valid\n",
       "4000x3000 (fullscreen) is not available"},
      {refused, false, 1, "Window failed to initialize\n", "no display: set DISPLAY"},
      // llvmpipe has vertex buffers, so meshes load on the main thread.
      {"", true, 0,
       "Systems WindowSystem_SDL InputSystem_SDL GameStateManager ObjectManager SoundSystem_AL "
       "Browser GraphicsSystem_GL; loaders Sound=SoundLoader_AL(any) "
       "Texture=TextureLoader_GL(main) "
       "Texture_Mip=TextureLoader_MipMap_GL(main) Texture_NoMip=TextureLoader_NoMipMap_GL(main) "
       "Mesh=MeshLoader_GL(main); components Renderable=Renderable_GL Camera=Camera; "
       "window 1280x720! 1280x720!\n",
       ""}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.says);
    std::filesystem::remove(dir.Path() / "config.xml");
    if (!run.config.empty()) dir.Write("config.xml", run.config);
    const ChildOutcome outcome = RunInChild(
        [&] {
          if (!run.display) unsetenv("DISPLAY");
          std::filesystem::current_path(dir.Path());
          // The program's sound plays into nothing: no sound card or sound server is needed.
          setenv("ALSOFT_CONF", dir.Write("alsoft.conf", "[general]\ndrivers=null\n").c_str(), 1);
          Log.Redirect(&std::cerr, 0);
          const char* argv[] = {"AmberLanternGrove", nullptr};
          return RunProgram(1, argv);
        },
        std::chrono::seconds(60),
        [&] {
          if (run.code == 0)
            RunCommand(
                "timeout 50 xdotool search --sync --name '^Amber_Lantern_Grove$' "
                "mousemove --window %1 5 5 keydown alt+F4 2>/dev/null");
        });
    RunCommand("xdotool keyup alt F4 2>/dev/null");  // held until the program saw them
    EXPECT_TRUE(outcome.ended && outcome.code == run.code &&
                outcome.errors.find(run.says) != std::string::npos &&
                outcome.errors.find(run.saysToo) != std::string::npos)
        << outcome.code << ": " << outcome.errors;
    if (!run.config.empty()) {
      EXPECT_EQ(run.config, ReadFile(dir.Path() / "config.xml"));
    }
  }
}
