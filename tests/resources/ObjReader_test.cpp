// The OBJ and .kmdl readers without a GL context: corner orders, exact numbers, damaged files.
#include "resources/ObjReader.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <tiny_obj_loader.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "TestSupport.h"
#include "core/QuitSignal.h"
#include "resources/KmdlReader.h"

using CorvaneEngine::KmdlReader;
using CorvaneEngine::MeshData;
using CorvaneEngine::MeshVertex;
using CorvaneEngine::ObjReader;
using CorvaneTest::CapturedLog;
using CorvaneTest::ScratchDir;

namespace {

struct DataDeleter {
  void operator()(MeshData* data) const { MeshData::Free(data); }
};
using Data = std::unique_ptr<MeshData, DataDeleter>;

Data ReadObjText(const ScratchDir& dir, const std::string& text) {
  return Data(ObjReader::Read(dir.Write("mesh.obj", text).c_str()));
}

// Positions are (10 i, 0, 0), normals (0, i, 0), texture coordinates (i / 8, 0) for i = 1 .. 4, so
// every corner says which numbers it was built from.
const char* kNumbered =
    "# four of each kind\n"
    "v 10 0 0\nv 20 0 0\nv 30 0 0\nv 40 0 0\n"
    "vn 0 1 0\nvn 0 2 0\nvn 0 3 0\nvn 0 4 0\n"
    "vt 0.125 0\nvt 0.25 0\nvt 0.375 0\nvt 0.5 0\n";

void ExpectCorner(const MeshVertex& v, int p, int t, int n) {
  EXPECT_EQ(v.position[0], 10.0f * p);
  EXPECT_EQ(v.normal[1], 1.0f * n);
  EXPECT_EQ(v.texCoord[0], 0.125f * t);
}

}  // namespace

TEST(ObjReader, TrianglesAndQuadsGiveTheirCornersInOrder) {
  ScratchDir dir("obj-corners");
  // A face before the vertices it names, a trailing blank, a quad, and lines to skip (also
  // faces behind a leading blank).
  Data data = ReadObjText(dir, "f 1/2/3 2/3/4 4/1/2 \n" + std::string(kNumbered) +
                                   "o thing\ng group\ns off\nusemtl x\n\n"
                                   " f 1/1/1 2/2/2 3/3/3\n\tf 1/1/1 2/2/2 3/3/3\n"
                                   "f 1/1/1 2/2/2 3/3/3 4/4/4\r\n");
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(data->vertexCount, 9u);
  ExpectCorner(data->vertices[0], 1, 2, 3);
  ExpectCorner(data->vertices[1], 2, 3, 4);
  ExpectCorner(data->vertices[2], 4, 1, 2);
  const int quad[6] = {1, 2, 3, 1, 3, 4};  // a, b, c, a, c, d
  for (int i = 0; i < 6; ++i) ExpectCorner(data->vertices[3 + i], quad[i], quad[i], quad[i]);
}

TEST(ObjReader, FacesOfOtherSizesAndFilesWithoutPositionsGiveNoMesh) {
  ScratchDir dir("obj-refused");
  for (const char* face : {"f 1/1/1 2/2/2\n", "f 1/1/1 2/2/2 3/3/3 4/4/4 1/1/1\n", "f\n"}) {
    CapturedLog log;
    EXPECT_EQ(ReadObjText(dir, std::string(kNumbered) + "f 1/1/1 2/2/2 3/3/3\n" + face), nullptr)
        << face;
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"Too many sided polygon detected!"}) << face;
  }
  testing::internal::CaptureStderr();
  const std::string path = dir.Write("empty.obj", "vn 0 0 1\n# nothing else\n").string();
  EXPECT_EQ(ObjReader::Read(path.c_str()), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), path + " does not contain any vertices\n");
  // Positions without faces are a mesh of no corners.
  Data none = ReadObjText(dir, "v 1 2 3\n");
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(none->vertexCount, 0u);
}

