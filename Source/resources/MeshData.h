// MeshData: the corners a mesh file reader produces (ObjReader, KmdlReader) and Mesh_GL takes
// over, as one block of 32-byte records. It knows nothing of GL, so the readers and their tests
// and fuzz targets stay free of it.
//
// Threads: any thread; a MeshData belongs to whoever holds the pointer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace CorvaneEngine {

// One triangle corner as the files and the vertex buffers hold it: 32 bytes.
struct MeshVertex {
  float position[3];
  float normal[3];
  float texCoord[2];
};
static_assert(sizeof(MeshVertex) == 32, "MeshVertex is the 32-byte record of the files");

// What the readers produce: every three consecutive vertices form one triangle.
struct MeshData {
  uint32_t vertexCount = 0;
  MeshVertex* vertices = nullptr;  // one block; the first vertexCount records are the mesh
  size_t blockBytes = 0;           // the size `vertices` was made with (a reader may use less)

  // A zero-filled block of `count` vertices; null when the memory cannot be had.
  static MeshData* Allocate(uint32_t count);
  static void Free(MeshData* data);
};

}  // namespace CorvaneEngine
