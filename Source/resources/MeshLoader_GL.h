// MeshLoader_GL: the maker of Mesh_GL resources from ".obj" (ObjReader) and ".kmdl" (KmdlReader)
// files. Registered with and owned by the resource manager under the "Mesh" type id.
//
// Threads: mainThreadOnly equals hasVertexBufferObjects. With buffers every Load and Reload makes
// GL buffers and runs on the main thread; without, Load only reads the file and may run on the
// resource thread.
#pragma once

#include "resources/ResourceMaker.h"

namespace CorvaneEngine {

class MeshLoader_GL : public ResourceMaker {
 public:
  explicit MeshLoader_GL(bool mainThreadOnly);

  // A new Mesh_GL from the file at request.path; null when the reader gives no data (it logs
  // why).
  Resource* Load(const ResourceRequest& request) override;
  // Reads the file of a Mesh_GL again and builds it anew; a file that no longer reads leaves the
  // mesh empty (nothing drawn).
  void Reload(Resource* resource) override;
  bool SupportsExtension(const SharedString& extension) const override;
};

}  // namespace CorvaneEngine
