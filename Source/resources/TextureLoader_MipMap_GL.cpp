#include "resources/TextureLoader_MipMap_GL.h"

#include "resources/Texture_GL.h"

namespace CorvaneEngine {

Resource* TextureLoader_MipMap_GL::Load(const ResourceRequest& request) {
  const bool previous = useMipmaps;
  useMipmaps = true;
  Resource* texture = TextureLoader_GL::Load(request);
  useMipmaps = previous;
  return texture;
}

}  // namespace CorvaneEngine
