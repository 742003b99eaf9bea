#include "resources/ResourceManager.h"

namespace CorvaneEngine {
ResourceManager* ResourceManager::instance = nullptr;
}
