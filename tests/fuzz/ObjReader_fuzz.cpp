// Fuzzes ObjReader with any bytes as an .obj file. Beyond the sanitizers' checks: a mesh is
// whole triangles, within the block it was given, and every corner can be read.
#include <cstdlib>

#include "FuzzInputFile.h"
#include "resources/ObjReader.h"

using CorvaneEngine::MeshData;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MeshData* mesh = CorvaneEngine::ObjReader::Read(FuzzInputFile(data, size, "mesh.obj"));
  if (mesh == nullptr) return 0;
  if (mesh->vertexCount % 3 != 0 ||
      mesh->vertexCount * sizeof(CorvaneEngine::MeshVertex) > mesh->blockBytes)
    std::abort();
  volatile float sum = 0.0f;
  for (uint32_t i = 0; i < mesh->vertexCount; ++i) {
    const CorvaneEngine::MeshVertex& v = mesh->vertices[i];
    sum = sum + v.position[0] + v.position[2] + v.normal[0] + v.normal[2] + v.texCoord[1];
  }
  MeshData::Free(mesh);
  return 0;
}
