// ResourceRequest: a file that is known but not loaded yet, held by value in the resource
// manager's pending table. The thread that sets `inProgress` (under the manager's lock) loads it.
//
// Threads: the stored request is touched only under the ResourceManager's lock; makers receive a
// copy taken under that lock.
#pragma once

#include "objects/SharedString.h"

namespace CorvaneEngine {

class ResourceMaker;

struct ResourceRequest {
  SharedString path;               // as the folder listing gave it, such as "./art/ship.obj"
  ResourceMaker* maker = nullptr;  // not owned
  bool inProgress = false;
};

}  // namespace CorvaneEngine
