// Texture_GL: an image file uploaded as an OpenGL 2D texture. Made by the three texture makers
// (TextureLoader_GL and its two variants) inside ResourceManager::Get; owned by the resource
// manager until the end of the program. Renderable_GL binds `glName`; DynamicTexture_GL (the
// browser page) derives from it and keeps the same meaning for `glName`, `width` and `height`.
//
// Threads: main thread only (every call touches the GL context).
#pragma once

#include <cstdint>

#include "resources/Resource.h"

namespace CorvaneEngine {

class Texture_GL : public Resource {
 public:
  // Marks the absence of a GL texture in `glName`.
  static constexpr uint32_t kNoName = 0xFFFFFFFFu;

  Texture_GL() = default;
  // Deletes the GL texture when there is one.
  ~Texture_GL() override;

  // Deletes the GL texture; `glName` becomes kNoName.
  void ReleaseGpuObjects() override;
  // Asks the maker to build the texture again from `path`.
  void RestoreGpuObjects() override;

  uint32_t glName = kNoName;
  int height = 0;
  int width = 0;

 protected:
  // Deletes the GL texture (if any) and forgets every boundTextures entry that named it, since
  // GL hands the freed name out again.
  void DeleteGlTexture();
};

// Whether TextureLoader_GL builds mipmaps. True at start; only the two variant makers change it,
// and only for the length of their Load. Main thread only.
extern bool useMipmaps;

}  // namespace CorvaneEngine
