#include "presentation/DynamicTexture_GL.h"

#include <GL/glew.h>

#include <cstring>

#include "presentation/BasicWindowSystem.h"
#include "presentation/GraphicsGlobals.h"

namespace CorvaneEngine {

namespace {
constexpr uint32_t kNoGlName = 0xFFFFFFFFu;
constexpr int kUploadUnit = 20;
}  // namespace

DynamicTexture_GL::DynamicTexture_GL() {
  RestoreGpuObjects();
}

DynamicTexture_GL::~DynamicTexture_GL() {
  std::lock_guard<std::mutex> guard(lock);
  if (glName != kNoGlName) {
    ForgetTextureBindings(glName);
    glDeleteTextures(1, &glName);
    glName = kNoGlName;  // the Texture_GL destructor must not delete it again
  }
  delete[] pixels;
  pixels = nullptr;
}

void DynamicTexture_GL::ReleaseGpuObjects() {
  std::lock_guard<std::mutex> guard(lock);
  if (glName != kNoGlName) {
    ForgetTextureBindings(glName);
    glDeleteTextures(1, &glName);
    glName = kNoGlName;
  }
  delete[] pixels;
  pixels = nullptr;
  dirty = false;
}

void DynamicTexture_GL::RestoreGpuObjects() {
  std::lock_guard<std::mutex> guard(lock);
  BasicWindowSystem* window = BasicWindowSystem::instance;
  width = window != nullptr ? window->GetWidth() : 0;
  height = window != nullptr ? window->GetHeight() : 0;
  if (width < 0 || height < 0) width = height = 0;

  // A restore without a release first (never done by the engine) must not leak
  // the old image.
  if (glName != kNoGlName) {
    ForgetTextureBindings(glName);
    glDeleteTextures(1, &glName);
  }
  delete[] pixels;
  pixels = nullptr;

  GLuint name = 0;
  glGenTextures(1, &name);
  glName = name;
  glBindTexture(GL_TEXTURE_2D, glName);
  // The bind above went around the table: record it for whichever unit is
  // active.
  GLint activeUnit = GL_TEXTURE0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &activeUnit);
  int unit = activeUnit - GL_TEXTURE0;
  if (unit >= 0 && unit < kTextureUnitCount) boundTextures[unit] = static_cast<int32_t>(glName);

  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  if (bytes > 0) pixels = new uint8_t[bytes]();  // all zero: a fully transparent page
  glTexImage2D(GL_TEXTURE_2D, 0, 4, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
  dirty = false;
}

void DynamicTexture_GL::CopyPage(int32_t pageWidth, int32_t pageHeight,
                                 const uint8_t* bgraRowsFromTop) {
  if (bgraRowsFromTop == nullptr) return;
  std::lock_guard<std::mutex> guard(lock);
  if (pixels == nullptr || pageWidth != width || pageHeight != height) return;
  std::memcpy(pixels, bgraRowsFromTop, static_cast<size_t>(width) * height * 4);
  dirty = true;
}

uint8_t DynamicTexture_GL::AlphaAt(int32_t x, int32_t y) {
  std::lock_guard<std::mutex> guard(lock);
  if (pixels == nullptr || x < 0 || y < 0 || x >= width || y >= height) return 0;
  return pixels[(static_cast<size_t>(y) * width + x) * 4 + 3];
}

void DynamicTexture_GL::Upload() {
  if (!dirty.load(std::memory_order_acquire)) return;  // no new page: no lock, no upload
  std::lock_guard<std::mutex> guard(lock);
  if (!dirty || pixels == nullptr || glName == kNoGlName) return;
  BindTextureOnUnit(kUploadUnit, glName);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
  dirty = false;
  ++uploadCount;
}

}  // namespace CorvaneEngine
