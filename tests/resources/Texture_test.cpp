// The texture makers on a real GL context (Mesa under a private Xvfb): filters and mipmaps of
// each maker, the pixels that reach GL, the binding table, release, restore and vanished files.
#include <GL/glew.h>
#include <SDL/SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "TestSupport.h"
#include "VirtualDisplay.h"
#include "presentation/GraphicsGlobals.h"
#include "resources/ResourceRequest.h"
#include "resources/TextureLoader_GL.h"
#include "resources/TextureLoader_MipMap_GL.h"
#include "resources/TextureLoader_NoMipMap_GL.h"
#include "resources/Texture_GL.h"

using namespace CorvaneEngine;
using CorvaneTest::CapturedLog;
using CorvaneTest::ScratchDir;

// Lock reports from inside the window libraries (libX11 and libGLX take their locks in both
// orders while SDL opens a GL window) are theirs, not the engine's.
extern "C" __attribute__((used)) const char* __tsan_default_suppressions() {
  return "deadlock:libX11.so\ndeadlock:libGLX.so\nmutex:libSDL-1.2.so\nmutex:libGLX_mesa.so\n"
         "mutex:libxcb.so\nmutex:libX11.so\n";
}

namespace {

// One window with a GL context for the whole program.
class GlContext : public testing::Environment {
 public:
  void SetUp() override {
    setenv("CORVANE_ERROR_BOX", "0", 1);
    // Mesa's GLX library and driver are unloaded at SDL_Quit, after which the sanitizers can
    // no longer name them to match tests/sanitizer: keep them loaded.
    dlopen("libGLX_mesa.so.0", RTLD_NOW | RTLD_NODELETE);
    dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE);
    display = std::make_unique<CorvaneTest::VirtualDisplay>(320, 240);
    ASSERT_TRUE(display->Ok());
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    ASSERT_NE(SDL_SetVideoMode(64, 64, 0, SDL_OPENGL), nullptr) << SDL_GetError();
    ASSERT_EQ(glewInit(), static_cast<GLenum>(GLEW_OK));
  }
  void TearDown() override {
    SDL_Quit();
    display.reset();
  }
  std::unique_ptr<CorvaneTest::VirtualDisplay> display;
};
testing::Environment* const kContext = testing::AddGlobalTestEnvironment(new GlContext);

// A 4 x 2 PNG: top row red, green, blue, white; bottom row half-transparent grey.
std::string WriteImage(const ScratchDir& dir, const char* name) {
  const uint8_t rgba[2][4][4] = {
      {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}},
      {{128, 128, 128, 128}, {128, 128, 128, 128}, {128, 128, 128, 128}, {128, 128, 128, 128}}};
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = 4;
  image.height = 2;
  image.format = PNG_FORMAT_RGBA;
  const std::string path = (dir.Path() / name).string();
  EXPECT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgba, 0, nullptr));
  return path;
}

std::unique_ptr<Texture_GL> Load(TextureLoader_GL& maker, const std::string& path) {
  ResourceRequest request;
  request.path = path.c_str();
  std::unique_ptr<Texture_GL> texture(static_cast<Texture_GL*>(maker.Load(request)));
  if (texture) {
    texture->path = request.path;
    texture->maker = &maker;
  }
  return texture;
}

GLint Parameter(GLenum name) {
  GLint value = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
  return value;
}

GLint LevelOneWidth() {
  GLint width = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &width);
  return width;
}

}  // namespace

TEST(Texture, EachMakerSetsItsFiltersAndRestoresUseMipmaps) {
  ScratchDir dir("texture-makers");
  const std::string path = WriteImage(dir, "four.png");
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
    useMipmaps = c.flagBefore;
    std::unique_ptr<Texture_GL> texture = Load(*c.maker, path);
    EXPECT_EQ(useMipmaps, c.flagBefore);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->width, 4);
    EXPECT_EQ(texture->height, 2);
    ASSERT_TRUE(glIsTexture(texture->glName));
    glBindTexture(GL_TEXTURE_2D, texture->glName);
    EXPECT_EQ(Parameter(GL_TEXTURE_MIN_FILTER), c.mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    EXPECT_EQ(Parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(Parameter(GL_GENERATE_MIPMAP), GL_TRUE);
    GLint internalFormat = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internalFormat);
    EXPECT_EQ(internalFormat, 4);  // the legacy component count: the converted image has alpha
    if (c.mipmapped) {
      EXPECT_EQ(LevelOneWidth(), 2);
    }
    // The pixels arrive in their own colours (BGRA read as such) with their alpha.
    uint8_t rgba[2][4][4] = {};
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    const uint8_t top[4][4] = {
        {255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};
    EXPECT_EQ(0, std::memcmp(rgba[0], top, sizeof top));
    EXPECT_EQ(rgba[1][2][3], 0x80);
  }
  useMipmaps = true;
}

TEST(Texture, BindingTableNeverNamesATextureItDidNotBind) {
  ScratchDir dir("texture-bindings");
  const std::string path = WriteImage(dir, "four.png");
  TextureLoader_GL maker;
  glActiveTexture(GL_TEXTURE2);
  boundTextures[2] = 12345;
  std::unique_ptr<Texture_GL> texture = Load(maker, path);
  EXPECT_EQ(boundTextures[2], -1) << "the upload bound a texture on the active unit";
  glActiveTexture(GL_TEXTURE0);

  // A deleted name is handed out again by GL: a table entry for it would skip a needed bind.
  const int32_t name = static_cast<int32_t>(texture->glName);
  boundTextures[0] = name;
  boundTextures[5] = name;
  boundTextures[6] = name + 1;
  texture->ReleaseGpuObjects();
  EXPECT_EQ(texture->glName, Texture_GL::kNoName);
  EXPECT_FALSE(glIsTexture(static_cast<GLuint>(name)));
  EXPECT_EQ(boundTextures[0], -1);
  EXPECT_EQ(boundTextures[5], -1);
  EXPECT_EQ(boundTextures[6], name + 1);
  boundTextures[6] = -1;
}

TEST(Texture, ReleaseAndRestoreRebuildFromTheFileOrLeaveNoName) {
  ScratchDir dir("texture-restore");
  const std::string path = WriteImage(dir, "four.png");
  TextureLoader_NoMipMap_GL maker;
  std::unique_ptr<Texture_GL> texture = Load(maker, path);
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
  CapturedLog log;
  texture->RestoreGpuObjects();
  EXPECT_EQ(texture->glName, Texture_GL::kNoName);
  EXPECT_EQ(log.Lines().front(), "Can not load: \"" + path + "\".");
  EXPECT_EQ(Load(maker, path), nullptr);
}
