// Meshes on a real GL context, read back with glReadPixels: vertex buffers and client memory draw
// the same picture, binds are never skipped wrongly, and release and restore keep meshes drawable.
#include <gtest/gtest.h>

#include <vector>

#include "GlContext.h"
#include "TestSupport.h"
#include "presentation/GraphicsGlobals.h"
#include "resources/MeshLoader_GL.h"
#include "resources/Mesh_GL.h"

using namespace CorvaneEngine;
using namespace CorvaneTest;

// Left half: a quad facing the light; right half: a quad whose normal is half as long, so it is
// drawn at half brightness. Each shows the texture's red and green halves from left to right.
const char* kTwoQuads =
    "v -1 -1 0\nv 0 -1 0\nv 0 1 0\nv -1 1 0\nv 1 -1 0\nv 1 1 0\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\nvn 0 0 0.5\n"
    "f 1/1/1 2/2/1 3/3/1 4/4/1\nf 2/1/2 5/2/2 6/3/2 3/4/2\n";

class MeshTest : public testing::Test {
 protected:
  void SetUp() override {
    glViewport(0, 0, kGlSize, kGlSize);
    for (GLenum array : {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_TEXTURE_COORD_ARRAY})
      glEnableClientState(array);
    // Lighting (GL's first light shines from the viewer) makes the normals visible: brightness =
    // the normal's z.
    const GLfloat zero[4] = {0, 0, 0, 1}, one[4] = {1, 1, 1, 1};
    for (GLenum feature : {GL_LIGHTING, GL_LIGHT0, GL_TEXTURE_2D}) glEnable(feature);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, zero);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, zero);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, one);
    // A 2 x 1 texture: red, green.
    const uint8_t texels[8] = {255, 0, 0, 255, 0, 255, 0, 255};
    glBindTexture(GL_TEXTURE_2D, 1);
    for (GLenum filter : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER})
      glTexParameteri(GL_TEXTURE_2D, filter, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    glClearColor(0, 0, 0.25f, 1);
  }
  void TearDown() override { hasVertexBufferObjects = false; }

  std::unique_ptr<Mesh_GL> Load(const std::string& name, const std::string& contents,
                                bool buffers) {
    hasVertexBufferObjects = buffers;
    return LoadWith<Mesh_GL>(loader, dir.Write(name, contents).string());
  }

  // Draws the meshes in order into a cleared frame and reads it back as RGBA rows.
  std::vector<uint8_t> Picture(std::initializer_list<const Mesh_GL*> meshes) {
    glClear(GL_COLOR_BUFFER_BIT);
    for (const Mesh_GL* mesh : meshes) mesh->Draw();
    std::vector<uint8_t> pixels(kGlSize * kGlSize * 4);
    glReadPixels(0, 0, kGlSize, kGlSize, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    return pixels;
  }

  ScratchDir dir{"mesh"};
  MeshLoader_GL loader{true};
};

TEST_F(MeshTest, BuffersAndClientMemoryDrawTheSamePictureAlsoAfterNewMeshesAndRestores) {
  std::unique_ptr<Mesh_GL> buffered = Load("quads.obj", kTwoQuads, true),
                           client = Load("quads.obj", kTwoQuads, false);
  ASSERT_TRUE(buffered && client);
  EXPECT_TRUE(buffered->vertexCount == 12u && buffered->meshData == nullptr);
  EXPECT_EQ(client->vertexBuffer, Mesh_GL::kNoBuffer);
  const std::vector<uint8_t> picture = Picture({buffered.get()});
  // Red, green, then both at half brightness.
  const int expected[4][3] = {{255, 0, 0}, {0, 255, 0}, {128, 0, 0}, {0, 128, 0}};
  for (int i = 0; i < 12; ++i)
    EXPECT_NEAR(picture[4 * (32 * kGlSize + 8 + 16 * (i / 3)) + i % 3], expected[i / 3][i % 3], 1);
  EXPECT_EQ(Picture({client.get()}), picture);
  // Building binds the new mesh's buffers: the quads must bind theirs again; drawn in turn, each
  // mesh draws its own corners.
  std::unique_ptr<Mesh_GL> triangle =
      Load("left.obj",
           "v -1 -1 0\nv 0 -1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvn 0 0 1\nf 1/1/1 2/2/1 3/2/1\n", true);
  ASSERT_NE(triangle, nullptr);
  EXPECT_EQ(Picture({buffered.get()}), picture);
  EXPECT_EQ(Picture({triangle.get(), buffered.get(), triangle.get()}), picture);
  for (const auto& [mesh, buffers] :
       {std::pair(buffered.get(), true), std::pair(client.get(), false)}) {
    hasVertexBufferObjects = buffers;
    EXPECT_EQ(Picture({mesh}), picture);
    mesh->ReleaseGpuObjects();
    EXPECT_TRUE(mesh->vertexBuffer == Mesh_GL::kNoBuffer &&
                (!buffers || boundVertexBuffer == Mesh_GL::kNoBuffer));
    mesh->RestoreGpuObjects();
    EXPECT_EQ(Picture({mesh}), picture);
  }
}

TEST_F(MeshTest, KmdlFilesLoadAndBadOrGoneFilesGiveNoCorners) {
  // A .kmdl: the corner count, then 32 bytes a corner (its contents are the fuzz replay's matter).
  std::unique_ptr<Mesh_GL> mesh =
      Load("one.kmdl", std::string("\x03\x00\x00\x00", 4) + std::string(96, '\0'), true);
  ASSERT_TRUE(mesh && mesh->vertexCount == 3u);

  CapturedLog log;
  EXPECT_EQ(Load("bad.obj", "v 0 0 0\nf 1/1/1 1/1/1\n", true), nullptr);
  // The file is gone when the context is replaced: the mesh stays, empty and undrawn.
  mesh = Load("gone.obj", kTwoQuads, true);
  std::filesystem::remove(dir.Path() / "gone.obj");
  mesh->ReleaseGpuObjects();
  mesh->RestoreGpuObjects();
  EXPECT_TRUE(mesh->vertexCount == 0u && mesh->vertexBuffer == Mesh_GL::kNoBuffer);
  EXPECT_EQ(Picture({mesh.get()})[4 * (32 * kGlSize + 8) + 2], 64);  // the clear colour
  EXPECT_EQ(log.Lines().size(), 2u) << log.Text();
}
