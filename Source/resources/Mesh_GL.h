// Mesh_GL: a non-indexed triangle list made from an .obj or .kmdl file by MeshLoader_GL and owned
// by the resource manager. With vertex buffer objects (hasVertexBufferObjects) its corners live in
// two GL buffers; without, in client memory (`meshData`) drawn in immediate mode.
//
// Threads: Build with buffers, Draw, sharedIndices and boundVertexBuffer belong to the main
// thread. Without buffers a mesh is read and built on the resource thread (Build then only keeps
// the data) and handed to the main thread through the resource manager's lock.
#pragma once

#include <cstdint>
#include <vector>

#include "resources/MeshData.h"
#include "resources/Resource.h"

namespace CorvaneEngine {

class Mesh_GL : public Resource {
 public:
  // Marks the absence of a GL buffer.
  static constexpr uint32_t kNoBuffer = 0xFFFFFFFFu;

  Mesh_GL();
  // Deletes the GL buffers or frees the client-memory data, whichever the mesh has.
  ~Mesh_GL() override;

  // With buffers: deletes both buffers (a video-mode change is coming). Without: nothing.
  void ReleaseGpuObjects() override;
  // With buffers: asks the maker to read the file again and rebuild. Without: nothing.
  void RestoreGpuObjects() override;

  // Takes ownership of `data` (may be null: an empty mesh). With buffers the corners go into GL
  // buffers and the data is freed; without, the mesh keeps the data. The choice follows
  // hasVertexBufferObjects at the time of the call.
  void Build(MeshData* data);

  // Draws the mesh as GL_TRIANGLES with the state the caller set up. With buffers the vertex,
  // normal and texture-coordinate pointers are set only when another buffer was bound last.
  void Draw() const;

  uint32_t vertexCount = 0;
  uint32_t vertexBuffer = kNoBuffer;  // with buffers: the corners
  uint32_t indexBuffer = kNoBuffer;   // with buffers: a copy of sharedIndices[0, vertexCount)
  MeshData* meshData = nullptr;       // without buffers: the corners, owned

  // Frees sharedIndices; the graphics system's destructor calls it, after which no mesh is built.
  static void FreeSharedIndices();

 private:
  void DeleteBuffers();
};

// The index list i -> i that every index buffer copies; grows to the largest vertex count built
// so far. Created by the first Mesh_GL, freed by Mesh_GL::FreeSharedIndices. Main thread only.
extern std::vector<uint32_t>* sharedIndices;

// The vertex buffer Draw bound last, or 0xFFFFFFFF when unknown. Whoever binds GL_ARRAY_BUFFER
// outside Draw sets it to 0xFFFFFFFF. Main thread only.
extern uint32_t boundVertexBuffer;

}  // namespace CorvaneEngine
