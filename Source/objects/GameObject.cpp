#include "objects/GameObject.h"

#include <cstddef>

#include "objects/BaseSerializer.h"
#include "objects/GOComponent.h"
#include "objects/ObjectFactory.h"

namespace CorvaneEngine {

GameObject::~GameObject() {
  for (auto it = components.rbegin(); it != components.rend(); ++it) delete *it;
}

void GameObject::Initialize() {
  for (GOComponent* component : components) component->Initialize();
}

void GameObject::Shutdown() {
  for (GOComponent* component : components) component->Shutdown();
}

void GameObject::Update(double seconds) {
  // Indexing rather than iterators: a component may attach another one during its Update.
  for (std::size_t i = 0; i < components.size(); ++i) components[i]->Update(seconds);
}

void GameObject::Serialize(BaseSerializer& serializer) {
  // A missing child is reported by the serializer; the field then keeps its value.
  serializer.GoToChild("Name");
  serializer.SerializeString(&name);
  serializer.GoToParent();
  serializer.GoToChild("Position");
  SerializeVector3(serializer, position);
  serializer.GoToParent();
  if (serializer.mode == BaseSerializer::Reading && ObjectFactory::instance != nullptr) {
    ObjectFactory::instance->InitializeFromType(this, name.CStr());
  }
}

}  // namespace CorvaneEngine
