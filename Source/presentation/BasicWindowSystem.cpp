#include "presentation/BasicWindowSystem.h"

namespace CorvaneEngine {
BasicWindowSystem* BasicWindowSystem::instance = nullptr;
}
