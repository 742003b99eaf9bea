#include "core/Engine.h"

#include <cstddef>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "core/Clock.h"
#include "core/ConfigData.h"
#include "core/GameIdentity.h"
#include "core/QuitSignal.h"
#include "core/RepeatedReports.h"
#include "resources/ResourceManager.h"

namespace CorvaneEngine {

Engine* Engine::instance = nullptr;

namespace {

// A game that keeps its settings outside the working directory may be on its first run: the
// folder is made now, so that the first Save can write there.
void MakeConfigFolder(const std::string& folder) {
  if (folder == ".") return;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::cerr << "the settings folder " << folder << " could not be made (" << error.message()
              << "); config.xml will not be saved" << std::endl;
  }
}

}  // namespace

Engine::Engine() : clock(&TimeGetTime) {
  instance = this;
  const GameIdentity& identity = CurrentGameIdentity();
  MakeConfigFolder(identity.configFolder);
  ConfigData::instance = new ConfigData(identity.ConfigPath().c_str());
  ResourceManager::instance = new ResourceManager();
}

Engine::~Engine() {
  instance = nullptr;
  delete ConfigData::instance;
  ConfigData::instance = nullptr;
  // Stops and joins the resource thread and frees every loader and resource.
  delete ResourceManager::instance;
  ResourceManager::instance = nullptr;
}

void Engine::AddSystem(System* system) {
  system->Initialize();
  systems.push_back(system);
}

void Engine::Run() {
  for (System* system : systems) system->Start();
  for (System* system : systems) system->PostStart();

  running = true;
  RepeatedReports::BeginLoop();
  uint32_t frameBegin = 0, frameEnd = 0;
  do {
    // Unsigned difference: a clock that wraps between the stamps still gives the small step.
    double seconds = static_cast<double>(static_cast<uint32_t>(frameEnd - frameBegin)) * 0.001;
    frameBegin = clock();
    const size_t count = systems.size();
    for (size_t i = 0; i < count; ++i) systems[i]->Update(seconds);
    frameEnd = clock();
    RepeatedReports::EndFrame();
    // SIGTERM or SIGINT ends the game after this frame, as a quit request from the window does.
    if (QuitSignal::Requested()) running = false;
  } while (running);
  RepeatedReports::EndLoop();
}

}  // namespace CorvaneEngine
