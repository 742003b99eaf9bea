// StringHashMap::Find against std::unordered_map<std::string, void*> with the same short keys,
// at 10, 1,000 and 100,000 entries, looked up in a shuffled order.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
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

double Median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// Both maps in one loop, in bursts of lookups that take turns going first. On a shared machine
// the neighbours' load swings single runs at 100,000 keys by 2x; bursts a few microseconds apart
// see the same load, so the median of their ratios is the fair comparison.
void FindSideBySide(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  constexpr int kBurst = 256;
  std::vector<std::string> texts = ShortKeys(static_cast<int>(state.range(0)));
  std::vector<SharedString> keys;
  for (const std::string& text : texts) keys.emplace_back(text.c_str());
  StringHashMap engineMap;
  std::unordered_map<std::string, void*> standardMap;
  for (size_t k = 0; k < keys.size(); ++k) {
    engineMap.Insert(keys[k], &keys[k]);
    standardMap.emplace(texts[k], &keys[k]);
  }
  std::vector<std::string> standardProbes = ProbeOrder(texts);
  std::vector<SharedString> engineProbes;
  for (const std::string& text : standardProbes) engineProbes.emplace_back(text.c_str());

  size_t next = 0;
  auto engineBurst = [&](size_t from) {
    for (int k = 0; k < kBurst; ++k) {
      benchmark::DoNotOptimize(engineMap.Find(engineProbes[(from + k) % engineProbes.size()]));
    }
  };
  auto standardBurst = [&](size_t from) {
    for (int k = 0; k < kBurst; ++k) {
      benchmark::DoNotOptimize(standardMap.find(standardProbes[(from + k) % keys.size()]));
    }
  };
  std::vector<double> engineTimes, standardTimes, ratios;
  bool engineFirst = true;
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    engineFirst ? engineBurst(next) : standardBurst(next);
    Clock::time_point middle = Clock::now();
    engineFirst ? standardBurst(next) : engineBurst(next);
    Clock::time_point end = Clock::now();
    double first = std::chrono::duration<double, std::nano>(middle - start).count() / kBurst;
    double second = std::chrono::duration<double, std::nano>(end - middle).count() / kBurst;
    engineTimes.push_back(engineFirst ? first : second);
    standardTimes.push_back(engineFirst ? second : first);
    ratios.push_back(engineTimes.back() / standardTimes.back());
    engineFirst = !engineFirst;
    next = (next + kBurst) % keys.size();
  }
  state.counters["engine_ns"] = Median(engineTimes);
  state.counters["std_ns"] = Median(standardTimes);
  state.counters["engine_per_std"] = Median(ratios);
}

}  // namespace

BENCHMARK(StringHashMapFind)->Arg(10)->Arg(1000)->Arg(100000);
BENCHMARK(UnorderedMapFind)->Arg(10)->Arg(1000)->Arg(100000);
BENCHMARK(FindSideBySide)->Arg(10)->Arg(1000)->Arg(100000);
