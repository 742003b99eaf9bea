// The texture makers on a real GL context: filters and mipmaps of each maker, the pixels that
// reach GL, the binding table, release, restore, and files that are gone or not regular files.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <cstring>

#include "GlContext.h"
#include "TestSupport.h"
#include "presentation/GraphicsGlobals.h"
#include "resources/TextureLoader_GL.h"
#include "resources/TextureLoader_MipMap_GL.h"
#include "resources/TextureLoader_NoMipMap_GL.h"
#include "resources/Texture_GL.h"

using namespace CorvaneEngine;
using CorvaneTest::LoadWith;

namespace {

// A 4 x 2 PNG: top row red, green, blue, white; bottom row half-transparent grey.
const uint8_t kTop[4][4] = {
    {255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};

class TextureTest : public testing::Test {
 protected:
  void SetUp() override {
    uint8_t rgba[2][4][4];
    std::memcpy(rgba[0], kTop, sizeof kTop);
    std::memset(rgba[1], 128, sizeof rgba[1]);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = 4;
    image.height = 2;
    image.format = PNG_FORMAT_RGBA;
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgba, 0, nullptr));
  }

  static GLint Parameter(GLenum name) {
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
  }
  static GLint Level(int level, GLenum name) {
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
    return value;
  }

  CorvaneTest::ScratchDir dir{"texture"};
  const std::string path = (dir.Path() / "four.png").string();
};

}  // namespace

TEST_F(TextureTest, EachMakerSetsItsFiltersAndRestoresUseMipmaps) {
  TextureLoader_GL plain;
  TextureLoader_MipMap_GL mip;
  TextureLoader_NoMipMap_GL noMip;
  struct Case {
    TextureLoader_GL* maker;
    bool flagBefore;
    bool mipmapped;
  } cases[] = {{&plain, true, true}, {&plain, false, false}, {&mip, false, true},
               {&mip, true, true},   {&noMip, true, false},  {&noMip, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << &c - cases);
    useMipmaps = c.flagBefore;
    std::unique_ptr<Texture_GL> texture = LoadWith<Texture_GL>(*c.maker, path);
    EXPECT_EQ(useMipmaps, c.flagBefore);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->width, 4);
    EXPECT_EQ(texture->height, 2);
    ASSERT_TRUE(glIsTexture(texture->glName));
    glBindTexture(GL_TEXTURE_2D, texture->glName);
    EXPECT_EQ(Parameter(GL_TEXTURE_MIN_FILTER), c.mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    EXPECT_EQ(Parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(Parameter(GL_GENERATE_MIPMAP), GL_TRUE);
    // The legacy component count: the converted image has alpha.
    EXPECT_EQ(Level(0, GL_TEXTURE_INTERNAL_FORMAT), 4);
    if (c.mipmapped) {
      EXPECT_EQ(Level(1, GL_TEXTURE_WIDTH), 2);
    }
    // The pixels arrive in their own colours (BGRA read as such) with their alpha.
    uint8_t rgba[2][4][4] = {};
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    EXPECT_EQ(0, std::memcmp(rgba[0], kTop, sizeof kTop));
    EXPECT_EQ(rgba[1][2][3], 0x80);
  }
  useMipmaps = true;
}

TEST_F(TextureTest, BindingTableNeverNamesATextureItDidNotBind) {
  TextureLoader_GL maker;
  glActiveTexture(GL_TEXTURE2);
  boundTextures[2] = 12345;
  std::unique_ptr<Texture_GL> texture = LoadWith<Texture_GL>(maker, path);
  EXPECT_EQ(boundTextures[2], -1) << "the upload bound a texture on the active unit";
  glActiveTexture(GL_TEXTURE0);

  // A deleted name is handed out again by GL: a table entry for it would skip a needed bind.
  const int32_t name = static_cast<int32_t>(texture->glName);
  boundTextures[0] = boundTextures[5] = name;
  boundTextures[6] = name + 1;
  texture->ReleaseGpuObjects();
  EXPECT_EQ(texture->glName, Texture_GL::kNoName);
  EXPECT_FALSE(glIsTexture(static_cast<GLuint>(name)));
  EXPECT_EQ(boundTextures[0], -1);
  EXPECT_EQ(boundTextures[5], -1);
  EXPECT_EQ(boundTextures[6], name + 1);
  boundTextures[6] = -1;
}

TEST_F(TextureTest, ReleaseAndRestoreRebuildFromTheFileOrLeaveNoName) {
  TextureLoader_NoMipMap_GL maker;
  std::unique_ptr<Texture_GL> texture = LoadWith<Texture_GL>(maker, path);
  ASSERT_NE(texture, nullptr);
  texture->ReleaseGpuObjects();
  texture->RestoreGpuObjects();
  ASSERT_TRUE(glIsTexture(texture->glName));
  glBindTexture(GL_TEXTURE_2D, texture->glName);
  // Reloads follow useMipmaps (true outside a variant's Load), whatever maker made the texture.
  EXPECT_EQ(Parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
  uint8_t rgba[2][4][4] = {};
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  EXPECT_EQ(rgba[0][1][1], 255);  // green

  // The file is gone by the next context change: no GL name, one log line.
  std::filesystem::remove(path);
  texture->ReleaseGpuObjects();
  CorvaneTest::CapturedLog log;
  texture->RestoreGpuObjects();
  EXPECT_EQ(texture->glName, Texture_GL::kNoName);
  EXPECT_EQ(log.Lines().front(), "Can not load: \"" + path + "\".");

  // Neither a gone file nor a FIFO (which would block an open for reading), a device or a folder
  // makes a texture; each gets its one line.
  const std::string fifo = (dir.Path() / "fifo.png").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& refused : {path, fifo, std::string("/dev/zero"), dir.Path().string()}) {
    CorvaneTest::CapturedLog refusal;
    EXPECT_EQ(LoadWith<Texture_GL>(maker, refused), nullptr);
    EXPECT_EQ(refusal.Lines(),
              (std::vector<std::string>{"Can not load: \"" + refused + "\".", ""}));
  }
}
