#include "resources/ResourceMaker.h"

namespace CorvaneEngine {

ResourceMaker::ResourceMaker(bool mainThreadOnly) : mainThreadOnly(mainThreadOnly) {}

ResourceMaker::~ResourceMaker() = default;

void ResourceMaker::Reload(Resource*) {}

}  // namespace CorvaneEngine
