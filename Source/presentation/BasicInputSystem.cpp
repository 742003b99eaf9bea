#include "presentation/BasicInputSystem.h"

namespace CorvaneEngine {
BasicInputSystem* BasicInputSystem::instance = nullptr;
}
