// StringHashMap::Find against std::unordered_map<std::string, void*> with the same short keys,
// at 10, 1,000 and 100,000 entries, looked up in a shuffled order.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "objects/StringHashMap.h"

using CorvaneEngine::SharedString;
using CorvaneEngine::StringHashMap;

namespace {

std::vector<std::string> ShortKeys(int count) {
  std::vector<std::string> keys;
  for (int i = 0; i < count; ++i) keys.push_back("key_" + std::to_string(i * 7919));
  std::shuffle(keys.begin(), keys.end(), std::mt19937(42));
  return keys;
}

std::vector<std::string> ProbeOrder(std::vector<std::string> keys) {
  std::shuffle(keys.begin(), keys.end(), std::mt19937(7));
  return keys;
}

void StringHashMapFind(benchmark::State& state) {
  std::vector<std::string> texts = ShortKeys(static_cast<int>(state.range(0)));
  std::vector<SharedString> keys;
  for (const std::string& text : texts) keys.emplace_back(text.c_str());
  StringHashMap map;
  for (SharedString& key : keys) map.Insert(key, &key);
  // Look up with separate handles, as callers do, so that no lookup is a pointer comparison,
  // and in another order than the keys went in, so that neither map walks its memory in order.
  std::vector<SharedString> probes;
  for (const std::string& text : ProbeOrder(texts)) probes.emplace_back(text.c_str());
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(map.Find(probes[i]));
    if (++i == probes.size()) i = 0;
  }
}

void UnorderedMapFind(benchmark::State& state) {
  std::vector<std::string> keys = ShortKeys(static_cast<int>(state.range(0)));
  std::unordered_map<std::string, void*> map;
  for (std::string& key : keys) map.emplace(key, &key);
  std::vector<std::string> probes = ProbeOrder(keys);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(map.find(probes[i]));
    if (++i == probes.size()) i = 0;
  }
}

}  // namespace

BENCHMARK(StringHashMapFind)->Arg(10)->Arg(1000)->Arg(100000);
BENCHMARK(UnorderedMapFind)->Arg(10)->Arg(1000)->Arg(100000);
