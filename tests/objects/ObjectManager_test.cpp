// ObjectManager: ids as slots with last-freed-first reuse, the update pass, deferred destruction
// and shut-down.
#include "objects/ObjectManager.h"

#include <gtest/gtest.h>

#include "objects/GOComponent.h"
#include "objects/GameObject.h"

using namespace CorvaneEngine;
using Lines = std::vector<std::string>;

static Lines journal;

// Notes every call it receives in the journal, with the owner's id at Initialize. A spawner adds a
// recorded object to the manager once: during its Initialize (1) or its first Update (2).
struct Recorder : GOComponent {
  Recorder(std::string label, int spawn) : label(std::move(label)), spawn(spawn) {}
  ~Recorder() override { Note("delete"); }
  void Initialize() override { Note("init " + std::to_string(owner->id), 1); }
  void Shutdown() override { Note("shutdown"); }
  void Update(double s) override { Note("update " + std::to_string(s).substr(0, 4), 2); }
  void Note(const std::string& call, int when = -1) {
    journal.push_back(label + " " + call);
    if (spawn == when) spawn = 0, ObjectManager::AddObject(Object({"spawned"}));
  }
  // An object with one recorder per label, in label order.
  static GameObject* Object(std::initializer_list<const char*> labels, int spawn = 0) {
    auto* object = new GameObject();
    for (const char* label : labels) object->components.push_back(new Recorder(label, spawn));
    for (GOComponent* component : object->components) component->owner = object;
    return object;
  }
  std::string label;
  int spawn;
};

// Objects and their components are visited in order; an object's components are deleted last
// to first, after their Shutdown when the object is destroyed during the game.
TEST(ObjectManager, FreedIdsAreReusedLastFreedFirstAndComponentsAreVisitedInOrder) {
  ObjectManager manager;
  for (auto labels : {std::initializer_list<const char*>{"0"}, {"1a", "1b"}, {"2"}, {"3"}})
    EXPECT_EQ(ObjectManager::AddObject(Recorder::Object(labels)), labels.begin()[0][0] - '0');
  for (int id : {1, 3, 3, -1, 9}) manager.QueueDestroy(id);  // repeats and strays are skipped
  manager.Update(0.5);
  EXPECT_EQ(journal, (Lines{"0 init -1", "1a init -1", "1b init -1", "2 init -1", "3 init -1",
                            "0 update 0.50", "1a update 0.50", "1b update 0.50", "2 update 0.50",
                            "3 update 0.50", "1a shutdown", "1b shutdown", "1b delete", "1a delete",
                            "3 shutdown", "3 delete"}));
  for (int id : {1, -1, 4}) EXPECT_EQ(manager.GetObject(id), nullptr) << id;

  for (int id : {3, 1, 4}) EXPECT_EQ(ObjectManager::AddObject(new GameObject()), id);

  // Shut-down deletes all, ascending, without calling Shutdown.
  manager.QueueDestroy(2);
  manager.Update(0.0);
  manager.Shutdown();
  EXPECT_EQ(Lines(journal.end() - 3, journal.end()), (Lines{"2 shutdown", "2 delete", "0 delete"}));
  EXPECT_EQ(manager.FreeIds(), (std::vector<uint32_t>{2, 0, 1, 3, 4}));
}

TEST(ObjectManager, InitializeSeesMinusOneAndObjectsAddedInThePassAreUpdatedInIt) {
  journal.clear();
  ObjectManager manager;
  for (int spawn : {2, 1}) ObjectManager::AddObject(Recorder::Object({"spawner"}, spawn));
  manager.Update(0.25);
  // The new objects, added from inside another's Initialize or Update, have slots of their own.
  for (int32_t id : {0, 1, 2, 3})
    EXPECT_TRUE(manager.GetObject(id) && manager.GetObject(id)->id == id) << id;
  EXPECT_EQ(journal, (Lines{"spawner init -1", "spawner init -1", "spawned init -1",
                            "spawner update 0.25", "spawned init -1", "spawner update 0.25",
                            "spawned update 0.25", "spawned update 0.25"}));
  manager.Shutdown();
}
