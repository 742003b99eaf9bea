#include "resources/Mesh_GL.h"

#include <GL/glew.h>
#include <GL/glx.h>

#include "presentation/GraphicsGlobals.h"
#include "resources/ResourceMaker.h"

namespace CorvaneEngine {

std::vector<uint32_t>* sharedIndices = nullptr;
uint32_t boundVertexBuffer = Mesh_GL::kNoBuffer;

// sharedIndices is made by the first Build with buffers rather than by the first constructor:
// without buffers meshes are constructed on the resource thread, which must not touch it.
Mesh_GL::Mesh_GL() = default;

Mesh_GL::~Mesh_GL() {
  DeleteBuffers();
  MeshData::Free(meshData);
  meshData = nullptr;
}

void Mesh_GL::ReleaseGpuObjects() {
  DeleteBuffers();
}

void Mesh_GL::RestoreGpuObjects() {
  // A client-memory mesh has nothing in the context to rebuild.
  if (meshData == nullptr && maker != nullptr) maker->Reload(this);
}

void Mesh_GL::DeleteBuffers() {
  if (vertexBuffer == kNoBuffer && indexBuffer == kNoBuffer) return;
  // The resource manager outlives the window; once the context is gone the buffers went with it.
  if (glXGetCurrentContext() != nullptr) {
    if (vertexBuffer != kNoBuffer) glDeleteBuffersARB(1, &vertexBuffer);
    if (indexBuffer != kNoBuffer) glDeleteBuffersARB(1, &indexBuffer);
  }
  // GL hands the freed name out again; a new mesh with it must not be taken for this one.
  if (boundVertexBuffer == vertexBuffer) boundVertexBuffer = kNoBuffer;
  vertexBuffer = kNoBuffer;
  indexBuffer = kNoBuffer;
}

void Mesh_GL::FreeSharedIndices() {
  delete sharedIndices;
  sharedIndices = nullptr;
}

void Mesh_GL::Build(MeshData* data) {
  // A rebuild replaces whatever the mesh held before.
  DeleteBuffers();
  MeshData::Free(meshData);
  meshData = nullptr;
  vertexCount = data != nullptr ? data->vertexCount : 0;
  if (!hasVertexBufferObjects) {
    meshData = data;
    return;
  }
  if (vertexCount > 0) {
    if (sharedIndices == nullptr) sharedIndices = new std::vector<uint32_t>();
    for (uint32_t i = static_cast<uint32_t>(sharedIndices->size()); i < vertexCount; ++i) {
      sharedIndices->push_back(i);
    }
    glGenBuffersARB(1, &vertexBuffer);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, vertexBuffer);
    glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(vertexCount) * 32,
                    data->vertices, GL_STATIC_DRAW_ARB);
    glGenBuffersARB(1, &indexBuffer);
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, indexBuffer);
    glBufferDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(vertexCount) * 4,
                    sharedIndices->data(), GL_STATIC_DRAW_ARB);
    // The pointers Draw set up last belong to some other buffer now.
    boundVertexBuffer = kNoBuffer;
  }
  MeshData::Free(data);
}

void Mesh_GL::Draw() const {
  if (vertexCount == 0) return;
  if (vertexBuffer != kNoBuffer) {
    if (boundVertexBuffer != vertexBuffer) {
      glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, indexBuffer);
      glBindBufferARB(GL_ARRAY_BUFFER_ARB, vertexBuffer);
      glVertexPointer(3, GL_FLOAT, 32, reinterpret_cast<const void*>(0));
      glNormalPointer(GL_FLOAT, 32, reinterpret_cast<const void*>(12));
      glTexCoordPointer(2, GL_FLOAT, 32, reinterpret_cast<const void*>(24));
      boundVertexBuffer = vertexBuffer;
    }
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(vertexCount), GL_UNSIGNED_INT, nullptr);
  } else if (meshData != nullptr) {
    glBegin(GL_TRIANGLES);
    for (uint32_t i = 0; i < vertexCount; ++i) {
      const MeshVertex& v = meshData->vertices[i];
      glTexCoord2f(v.texCoord[0], v.texCoord[1]);
      glNormal3f(v.normal[0], v.normal[1], v.normal[2]);
      glVertex3f(v.position[0], v.position[1], v.position[2]);
    }
    glEnd();
  }
}

}  // namespace CorvaneEngine
