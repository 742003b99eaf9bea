// ObjectManager: the System that owns every live game object in a slot table indexed by the
// object's id. Each frame it updates every object, then destroys the objects queued for
// destruction; freed ids are handed out again, last freed first. It creates and owns the
// ObjectFactory. One per process, reached through ObjectManager::instance.
//
// Threads: main thread only; nothing here is locked.
#pragma once

#include <cstdint>
#include <vector>

#include "core/System.h"

namespace CorvaneEngine {

class GameObject;
class ObjectFactory;

class ObjectManager : public System {
 public:
  // Creates the factory and sets both `instance` pointers.
  ObjectManager();
  ObjectManager(const ObjectManager&) = delete;
  ObjectManager& operator=(const ObjectManager&) = delete;
  // Destroys the factory and clears `instance`; the objects are gone already (Shutdown).
  ~ObjectManager() override;

  // Deletes every object without calling its Shutdown.
  void Shutdown() override;
  // Updates every object (including objects added during the pass), then destroys the queued
  // ones, calling their Shutdown first.
  void Update(double seconds) override;

  // Takes ownership of the object, calls its Initialize (id still -1 there) and returns its id.
  // Works on the single instance.
  static int32_t AddObject(GameObject* object);
  // The object in slot `id`, or null for a free slot or an id out of range (-1 included).
  GameObject* GetObject(int32_t id) const;
  // Queues the object for destruction after the next update pass. Ids of free slots are ignored
  // when the queue is worked off.
  void QueueDestroy(int32_t id);

  ObjectFactory* Factory() const { return factory; }
  const std::vector<GameObject*>& Objects() const { return objects; }
  const std::vector<uint32_t>& FreeIds() const { return freeIds; }

  static ObjectManager* instance;

 private:
  std::vector<uint32_t> pendingDestroy;  // ids, in queue order
  ObjectFactory* factory;                // owned
  std::vector<GameObject*> objects;      // index = id; null = free slot; owned
  std::vector<uint32_t> freeIds;         // stack: last freed, first reused
};

}  // namespace CorvaneEngine
