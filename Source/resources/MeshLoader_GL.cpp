#include "resources/MeshLoader_GL.h"

#include "resources/KmdlReader.h"
#include "resources/Mesh_GL.h"
#include "resources/ObjReader.h"
#include "resources/ResourceRequest.h"

namespace CorvaneEngine {

namespace {

// The corners of the file by its extension; null for a file the reader refuses.
MeshData* ReadMeshFile(const SharedString& path) {
  const SharedString extension = path.Tail(path.FindLast('.'));
  if (extension == ".obj") return ObjReader::Read(path.CStr());
  if (extension == ".kmdl") return KmdlReader::Read(path.CStr());
  return nullptr;  // SupportsExtension lets no other file through
}

}  // namespace

MeshLoader_GL::MeshLoader_GL(bool mainThreadOnly) : ResourceMaker(mainThreadOnly) {}

Resource* MeshLoader_GL::Load(const ResourceRequest& request) {
  MeshData* data = ReadMeshFile(request.path);
  if (data == nullptr) return nullptr;
  Mesh_GL* mesh = new Mesh_GL();
  mesh->Build(data);
  return mesh;
}

void MeshLoader_GL::Reload(Resource* resource) {
  Mesh_GL* mesh = dynamic_cast<Mesh_GL*>(resource);
  if (mesh == nullptr) return;
  mesh->Build(ReadMeshFile(mesh->path));
}

bool MeshLoader_GL::SupportsExtension(const SharedString& extension) const {
  return extension == ".obj" || extension == ".kmdl";
}

}  // namespace CorvaneEngine
