#include "objects/ChainedHashMap.h"

#include "core/LargeBlock.h"

namespace CorvaneEngine {

void* AllocateHashBuckets(size_t bytes) {
  return LargeBlock::Allocate(bytes);
}

void FreeHashBuckets(void* block, size_t bytes) {
  LargeBlock::Free(block, bytes);
}

}  // namespace CorvaneEngine
