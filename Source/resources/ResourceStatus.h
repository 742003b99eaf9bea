// ResourceStatus: what ResourceManager::GetStatus knows about a resource id.
#pragma once

#include <cstdint>

namespace CorvaneEngine {

enum class ResourceStatus : int32_t {
  Loaded = 0,               // in the loaded table
  Loading = 1,              // pending and taken: a thread is loading it now
  Queued = 2,               // pending; the resource thread will load it
  QueuedForMainThread = 3,  // pending; its maker needs the main thread, so only Get loads it
  Unknown = 4,              // neither pending nor loaded
};

}  // namespace CorvaneEngine
