// BasicGraphicsSystem: the portable face of the renderer. The window system calls the video-mode
// pair around a context change; the camera component sets and clears `camera`.
//
// Threads: main thread only.
#pragma once

#include "core/System.h"

namespace CorvaneEngine {

class Camera;

class BasicGraphicsSystem : public System {
public:
  BasicGraphicsSystem() { instance = this; }
  ~BasicGraphicsSystem() override { instance = nullptr; }

  virtual void SetVSync(bool on) = 0;
  // Releases everything that lives in the GL context before the window system replaces it.
  virtual void BeforeVideoModeChange() = 0;
  // Rebuilds the GL state and objects in the new context.
  virtual void AfterVideoModeChange() = 0;

  bool vsync = true;
  float defaultEye[3] = {0.0f, 0.0f, 10.0f};
  float defaultDirection[3] = {0.0f, 0.0f, -1.0f};
  float defaultUp[3] = {0.0f, 1.0f, 0.0f};
  Camera* camera = nullptr;  // not owned; set and cleared by the Camera component

  static BasicGraphicsSystem* instance;
};

}  // namespace CorvaneEngine
