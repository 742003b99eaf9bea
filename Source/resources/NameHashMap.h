// NameHashMap: the resource manager's table keyed by a NameHash. Same design as StringHashMap
// (inline first entry per bucket, chains, doubling at a load of 0.7, first insert wins) plus
// Remove; the key is already a hash, so the bucket index is the key itself modulo the bucket
// count.
//
// Threads: no lock of its own; the ResourceManager guards its tables with its Mutex.
#pragma once

#include <cstdint>

#include "objects/ChainedHashMap.h"
#include "resources/NameHash.h"

namespace CorvaneEngine {

struct NameHashKeyTraits {
  static uint32_t Hash(const NameHash& key) { return key.value; }
  static bool Equal(const NameHash& a, const NameHash& b) { return a.value == b.value; }
};

template <typename Value>
using NameHashMap = ChainedHashMap<NameHash, Value, NameHashKeyTraits>;

}  // namespace CorvaneEngine
