// GameObject: a transform and an ordered list of components. Objects are built by the
// ObjectFactory from an object type and owned by the ObjectManager, which gives each its id (its
// slot in the manager's table). An object owns its components and deletes them last to first.
//
// Threads: main thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "objects/SharedString.h"

namespace CorvaneEngine {

class BaseSerializer;
class GOComponent;

class GameObject {
 public:
  GameObject() = default;
  GameObject(const GameObject&) = delete;
  GameObject& operator=(const GameObject&) = delete;

  // Deletes the components from the last to the first; their Shutdown is not called.
  virtual ~GameObject();
  // Initialize, Shutdown and Update visit the components first to last.
  virtual void Initialize();
  // The object's own record: "Name" and "Position"; reading it builds the object from its type
  // and adds it to the ObjectManager (nothing is added when the type is unknown).
  virtual void Serialize(BaseSerializer& serializer);
  virtual void Shutdown();
  virtual void Update(double seconds);

  std::vector<GOComponent*> components;  // owned, in the order of attaching
  int32_t id = -1;                       // slot in the ObjectManager; -1 until added
  SharedString name;                     // the object type the object was built from
  float position[3] = {0.0f, 0.0f, 0.0f};
  float scale[3] = {1.0f, 1.0f, 1.0f};
  float rotationAxis[3] = {0.0f, 0.0f, 0.0f};
  float rotationAngle = 1.0f;  // radians about rotationAxis; a zero axis means no rotation
};

}  // namespace CorvaneEngine
