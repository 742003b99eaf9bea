// ObjectFactory: reading object files (component order, "Name" and "Scale" rules, duplicates,
// unknown component types, unreadable entries), building objects from types, and the word-for-word
// log lines of each case.
#include "objects/ObjectFactory.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "RecordingComponent.h"
#include "TestSupport.h"
#include "objects/BaseSerializer.h"
#include "objects/GameObject.h"
#include "objects/ObjectManager.h"
#include "objects/ObjectType.h"
#include "objects/XMLReader.h"

using namespace CorvaneEngine;
using CorvaneTest::CapturedLog;
using CorvaneTest::RecordingComponent;
using Lines = std::vector<std::string>;

namespace {

// Reads the number in its element's "Value" child, proving Serialize got the cursor on its own
// element, and puts the cursor back there.
class ValueComponent : public GOComponent {
 public:
  explicit ValueComponent(int* deletions = nullptr) : deletions(deletions) {}
  ~ValueComponent() override {
    if (deletions) ++*deletions;
  }
  GOComponent* Clone() override { return new ValueComponent(*this); }
  void Serialize(BaseSerializer& serializer) override {
    if (serializer.GoToChild("Value")) {
      serializer.SerializeInt(&value);
      serializer.GoToParent();
    }
  }
  int value = 0;
  int* deletions;
};

int ValueOf(GOComponent* component) {
  return static_cast<ValueComponent*>(component)->value;
}

class ObjectFactoryTest : public ::testing::Test {
 protected:
  ObjectFactoryTest() : dir("ObjectFactory") {
    factory = ObjectFactory::instance;
    factory->RegisterComponentType("Alpha", new ValueComponent(&deletions));
    factory->RegisterComponentType("Beta", new ValueComponent(&deletions));
    factory->RegisterComponentType("Probe", new RecordingComponent("probe", &journal));
  }
  ~ObjectFactoryTest() override { manager.Shutdown(); }

  // Writes an object file and reads it; answers its full path.
  std::string Load(const std::string& file, const std::string& xml) {
    std::string path = dir.Write(file, xml).string();
    factory->LoadObjectTypeFile(path.c_str());
    return path;
  }

  // Declared before the manager: the factory's prototypes report into them when it goes.
  int deletions = 0;
  std::vector<std::string> journal;
  CorvaneTest::ScratchDir dir;
  ObjectManager manager;
  ObjectFactory* factory;
};

}  // namespace

TEST_F(ObjectFactoryTest, ComponentsAfterNameBecomePrototypesInDocumentOrder) {
  CapturedLog log;
  Load("ship.xml",
       "<Ship><Scale><X>2</X><Y>3</Y><Z>4</Z></Scale><Name>ship</Name>"
       "<Beta><Value>2</Value></Beta><Alpha><Value>1</Value></Alpha><Beta><Value>3</Value></Beta>"
       "</Ship>");
  EXPECT_EQ(log.Text(), "");
  ObjectType* type = factory->FindObjectType("ship");
  ASSERT_NE(type, nullptr);
  ASSERT_EQ(type->components.size(), 3u);
  EXPECT_EQ(ValueOf(type->components[0]), 2);
  EXPECT_EQ(ValueOf(type->components[1]), 1);
  EXPECT_EQ(ValueOf(type->components[2]), 3);
  EXPECT_EQ(type->scale[0], 2.0f);
  EXPECT_EQ(type->scale[2], 4.0f);

  int id = factory->CreateObject("ship");
  EXPECT_EQ(id, 0);
  GameObject* object = manager.GetObject(id);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->name, "ship");
  EXPECT_EQ(object->scale[1], 3.0f);
  EXPECT_EQ(object->position[0], 0.0f);
  ASSERT_EQ(object->components.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NE(object->components[i], type->components[i]);
    EXPECT_EQ(object->components[i]->owner, object);
    EXPECT_EQ(ValueOf(object->components[i]), ValueOf(type->components[i]));
  }
}

TEST_F(ObjectFactoryTest, ElementsBeforeNameAndLaterScalesAreNotComponents) {
  CapturedLog log;
  Load("early.xml",
       "<T><Alpha><Value>9</Value></Alpha><Scale><X>5</X></Scale><Name>early</Name>"
       "<Scale><X>7</X></Scale><Beta/></T>");
  ObjectType* type = factory->FindObjectType("early");
  ASSERT_NE(type, nullptr);
  ASSERT_EQ(type->components.size(), 1u);
  EXPECT_EQ(ValueOf(type->components[0]), 0);  // the Beta, which has no Value
  EXPECT_EQ(type->scale[0], 5.0f);             // the first Scale counts
  std::string path = (dir.Path() / "early.xml").string();
  EXPECT_EQ(log.Lines(), (Lines{"ERROR: Could not find child: Y of Scale in file " + path,
                                "ERROR: Could not find child: Z of Scale in file " + path,
                                "ERROR: Could not find child: Value of Beta in file " + path}));
}

