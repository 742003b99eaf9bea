#include "presentation/Camera.h"

#include <new>

#include "presentation/BasicGraphicsSystem.h"

namespace CorvaneEngine {

Camera::~Camera() {
  if (BasicGraphicsSystem::instance != nullptr && BasicGraphicsSystem::instance->camera == this) {
    BasicGraphicsSystem::instance->camera = nullptr;
  }
}

GOComponent* Camera::Clone() {
  Camera* copy = new (std::nothrow) Camera(*this);
  if (BasicGraphicsSystem::instance != nullptr) BasicGraphicsSystem::instance->camera = copy;
  return copy;
}

void Camera::Shutdown() {
  if (BasicGraphicsSystem::instance != nullptr) BasicGraphicsSystem::instance->camera = nullptr;
}

}  // namespace CorvaneEngine