TEST(ObjReader, DamagedFacesAreLeftOutAndTheRestIsTheMesh) {
  ScratchDir dir("obj-damaged");
  CapturedLog log;
  Data data = ReadObjText(dir, std::string(kNumbered) +
                                   "f 1/1/1 2/2/2 5/1/1\n"           // position past the list
                                   "f 1/1/1 2/2/9 3/3/3\n"           // normal past the list
                                   "f 1/1/1 2/7/2 3/3/3 4/4/4\n"     // quad: texture past
                                   "f -5/-1/-1 -2/-2/-2 -3/-3/-3\n"  // before the first position
                                   "f 1//1 2//-5 3//3\n"             // before the first normal
                                   "f 0/0/0 1/1/1 2/2/2\n"
                                   "f 99999999999/1/1 1/1/1 2/2/2\n"
                                   "f 2/2/2 3/3/3 4/4/4\n");  // the one good face
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(data->vertexCount, 3u);
  ExpectCorner(data->vertices[0], 2, 2, 2);
  ExpectCorner(data->vertices[2], 4, 4, 4);
  ASSERT_EQ(log.Lines().size(), 1u);
  EXPECT_NE(log.Text().find(" 7 faces left out"), std::string::npos) << log.Text();
}

// Every way of writing a face corner, checked corner by corner against tinyobjloader (without
// its own triangulation, which splits quads along the shorter diagonal). Corners without a normal
// must carry their face's flat normal.
TEST(ObjReader, FaceFormsGiveTheCornersTinyobjloaderGives) {
  const std::string square =
      "v 0 0 0\nv 2 0 0\nv 2 2 0\nv 0 2 0\nv 0 0 2\n"
      "vt 0.25 0.5\nvt 0.75 0.5\nvt 0.75 1\nvt 0.25 1\nvn 0 0 1\nvn 0 1 0\n";
  // Small objects one after another, each face naming its own vertices relatively, as many
  // exporters write them; large enough to be cut into blocks.
  std::string relative;
  for (int i = 0; i < 60000; ++i) {  // about 5 MB
    const std::string x = std::to_string(i);
    relative += "v " + x + " 0 0\nv " + x + " 1 0\nv " + x + " 1 1\nvt 0." + x + " 1\nvn 0 0 " + x +
                "\n" + (i % 2 ? "f -3/-1 -2/-1 -1/-1\n" : "f -1//-1 -2//-1 -3//-1 1//1\n");
  }
  const struct {
    const char* form;
    std::string text;
  } forms[] = {
      {"p", square + "f 1 2 3\nf 1 2 3 4\nf 5 2 3\n"},
      {"p//n", square + "f 1//2 2//2 3//1\nf 1//1 2//1 3//1 4//1\n"},
      {"p/t", square + "f 1/1 2/2 3/3\nf 1/4 2/3 3/2 4/1\n"},
      {"p/t/n", square + "f 1/1/1 2/2/2 3/3/1\nf 4/4/2 3/3/1 2/2/2 1/1/1\n"},
      {"mixed in one face", square + "f 1/1/1 2//2 3/3 4\n"},
      {"relative",
       square + "f -5 -4 -3\nv 5 5 5\nvt 0.5 0.5\nf -1/-1/-2 -2/-5/-1 -3/-2/-1 -6/-3/-2\n"},
      {"relative, cut into blocks", relative},
  };
  ScratchDir dir("obj-forms");
  for (const auto& row : forms) {
    SCOPED_TRACE(row.form);
    // (The comment keeps the faces off the file's end, where lines are read a byte at a time.)
    const std::string path = dir.Write("forms.obj", row.text + "#" + std::string(80, '-')).string();
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    ASSERT_TRUE(
        tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str(), nullptr, false));
    std::vector<tinyobj::index_t> corners;
    for (const tinyobj::shape_t& shape : shapes) {
      size_t first = 0;
      for (unsigned char size : shape.mesh.num_face_vertices) {
        for (int i : size == 3 ? std::vector<int>{0, 1, 2} : std::vector<int>{0, 1, 2, 0, 2, 3}) {
          corners.push_back(shape.mesh.indices[first + i]);
        }
        first += size;
      }
    }
    Data data(ObjReader::Read(path.c_str()));
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(data->vertexCount, corners.size());
    ASSERT_GT(corners.size(), 0u);
    for (size_t c = 0; c < corners.size(); ++c) {
      const MeshVertex& v = data->vertices[c];
      const tinyobj::index_t& r = corners[c];
      for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(v.position[k], attrib.vertices[3 * r.vertex_index + k]) << "corner " << c;
      }
      for (int k = 0; k < 2; ++k) {
        ASSERT_EQ(v.texCoord[k],
                  r.texcoord_index < 0 ? 0.0f : attrib.texcoords[2 * r.texcoord_index + k])
            << "corner " << c;
      }
      if (r.normal_index >= 0) {
        for (int k = 0; k < 3; ++k) ASSERT_EQ(v.normal[k], attrib.normals[3 * r.normal_index + k]);
        continue;
      }
      // The flat normal: of unit length, across both edges of the corner's triangle, on the side
      // from which the corners run counter-clockwise.
      const MeshVertex* t = data->vertices + c / 3 * 3;
      float a[3], b[3];
      for (int k = 0; k < 3; ++k) {
        a[k] = t[1].position[k] - t[0].position[k];
        b[k] = t[2].position[k] - t[0].position[k];
      }
      const float* n = v.normal;
      const float cross[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                              a[0] * b[1] - a[1] * b[0]};
      EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5) << "corner " << c;
      EXPECT_NEAR(n[0] * a[0] + n[1] * a[1] + n[2] * a[2], 0.0f, 1e-5) << "corner " << c;
      EXPECT_NEAR(n[0] * b[0] + n[1] * b[1] + n[2] * b[2], 0.0f, 1e-5) << "corner " << c;
      EXPECT_GT(n[0] * cross[0] + n[1] * cross[1] + n[2] * cross[2], 0.0f) << "corner " << c;
    }
  }
}