TEST_F(ObjectFactoryTest, ScaleWithOnlyXLeavesYAndZAtOne) {
  CapturedLog log;
  std::string path = Load("x.xml", "<T><Scale><X>0.5e1</X></Scale><Name>x</Name></T>");
  ObjectType* type = factory->FindObjectType("x");
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->scale[0], 5.0f);
  EXPECT_EQ(type->scale[1], 1.0f);
  EXPECT_EQ(type->scale[2], 1.0f);
  EXPECT_EQ(log.Lines(), (Lines{"ERROR: Could not find child: Y of Scale in file " + path,
                                "ERROR: Could not find child: Z of Scale in file " + path}));
}

TEST_F(ObjectFactoryTest, MissingScaleAndMissingNameAreReported) {
  CapturedLog log;
  std::string path = Load("anon.xml", "<Anon><Alpha/></Anon>");
  EXPECT_EQ(log.Lines(), (Lines{"ERROR: Could not find child: Scale of Anon in file " + path,
                                "ERROR: Could not find child: Name of Anon in file " + path,
                                "WARNING: " + path + " object does not contain a \"Name\""}));
  // Without "Name" the walk starts at the root, so the Alpha is not read.
  ObjectType* type = factory->FindObjectType("");
  ASSERT_NE(type, nullptr);
  EXPECT_TRUE(type->components.empty());
  EXPECT_EQ(type->scale[1], 1.0f);
}

TEST_F(ObjectFactoryTest, UnknownComponentTypeIsReportedAndTheRestRead) {
  CapturedLog log;
  std::string path = Load("u.xml",
                          "<T><Scale><X>1</X><Y>1</Y><Z>1</Z></Scale><Name>u</Name>"
                          "<Alpha><Value>1</Value></Alpha><alpha/><Gamma><Alpha/></Gamma>"
                          "<Beta><Value>2</Value></Beta></T>");
  EXPECT_EQ(log.Lines(),
            (Lines{"ERROR: alpha is not a registered component type in ObjectFactory.",
                   "ERROR: Gamma is not a registered component type in ObjectFactory."}));
  ObjectType* type = factory->FindObjectType("u");
  ASSERT_NE(type, nullptr);
  ASSERT_EQ(type->components.size(), 2u);
  EXPECT_EQ(ValueOf(type->components[1]), 2);
}

TEST_F(ObjectFactoryTest, FirstFileForANameWins) {
  const char* scale = "<Scale><X>1</X><Y>1</Y><Z>1</Z></Scale>";
  Load("one.xml", std::string("<T>") + scale + "<Name>dup</Name><Alpha/></T>");
  CapturedLog log;
  Load("two.xml",
       std::string("<T>") + scale +
           "<Name>dup</Name><Beta><Value>1</Value></Beta><Beta><Value>2</Value></Beta></T>");
  EXPECT_EQ(log.Lines(), Lines{"ERROR: Object of type dup already exists."});
  ASSERT_NE(factory->FindObjectType("dup"), nullptr);
  EXPECT_EQ(factory->FindObjectType("dup")->components.size(), 1u);
  // The rejected type's prototypes are gone, the registered ones are alive.
  EXPECT_EQ(deletions, 2);
}

TEST_F(ObjectFactoryTest, UnknownTypeNamesCreateNothing) {
  CapturedLog log;
  EXPECT_EQ(factory->CreateObject("ghost"), -1);
  GameObject object;
  EXPECT_EQ(factory->InitializeFromType(&object, "Ghost"), -1);
  EXPECT_EQ(object.id, -1);
  EXPECT_TRUE(manager.Objects().empty());
  EXPECT_EQ(log.Lines(), (Lines{"ERROR: There is no object of type ghost.",
                                "ERROR: There is no object of type Ghost."}));
}

TEST_F(ObjectFactoryTest, ObjectsOfATypeWithoutComponentsStillGetIds) {
  Load("bare.xml", "<T><Name>bare</Name></T>");
  EXPECT_EQ(factory->CreateObject("bare"), 0);
  EXPECT_EQ(factory->CreateObject("bare"), 1);
  EXPECT_TRUE(manager.GetObject(1)->components.empty());
}

