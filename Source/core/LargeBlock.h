// LargeBlock: zero-filled memory for big arrays (the corners of a mesh, the OBJ reader's lists,
// the bucket arrays of large hash maps). Blocks of a few megabytes and more are mapped on their
// own, aligned to 2 MiB and offered to the kernel for transparent huge pages: filling 100 MB of
// fresh 4 KiB pages costs several times as much as the parsing that fills them, and a random
// lookup in a big table would otherwise miss the TLB as well. Smaller blocks come from the heap.
//
// Threads: any thread (the kept block is guarded by a mutex).
#pragma once

#include <cstddef>

namespace CorvaneEngine {

class LargeBlock {
 public:
  // `bytes` of zeroed memory, or null. Free it with the same `bytes`.
  static void* Allocate(size_t bytes);
  // Like Allocate, but the memory may still hold what a block freed earlier held: for callers
  // that write every byte they later read. Freed with Free like any other block.
  static void* AllocateUncleared(size_t bytes);
  // The last large block freed is kept (up to kKeptBytes) for the next AllocateUncleared: a mesh
  // built into vertex buffers frees its corners at once, and the next mesh read needs about as
  // much memory again.
  static void Free(void* block, size_t bytes);
  static constexpr size_t kKeptBytes = size_t{128} << 20;
  // A block of `newBytes` holding the first `usedBytes` of `block` (of `oldBytes`), which is
  // freed; null (and `block` untouched) when the memory cannot be had.
  static void* Grow(void* block, size_t oldBytes, size_t usedBytes, size_t newBytes);
};

}  // namespace CorvaneEngine
