#include "resources/Resource.h"

namespace CorvaneEngine {

Resource::Resource() = default;

Resource::~Resource() = default;

void Resource::ReleaseGpuObjects() {}

void Resource::RestoreGpuObjects() {}

}  // namespace CorvaneEngine
