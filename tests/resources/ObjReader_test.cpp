// The OBJ and .kmdl readers without a GL context: corner orders, exact numbers, damaged files.
#include "resources/ObjReader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <tiny_obj_loader.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>

#include "TestSupport.h"
#include "core/QuitSignal.h"
#include "resources/KmdlReader.h"

using namespace CorvaneEngine;
using namespace CorvaneTest;

using Data = std::unique_ptr<MeshData, void (*)(MeshData*)>;
Data ReadObj(const std::filesystem::path& path) {
  return Data(ObjReader::Read(path.c_str()), MeshData::Free);
}

// Positions are (10 i, 0, 0), normals (0, i, 0), texture coordinates (i / 8, 0) for i = 1 .. 4, so
// every corner says which numbers it was built from.
const std::string kNumbered =
    "v 10 0 0\nv 20 0 0\nv 30 0 0\nv 40 0 0\nvn 0 1 0\nvn 0 2 0\nvn 0 3 0\nvn 0 4 0\n"
    "vt 0.125 0\nvt 0.25 0\nvt 0.375 0\nvt 0.5 0\n";

// A corner as its position, texture coordinate and normal numbers: (30, 0.125, 2) is 312.
float Corner(const MeshVertex& v) {
  return 10 * v.position[0] + 80 * v.texCoord[0] + v.normal[1];
}

TEST(ObjReader, SmallFilesGiveTheirCornersOrNoMeshWithTheirLogLine) {
  const std::string bad = kNumbered + "f 1/1/1 2/2/2 3/3/3\n";
  const struct {
    const char* what;
    std::string text;
    std::vector<float> corners;  // {-1}: no mesh
    std::string log;             // from ':' on: a warning after the file's name
  } cases[] = {
      {"a face before its vertices, a trailing blank, a quad split a-b-c a-c-d; lines to skip "
       "(also faces behind a blank)",
       "f 1/2/3 2/3/4 4/1/2 \n" + kNumbered +
           "o x\ng y\ns off\nusemtl z\n\n f 1/1/1 2/2/2 3/3/3\n" +
           "\tf 1/1/1 2/2/2 3/3/3\nf 1/1/1 2/2/2 3/3/3 4/4/4\r\n",
       {123, 234, 412, 111, 222, 333, 111, 333, 444},
       ""},
      {"damaged faces are left out",
       kNumbered + "f 1/1/1 2/2/2 5/1/1\nf 1/1/1 2/2/9 3/3/3\nf 1/1/1 2/7/2 3/3/3 4/4/4\n"
                   "f -5/-1/-1 -2/-2/-2 -3/-3/-3\nf 1//1 2//-5 3//3\nf 0/0/0 1/1/1 2/2/2\n"
                   "f 99999999999/1/1 1/1/1 2/2/2\nf 2/2/2 3/3/3 4/4/4\n",
       {222, 333, 444},
       ": 7 faces left out for a zero or out-of-range index."},
      {"short vertex lines keep their number",
       "v 10\nv\nv 30 0 0 9\nvn 0\nvt\nvt 0.25 0 0.7\n" + std::string("f 1/2/1 2/1/1 3/2/1\n"),
       {120, 0, 320},
       ": 4 vertex lines with too few numbers; the missing numbers read as 0."},
      {"positions without faces", "v 1 2 3\n", {}, ""},
      {"two corners", bad + "f 1/1/1 2/2/2\n", {-1}, "Too many sided polygon detected!"},
      {"five corners", bad + "f 1 2 3 4 1\n", {-1}, "Too many sided polygon detected!"},
      {"no corners", bad + "f\n", {-1}, "Too many sided polygon detected!"},
  };
  ScratchDir dir("obj-small");
  const std::string path = (dir.Path() / "mesh.obj").string();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CapturedLog log;
    Data data = ReadObj(dir.Write("mesh.obj", c.text));
    const std::string line = c.log[0] == ':' ? "WARNING: \"" + path + "\"" + c.log : c.log;
    EXPECT_EQ(log.Text(), line.empty() ? "" : line + "\n");
    std::vector<float> corners;
    for (uint32_t i = 0; data && i < data->vertexCount; ++i)
      corners.push_back(Corner(data->vertices[i]));
    EXPECT_EQ(data ? corners : std::vector<float>{-1}, c.corners);
  }
}

