// BaseSerializer: one cursor-based interface for reading and writing structured documents.
// The cursor stands on one element; the typed operations read into (mode 0) or write from
// (mode 1) the caller's variable, so data described once can be both loaded and saved.
// Problems are reported as one log line and answered with false; nothing throws.
//
// Threads: one thread from construction to destruction.
#pragma once

#include <cstdint>

#include "objects/SharedString.h"

namespace CorvaneEngine {

class BaseSerializer {
public:
  enum Mode : int32_t { Reading = 0, Writing = 1 };

  explicit BaseSerializer(int32_t mode) : mode(mode) {}
  virtual ~BaseSerializer() = default;

  virtual bool GoToChild(const char* /*name*/) { return false; }
  virtual bool GoToFirstChild() { return false; }
  virtual bool GoToParent() { return false; }
  virtual bool GoToNextSibling() { return false; }
  virtual const char* GetName() { return nullptr; }
  virtual const char* GetFileName() { return nullptr; }
  virtual bool SerializeInt(int32_t* value) = 0;
  virtual bool SerializeFloat(float* value) = 0;
  virtual bool SerializeDouble(double* value) = 0;
  virtual bool SerializeString(SharedString* value) = 0;
  virtual bool SerializeBool(bool* value) = 0;
  virtual bool SerializeAttribute(const char* name, SharedString* value) = 0;

  int32_t mode;
};

// Reads or writes the child elements "X", "Y" and "Z" of the cursor; a missing child leaves its
// component alone.
void SerializeVector3(BaseSerializer& serializer, float (&vector)[3]);

}  // namespace CorvaneEngine
