// The texture makers on a real GL context: filters and mipmaps of each maker, the pixels that
// reach GL, the binding table, release, restore, and files that are gone or not regular files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "GlContext.h"
#include "PngWriter.h"
#include "TestSupport.h"
#include "presentation/GraphicsGlobals.h"
#include "resources/TextureLoader_GL.h"
#include "resources/TextureLoader_MipMap_GL.h"
#include "resources/TextureLoader_NoMipMap_GL.h"
#include "resources/Texture_GL.h"

using namespace CorvaneEngine;
using namespace CorvaneTest;

// A 4 x 2 PNG: top row red, green, blue, white; bottom row half-transparent grey.
const std::vector<uint8_t> kPixels = {255, 0,   0,   255, 0,   255, 0,   255, 0,   0,   255,
                                      255, 255, 255, 255, 255, 128, 128, 128, 128, 128, 128,
                                      128, 128, 128, 128, 128, 128, 128, 128, 128, 128};

class TextureTest : public testing::Test {
 protected:
  static GLint Parameter(GLenum name) {
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
  }
  // Binds the texture and checks its minifying filter and pixels (BGRA read as such).
  static void ExpectTexture(const Texture_GL& texture, bool mipmapped) {
    ASSERT_TRUE(glIsTexture(texture.glName));
    glBindTexture(GL_TEXTURE_2D, texture.glName);
    EXPECT_EQ(Parameter(GL_TEXTURE_MIN_FILTER), mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    std::vector<uint8_t> rgba(kPixels.size());
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    EXPECT_EQ(rgba, kPixels);
  }

  ScratchDir dir{"texture"};
  const std::vector<uint8_t> png = PngFile(kPixels, 4, 2);
  const std::string path = dir.Write("four.png", std::string(png.begin(), png.end())).string();
};

TEST_F(TextureTest, EachMakerSetsItsFiltersAndRestoresUseMipmaps) {
  TextureLoader_GL plain;
  TextureLoader_MipMap_GL mip;
  TextureLoader_NoMipMap_GL noMip;
  // Loads with each maker with useMipmaps set or not before: it is kept, and the minifying filter
  // says whether mipmaps are used.
  const struct {
    TextureLoader_GL* maker;
    bool flagBefore, mipmapped;
  } cases[] = {{&plain, true, true}, {&plain, false, false}, {&mip, false, true},
               {&mip, true, true},   {&noMip, true, false},  {&noMip, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    useMipmaps = c.flagBefore;
    std::unique_ptr<Texture_GL> texture = LoadWith<Texture_GL>(*c.maker, path);
    ASSERT_TRUE(texture != nullptr && texture->width == 4 && texture->height == 2);
    EXPECT_EQ(useMipmaps, c.flagBefore);
    ExpectTexture(*texture, c.mipmapped);
    EXPECT_EQ(Parameter(GL_GENERATE_MIPMAP), GL_TRUE);
  }
  // Reloads follow useMipmaps (true outside a variant's Load), whatever maker made the texture.
  useMipmaps = true;
  std::unique_ptr<Texture_GL> texture = LoadWith<Texture_GL>(noMip, path);
  texture->ReleaseGpuObjects(), texture->RestoreGpuObjects();
  ExpectTexture(*texture, true);

  // The file is gone by the next context change: no GL name, one log line.
  std::filesystem::remove(path);
  texture->ReleaseGpuObjects();
  CapturedLog log;
  texture->RestoreGpuObjects();
  EXPECT_EQ(texture->glName, Texture_GL::kNoName);
  EXPECT_EQ(log.Lines().front(), "Can not load: \"" + path + "\".");
  // Neither a gone file nor a FIFO (which would block an open for reading), a device or a folder
  // makes a texture; each gets its line and the empty line after it.
  const std::string fifo = (dir.Path() / "fifo.png").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& refused : {path, fifo, std::string("/dev/zero"), dir.Path().string()}) {
    CapturedLog refusal;
    EXPECT_EQ(LoadWith<Texture_GL>(noMip, refused), nullptr);
    EXPECT_EQ(refusal.Text(), "Can not load: \"" + refused + "\".\n\n");
  }
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
  EXPECT_FALSE(glIsTexture(static_cast<GLuint>(name)));
  EXPECT_EQ(std::vector<int32_t>({boundTextures[0], boundTextures[5], boundTextures[6]}),
            std::vector<int32_t>({-1, -1, name + 1}));
  boundTextures[6] = -1;
}
