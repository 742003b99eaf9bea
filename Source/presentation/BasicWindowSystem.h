// BasicWindowSystem: the portable face of the game window. The rest of the engine reaches the
// window only through BasicWindowSystem::instance: its size (graphics, mouse, browser, page
// texture), its native handle (browser) and the buffer swap (graphics). The stored size and
// fullscreen flag change through SetSize / SetFullscreen / SelectMode and take effect on
// ApplySettings.
//
// Threads: main thread, except that the size may be read from the browser thread (it changes
// only during a video-mode change on the main thread).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "core/System.h"
#include "presentation/PointerShape.h"

namespace CorvaneEngine {

class BasicWindowSystem : public System {
public:
  BasicWindowSystem() { instance = this; }
  ~BasicWindowSystem() override { instance = nullptr; }

  void Initialize() override = 0;
  void Shutdown() override = 0;
  void Update(double seconds) override = 0;

  // Makes the stored size and fullscreen flag take effect (a video-mode change at run time).
  virtual void ApplySettings() = 0;
  // The X11 Window of the game window, or 0.
  virtual uintptr_t GetWindowHandle() { return 0; }
  virtual bool IsFullscreen() { return fullscreen; }
  virtual int32_t GetHeight() { return height; }
  virtual int32_t GetWidth() { return width; }
  virtual void SetFullscreen(bool on) { fullscreen = on; }
  virtual void SetSize(int32_t newWidth, int32_t newHeight) {
    width = newWidth;
    height = newHeight;
  }
  virtual int32_t GetCurrentMode() { return currentMode; }
  virtual int32_t GetModeCount() { return static_cast<int32_t>(modes.size()); }
  virtual int32_t GetModeWidth(int32_t index) { return static_cast<int32_t>(modes[index].first); }
  virtual int32_t GetModeHeight(int32_t index) {
    return static_cast<int32_t>(modes[index].second);
  }
  virtual void SelectMode(int32_t index, bool fullscreen) = 0;
  virtual void SetIcon(const char* /*path*/) {}
  virtual void SwapBuffers() {}
  // The shape of the pointer over the window; it stays hidden while the game hides it.
  virtual void SetPointerShape(PointerShape /*shape*/) {}

  static BasicWindowSystem* instance;

protected:
  std::vector<std::pair<float, float>> modes;
  int32_t currentMode = -1;
  int32_t width = 0;
  int32_t height = 0;
  bool fullscreen = false;
};

}  // namespace CorvaneEngine
