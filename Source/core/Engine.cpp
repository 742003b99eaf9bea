#include "core/Engine.h"

#include <cstddef>

#include "core/Clock.h"
#include "core/ConfigData.h"
#include "core/QuitSignal.h"
#include "resources/ResourceManager.h"

namespace CorvaneEngine {

Engine* Engine::instance = nullptr;

Engine::Engine() : clock(&TimeGetTime) {
  instance = this;
  ConfigData::instance = new ConfigData();
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
  uint32_t frameBegin = 0, frameEnd = 0;
  do {
    // Unsigned difference: a clock that wraps between the stamps still gives the small step.
    double seconds = static_cast<double>(static_cast<uint32_t>(frameEnd - frameBegin)) * 0.001;
    frameBegin = clock();
    const size_t count = systems.size();
    for (size_t i = 0; i < count; ++i) systems[i]->Update(seconds);
    frameEnd = clock();
    // SIGTERM or SIGINT ends the game after this frame, as a quit request from the window does.
    if (QuitSignal::Requested()) running = false;
  } while (running);
}

}  // namespace CorvaneEngine
