// XMLReader and XMLWriter: every message word for word, the round trip through a file, the
// cursor rules and the value conversions.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "objects/XMLReader.h"
#include "objects/XMLWriter.h"

using namespace CorvaneEngine;
using CorvaneTest::CapturedLog;
using CorvaneTest::ScratchDir;

namespace {

class XMLSerializerTest : public ::testing::Test {
 protected:
  ScratchDir dir{"xml"};
  std::string PathOf(const char* name) const { return (dir.Path() / name).string(); }
  std::string Write(const char* name, const std::string& text) const {
    return dir.Write(name, text).string();
  }
};

TEST_F(XMLSerializerTest, RoundTripOfEveryValueKind) {
  std::string file = PathOf("round.xml");
  {
    XMLWriter writer(file.c_str(), "Root");
    EXPECT_EQ(1, writer.mode);
    int32_t i = -42;
    float f = 1.5f;
    double d = 0.000123456789;
    bool b = true;
    SharedString s("two words");
    SharedString attribute("v1");
    writer.SerializeAttribute("version", &attribute);
    writer.GoToChild("Int"), writer.SerializeInt(&i), writer.GoToParent();
    writer.GoToChild("Float"), writer.SerializeFloat(&f), writer.GoToParent();
    writer.GoToChild("Double"), writer.SerializeDouble(&d), writer.GoToParent();
    writer.GoToChild("Bool"), writer.SerializeBool(&b), writer.GoToParent();
    writer.GoToChild("Name"), writer.SerializeString(&s), writer.GoToParent();
  }
  std::string text = CorvaneTest::ReadFile(file);
  EXPECT_EQ(0u, text.find("<?xml version=\"1.0\"?>")) << text;
  EXPECT_NE(std::string::npos, text.find("<Bool>True</Bool>"));
  EXPECT_NE(std::string::npos, text.find("<Double>0.000123457</Double>"));

  XMLReader reader(file.c_str());
  EXPECT_EQ(0, reader.mode);
  EXPECT_STREQ("Root", reader.GetName());
  EXPECT_STREQ(file.c_str(), reader.GetFileName());
  int32_t i = 0;
  float f = 0;
  double d = 0;
  bool b = false;
  SharedString s, attribute;
  EXPECT_TRUE(reader.SerializeAttribute("version", &attribute));
  EXPECT_STREQ("v1", attribute.CStr());
  EXPECT_TRUE(reader.GoToChild("Int") && reader.SerializeInt(&i) && reader.GoToParent());
  EXPECT_TRUE(reader.GoToChild("Float") && reader.SerializeFloat(&f) && reader.GoToParent());
  EXPECT_TRUE(reader.GoToChild("Double") && reader.SerializeDouble(&d) && reader.GoToParent());
  EXPECT_TRUE(reader.GoToChild("Bool") && reader.SerializeBool(&b) && reader.GoToParent());
  EXPECT_TRUE(reader.GoToChild("Name") && reader.SerializeString(&s) && reader.GoToParent());
  EXPECT_EQ(-42, i);
  EXPECT_EQ(1.5f, f);
  EXPECT_DOUBLE_EQ(0.000123457, d);
  EXPECT_TRUE(b);
  EXPECT_STREQ("two words", s.CStr());
}

TEST_F(XMLSerializerTest, ReaderMessagesWordForWord) {
  std::string file = Write("r.xml", "<Root><A/><B>x</B><B>y</B><C><!--c-->text</C><D>5</D></Root>");
  CapturedLog log;
  XMLReader reader(file.c_str());
  EXPECT_FALSE(reader.GoToChild("Missing"));
  EXPECT_STREQ("Root", reader.GetName());  // the cursor stays
  SharedString attr("kept");
  EXPECT_FALSE(reader.SerializeAttribute("id", &attr));
  EXPECT_STREQ("kept", attr.CStr());
  ASSERT_TRUE(reader.GoToChild("A"));
  int32_t value = 7;
  EXPECT_FALSE(reader.SerializeInt(&value));  // an empty element holds no data
  EXPECT_EQ(7, value);
  EXPECT_FALSE(reader.GoToFirstChild());
  EXPECT_TRUE(reader.GoToParent());
  ASSERT_TRUE(reader.GoToChild("C"));
  SharedString s("unchanged");
  EXPECT_FALSE(reader.SerializeString(&s));  // first child is a comment, not text
  EXPECT_STREQ("unchanged", s.CStr());
  EXPECT_TRUE(reader.GoToNextSibling());
  EXPECT_FALSE(reader.GoToNextSibling());  // silent at the last child
  EXPECT_STREQ("D", reader.GetName());

  const std::string f = file;
  EXPECT_EQ((std::vector<std::string>{
                "ERROR: Could not find child: Missing of Root in file " + f,
                "ERROR: Root in file " + f + " does not contain an attribute id.",
                "ERROR: A in file " + f + " does not contain data.",
                "ERROR: Could not find a child node of: A in file " + f,
                "ERROR: C in file " + f + " does not contain data.",
            }),
            log.Lines());
}

TEST_F(XMLSerializerTest, OpenFailureAndEmptyCursorAreReportedNotFollowed) {
  CapturedLog log;
  std::string missing = PathOf("missing.xml");
  XMLReader reader(missing.c_str());
  EXPECT_EQ(nullptr, reader.Cursor());
  int32_t value = 3;
  EXPECT_FALSE(reader.SerializeInt(&value));
  EXPECT_FALSE(reader.GoToFirstChild());
  EXPECT_FALSE(reader.GoToChild("X"));
  EXPECT_FALSE(reader.GoToParent());
  EXPECT_EQ(3, value);
  ASSERT_FALSE(log.Lines().empty());
  EXPECT_EQ("ERROR: Could Not Open File: " + missing, log.Lines()[0]);

  std::string garbage = Write("bad.xml", std::string("\x01\x02<<>>\xff", 7));
  XMLReader bad(garbage.c_str());
  EXPECT_EQ(nullptr, bad.Cursor());
}

TEST_F(XMLSerializerTest, GoToParentFromTheRootEmptiesTheCursor) {
  std::string file = Write("p.xml", "<Root><A>1</A></Root>");
  CapturedLog log;
  XMLReader reader(file.c_str());
  EXPECT_TRUE(reader.GoToParent());
  EXPECT_EQ(nullptr, reader.Cursor());
  EXPECT_FALSE(reader.GoToParent());  // nothing to stand on: reported, not followed
  EXPECT_EQ(1u, log.Lines().size());
}

TEST_F(XMLSerializerTest, ConversionsFollowTheStandardFunctions) {
  std::string file =
      Write("c.xml",
            "<R><a>12abc</a><b>letters</b><c>TRUE</c><d>true</d><e>True</e><f>  -3.25e1x</f></R>");
  XMLReader reader(file.c_str());
  int32_t i = -1;
  bool flag = true;
  float f = 0;
  ASSERT_TRUE(reader.GoToChild("a") && reader.SerializeInt(&i) && reader.GoToParent());
  EXPECT_EQ(12, i);
  ASSERT_TRUE(reader.GoToChild("b") && reader.SerializeInt(&i) && reader.GoToParent());
  EXPECT_EQ(0, i);
  ASSERT_TRUE(reader.GoToChild("c") && reader.SerializeBool(&flag) && reader.GoToParent());
  EXPECT_FALSE(flag);
  ASSERT_TRUE(reader.GoToChild("d") && reader.SerializeBool(&flag) && reader.GoToParent());
  EXPECT_TRUE(flag);
  flag = false;
  ASSERT_TRUE(reader.GoToChild("e") && reader.SerializeBool(&flag) && reader.GoToParent());
  EXPECT_TRUE(flag);
  ASSERT_TRUE(reader.GoToChild("f") && reader.SerializeFloat(&f) && reader.GoToParent());
  EXPECT_EQ(-32.5f, f);
}

TEST_F(XMLSerializerTest, WriterAppendsAndReportsMissingSiblingAndUnsavableFile) {
  std::string file = PathOf("w.xml");
  CapturedLog log;
  {
    XMLWriter writer(file.c_str(), "Root");
    writer.GoToChild("Name");
    SharedString a("a"), b("b");
    writer.SerializeString(&a);
    writer.SerializeString(&b);  // two text nodes in one element
    EXPECT_FALSE(writer.GoToNextSibling());
    writer.GoToParent();
    writer.GoToChild("Name");  // never reuses an existing child
    writer.GoToParent();
  }
  std::string text = CorvaneTest::ReadFile(file);
  EXPECT_NE(std::string::npos, text.find("<Name>ab</Name>")) << text;
  EXPECT_NE(std::string::npos, text.find("<Name/>")) << text;
  EXPECT_EQ((std::vector<std::string>{"ERROR: Could not find a sibling node after: Name in file " +
                                      file}),
            log.Lines());

  std::string unsavable = PathOf("no/such/folder/x.xml");
  { XMLWriter writer(unsavable.c_str(), "Root"); }
  EXPECT_EQ("ERROR: Could not save file: " + unsavable, log.Lines().back());
}

}  // namespace
