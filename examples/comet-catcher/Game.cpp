// Comet Catcher's hooks: its name (window caption, config.xml root, browser profile prefix), and
// its start-up: the one state, the settings, the object types and the HUD page.
#include <corvane/core/ConfigData.h>
#include <corvane/core/GameHooks.h>
#include <corvane/core/GameStateManager.h>
#include <corvane/objects/ObjectFactory.h>
#include <corvane/overlay/Browser.h>
#include <corvane/overlay/FileURL.h>
#include <corvane/resources/NameHash.h>
#include <corvane/resources/ResourceManager.h>

#include <filesystem>
#include <system_error>

#include "CatchState.h"

using namespace CorvaneEngine;

void GameIdentify(GameIdentity& identity) {
  identity = GameIdentity::Named("Comet Catcher");
}

void GameStartup(const std::vector<SharedString>& /*arguments*/) {
  GameStateManager::instance->AddState("Catch", new CatchState());
  GameStateManager::instance->SetState("Catch");
  ConfigData::instance->Save();
  ResourceManager::instance->AddDirectory("./art", NameHash("Mesh"));
  ResourceManager::instance->AddDirectory("./textures", NameHash("Texture"));
  ObjectFactory::instance->LoadObjectTypes("./GameObjects");
  std::error_code error;
  std::string folder = std::filesystem::current_path(error).string();
  if (Browser::instance != nullptr && !error) {
    Browser::instance->LoadURL(FileURL(folder.c_str(), "/hud.html").CStr());
  }
}
