// DynamicTexture_GL: the page texture. Holds the browser's latest page image in a CPU buffer
// (BGRA, rows from the top) and pushes it to a GL texture of the window's size when it changed.
// One exists, owned by the graphics system (GraphicsSystem_GL::browserTexture); it is not
// registered with the resource manager.
//
// Threads: CopyPage may be called from any thread (the browser's reader thread); everything else
// runs on the main thread with the GL context current. `lock` guards pixels, dirty, width,
// height and glName; each operation holds it for its whole work.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "resources/Texture_GL.h"

namespace CorvaneEngine {

class DynamicTexture_GL : public Texture_GL {
 public:
  // Creates the GL texture and a transparent pixel buffer at the window's current size.
  DynamicTexture_GL();
  ~DynamicTexture_GL() override;
  DynamicTexture_GL(const DynamicTexture_GL&) = delete;
  DynamicTexture_GL& operator=(const DynamicTexture_GL&) = delete;

  // Drops the GL texture and the pixel buffer (before a video-mode change).
  void ReleaseGpuObjects() override;
  // Makes a new GL texture and a transparent pixel buffer at the window's current size.
  void RestoreGpuObjects() override;

  // Any thread: copies a whole page image (width x height x 4 bytes, blue, green, red, alpha,
  // rows from the top) into the buffer. An image of another size, or one that arrives while the
  // texture is released, is dropped without a word.
  void CopyPage(int32_t width, int32_t height, const uint8_t* bgraRowsFromTop);

  // Any thread: the alpha of the latest page image at (x, y) from the top left, 0 outside it or
  // while the texture is released. One byte read under the lock, so it may be asked every frame.
  uint8_t AlphaAt(int32_t x, int32_t y);

  // Main thread, once per frame: replaces the GL image from the buffer if a page arrived since
  // the last upload. Binds the texture on unit 20 through boundTextures.
  void Upload();
  // Main thread: how many page images Upload has pushed so far (the pictures the overlay showed).
  uint64_t UploadCount() const { return uploadCount; }

 private:
  uint64_t uploadCount = 0;        // main thread
  uint8_t* pixels = nullptr;       // width * height * 4 bytes, or null while released
  std::atomic<bool> dirty{false};  // read without the lock as a fast path in Upload
  std::mutex lock;
};

}  // namespace CorvaneEngine
