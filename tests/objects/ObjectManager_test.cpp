// ObjectManager: ids as slots with last-freed-first reuse, the update pass, deferred destruction
// and shut-down.
#include "objects/ObjectManager.h"

#include <gtest/gtest.h>

#include "RecordingComponent.h"
#include "objects/GameObject.h"
#include "objects/ObjectFactory.h"

using namespace CorvaneEngine;
using CorvaneTest::RecordingComponent;

namespace {

GameObject* Recorded(const std::string& label, std::vector<std::string>* journal) {
  GameObject* object = new GameObject();
  object->components.push_back(new RecordingComponent(label, journal));
  object->components.back()->owner = object;
  return object;
}

// Adds a new recorded object to the manager the first time it is updated.
class SpawningComponent : public GOComponent {
 public:
  explicit SpawningComponent(std::vector<std::string>* journal) : journal(journal) {}
  void Update(double) override {
    if (!spawned) ObjectManager::AddObject(Recorded("spawned", journal));
    spawned = true;
  }
  std::vector<std::string>* journal;
  bool spawned = false;
};

}  // namespace

TEST(ObjectManager, ConstructionPublishesItselfAndItsFactory) {
  {
    ObjectManager manager;
    EXPECT_EQ(ObjectManager::instance, &manager);
    ASSERT_NE(manager.Factory(), nullptr);
    EXPECT_EQ(ObjectFactory::instance, manager.Factory());
  }
  EXPECT_EQ(ObjectManager::instance, nullptr);
  EXPECT_EQ(ObjectFactory::instance, nullptr);
}

TEST(ObjectManager, FreedIdsAreReusedLastFreedFirstBeforeTheTableGrows) {
  std::vector<std::string> journal;
  ObjectManager manager;
  for (int expected = 0; expected < 4; ++expected) {
    EXPECT_EQ(ObjectManager::AddObject(Recorded(std::to_string(expected), &journal)), expected);
  }
  journal.clear();
  manager.QueueDestroy(1);
  manager.QueueDestroy(3);
  manager.Update(0.0);
  EXPECT_EQ(manager.GetObject(1), nullptr);
  EXPECT_EQ(manager.GetObject(3), nullptr);
  EXPECT_NE(manager.GetObject(2), nullptr);
  // Destruction came after the whole update pass, with Shutdown before the delete.
  std::vector<std::string> expected = {"0 update",   "1 update", "2 update",   "3 update",
                                       "1 shutdown", "1 delete", "3 shutdown", "3 delete"};
  EXPECT_EQ(journal, expected);

  EXPECT_EQ(ObjectManager::AddObject(new GameObject()), 3);
  EXPECT_EQ(ObjectManager::AddObject(new GameObject()), 1);
  EXPECT_EQ(manager.Objects().size(), 4u);
  EXPECT_EQ(ObjectManager::AddObject(new GameObject()), 4);
  manager.Shutdown();
}

TEST(ObjectManager, QueueingAFreeOrUnknownIdChangesNothing) {
  ObjectManager manager;
  ObjectManager::AddObject(new GameObject());
  ObjectManager::AddObject(new GameObject());
  manager.QueueDestroy(0);
  manager.QueueDestroy(0);
  manager.QueueDestroy(-1);
  manager.QueueDestroy(7);
  manager.Update(0.0);
  EXPECT_EQ(manager.FreeIds(), std::vector<uint32_t>{0});
  manager.QueueDestroy(0);
  manager.Update(0.0);
  EXPECT_EQ(manager.FreeIds(), std::vector<uint32_t>{0});
  EXPECT_NE(manager.GetObject(1), nullptr);
  manager.Shutdown();
}

TEST(ObjectManager, GetObjectAnswersNullOutsideTheTableAndForFreeSlots) {
  ObjectManager manager;
  GameObject* object = new GameObject();
  EXPECT_EQ(ObjectManager::AddObject(object), 0);
  EXPECT_EQ(manager.GetObject(0), object);
  EXPECT_EQ(manager.GetObject(-1), nullptr);
  EXPECT_EQ(manager.GetObject(1), nullptr);
  manager.QueueDestroy(0);
  manager.Update(0.0);
  EXPECT_EQ(manager.GetObject(0), nullptr);
}

TEST(ObjectManager, InitializeRunsBeforeTheIdIsSet) {
  std::vector<std::string> journal;
  ObjectManager manager;
  ObjectManager::AddObject(new GameObject());
  GameObject* object = Recorded("x", &journal);
  auto* component = static_cast<RecordingComponent*>(object->components[0]);
  EXPECT_EQ(ObjectManager::AddObject(object), 1);
  EXPECT_EQ(component->idSeenInInitialize, -1);
  EXPECT_EQ(object->id, 1);
  EXPECT_EQ(journal, std::vector<std::string>{"x init"});
  manager.Shutdown();
}

TEST(ObjectManager, ObjectsAddedDuringTheUpdatePassAreUpdatedInIt) {
  std::vector<std::string> journal;
  ObjectManager manager;
  GameObject* spawner = new GameObject();
  spawner->components.push_back(new SpawningComponent(&journal));
  ObjectManager::AddObject(spawner);
  manager.Update(0.5);
  EXPECT_EQ(journal, (std::vector<std::string>{"spawned init", "spawned update"}));
  auto* spawned = static_cast<RecordingComponent*>(manager.GetObject(1)->components[0]);
  EXPECT_EQ(spawned->lastSeconds, 0.5);
  manager.Shutdown();
}

TEST(ObjectManager, ShutdownDeletesEveryObjectWithoutItsShutdown) {
  std::vector<std::string> journal;
  ObjectManager manager;
  ObjectManager::AddObject(Recorded("a", &journal));
  ObjectManager::AddObject(Recorded("b", &journal));
  ObjectManager::AddObject(Recorded("c", &journal));
  manager.QueueDestroy(1);
  manager.Update(0.0);
  journal.clear();
  manager.Shutdown();
  EXPECT_EQ(journal, (std::vector<std::string>{"a delete", "c delete"}));
  EXPECT_EQ(manager.GetObject(0), nullptr);
  EXPECT_EQ(manager.GetObject(2), nullptr);
  // Slot 1 was free already; the others are pushed in ascending order.
  EXPECT_EQ(manager.FreeIds(), (std::vector<uint32_t>{1, 0, 2}));
}
