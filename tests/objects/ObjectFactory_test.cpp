// ObjectFactory: reading object files (component order, the "Name" and "Scale" rules,
// duplicates, unknown component types, unreadable entries), building objects from types and from
// their own records (GameObject's), who owns the prototypes, and the log line of each case, word
// for word.
#include "objects/ObjectFactory.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "TestSupport.h"
#include "objects/GOComponent.h"
#include "objects/GameObject.h"
#include "objects/ObjectManager.h"
#include "objects/ObjectType.h"
#include "objects/XMLReader.h"
#include "objects/XMLWriter.h"

using namespace CorvaneEngine;
using Lines = std::vector<std::string>;

static int deletions = 0;  // of Valued components

// Reads its element's "Value" child (so Serialize must get the cursor on its own element), adds
// 100 on Initialize and counts deletions.
struct Valued : GOComponent {
  ~Valued() override { ++deletions; }
  GOComponent* Clone() override { return new Valued(*this); }
  void Initialize() override { value += 100; }
  void Serialize(BaseSerializer& s) override {
    if (s.GoToChild("Value")) s.SerializeInt(&value), s.GoToParent();
  }
  int value = 0;
};

// An object type file: a scale, the name and the components.
static std::string Type(const std::string& name, const std::string& components = "") {
  return "<T><Scale><X>1</X><Y>1</Y><Z>1</Z></Scale><Name>" + name + "</Name>" + components +
         "</T>";
}
const std::string kAlpha = "<Alpha><Value>0</Value></Alpha>";

class ObjectFactoryTest : public ::testing::Test {
 protected:
  ObjectFactoryTest() { deletions = 0, factory->RegisterComponentType("Alpha", new Valued()); }

  // Runs `work` and answers the log lines it caused, then what went to standard error.
  static Lines Told(const std::function<void()>& work) {
    CorvaneTest::CapturedLog log;
    testing::internal::CaptureStderr();
    work();
    Lines lines = log.Lines();
    lines.push_back(testing::internal::GetCapturedStderr());
    return lines;
  }

  // Writes ./GameObjects/<file>, reads it and answers what it told.
  Lines Load(const std::string& file, const std::string& xml) {
    dir.Write("GameObjects/" + file, xml);
    return Told([&] { factory->LoadObjectTypeFile(("./GameObjects/" + file).c_str()); });
  }

  CorvaneTest::ScratchDir dir{"ObjectFactory"};
  CorvaneTest::ChangeDir into{dir.Path()};
  std::unique_ptr<ObjectManager> manager = std::make_unique<ObjectManager>();
  ObjectFactory* factory = manager->Factory();
};

TEST_F(ObjectFactoryTest, ComponentsAfterNameArePrototypesInOrderAndObjectsGetClones) {
  Lines told = Load("ship.xml",
                    "<Ship><Alpha><Value>9</Value></Alpha><Scale><X>0.5e1</X></Scale>"
                    "<Name>ship</Name><Alpha><Value>2</Value></Alpha><Scale><X>7</X></Scale>"
                    "<alpha/><Alpha><Value>1</Value></Alpha></Ship>");
  // The component before "Name" is not read, and the author is told so.
  const std::string file = "./GameObjects/ship.xml";
  EXPECT_EQ(told, (Lines{"ERROR: Could not find child: Y of Scale in file " + file,
                         "ERROR: Could not find child: Z of Scale in file " + file,
                         "ERROR: alpha is not a registered component type in ObjectFactory.",
                         file + ": the element \"Alpha\" comes before \"Name\" and is not read; "
                                "component elements must follow \"Name\"\n"}));
  ObjectType* type = factory->FindObjectType("ship");
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(std::vector<float>(type->scale, type->scale + 3), (std::vector<float>{5, 1, 1}));

  GameObject* object = manager->GetObject(factory->CreateObject("ship"));
  std::vector<int> values;  // clones, initialized once, of the prototypes in file order
  for (GOComponent* c : object->components)  // -1 for one the object does not own
    values.push_back(c->owner == object ? static_cast<Valued*>(c)->value : -1);
  EXPECT_EQ(values, (std::vector<int>{102, 101}));
  EXPECT_EQ(static_cast<Valued*>(type->components[0])->value, 2);
  manager->Shutdown();
}

