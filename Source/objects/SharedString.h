// SharedString: the engine's one string type. A handle to a reference-counted byte string that
// is copied on write. Every name, key, path and URL in the engine is one.
//
// Threads: reference counts are plain integers. A string and every copy sharing its record belong
// to one thread at a time; hand strings across threads only under the lock of the structure that
// carries them.
#pragma once

#include <cstdint>

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

  void CopyIn(const char* bytes, uint32_t count);
  void Release();
  void Reserve(uint32_t size);
  void Detach();

  Record* record;
};

SharedString operator+(const SharedString& left, const SharedString& right);
SharedString operator+(const char* left, const SharedString& right);
bool operator==(const char* left, const SharedString& right);
inline bool operator==(const SharedString& left, const char* right) { return right == left; }
inline bool operator!=(const char* left, const SharedString& right) { return !(left == right); }
inline bool operator!=(const SharedString& left, const char* right) { return !(right == left); }

// Paul Hsieh's SuperFastHash over `length` bytes, as published (the empty input hashes to 0).
uint32_t SuperFastHash(const char* data, uint32_t length);
uint32_t SuperFastHash(const SharedString& text);

}  // namespace CorvaneEngine
