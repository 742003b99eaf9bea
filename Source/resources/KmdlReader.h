// KmdlReader: reads the engine's binary vertex dump (".kmdl"): a little-endian 32-bit vertex
// count N followed by N 32-byte MeshVertex records, every three of them one triangle.
//
// The count is not trusted: a file a little short of 4 + 32 * N bytes (at most one triangle's
// worth missing) is read with the missing tail left at zero; a count the file cannot nearly hold
// is refused with a log line, so a corrupt header cannot ask for gigabytes.
//
// Threads: any thread; only local data and the heap.
#pragma once

#include <cstdint>

#include "resources/MeshData.h"

namespace CorvaneEngine {

class KmdlReader {
 public:
  // The most bytes a file may lack and still be read, zero-filled: one triangle.
  static constexpr uint64_t kShortFileTolerance = 3 * sizeof(MeshVertex);

  // The corners of the file at `path`; null (and a log line) when it cannot be opened or is no
  // regular file, is shorter than its count or names more vertices than it nearly holds.
  static MeshData* Read(const char* path);
};

}  // namespace CorvaneEngine