TEST_F(ObjectFactoryTest, BuiltComponentsAreInitializedWithTheObjectAndIdMinusOne) {
  Load("p.xml", "<T><Name>p</Name><Probe/></T>");
  GameObject* object = new GameObject();
  object->position[0] = 8.0f;
  EXPECT_EQ(factory->InitializeFromType(object, "p"), 0);
  EXPECT_EQ(manager.GetObject(0), object);
  EXPECT_EQ(object->position[0], 8.0f);
  auto* probe = static_cast<RecordingComponent*>(object->components[0]);
  EXPECT_EQ(probe->owner, object);
  EXPECT_EQ(probe->idSeenInInitialize, -1);
  EXPECT_EQ(journal, Lines{"probe init"});
}

TEST_F(ObjectFactoryTest, FolderLoadingSkipsFoldersAndBrokenFilesAndReadsTheRest) {
  CorvaneTest::ChangeDir into(dir.Path());
  dir.Write("GameObjects/a.xml", "<T><Scale><X>1</X><Y>1</Y><Z>1</Z></Scale><Name>a</Name></T>");
  dir.Write("GameObjects/b.txt", "this is not XML <<<");
  dir.Write("GameObjects/nested/c.xml", "<T><Name>c</Name></T>");
  dir.Write(
      "GameObjects/d",
      "<T><Scale><X>1</X><Y>1</Y><Z>1</Z></Scale><Name>d</Name><Beta><Value>4</Value></Beta></T>");
  CapturedLog log;
  factory->LoadObjectTypes("./GameObjects");
  EXPECT_NE(factory->FindObjectType("a"), nullptr);
  ASSERT_NE(factory->FindObjectType("d"), nullptr);
  EXPECT_EQ(factory->FindObjectType("d")->components.size(), 1u);
  EXPECT_EQ(factory->FindObjectType("c"), nullptr);
  EXPECT_EQ(factory->FindObjectType(""), nullptr);
  // One line for the folder, one for the broken file, in listing order; nothing else.
  Lines lines = log.Lines();
  ASSERT_EQ(lines.size(), 2u) << log.Text();
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines[0], "ERROR: Could Not Open File: ./GameObjects/b.txt");
  EXPECT_EQ(lines[1], "WARNING: ./GameObjects/nested is a folder, not an object file.");
}

TEST_F(ObjectFactoryTest, FolderNameGetsOneTrailingSlash) {
  CorvaneTest::ChangeDir into(dir.Path());
  dir.Write("GameObjects/n.xml", "<T><Scale><X>1</X><Y>1</Y><Z>1</Z></Scale></T>");
  for (const char* folder : {"./GameObjects", "./GameObjects/"}) {
    CapturedLog log;
    factory->LoadObjectTypes(folder);
    // The second pass also finds the empty name taken by the first.
    ASSERT_GE(log.Lines().size(), 2u) << log.Text();
    EXPECT_EQ(log.Lines()[1], "WARNING: ./GameObjects/n.xml object does not contain a \"Name\"");
  }
}

TEST_F(ObjectFactoryTest, MissingFolderIsOneLineAndNoTypes) {
  CorvaneTest::ChangeDir into(dir.Path());
  CapturedLog log;
  factory->LoadObjectTypes("./GameObjects");
  ASSERT_EQ(log.Lines().size(), 1u);
  EXPECT_EQ(log.Lines()[0].rfind("ERROR: Could not list the object type folder ./GameObjects: ", 0),
            0u)
      << log.Text();
  EXPECT_EQ(factory->CreateObject("anything"), -1);
}

TEST(ObjectFactory, OwnsItsPrototypesAndTypesAndKeepsTheFirstRegistration) {
  int deletions = 0;
  CorvaneTest::ScratchDir dir("ObjectFactoryOwnership");
  auto path = dir.Write("t.xml", "<T><Name>t</Name><Alpha/><Alpha/></T>");
  {
    ObjectManager manager;
    ObjectFactory* factory = manager.Factory();
    ValueComponent* first = new ValueComponent(&deletions);
    factory->RegisterComponentType("Alpha", first);
    factory->RegisterComponentType("Alpha", new ValueComponent(&deletions));
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(factory->FindComponentType("Alpha"), first);
    EXPECT_EQ(factory->FindComponentType("alpha"), nullptr);
    CapturedLog log;
    factory->LoadObjectTypeFile(path.string().c_str());
    EXPECT_EQ(deletions, 1);
  }
  // The kept prototype and both prototypes of the type.
  EXPECT_EQ(deletions, 4);
}
