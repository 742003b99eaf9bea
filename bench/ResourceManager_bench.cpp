// ResourceManager::Get of a loaded resource among 10,000, against the obvious alternative: a
// std::unordered_map<uint32_t, Resource*> behind a std::mutex, probed with the same ids in the
// same order in the same run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "resources/ResourceManager.h"

using namespace CorvaneEngine;

namespace {

constexpr int kResources = 10000;

class BenchMaker : public ResourceMaker {
 public:
  BenchMaker() : ResourceMaker(true) {}  // main thread only: the resource thread stays idle
  Resource* Load(const ResourceRequest&) override { return new Resource(); }
  bool SupportsExtension(const SharedString& extension) const override {
    return extension == ".res";
  }
};

// 10,000 files in a scratch folder, all loaded through the manager.
struct Loaded {
  Loaded() {
    folder = std::filesystem::temp_directory_path() /
             ("corvane-resource-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    for (int i = 0; i < kResources; ++i) {
      std::string name = "file" + std::to_string(i) + ".res";
      std::ofstream(folder / name) << "x";
      ids.push_back(NameHash(name.c_str()));
    }
    manager = new ResourceManager();
    manager->RegisterMaker(new BenchMaker(), NameHash("Bench"));
    manager->AddDirectory(folder.c_str(), NameHash("Bench"));
    for (uint32_t id : ids) reference[id] = manager->Get(id);
    // Probe in a fixed pseudo-random order, the same for both tables.
    std::shuffle(ids.begin(), ids.end(), std::mt19937(12345));
  }
  ~Loaded() {
    delete manager;
    std::filesystem::remove_all(folder);
  }

  std::filesystem::path folder;
  std::vector<uint32_t> ids;
  ResourceManager* manager;
  std::unordered_map<uint32_t, Resource*> reference;
  std::mutex referenceLock;
};

Loaded& Tables() {
  static Loaded tables;
  return tables;
}

void BM_ResourceManagerGet(benchmark::State& state) {
  Loaded& tables = Tables();
  size_t i = 0;
  for (auto _ : state) {
    Resource* resource = tables.manager->Get(tables.ids[i]);
    benchmark::DoNotOptimize(resource);
    if (++i == tables.ids.size()) i = 0;
  }
}
BENCHMARK(BM_ResourceManagerGet);

void BM_UnorderedMapBehindMutex(benchmark::State& state) {
  Loaded& tables = Tables();
  size_t i = 0;
  for (auto _ : state) {
    Resource* resource;
    {
      std::lock_guard<std::mutex> hold(tables.referenceLock);
      auto found = tables.reference.find(tables.ids[i]);
      resource = found == tables.reference.end() ? nullptr : found->second;
    }
    benchmark::DoNotOptimize(resource);
    if (++i == tables.ids.size()) i = 0;
  }
}
BENCHMARK(BM_UnorderedMapBehindMutex);

}  // namespace
