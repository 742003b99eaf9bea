#include "objects/ObjectManager.h"

#include <cstddef>

#include "objects/GameObject.h"
#include "objects/ObjectFactory.h"

namespace CorvaneEngine {

ObjectManager* ObjectManager::instance = nullptr;

ObjectManager::ObjectManager() : factory(new ObjectFactory()) {
  instance = this;
}

ObjectManager::~ObjectManager() {
  delete factory;
  factory = nullptr;
  if (instance == this) instance = nullptr;
}

int32_t ObjectManager::AddObject(GameObject* object) {
  ObjectManager& self = *instance;
  uint32_t id;
  if (self.freeIds.empty()) {
    self.objects.push_back(object);
    id = static_cast<uint32_t>(self.objects.size() - 1);
  } else {
    id = self.freeIds.back();
    self.freeIds.pop_back();
    self.objects[id] = object;
  }
  // Components see the id as -1 during Initialize: it is set only afterwards.
  object->Initialize();
  object->id = static_cast<int32_t>(id);
  return object->id;
}

GameObject* ObjectManager::GetObject(int32_t id) const {
  uint32_t slot = static_cast<uint32_t>(id);
  return slot < objects.size() ? objects[slot] : nullptr;
}

void ObjectManager::QueueDestroy(int32_t id) {
  pendingDestroy.push_back(static_cast<uint32_t>(id));
}

void ObjectManager::Update(double seconds) {
  // The size is read again at every step, so objects added during the pass are updated in it.
  // Indexing, not iterators: AddObject may reallocate the table while an object updates.
  for (std::size_t i = 0; i < objects.size(); ++i) {
    if (GameObject* object = objects[i]) object->Update(seconds);
  }
  // The queue may be read while it grows (a component's Shutdown may queue another object),
  // hence the index here too.
  for (std::size_t i = 0; i < pendingDestroy.size(); ++i) {
    uint32_t id = pendingDestroy[i];
    if (id >= objects.size() || objects[id] == nullptr) continue;
    GameObject* object = objects[id];
    object->Shutdown();
    // The slot is emptied first so that a component's destructor never finds a dying object.
    objects[id] = nullptr;
    delete object;
    freeIds.push_back(id);
  }
  pendingDestroy.clear();
}

void ObjectManager::Shutdown() {
  for (std::size_t i = 0; i < objects.size(); ++i) {
    GameObject* object = objects[i];
    if (object == nullptr) continue;
    objects[i] = nullptr;
    delete object;
    freeIds.push_back(static_cast<uint32_t>(i));
  }
}

}  // namespace CorvaneEngine
