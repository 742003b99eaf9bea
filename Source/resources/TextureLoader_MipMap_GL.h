// TextureLoader_MipMap_GL: the texture maker that always builds its textures with mipmaps, whatever
// `useMipmaps` says; it sets the flag for the length of its own Load and restores it. Reloads
// after a video-mode change are TextureLoader_GL's and follow the flag of that moment.
// Registered with and owned by the resource manager under the "Texture_Mip" type id.
//
// Threads: main thread only.
#pragma once

#include "resources/TextureLoader_GL.h"

namespace CorvaneEngine {

class TextureLoader_MipMap_GL : public TextureLoader_GL {
 public:
  Resource* Load(const ResourceRequest& request) override;
};

}  // namespace CorvaneEngine
