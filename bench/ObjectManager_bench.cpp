// ObjectManager::Update over 100,000 objects with three components each, against a plain loop
// over a std::vector of the very same components. Both report nanoseconds per component call;
// the goal is the manager within 1.5x of the plain loop.
#include <benchmark/benchmark.h>

#include <vector>

#include "objects/GOComponent.h"
#include "objects/GameObject.h"
#include "objects/ObjectManager.h"

using namespace CorvaneEngine;

namespace {

constexpr int kObjects = 100000;
constexpr int kComponentsPerObject = 3;

// A little real work per call, so the call is not the only thing measured.
class Mover : public GOComponent {
 public:
  void Update(double seconds) override { owner->position[0] += static_cast<float>(seconds); }
};

// Built once: the same components are walked by both benchmarks.
struct World {
  World() {
    for (int i = 0; i < kObjects; ++i) {
      GameObject* object = new GameObject();
      for (int c = 0; c < kComponentsPerObject; ++c) {
        GOComponent* component = new Mover();
        component->owner = object;
        object->components.push_back(component);
        flat.push_back(component);
      }
      ObjectManager::AddObject(object);
    }
  }
  ~World() { manager.Shutdown(); }
  ObjectManager manager;
  std::vector<GOComponent*> flat;
};

World& TheWorld() {
  static World world;
  return world;
}

// Seconds of CPU time per component call, shown with an SI prefix (n = nanoseconds).
void PerCall(benchmark::State& state) {
  state.counters["time_per_component_call"] = benchmark::Counter(
      static_cast<double>(kObjects) * kComponentsPerObject,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ObjectManagerUpdate(benchmark::State& state) {
  World& world = TheWorld();
  for (auto _ : state) world.manager.Update(0.001);
  PerCall(state);
}

void BM_PlainVectorOfComponents(benchmark::State& state) {
  World& world = TheWorld();
  for (auto _ : state) {
    for (GOComponent* component : world.flat) component->Update(0.001);
    benchmark::ClobberMemory();
  }
  PerCall(state);
}

}  // namespace

BENCHMARK(BM_PlainVectorOfComponents)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ObjectManagerUpdate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainVectorOfComponents)->Unit(benchmark::kMillisecond);
