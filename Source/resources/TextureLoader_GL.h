// TextureLoader_GL: the maker of Texture_GL resources from ".png", ".bmp", ".jpg" and ".tiff"
// files (decoded by SDL_image). Builds mipmaps while `useMipmaps` is true; the two variants
// (TextureLoader_MipMap_GL, TextureLoader_NoMipMap_GL) force the flag for their own loads.
// Registered with and owned by the resource manager under the "Texture" type id.
//
// Threads: main thread only (mainThreadOnly is true: every load creates a GL texture).
#pragma once

#include "resources/ResourceMaker.h"

namespace CorvaneEngine {

class TextureLoader_GL : public ResourceMaker {
 public:
  TextureLoader_GL();

  // A new Texture_GL from the image at request.path; null (and a log line) when the path is not a
  // readable regular file (a FIFO, device or folder is never opened for reading) or SDL_image
  // cannot decode it.
  Resource* Load(const ResourceRequest& request) override;
  // Makes a new GL texture for a Texture_GL from its file, with the mipmap choice of the moment.
  // A file that can no longer be read leaves the texture without a GL name (and a log line).
  void Reload(Resource* resource) override;
  bool SupportsExtension(const SharedString& extension) const override;
};

}  // namespace CorvaneEngine