TEST(ObjReader, ShortVertexLinesKeepTheirNumberWithZeros) {
  ScratchDir dir("obj-short");
  CapturedLog log;
  Data data = ReadObjText(dir,
                          "v 1 2\nv\nv 7 8 9 extra\nvn 0 0\nvt\nvt 0.5 0.25 0.75\n"
                          "f 1/1/1 2/2/1 3/2/1\n");
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(data->vertexCount, 3u);
  const MeshVertex* v = data->vertices;
  EXPECT_TRUE(v[0].position[0] == 1 && v[0].position[1] == 2 && v[0].position[2] == 0);
  EXPECT_EQ(v[1].position[0], 0.0f);
  // Still the third position and the second texture coordinate.
  EXPECT_TRUE(v[2].position[2] == 9 && v[2].texCoord[0] == 0.5f && v[2].texCoord[1] == 0.25f);
  ASSERT_EQ(log.Lines().size(), 1u);
  EXPECT_NE(log.Text().find(" 4 vertex lines with too few numbers"), std::string::npos)
      << log.Text();
}

// Neither reader may wait on a FIFO or a device, or take a folder for a file.
TEST(ObjReader, UnreadableFilesGiveNoMeshAndALogLine) {
  ScratchDir dir("obj-unreadable");
  std::filesystem::create_directories(dir.Path() / "folder");
  ASSERT_EQ(mkfifo((dir.Path() / "fifo").c_str(), 0600), 0);
  const std::string missing = (dir.Path() / "missing").string();
  for (const std::string& path : {missing, (dir.Path() / "folder").string(),
                                  (dir.Path() / "fifo").string(), std::string("/dev/zero")}) {
    for (auto read : {&ObjReader::Read, &KmdlReader::Read}) {
      CapturedLog log;
      EXPECT_EQ(read(path.c_str()), nullptr) << path;
      ASSERT_EQ(log.Lines().size(), 1u) << log.Text();
      EXPECT_EQ(log.Lines()[0].rfind("Can not load: \"" + path + "\": ", 0), 0u) << log.Text();
    }
  }
}

