// StringHashMap: the engine's registry by name, from SharedString to a pointer-sized value,
// hashed with SuperFastHash. Configuration sections, game states and the object factory's
// tables are such maps; their owners own the values.
#pragma once

#include "objects/ChainedHashMap.h"
#include "objects/SharedString.h"

namespace CorvaneEngine {

struct SharedStringKeyTraits {
  static uint32_t Hash(const SharedString& key) { return SuperFastHash(key); }
  static bool Equal(const SharedString& a, const SharedString& b) { return a == b; }
};

using StringHashMap = ChainedHashMap<SharedString, void*, SharedStringKeyTraits>;

}  // namespace CorvaneEngine