TEST_F(ObjectFactoryTest, DuplicatesAndUnknownTypesAreToldAndTheFactoryOwnsItsPrototypes) {
  EXPECT_EQ(Load("one.xml", Type("dup", kAlpha)), Lines{""});
  EXPECT_EQ(Load("two.xml", Type("dup", kAlpha + kAlpha)),
            (Lines{"ERROR: Object of type dup already exists.", ""}));
  EXPECT_EQ(factory->FindObjectType("dup")->components.size(), 1u);
  EXPECT_EQ(factory->CreateObject("dup"), 0);
  // An object's own record, written and read back: its name picks the type, its position stays.
  GameObject written, ghost, *read = new GameObject();
  written.name = "dup", written.position[1] = -2.5f;
  written.Serialize(*std::make_unique<XMLWriter>("record.xml", "Object"));  // saved as it goes
  read->Serialize(*std::make_unique<XMLReader>("record.xml"));
  EXPECT_EQ(read->id, 1);
  EXPECT_EQ(std::vector<float>(read->position, read->position + 3),
            (std::vector<float>{0, -2.5, 0}));
  EXPECT_EQ(Told([&] {
              EXPECT_EQ(factory->CreateObject("ghost"), -1);
              EXPECT_EQ(factory->InitializeFromType(&ghost, "ghost"), -1);
            }),
            (Lines{"ERROR: There is no object of type ghost.",
                   "ERROR: There is no object of type ghost.", ""}));

  GOComponent* first = factory->FindComponentType("Alpha");
  factory->RegisterComponentType("Alpha", new Valued());
  EXPECT_EQ(factory->FindComponentType("Alpha"), first);
  manager->Shutdown();
  manager.reset();
  // The kept prototype and the second registration, the rejected type's two, the type's one and
  // the two objects' clones.
  EXPECT_EQ(deletions, 7);
}

TEST_F(ObjectFactoryTest, FolderLoadingSkipsFoldersFifosAndBrokenFilesAndReadsTheRest) {
  // Started in the wrong folder: standard error names the folder and where it was looked for.
  EXPECT_EQ(Told([&] { factory->LoadObjectTypes("./GameObjects"); }),
            (Lines{"ERROR: Could not list the object type folder ./GameObjects: No such file or "
                   "directory",
                   "./GameObjects: no such folder in " + std::filesystem::current_path().string() +
                       ", so the game has no object types; start the game in the folder that "
                       "holds its GameObjects, art, textures and sound\n"}));

  dir.Write("GameObjects/a.xml", Type("a"));
  dir.Write("GameObjects/b.txt", "not XML <<<");
  dir.Write("GameObjects/nested/c.xml", Type("c"));
  dir.Write("GameObjects/d", Type("d", kAlpha));
  ASSERT_EQ(mkfifo((dir.Path() / "GameObjects/pipe").c_str(), 0644), 0);
  // A FIFO without a writer must not block.
  ASSERT_TRUE(
      CorvaneTest::RunInChild([&] { return factory->LoadObjectTypes("./GameObjects"), 0; }).ended);
  Lines lines = Told([&] { factory->LoadObjectTypes("./GameObjects/"); });  // slash not doubled
  EXPECT_NE(factory->FindObjectType("a"), nullptr);
  EXPECT_EQ(factory->FindObjectType("d")->components.size(), 1u);
  EXPECT_EQ(factory->FindObjectType("c"), nullptr);
  std::sort(lines.begin(), lines.end());  // in listing order, which the file system decides
  EXPECT_EQ(lines, (Lines{"", "ERROR: Could Not Open File: ./GameObjects/b.txt",
                          "ERROR: Could Not Open File: ./GameObjects/pipe",
                          "WARNING: ./GameObjects/nested is a folder, not an object file."}));
}
