// GameObject: its own record written and read back through the XML serializers (the order in
// which it drives its components is in the object manager's suite).
#include "objects/GameObject.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "objects/ObjectManager.h"
#include "objects/XMLReader.h"
#include "objects/XMLWriter.h"

using namespace CorvaneEngine;

TEST(GameObject, RecordKeepsNameAndPositionAndReadingAsksTheFactory) {
  CorvaneTest::ScratchDir dir("GameObjectRecord");
  SharedString path((dir.Path() / "record.xml").string().c_str());
  GameObject written, read;
  written.name = "crate";
  written.position[0] = 1.5f;
  written.position[1] = -2.0f;
  read.position[2] = 7.0f;
  {
    XMLWriter writer(path, "Object");
    written.Serialize(writer);
  }
  ObjectManager manager;
  CorvaneTest::CapturedLog log;
  XMLReader reader(path);
  read.Serialize(reader);
  EXPECT_EQ(read.name, "crate");
  EXPECT_EQ(std::vector<float>(read.position, read.position + 3),
            (std::vector<float>{1.5f, -2, 0}));
  // No type "crate" is registered: reported, and the object stays out of the manager.
  EXPECT_EQ(read.id, -1);
  EXPECT_TRUE(manager.Objects().empty());
  EXPECT_EQ(log.Lines(), std::vector<std::string>{"ERROR: There is no object of type crate."});
}
