// Fuzzes KmdlReader with any bytes as a .kmdl file, and holds it to its contract: a mesh exactly
// when the count is there and the file nearly holds it, with the file's records and zeros after
// them.
#include <cstdlib>
#include <cstring>

#include "FuzzInputFile.h"
#include "resources/KmdlReader.h"

using CorvaneEngine::KmdlReader;
using CorvaneEngine::MeshData;
using CorvaneEngine::MeshVertex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MeshData* mesh = KmdlReader::Read(FuzzInputFile(data, size, "mesh.kmdl"));
  const uint64_t count =
      size < 4 ? 0 : data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint64_t>(data[3]) << 24;
  const uint64_t held = size < 4 ? 0 : size - 4, wanted = count * sizeof(MeshVertex);
  const bool readable = size >= 4 && wanted <= held + KmdlReader::kShortFileTolerance;
  if ((mesh != nullptr) != readable) std::abort();
  if (mesh == nullptr) return 0;
  const uint64_t copied = wanted < held ? wanted : held;
  const auto* bytes = reinterpret_cast<const uint8_t*>(mesh->vertices);
  if (mesh->vertexCount != count || (copied > 0 && std::memcmp(bytes, data + 4, copied) != 0))
    std::abort();
  for (uint64_t i = copied; i < wanted; ++i)
    if (bytes[i] != 0) std::abort();
  MeshData::Free(mesh);
  return 0;
}
