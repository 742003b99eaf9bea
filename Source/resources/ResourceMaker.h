// ResourceMaker: base of the loaders. The ResourceManager owns every registered maker and picks
// one per folder by type id; a maker decides by extension which files are its own and turns a
// file into a Resource.
//
// Threads: makers hold no state besides `mainThreadOnly`. Load of a maker whose mainThreadOnly is
// false may run on the resource thread; the others run only on the main thread, where the OpenGL
// context is current.
#pragma once

#include "objects/SharedString.h"

namespace CorvaneEngine {

class Resource;
struct ResourceRequest;

class ResourceMaker {
 public:
  explicit ResourceMaker(bool mainThreadOnly);
  virtual ~ResourceMaker();
  ResourceMaker(const ResourceMaker&) = delete;
  ResourceMaker& operator=(const ResourceMaker&) = delete;

  // Reads the file at request.path into a new resource (with an empty path and a null maker: the
  // manager sets both). Null when the file cannot be used; the maker logs why.
  virtual Resource* Load(const ResourceRequest& request) = 0;
  // Rebuilds the GPU objects of a resource this maker made. The base does nothing.
  virtual void Reload(Resource* resource);
  // Whether files with this extension (with its dot, as ".png"; exact case) are this maker's.
  virtual bool SupportsExtension(const SharedString& extension) const = 0;

  // True when the maker's loads need the OpenGL context, so only the main thread may run them.
  const bool mainThreadOnly;
};

}  // namespace CorvaneEngine
