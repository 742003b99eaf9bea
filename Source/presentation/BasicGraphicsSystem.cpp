#include "presentation/BasicGraphicsSystem.h"

namespace CorvaneEngine {
BasicGraphicsSystem* BasicGraphicsSystem::instance = nullptr;
}
