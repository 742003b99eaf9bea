// SharedString: reference-counted, copy-on-write byte string. Buffers are always zero-filled
// when allocated and text only grows at its end, so the text is always NUL-terminated.
#include "objects/SharedString.h"

#include <cstdlib>
#include <cstring>

namespace CorvaneEngine {

// A record and, when `buffered`, its first buffer in the same allocation: a lookup of a short
// name then touches one block of memory instead of two.
SharedString::Record* SharedString::NewRecord(uint32_t length, uint32_t capacity, bool buffered) {
  size_t bytes = sizeof(Record) + (buffered ? static_cast<size_t>(capacity) + 1 : 0);
  auto* block = static_cast<Record*>(::operator new(bytes));
  block->refCount = 1;
  block->length = length;
  block->capacity = capacity;
  block->chars = nullptr;
  if (buffered) {
    block->chars = reinterpret_cast<char*>(block + 1);
    std::memset(block->chars, 0, static_cast<size_t>(capacity) + 1);
  }
  return block;
}

bool SharedString::HasOwnBuffer(const Record* r) {
  return r->chars != nullptr && r->chars != reinterpret_cast<const char*>(r + 1);
}

SharedString::SharedString() : record(NewRecord(0, 0, false)) {}

SharedString::SharedString(const char* text) {
  CopyIn(text, text ? static_cast<uint32_t>(std::strlen(text)) : 0);
}

SharedString::SharedString(const char* bytes, uint32_t count) {
  CopyIn(bytes, count);
}

void SharedString::CopyIn(const char* bytes, uint32_t count) {
  if (!bytes) {
    record = NewRecord(0, 0, false);
    return;
  }
  // As Reserve would size it: exactly the length, at least one byte.
  record = NewRecord(count, count == 0 ? 1 : count, true);
  if (count) std::memcpy(record->chars, bytes, count);
}

SharedString::SharedString(const SharedString& other) : record(other.record) {
  ++record->refCount;
}

SharedString& SharedString::operator=(const SharedString& other) {
  if (record == other.record) return *this;
  Release();
  record = other.record;
  ++record->refCount;
  return *this;
}

SharedString::~SharedString() {
  Release();
}

void SharedString::Release() {
  if (--record->refCount == 0) {
    if (HasOwnBuffer(record)) std::free(record->chars);
    ::operator delete(record);
  }
  record = nullptr;
}

const char* SharedString::CStr() const {
  return record->chars ? record->chars : "";
}

void SharedString::Reserve(uint32_t size) {
  uint32_t capacity = size == 0 ? 1 : size;
  char* chars = static_cast<char*>(std::calloc(static_cast<size_t>(capacity) + 1, 1));
  if (record->chars) {
    std::memcpy(chars, record->chars, record->capacity < capacity ? record->capacity : capacity);
    if (HasOwnBuffer(record)) std::free(record->chars);
  }
  record->chars = chars;
  record->capacity = capacity;
}

void SharedString::Detach() {
  Record* old = record;
  --old->refCount;
  record = NewRecord(old->length, old->capacity, old->chars != nullptr);
  if (old->chars) {
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

}  // namespace CorvaneEngine
