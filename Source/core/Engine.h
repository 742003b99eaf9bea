// Engine: owns the configuration and the resource manager, keeps the ordered list of Systems
// (not owned: the program entry deletes them) and runs the main loop. One per process, reached
// through Engine::instance.
//
// Threads: main thread only; `running` is read between frames only.
#pragma once

#include <cstdint>
#include <vector>

#include "core/System.h"

namespace CorvaneEngine {

class Engine {
public:
  using Clock = uint32_t (*)();

  Engine();
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Initializes the System, then appends it to the update order.
  void AddSystem(System* system);
  // Start and PostStart on every System, then frames until a System clears `running`.
  void Run();
  const std::vector<System*>& Systems() const { return systems; }

  // The millisecond clock of the time step; tests replace it to simulate time and wrap-around.
  void SetClock(Clock clock) { this->clock = clock; }

  bool running = false;
  // Non-zero when a System found that the game cannot run (for instance without a window); the
  // program entry then skips the game, tears down in order and returns this code.
  int exitCode = 0;
  static Engine* instance;

private:
  std::vector<System*> systems;
  Clock clock;
};

}  // namespace CorvaneEngine
