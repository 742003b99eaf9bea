// ObjectType: one object file's contents, the blueprint the ObjectFactory builds objects from:
// a name, a scale and prototype components in document order. Owned by the ObjectFactory, which
// also owns the prototypes through it.
//
// Threads: main thread only.
#pragma once

#include <vector>

#include "objects/SharedString.h"

namespace CorvaneEngine {

class GOComponent;

class ObjectType {
 public:
  ObjectType() = default;
  ObjectType(const ObjectType&) = delete;
  ObjectType& operator=(const ObjectType&) = delete;
  // Deletes the prototype components first to last.
  ~ObjectType();

  std::vector<GOComponent*> components;  // owned prototypes, in document order
  SharedString name;
  float scale[3] = {1.0f, 1.0f, 1.0f};  // copied into every object; types carry no position
};

}  // namespace CorvaneEngine
