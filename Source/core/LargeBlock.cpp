#include "core/LargeBlock.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace CorvaneEngine {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kMappedFrom = size_t{4} << 20;

size_t MappedSize(size_t bytes) {
  return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

// An address range of `size` bytes (a multiple of kHugePage) that starts on a huge-page boundary.
void* MapAligned(size_t size) {
  // Map one huge page more than needed and cut the ends off.
  void* mapped =
      ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  if (aligned > start) ::munmap(mapped, aligned - start);
  const uintptr_t end = start + size + kHugePage;
  if (end > aligned + size) ::munmap(reinterpret_cast<void*>(aligned + size), end - aligned - size);
  // Only a hint: where huge pages are not offered the block works the same.
  ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(aligned);
}

// A fresh range of `size` bytes (a multiple of kHugePage): on huge pages when they are wanted.
void* Map(size_t size) {
  if (LargeBlock::hugePages.load(std::memory_order_relaxed)) return MapAligned(size);
  void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return mapped == MAP_FAILED ? nullptr : mapped;
}

}  // namespace

std::atomic<bool> LargeBlock::hugePages{true};

void* LargeBlock::Allocate(size_t bytes) {
  if (bytes < kMappedFrom) return std::calloc(bytes > 0 ? bytes : 1, 1);
  return Map(MappedSize(bytes));
}

void LargeBlock::Free(void* block, size_t bytes) {
  if (block == nullptr) return;
  if (bytes < kMappedFrom) {
    std::free(block);
    return;
  }
  ::munmap(block, MappedSize(bytes));
}

void* LargeBlock::Grow(void* block, size_t oldBytes, size_t usedBytes, size_t newBytes) {
  if (block != nullptr && oldBytes >= kMappedFrom) {
    // Move the pages to a larger aligned range instead of copying them: the kernel carries
    // whole huge pages over, and only the new part is fresh.
    const size_t newSize = MappedSize(newBytes);
    void* target = Map(newSize);
    if (target != nullptr) {
      void* moved =
          ::mremap(block, MappedSize(oldBytes), newSize, MREMAP_MAYMOVE | MREMAP_FIXED, target);
      if (moved != MAP_FAILED) return moved;
      ::munmap(target, newSize);
    }
  }
  void* grown = Allocate(newBytes);
  if (grown == nullptr) return nullptr;
  if (usedBytes > 0) std::memcpy(grown, block, usedBytes);
  Free(block, oldBytes);
  return grown;
}

}  // namespace CorvaneEngine
