#include "objects/ObjectType.h"

#include "objects/GOComponent.h"

namespace CorvaneEngine {

ObjectType::~ObjectType() {
  for (GOComponent* component : components) delete component;
}

}  // namespace CorvaneEngine
