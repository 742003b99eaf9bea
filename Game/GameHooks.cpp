// The demo game's start-up and shut-down hooks, called by the program entry: start-up once the
// engine, its Systems, loaders and component types are in place; shut-down after the engine is
// gone.
//
// Threads: main thread only.
#include "core/GameHooks.h"

#include "Behavior.h"
#include "DefaultState.h"
#include "PageURL.h"
#include "core/ConfigData.h"
#include "core/GameStateManager.h"
#include "objects/ObjectFactory.h"
#include "overlay/Browser.h"
#include "resources/NameHash.h"
#include "resources/ResourceManager.h"

using namespace CorvaneEngine;

namespace {

// The type ids the program entry registered the makers under.
constexpr NameHash kMeshType("Mesh");
constexpr NameHash kTextureType("Texture");
constexpr NameHash kSoundType("Sound");
static_assert(kMeshType.value == 0x07E055DCu && kTextureType.value == 0x994C5594u &&
                  kSoundType.value == 0xB3CA9A34u,
              "asset folders must be added under the type ids of their makers");

}  // namespace

void GameStartup(const std::vector<SharedString>& /*arguments*/) {
  GameStateManager::instance->AddState("MyState", new DefaultState());
  GameStateManager::instance->SetState("MyState");  // entered in the first frame
  // Every System has declared its settings by now: this writes a complete ./config.xml.
  ConfigData::instance->Save();
  ResourceManager::instance->AddDirectory("./art", kMeshType);
  ResourceManager::instance->AddDirectory("./textures", kTextureType);
  ResourceManager::instance->AddDirectory("./sound", kSoundType);
  // Before the object files: they name "Behavior".
  ObjectFactory::instance->RegisterComponentType("Behavior", new Behavior());
  ObjectFactory::instance->LoadObjectTypes("./GameObjects");
  if (Browser::instance != nullptr) Browser::instance->LoadURL(PageURL("/default.html").CStr());
}

void GameShutdown() {}