// Every way of writing a face corner (data/forms.obj), checked corner by corner against
// tinyobjloader (without its own triangulation, which splits quads along the shorter diagonal).
// Corners without a normal carry their face's flat normal: across the corner's triangle, on the
// side from which the corners run counter-clockwise.
TEST(ObjReader, FaceFormsGiveTheCornersTinyobjloaderGives) {
  const std::string path = CORVANE_SOURCE_DIR "/tests/resources/data/forms.obj";
  tinyobj::ObjReader reference;
  tinyobj::ObjReaderConfig config;
  config.triangulate = false;
  ASSERT_TRUE(reference.ParseFromFile(path, config));
  const tinyobj::attrib_t& attrib = reference.GetAttrib();
  std::vector<float> expected;  // eight numbers a corner, as MeshVertex holds them
  for (const tinyobj::shape_t& shape : reference.GetShapes()) {
    const tinyobj::index_t* face = shape.mesh.indices.data();
    for (unsigned char size : shape.mesh.num_face_vertices) {
      for (int t = 1; t + 1 < size; ++t) {  // a-b-c, then a-c-d
        const tinyobj::index_t corners[3] = {face[0], face[t], face[t + 1]};
        auto at = [&](int c, int k) { return attrib.vertices[3 * corners[c].vertex_index + k]; };
        float n[3];
        for (int k = 0, i = 1, j = 2; k < 3; ++k, i = (k + 1) % 3, j = (k + 2) % 3)
          n[k] = (at(1, i) - at(0, i)) * (at(2, j) - at(0, j)) -
                 (at(1, j) - at(0, j)) * (at(2, i) - at(0, i));
        for (int c = 0; c < 3; ++c) {
          const tinyobj::index_t& r = corners[c];
          for (int k = 0; k < 3; ++k) expected.push_back(at(c, k));
          for (int k = 0; k < 3; ++k)
            expected.push_back(r.normal_index < 0 ? n[k] / std::hypot(n[0], n[1], n[2])
                                                  : attrib.normals[3 * r.normal_index + k]);
          for (int k = 0; k < 2; ++k)
            expected.push_back(r.texcoord_index < 0 ? 0
                                                    : attrib.texcoords[2 * r.texcoord_index + k]);
        }
      }
      face += size;
    }
  }
  Data data = ReadObj(path);
  ASSERT_NE(data, nullptr);
  const float* read = data->vertices[0].position;
  EXPECT_THAT(std::vector<float>(read, read + 8 * data->vertexCount),
              testing::Pointwise(testing::FloatNear(1e-5f), expected));
}

// Neither reader may wait on a FIFO or a device, or take a folder for a file; every refusal names
// the file. (The .kmdl contract itself is held by the fuzz target's replay.)
TEST(ObjReader, UnreadableFilesGiveNoMeshAndALogLineNamingThem) {
  ScratchDir dir("obj-unreadable");
  std::filesystem::create_directories(dir.Path() / "folder");
  ASSERT_EQ(mkfifo((dir.Path() / "fifo").c_str(), 0600), 0);
  for (const char* name : {"missing", "folder", "fifo", "/dev/zero"}) {
    const std::string path = (dir.Path() / name).string();  // "/dev/zero" stays itself
    for (auto read : {&ObjReader::Read, &KmdlReader::Read}) {
      CapturedLog log;
      EXPECT_EQ(read(path.c_str()), nullptr) << path;
      ASSERT_EQ(log.Lines().size(), 1u) << log.Text();
      EXPECT_EQ(log.Lines()[0].rfind("Can not load: \"" + path + "\": ", 0), 0u) << log.Text();
    }
  }
  testing::internal::CaptureStderr();
  const std::string path = dir.Write("empty.obj", "vn 0 0 1\n# nothing else\n").string();
  EXPECT_EQ(ObjReader::Read(path.c_str()), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), path + " does not contain any vertices\n");
  const std::string tooShort = dir.Write("a.kmdl", "\x03").string(),
                    claims =
                        dir.Write("b.kmdl", "\xFF\xFF\xFF\xFF" + std::string(96, 'x')).string();
  CapturedLog log;
  EXPECT_EQ(KmdlReader::Read(tooShort.c_str()), nullptr);
  EXPECT_EQ(KmdlReader::Read(claims.c_str()), nullptr);  // 128 GiB asked of a 100-byte file
  EXPECT_EQ(log.Lines(),
            (std::vector<std::string>{
                "Resource Error: \"" + tooShort + "\" is too short to hold a vertex count.",
                "Resource Error: \"" + claims +
                    "\" claims 4294967295 vertices but holds only 3; the file is refused."}));
}

