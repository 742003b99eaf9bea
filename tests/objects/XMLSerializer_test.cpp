// XMLReader and XMLWriter: every message word for word, the round trip through a file, the
// cursor rules and the value conversions.
#include <gtest/gtest.h>

#include <tuple>

#include "TestSupport.h"
#include "objects/XMLReader.h"
#include "objects/XMLWriter.h"

using namespace CorvaneEngine;
using Lines = std::vector<std::string>;

static const CorvaneTest::ScratchDir dir{"xml"};
static const auto PathOf = [](const char* name) { return (dir.Path() / name).string(); };

using Values = std::tuple<int32_t, float, double, bool, SharedString, SharedString>;

// Writes or reads (by the serializer's mode) one value of every kind under its own element.
static void SerializeAll(BaseSerializer& s, Values& values) {
  auto& [i, f, d, b, text, attribute] = values;
  EXPECT_TRUE(s.SerializeAttribute("version", &attribute) || s.mode == 1);
  EXPECT_TRUE(s.GoToChild("Int") && s.SerializeInt(&i) && s.GoToParent());
  EXPECT_TRUE(s.GoToChild("Float") && s.SerializeFloat(&f) && s.GoToParent());
  EXPECT_TRUE(s.GoToChild("Double") && s.SerializeDouble(&d) && s.GoToParent());
  EXPECT_TRUE(s.GoToChild("Bool") && s.SerializeBool(&b) && s.GoToParent());
  EXPECT_TRUE(s.GoToChild("Name") && s.SerializeString(&text) && s.GoToParent());
}

TEST(XMLSerializer, RoundTripOfEveryValueKind) {
  std::string file = PathOf("round.xml");
  Values written{-42, 1.5f, 0.000123456789, true, "two words", "v1"}, read;
  SerializeAll(*std::make_unique<XMLWriter>(file.c_str(), "Root"), written);  // saved as it goes
  EXPECT_EQ(CorvaneTest::ReadFile(file),
            "<?xml version=\"1.0\"?>\n<Root version=\"v1\">\n    <Int>-42</Int>\n"
            "    <Float>1.5</Float>\n    <Double>0.000123457</Double>\n    <Bool>True</Bool>\n"
            "    <Name>two words</Name>\n</Root>\n");
  SerializeAll(*std::make_unique<XMLReader>(file.c_str()), read);
  EXPECT_EQ(read, Values(-42, 1.5f, 0.000123457, true, "two words", "v1"));  // as written
}

// Every failure leaves the value and the cursor as they were and logs one line (reading past the
// last child is silent); a file that cannot be saved is told.
TEST(XMLSerializer, MessagesWordForWordAndTheCursorStays) {
  std::string f =
      dir.Write("r.xml", "<Root><A/><B>x</B><B>y</B><C><!--c-->text</C><D>5</D></Root>").string();
  std::string w = PathOf("w.xml"), unsavable = PathOf("no/x.xml");
  CorvaneTest::CapturedLog log;
  XMLReader reader(f.c_str());
  SharedString text("unchanged");
  int32_t value = 7;
  EXPECT_FALSE(reader.GoToChild("Missing") || reader.SerializeAttribute("id", &text));
  EXPECT_STREQ("Root", reader.GetName());
  ASSERT_TRUE(reader.GoToChild("A"));
  EXPECT_FALSE(reader.SerializeInt(&value) || reader.GoToFirstChild());  // empty: no data
  ASSERT_TRUE(reader.GoToParent() && reader.GoToChild("C"));
  EXPECT_FALSE(reader.SerializeString(&text));  // its first child is a comment, not text
  EXPECT_TRUE(reader.GoToNextSibling() && !reader.GoToNextSibling());
  EXPECT_STREQ("D", reader.GetName());
  EXPECT_TRUE(reader.GoToParent() && reader.GoToParent());  // from the root: an empty cursor
  EXPECT_FALSE(reader.GoToParent());
  EXPECT_TRUE(value == 7 && text == "unchanged");
  XMLWriter writer(w.c_str(), "Root");
  EXPECT_FALSE(writer.GoToChild("Name") && writer.GoToNextSibling());
  XMLWriter(unsavable.c_str(), "Root");  // saved as it goes
  EXPECT_EQ(log.Lines(), (Lines{"ERROR: Could not find child: Missing of Root in file " + f,
                                "ERROR: Root in file " + f + " does not contain an attribute id.",
                                "ERROR: A in file " + f + " does not contain data.",
                                "ERROR: Could not find a child node of: A in file " + f,
                                "ERROR: C in file " + f + " does not contain data.",
                                "ERROR: GoToParent has no current element in file " + f,
                                "ERROR: Could not find a sibling node after: Name in file " + w,
                                "ERROR: Could not save file: " + unsavable}));
}
