// Placeholder until the resource manager lands: the Engine creates and destroys it.
#pragma once

namespace CorvaneEngine {

class ResourceManager {
public:
  static ResourceManager* instance;
};

}  // namespace CorvaneEngine