// SIGTERM or SIGINT during a read: it stops and gives no mesh (in a child: the flag stays set).
TEST(ObjReader, AQuitSignalStopsTheRead) {
  ScratchDir dir("obj-quit");
  const std::string path = dir.Write("mesh.obj", std::string(kNumbered) + "f 1 2 3\n").string();
  EXPECT_EXIT(
      {
        CorvaneEngine::QuitSignal::Install();
        raise(SIGINT);
        std::exit(ObjReader::Read(path.c_str()) == nullptr ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

// The hand-written number reader must round exactly as the C library does, for every form.
TEST(ObjReader, NumbersRoundExactlyAsStrtof) {
  ScratchDir dir("obj-numbers");
  std::mt19937_64 random(12345);
  std::vector<std::string> numbers;
  std::istringstream forms(
      "0 -0 +1.5 .5 5. 1e3 1E-3 -2.5e+2 3.4e38 1e-40 0.1 16777217 "
      "1.00000005960464477539062500000000001 0.000000000000000000000000123456789 "
      "123456789012345678901234");
  for (std::string form; forms >> form;) numbers.push_back(form);
  char buffer[64];
  for (int i = 0; i < 20000; ++i) {
    const int digits = 1 + static_cast<int>(random() % 12);
    const int exponent = static_cast<int>(random() % 30) - 15;
    std::snprintf(buffer, sizeof buffer, "%.*e", digits,
                  std::ldexp(1.0, exponent) * (random() % 1000000) / 1000000.0);
    numbers.push_back(buffer);
    std::snprintf(buffer, sizeof buffer, "%.*f", 1 + digits % 8, (random() % 40000000) / 1e6 - 20);
    numbers.push_back(buffer);
    // Decimals that sit right on or next to a midpoint between two floats.
    const float f = std::ldexp(static_cast<float>(random() % (1 << 24)), exponent);
    std::snprintf(buffer, sizeof buffer, "%.17g",
                  (static_cast<double>(f) + std::nextafter(f, 1e30f)) / 2);
    numbers.push_back(buffer);
  }
  // Decimals m * 10^e whose nearest double is exactly a midpoint between two floats although
  // the decimal is not: rounding through a double would pick the wrong float for about half.
  int midpoints = 0;
  for (int trial = 0; trial < 200000 && midpoints < 400; ++trial) {
    const int e = 8 + static_cast<int>(random() % 15);
    const uint64_t odd = (1ull << 24) | (random() & 0xFFFFFF) | 1;
    const int j = static_cast<int>(std::floor(52.5 + e * std::log2(10.0) - std::log2(odd)));
    const long double m =
        std::nearbyint(std::ldexp(static_cast<long double>(odd), j) / std::pow(10.0L, e));
    if (m >= 9007199254740992.0L || m < 1.0L) continue;
    const double viaDouble = static_cast<double>(static_cast<uint64_t>(m)) * std::pow(10.0, e);
    if (viaDouble != std::ldexp(static_cast<double>(odd), j)) continue;
    std::snprintf(buffer, sizeof buffer, "%llue%d", static_cast<unsigned long long>(m), e);
    numbers.push_back(buffer);
    ++midpoints;
  }
  ASSERT_GT(midpoints, 10);
  std::string text = "vn 0 0 1\nvt 0 0\n";
  for (const std::string& n : numbers) text += "v " + n + " 0 0\n";
  for (size_t i = 0; i < numbers.size(); ++i) {
    text += "f " + std::to_string(i + 1) + "/1/1 1/1/1 1/1/1\n";
  }
  Data data = ReadObjText(dir, text);
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(data->vertexCount, 3 * numbers.size());
  for (size_t i = 0; i < numbers.size(); ++i) {
    const float expected = std::strtof(numbers[i].c_str(), nullptr);
    ASSERT_EQ(std::memcmp(&data->vertices[3 * i].position[0], &expected, 4), 0)
        << numbers[i] << " read as " << data->vertices[3 * i].position[0];
  }
}

// Files large enough to be read by two threads number their vertices across the split, and
// faces left out in the first half leave no gap before the second half's corners.
TEST(ObjReader, LargeFilesKeepOneNumberingAcrossTheSplit) {
  ScratchDir dir("obj-large");
  const int count = 120000;  // about 6 MB
  // Faces at the top name vertices that come later; one of them names none.
  std::string text = "f 3/2/1 2/2/2 1/1/1\nf 1/1/1 2/2/2 " + std::to_string(count + 1) + "/1/1\n";
  for (int i = 1; i <= count; ++i) {
    text += "v " + std::to_string(i) + " 0 0\nvn 0 " + std::to_string(i) + " 0\nvt 0 " +
            std::to_string(i) + "\n";
  }
  // Faces at the end name vertices of both halves; the last one counts back from the end.
  for (int i = 1; i + 2 <= count; i += 1000) {
    text += "f " + std::to_string(i) + "/" + std::to_string(i + 1) + "/" + std::to_string(i + 2) +
            " " + std::to_string(count - i) + "/1/1 1/1/1\n";
  }
  text += "f -1/-2/-3 1/1/1 2/2/2\n";
  CapturedLog log;
  Data data = ReadObjText(dir, text);
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(data->vertexCount, 3u + 3u * 120 + 3u);
  EXPECT_EQ(data->vertices[0].position[0], 3.0f);
  EXPECT_EQ(data->vertices[0].normal[1], 1.0f);
  for (uint32_t f = 0; f < 120; ++f) {
    const int i = 1 + 1000 * static_cast<int>(f);
    const MeshVertex* v = data->vertices + 3 + 3 * f;
    ASSERT_EQ(v[0].position[0], static_cast<float>(i));
    ASSERT_EQ(v[0].texCoord[1], static_cast<float>(i + 1));
    ASSERT_EQ(v[0].normal[1], static_cast<float>(i + 2));
    ASSERT_EQ(v[1].position[0], static_cast<float>(count - i));
  }
  const MeshVertex& relative = data->vertices[3 + 3 * 120];
  EXPECT_EQ(relative.position[0], static_cast<float>(count));
  EXPECT_EQ(relative.texCoord[1], static_cast<float>(count - 1));
  EXPECT_EQ(relative.normal[1], static_cast<float>(count - 2));
  EXPECT_NE(log.Text().find(" 1 faces left out"), std::string::npos) << log.Text();
}

// When most of a large file is faces, both threads make corners at once over references that
// are still to be read; every corner must still come from its own face.
TEST(ObjReader, LargeFilesOfFacesKeepEveryFace) {
  ScratchDir dir("obj-faces");
  std::string text;
  for (int i = 1; i <= 100; ++i) text += "v " + std::to_string(i) + " 0 0\n";
  const int faces = 400000;  // about 8 MB
  for (int f = 0; f < faces; ++f) {
    const int a = f % 98 + 1;
    text +=
        "f " + std::to_string(a) + " " + std::to_string(a + 1) + " " + std::to_string(a + 2) + "\n";
  }
  Data data = ReadObjText(dir, text);
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(data->vertexCount, 3u * faces);
  for (uint32_t c = 0; c < data->vertexCount; ++c) {
    ASSERT_EQ(data->vertices[c].position[0], static_cast<float>(c / 3 % 98 + 1 + c % 3)) << c;
  }
}

namespace {
std::string Kmdl(uint32_t count, size_t vertexBytes) {
  std::string bytes(reinterpret_cast<const char*>(&count), 4);
  for (size_t i = 0; i < vertexBytes / 4; ++i) {
    const float value = static_cast<float>(i + 1);
    bytes.append(reinterpret_cast<const char*>(&value), 4);
  }
  return bytes;
}
}  // namespace

TEST(KmdlReader, CountsAreCheckedAgainstTheFile) {
  ScratchDir dir("kmdl");
  auto read = [&](const std::string& bytes) {
    return Data(KmdlReader::Read(dir.Write("mesh.kmdl", bytes).c_str()));
  };
  Data triangle = read(Kmdl(3, 96));
  ASSERT_NE(triangle, nullptr);
  ASSERT_EQ(triangle->vertexCount, 3u);
  EXPECT_EQ(triangle->vertices[0].position[0], 1.0f);
  EXPECT_EQ(triangle->vertices[2].texCoord[1], 24.0f);
  // A merely short file: the missing tail is zero.
  Data shortFile = read(Kmdl(3, 64 + 8));
  ASSERT_NE(shortFile, nullptr);
  ASSERT_EQ(shortFile->vertexCount, 3u);
  const MeshVertex& last = shortFile->vertices[2];
  EXPECT_TRUE(last.position[1] == 18 && last.position[2] == 0 && last.texCoord[1] == 0);
  Data empty = read(Kmdl(0, 0));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->vertexCount, 0u);

  CapturedLog log;
  EXPECT_EQ(read(Kmdl(0xFFFFFFFFu, 96)), nullptr);  // 128 GiB asked of a 100-byte file
  EXPECT_EQ(read(Kmdl(7, 96)), nullptr);            // more than one triangle missing
  EXPECT_EQ(read(std::string("\x03\x00", 2)), nullptr);
  EXPECT_EQ(KmdlReader::Read((dir.Path() / "none.kmdl").c_str()), nullptr);
  ASSERT_EQ(log.Lines().size(), 4u) << log.Text();
  EXPECT_NE(log.Lines()[0].find("claims 4294967295 vertices but holds only 3"), std::string::npos);
}

// Large reads one after another reuse the previous read's memory (its lists and, once freed, its
// corners); nothing of the first file may show in the second.
TEST(ObjReader, ReadsOneAfterAnotherCarryNothingOver) {
  ScratchDir dir("obj-reuse");
  auto faces = [](const char* face, int count) {
    std::string text = kNumbered;
    for (int i = 0; i < count; ++i) text += face;
    return text;
  };
  // 150,000 and 135,000 corners: blocks of more than 4 MB.
  Data first = ReadObjText(dir, faces("f 1/1/1 2/2/2 3/3/3\n", 50000));
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(first->vertexCount, 150000u);
  ExpectCorner(first->vertices[149999], 3, 3, 3);
  first.reset();

  // Every tenth face names a missing vertex and is left out, so fewer corners are written than
  // were planned; the last line has no line break.
  std::string text = kNumbered;
  for (int i = 0; i < 50000; ++i)
    text += i % 10 == 9 ? "f 4/3/2 1/1/1 9/1/1\n" : "f 4/3/2 3/2/1 2/4/3\n";
  text.pop_back();
  CapturedLog log;
  Data second = ReadObjText(dir, text);
  ASSERT_NE(second, nullptr);
  ASSERT_EQ(second->vertexCount, 135000u);
  for (uint32_t i = 0; i < second->vertexCount; i += 3) {
    const MeshVertex* v = second->vertices + i;
    ASSERT_TRUE(v[0].position[0] == 40.0f && v[0].texCoord[0] == 0.375f && v[0].normal[1] == 2.0f &&
                v[1].position[0] == 30.0f && v[2].normal[1] == 3.0f)
        << "corner " << i;
  }
  EXPECT_NE(log.Text().find(" 5000 faces left out"), std::string::npos) << log.Text();
}
