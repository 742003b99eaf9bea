// GameObject: the order in which an object drives its components, and its own record written
// and read back through the XML serializers.
#include "objects/GameObject.h"

#include <gtest/gtest.h>

#include "RecordingComponent.h"
#include "TestSupport.h"
#include "objects/ObjectManager.h"
#include "objects/XMLReader.h"
#include "objects/XMLWriter.h"

using namespace CorvaneEngine;
using CorvaneTest::RecordingComponent;

namespace {

GameObject* ObjectWithThreeComponents(std::vector<std::string>* journal) {
  GameObject* object = new GameObject();
  for (const char* label : {"a", "b", "c"}) {
    object->components.push_back(new RecordingComponent(label, journal));
    object->components.back()->owner = object;
  }
  return object;
}

}  // namespace

TEST(GameObject, StartsAtTheOriginUnscaledWithoutId) {
  GameObject object;
  EXPECT_EQ(object.id, -1);
  EXPECT_TRUE(object.name.Empty());
  for (int axis = 0; axis < 3; ++axis) {
    EXPECT_EQ(object.position[axis], 0.0f);
    EXPECT_EQ(object.scale[axis], 1.0f);
    EXPECT_EQ(object.rotationAxis[axis], 0.0f);
  }
  EXPECT_EQ(object.rotationAngle, 1.0f);
}

TEST(GameObject, VisitsComponentsFirstToLastAndDeletesThemLastToFirst) {
  std::vector<std::string> journal;
  GameObject* object = ObjectWithThreeComponents(&journal);
  object->Initialize();
  object->Update(0.25);
  object->Shutdown();
  EXPECT_EQ(static_cast<RecordingComponent*>(object->components[2])->lastSeconds, 0.25);
  delete object;
  // Deleting does not call Shutdown a second time.
  std::vector<std::string> expected = {"a init",     "b init",   "c init",     "a update",
                                       "b update",   "c update", "a shutdown", "b shutdown",
                                       "c shutdown", "c delete", "b delete",   "a delete"};
  EXPECT_EQ(journal, expected);
}

TEST(GOComponent, BaseCloneIsANewComponentWithTheSameOwner) {
  GameObject object;
  GOComponent original;
  original.owner = &object;
  GOComponent* copy = original.Clone();
  EXPECT_NE(copy, &original);
  EXPECT_EQ(copy->owner, &object);
  delete copy;
}

TEST(GameObject, RecordWrittenAndReadBackKeepsNameAndPosition) {
  CorvaneTest::ScratchDir dir("GameObjectRecord");
  std::string path = (dir.Path() / "record.xml").string();
  {
    GameObject written;
    written.name = "crate";
    written.position[0] = 1.5f;
    written.position[1] = -2.0f;
    written.position[2] = 3.25f;
    XMLWriter writer(path.c_str(), "Object");
    written.Serialize(writer);
  }
  std::string text = CorvaneTest::ReadFile(path);
  EXPECT_NE(text.find("<Name>crate</Name>"), std::string::npos) << text;
  EXPECT_NE(text.find("<Y>-2</Y>"), std::string::npos) << text;

  // Reading builds the object from its type; without a registered "crate" the factory says so
  // and the object is not added, but its fields have been read.
  ObjectManager manager;
  CorvaneTest::CapturedLog log;
  GameObject read;
  XMLReader reader(path.c_str());
  read.Serialize(reader);
  EXPECT_EQ(read.name, "crate");
  EXPECT_EQ(read.position[0], 1.5f);
  EXPECT_EQ(read.position[1], -2.0f);
  EXPECT_EQ(read.position[2], 3.25f);
  EXPECT_EQ(read.id, -1);
  EXPECT_TRUE(manager.Objects().empty());
  EXPECT_EQ(log.Lines(), std::vector<std::string>{"ERROR: There is no object of type crate."});
}

TEST(GameObject, RecordWithoutYLeavesYAlone) {
  CorvaneTest::ScratchDir dir("GameObjectNoY");
  auto path = dir.Write("record.xml",
                        "<Object><Name>n</Name><Position><X>4</X><Z>6</Z></Position></Object>");
  ObjectManager manager;
  CorvaneTest::CapturedLog log;
  GameObject read;
  read.position[1] = 9.0f;
  XMLReader reader(path.string().c_str());
  read.Serialize(reader);
  EXPECT_EQ(read.position[0], 4.0f);
  EXPECT_EQ(read.position[1], 9.0f);
  EXPECT_EQ(read.position[2], 6.0f);
  EXPECT_EQ(log.Lines()[0], "ERROR: Could not find child: Y of Position in file " + path.string());
}
