// Camera: the component that makes its object the viewpoint. The graphics system looks from the
// owner's position along `direction` with `up` as the up vector. The camera cloned last anywhere
// is the active one; any camera's Shutdown clears it (the default view returns).
//
// Threads: main thread only.
#pragma once

#include "objects/GOComponent.h"

namespace CorvaneEngine {

class Camera : public GOComponent {
 public:
  Camera() = default;
  // Clears the graphics system's camera if it is this one, so that a camera deleted without
  // Shutdown never leaves the view reading freed memory.
  ~Camera() override;

  // A copy with the same owner, direction and up; the copy becomes the active camera.
  GOComponent* Clone() override;
  // Clears the active camera, whichever camera it is.
  void Shutdown() override;

  float direction[3] = {0.0f, 0.0f, -1.0f};
  float up[3] = {0.0f, 1.0f, 0.0f};
};

}  // namespace CorvaneEngine
