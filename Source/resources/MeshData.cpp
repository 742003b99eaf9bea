#include "resources/MeshData.h"

#include "core/LargeBlock.h"

namespace CorvaneEngine {

MeshData* MeshData::Allocate(uint32_t count) {
  MeshData* data = new MeshData();
  if (count > 0) {
    data->blockBytes = static_cast<size_t>(count) * sizeof(MeshVertex);
    data->vertices = static_cast<MeshVertex*>(LargeBlock::Allocate(data->blockBytes));
    if (data->vertices == nullptr) {
      delete data;
      return nullptr;
    }
  }
  data->vertexCount = count;
  return data;
}

void MeshData::Free(MeshData* data) {
  if (data == nullptr) return;
  LargeBlock::Free(data->vertices, data->blockBytes);
  delete data;
}

}  // namespace CorvaneEngine
