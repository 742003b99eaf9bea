// LargeBlock: zero-filled memory for big arrays (the corners of a mesh, the OBJ reader's lists,
// the bucket arrays of large hash maps). Blocks of a few megabytes and more are mapped on their
// own, aligned to 2 MiB and offered to the kernel for transparent huge pages: filling 100 MB of
// fresh 4 KiB pages costs several times as much as the parsing that fills them, and a random
// lookup in a big table would otherwise miss the TLB as well. Smaller blocks come from the heap.
//
// Threads: any thread; nothing is shared but the hugePages switch.
#pragma once

#include <atomic>
#include <cstddef>

namespace CorvaneEngine {

class LargeBlock {
 public:
  // `bytes` of zeroed memory, or null. Free it with the same `bytes`.
  static void* Allocate(size_t bytes);
  // Gives the block back to the system at once: a block kept for later reuse would stay resident
  // for the life of the process (a mesh's corners are freed as soon as they are in GL buffers).
  static void Free(void* block, size_t bytes);
  // A block of `newBytes` holding the first `usedBytes` of `block` (of `oldBytes`), which is
  // freed; null (and `block` untouched) when the memory cannot be had.
  static void* Grow(void* block, size_t oldBytes, size_t usedBytes, size_t newBytes);

  // True in the engine. Off, large blocks are mapped as the C library's calloc maps them (4 KiB
  // pages, no alignment), which the OBJ read's benchmark uses to show what huge pages gain.
  // Blocks of either kind may be freed or grown after a change.
  static std::atomic<bool> hugePages;
};

}  // namespace CorvaneEngine
