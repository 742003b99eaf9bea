#include "sound/BasicSoundSystem.h"

namespace CorvaneEngine {
BasicSoundSystem* BasicSoundSystem::instance = nullptr;
}
