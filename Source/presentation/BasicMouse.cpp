#include "presentation/BasicMouse.h"

namespace CorvaneEngine {
BasicMouse* BasicMouse::instance = nullptr;
}
