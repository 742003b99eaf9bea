// GraphicsSystem_GL: the fixed-function OpenGL renderer and the last System of the frame. It
// probes the context's extensions at start-up, keeps the fixed GL state, draws every registered
// renderable through the active camera (or the default view), lays the browser page over the
// whole window and swaps. Around a video-mode change it drops and rebuilds every GL object.
// It owns the page texture.
//
// Threads: main thread only, with one exception: the browser's thread hands page images to
// CopyPageToBrowserTexture (or, while the graphics system is known to exist, straight to
// browserTexture->CopyPage).
#pragma once

#include <cstdint>
#include <list>

#include "presentation/BasicGraphicsSystem.h"

namespace CorvaneEngine {

class DynamicTexture_GL;
class Renderable_GL;

class GraphicsSystem_GL : public BasicGraphicsSystem {
 public:
  // Needs the window (and its GL context) to be open: creates the page texture at its size.
  GraphicsSystem_GL();
  ~GraphicsSystem_GL() override;

  // Context check, extension probe, vertical sync, fixed GL state.
  void Initialize() override;
  // One frame: clear, view, renderables, page quad, swap. The time step is not used.
  void Update(double seconds) override;

  // Switches vertical sync through the GLX swap-interval call when the driver has one; without
  // one neither `vsync` nor the configuration changes.
  void SetVSync(bool on) override;
  void BeforeVideoModeChange() override;
  void AfterVideoModeChange() override;

  // The fixed GL state: viewport, client arrays, culling, depth, blending, matrices.
  void SetupGLState();
  // Binds texture 0 on every unit and marks every unit of boundTextures unknown.
  void ResetTextureBindings();

  // Registered renderables in registration order, which is the drawing order (not owned).
  std::list<Renderable_GL*> renderables;

  static GraphicsSystem_GL* instance;
  // The page texture; created by the constructor, deleted by the destructor.
  static DynamicTexture_GL* browserTexture;

  // Any thread: hands a page image to the page texture if the graphics system exists (see
  // DynamicTexture_GL::CopyPage). Safe against the texture being created or deleted meanwhile.
  static void CopyPageToBrowserTexture(int32_t width, int32_t height,
                                       const uint8_t* bgraRowsFromTop);
  // Any thread: the alpha of the latest page image at window pixel (x, y) from the top left;
  // 0 outside the page, without a page texture, or while it is released.
  static uint8_t BrowserTextureAlphaAt(int32_t x, int32_t y);

 private:
  bool contextReady = false;  // Initialize found a GL context; without one frames draw nothing
};

}  // namespace CorvaneEngine
