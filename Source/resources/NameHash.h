// NameHash: the 32-bit id of a name, used for resource ids (the hash of a bare file name such as
// "winsound.wav") and for loader type ids (the hash of "Sound", "Texture", "Mesh" ...).
//
// It is FNV-1a with one twist that the ids stored in data depend on: every byte is sign-extended
// before it is XORed in, so a byte of 0x80 or more is XORed as 0xFFFFFF80..0xFFFFFFFF. The hash
// covers the exact bytes: case and separators matter.
//
// Threads: a plain value; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace CorvaneEngine {

class SharedString;

class NameHash {
 public:
  static constexpr uint32_t kOffsetBasis = 0x811C9DC5u;
  static constexpr uint32_t kPrime = 0x01000193u;

  constexpr NameHash() : value(0) {}  // no name yet (the empty name hashes to kOffsetBasis)
  // An id that is already a hash (for instance a type id written as a number).
  constexpr NameHash(uint32_t id) : value(id) {}  // NOLINT: ids convert both ways on purpose
  // The hash of a NUL-terminated name (a null pointer hashes like the empty name).
  explicit constexpr NameHash(const char* name) : value(Of(name)) {}
  explicit constexpr NameHash(const char* bytes, size_t count) : value(Of(bytes, count)) {}
  explicit NameHash(const SharedString& name);

  constexpr operator uint32_t() const { return value; }  // NOLINT

  static constexpr uint32_t Of(const char* bytes, size_t count) {
    uint32_t h = kOffsetBasis;
    for (size_t i = 0; i < count; ++i) {
      h ^= static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(bytes[i])));
      h *= kPrime;
    }
    return h;
  }
  static constexpr uint32_t Of(const char* name) {
    uint32_t h = kOffsetBasis;
    for (; name && *name; ++name) {
      h ^= static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*name)));
      h *= kPrime;
    }
    return h;
  }

  uint32_t value;
};

}  // namespace CorvaneEngine
