// Resource: base of every loaded object (textures, meshes, sounds). The ResourceManager owns each
// one from its load until the program ends; it sets `maker` and `path` after the maker's Load
// returns.
//
// Threads: built on the thread that loads it (the resource thread for makers that need no GPU);
// the GPU slots run on the main thread only.
#pragma once

#include "objects/SharedString.h"

namespace CorvaneEngine {

class ResourceMaker;

class Resource {
 public:
  Resource();
  virtual ~Resource();
  Resource(const Resource&) = delete;
  Resource& operator=(const Resource&) = delete;

  // Frees the GPU objects before the OpenGL context goes away. The base has none.
  virtual void ReleaseGpuObjects();
  // Rebuilds them in the new context (GPU resources call maker->Reload(this)). The base has none.
  virtual void RestoreGpuObjects();

  ResourceMaker* maker = nullptr;  // the maker that loaded it; not owned
  SharedString path;               // the path it was loaded from
};

}  // namespace CorvaneEngine
