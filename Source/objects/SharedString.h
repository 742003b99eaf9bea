// SharedString: the engine's one string type. A handle to a reference-counted byte string that
// is copied on write. Every name, key, path and URL in the engine is one.
//
// Threads: reference counts are plain integers. A string and every copy sharing its record belong
// to one thread at a time; hand strings across threads only under the lock of the structure that
// carries them.
#pragma once

#include <cstdint>
#include <cstring>

namespace CorvaneEngine {

class SharedString {
 public:
  SharedString();
  SharedString(const char* text);  // NOLINT: implicit on purpose, names are written as literals
  SharedString(const char* bytes, uint32_t count);
  SharedString(const SharedString& other);
  SharedString& operator=(const SharedString& other);
  ~SharedString();

  const char* CStr() const;
  uint32_t Length() const { return record->length; }
  uint32_t Capacity() const { return record->capacity; }
  uint32_t RefCount() const { return record->refCount; }
  bool Empty() const { return record->length == 0; }
  bool SharesRecordWith(const SharedString& other) const { return record == other.record; }

  void Append(const SharedString& text);
  void Append(const char* text);
  void Append(const char* bytes, uint32_t count);

  // Index of the last occurrence of the byte, or -1.
  int32_t FindLast(char byte) const;
  // Copy of the text from byte index `from` on; the whole string (shared) for a negative index.
  SharedString Tail(int32_t from) const;
  // Gives this handle a private record when it shares one (before it is changed in place).
  void MakeUnique();
  // Replaces every occurrence of `from` by `to` in this handle's own copy.
  void Replace(char from, char to);

  uint32_t Hash() const;

  bool operator==(const SharedString& other) const;
  bool operator!=(const SharedString& other) const { return !(*this == other); }

 private:
  struct Record {
    uint32_t refCount;
    uint32_t length;
    uint32_t capacity;
    char* chars;
  };

  static Record* NewRecord(uint32_t length, uint32_t capacity, bool buffered);
  static bool HasOwnBuffer(const Record* record);
  void CopyIn(const char* bytes, uint32_t count);
  void Release();
  void Reserve(uint32_t size);
  void Detach();

  Record* record;
};

SharedString operator+(const SharedString& left, const SharedString& right);
SharedString operator+(const char* left, const SharedString& right);
bool operator==(const char* left, const SharedString& right);
inline bool operator==(const SharedString& left, const char* right) {
  return right == left;
}
inline bool operator!=(const char* left, const SharedString& right) {
  return !(left == right);
}
inline bool operator!=(const SharedString& left, const char* right) {
  return !(right == left);
}

// ---- Inline definitions: hashing and comparing are on the path of every registry lookup ----

// Paul Hsieh's SuperFastHash over `length` bytes, as published (the empty input hashes to 0).
inline uint32_t Get16Bits(const unsigned char* d) {
  return static_cast<uint32_t>(d[0]) | (static_cast<uint32_t>(d[1]) << 8);
}

inline uint32_t SuperFastHash(const char* data, uint32_t length) {
  if (length == 0 || data == nullptr) return 0;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
  uint32_t hash = length;
  uint32_t remainder = length & 3;
  for (uint32_t blocks = length >> 2; blocks > 0; --blocks) {
    hash += Get16Bits(bytes);
    uint32_t temp = (Get16Bits(bytes + 2) << 11) ^ hash;
    hash = (hash << 16) ^ temp;
    bytes += 4;
    hash += hash >> 11;
  }
  switch (remainder) {
    case 3:
      hash += Get16Bits(bytes);
      hash ^= hash << 16;
      hash ^= static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(bytes[2]))) << 18;
      hash += hash >> 11;
      break;
    case 2:
      hash += Get16Bits(bytes);
      hash ^= hash << 11;
      hash += hash >> 17;
      break;
    case 1:
      hash += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(bytes[0])));
      hash ^= hash << 10;
      hash += hash >> 1;
      break;
    default:
      break;
  }
  hash ^= hash << 3;
  hash += hash >> 5;
  hash ^= hash << 4;
  hash += hash >> 17;
  hash ^= hash << 25;
  hash += hash >> 6;
  return hash;
}

inline uint32_t SuperFastHash(const SharedString& text) {
  return text.Hash();
}
inline uint32_t SharedString::Hash() const {
  return SuperFastHash(record->chars, record->length);
}

inline bool SharedString::operator==(const SharedString& other) const {
  if (record == other.record) return true;
  if (record->length != other.record->length) return false;
  return record->length == 0 ||
         std::memcmp(record->chars, other.record->chars, record->length) == 0;
}

}  // namespace CorvaneEngine
