#include "resources/TextureLoader_NoMipMap_GL.h"

#include "resources/Texture_GL.h"

namespace CorvaneEngine {

Resource* TextureLoader_NoMipMap_GL::Load(const ResourceRequest& request) {
  const bool previous = useMipmaps;
  useMipmaps = false;
  Resource* texture = TextureLoader_GL::Load(request);
  useMipmaps = previous;
  return texture;
}

}  // namespace CorvaneEngine
