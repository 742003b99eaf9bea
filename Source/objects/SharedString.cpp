// SharedString: reference-counted, copy-on-write byte string. Buffers are always zero-filled
// when allocated and text only grows at its end, so the text is always NUL-terminated.
#include "objects/SharedString.h"

#include <cstdlib>
#include <cstring>

namespace CorvaneEngine {

SharedString::SharedString() : record(new Record{1, 0, 0, nullptr}) {}

SharedString::SharedString(const char* text) : SharedString() {
  if (text) CopyIn(text, static_cast<uint32_t>(std::strlen(text)));
}

SharedString::SharedString(const char* bytes, uint32_t count) : SharedString() {
  if (bytes) CopyIn(bytes, count);
}

void SharedString::CopyIn(const char* bytes, uint32_t count) {
  Reserve(count);
  std::memcpy(record->chars, bytes, count);
  record->length = count;
}

SharedString::SharedString(const SharedString& other) : record(other.record) { ++record->refCount; }

SharedString& SharedString::operator=(const SharedString& other) {
  if (record == other.record) return *this;
  Release();
  record = other.record;
  ++record->refCount;
  return *this;
}

SharedString::~SharedString() { Release(); }

void SharedString::Release() {
  if (--record->refCount == 0) {
    std::free(record->chars);
    delete record;
  }
  record = nullptr;
}

const char* SharedString::CStr() const { return record->chars ? record->chars : ""; }

void SharedString::Reserve(uint32_t size) {
  uint32_t capacity = size == 0 ? 1 : size;
  char* chars = static_cast<char*>(std::calloc(static_cast<size_t>(capacity) + 1, 1));
  if (record->chars) {
    std::memcpy(chars, record->chars, record->capacity < capacity ? record->capacity : capacity);
    std::free(record->chars);
  }
  record->chars = chars;
  record->capacity = capacity;
}

void SharedString::Detach() {
  Record* old = record;
  --old->refCount;
  record = new Record{1, old->length, old->capacity, nullptr};
  if (old->chars) {
    record->chars = static_cast<char*>(std::malloc(static_cast<size_t>(old->capacity) + 1));
    std::memcpy(record->chars, old->chars, static_cast<size_t>(old->capacity) + 1);
  }
}

void SharedString::MakeUnique() {
  if (record->refCount != 1) Detach();
}

void SharedString::Append(const SharedString& text) {
  // Keep the other record alive and unchanged even when it is our own.
  SharedString keep(text);
  Append(keep.CStr(), keep.Length());
}

void SharedString::Append(const char* text) {
  if (text) Append(text, static_cast<uint32_t>(std::strlen(text)));
}

void SharedString::Append(const char* bytes, uint32_t count) {
  MakeUnique();
  if (record->length + count > record->capacity) {
    Reserve(record->length + count);
  }
  if (count) std::memcpy(record->chars + record->length, bytes, count);
  record->length += count;
}

int32_t SharedString::FindLast(char byte) const {
  for (int64_t i = static_cast<int64_t>(record->length) - 1; i >= 0; --i) {
    if (record->chars[i] == byte) return static_cast<int32_t>(i);
  }
  return -1;
}

SharedString SharedString::Tail(int32_t from) const {
  if (from < 0) return *this;
  if (static_cast<uint32_t>(from) >= record->length) return SharedString("");
  return SharedString(record->chars + from, record->length - static_cast<uint32_t>(from));
}

void SharedString::Replace(char from, char to) {
  if (!record->chars || !std::memchr(record->chars, from, record->length)) return;
  MakeUnique();
  for (uint32_t i = 0; i < record->length; ++i) {
    if (record->chars[i] == from) record->chars[i] = to;
  }
}

uint32_t SharedString::Hash() const { return SuperFastHash(record->chars, record->length); }

bool SharedString::operator==(const SharedString& other) const {
  if (record == other.record) return true;
  if (record->length != other.record->length) return false;
  return record->length == 0 || std::memcmp(record->chars, other.record->chars, record->length) == 0;
}

SharedString operator+(const SharedString& left, const SharedString& right) {
  SharedString result(left);
  result.MakeUnique();
  result.Append(right);
  return result;
}

SharedString operator+(const char* left, const SharedString& right) {
  return SharedString(left) + right;
}

bool operator==(const char* left, const SharedString& right) {
  if (!left) return false;
  size_t length = std::strlen(left);
  if (length != right.Length()) return false;
  return std::memcmp(left, right.CStr(), length) == 0;
}

// ---- SuperFastHash (Paul Hsieh), as published ----

static inline uint32_t Get16Bits(const unsigned char* d) {
  return static_cast<uint32_t>(d[0]) | (static_cast<uint32_t>(d[1]) << 8);
}

uint32_t SuperFastHash(const char* data, uint32_t length) {
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

uint32_t SuperFastHash(const SharedString& text) { return text.Hash(); }

}  // namespace CorvaneEngine