// SIGTERM or SIGINT during a read: it stops and gives no mesh (in a child: the flag stays set).
TEST(ObjReader, AQuitSignalStopsTheRead) {
  ScratchDir dir("obj-quit");
  const std::string path = dir.Write("mesh.obj", kNumbered + "f 1 2 3\n").string();
  EXPECT_EXIT(
      (QuitSignal::Install(), raise(SIGINT), std::exit(ObjReader::Read(path.c_str()) ? 1 : 0)),
      testing::ExitedWithCode(0), "");
}

// The hand-written number reader must round as the C library does, for every form.
TEST(ObjReader, NumbersReadAsStrtofReadsThem) {
  std::istringstream forms(
      "0 -0 +1.5 .5 5. 1e3 1E-3 -2.5e+2 3.4e38 1e-40 0.1 16777217 123456789012345678901234 "
      "1.000000059604644775390625001");
  std::vector<std::string> numbers{std::istream_iterator<std::string>(forms), {}};
  std::mt19937_64 random(12345);
  for (int i = 0; i < 3000; ++i) {  // "%e" forms, and "%f" forms of up to 8 + 9 digits
    char buffer[64];
    const double value =
        std::ldexp(random() % 2 ? 1.0 : -1.0, static_cast<int>(random() % 40) - 15) *
        (random() % 1000000) / 1e6;
    const int precision = static_cast<int>(random() % 10) + (i % 2 == 0);
    std::snprintf(buffer, sizeof buffer, i % 2 ? "%.*f" : "%.*e", precision, value);
    numbers.push_back(buffer);
  }
  // Three numbers a vertex, each vertex the corners of a face right after it.
  std::string text = "vn 0 0 1\nvt 0 0\n";
  for (size_t i = 0; i + 2 < numbers.size(); i += 3)
    text += "v " + numbers[i] + " " + numbers[i + 1] + " " + numbers[i + 2] +
            "\nf -1/1/1 -1/1/1 -1/1/1\n";
  ScratchDir dir("obj-numbers");
  Data data = ReadObj(dir.Write("mesh.obj", text));
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(data->vertexCount, numbers.size() / 3 * 3);
  for (size_t i = 0; i < data->vertexCount; ++i) {
    const float expected = std::strtof(numbers[i].c_str(), nullptr),
                read = data->vertices[i / 3 * 3].position[i % 3];
    ASSERT_EQ(std::memcmp(&read, &expected, 4), 0) << numbers[i] << " read as " << read;
  }
}

// Files large enough to be read in blocks by two threads, with twice as many positions as
// normals and texture coordinates: faces name vertices before they are read, relative to the
// line and mirrored from the end; faces left out in one block leave no gap before the next
// corners; the last line has no line break.
TEST(ObjReader, LargeFilesKeepOneNumberingAcrossTheBlocks) {
  const int count = 100000;
  std::string text =
      "f 3/2/1 2/2/2 1/1/1\nf 1/1/1 2/2/2 " + std::to_string(2 * count + 1) + "/1/1\n";
  // A corner as position x and y, normal y and texture coordinate y; the others are 0.
  std::vector<float> expected;
  auto corner = [&](float x, float y, float n, float t) {
    expected.insert(expected.end(), {x, y, 0, 0, n, 0, 0, t});
  };
  corner(2, 0, 1, 2), corner(1, 1, 2, 2), corner(1, 0, 1, 1);
  for (int i = 1; i <= count; ++i) {
    const int m = count + 1 - i;
    const std::string x = std::to_string(i);
    text += "v " + x + " 0 0\nv " + x + " 1 0\nvn 0 " + x + " 0\nvt 0 " + x + "\n" +
            (i % 10 == 0 ? "f 1/1/1 2/2/2 0/1/1\n"
                         : "f -2/-1/-1 -1/-1/-1 " + std::to_string(2 * m) + "/" +
                               std::to_string(m) + "/1\n");
    if (i % 10 != 0) corner(i, 0, i, i), corner(i, 1, i, i), corner(m, 1, 1, m);
  }
  text.pop_back();
  ScratchDir dir("obj-large");
  CapturedLog log;
  Data data = ReadObj(dir.Write("mesh.obj", text));
  ASSERT_NE(data, nullptr);
  const float* read = data->vertices[0].position;
  EXPECT_TRUE(std::vector<float>(read, read + 8 * data->vertexCount) == expected);
  EXPECT_NE(log.Text().find(": " + std::to_string(1 + count / 10) + " faces left out"),
            std::string::npos)
      << log.Text();
}
