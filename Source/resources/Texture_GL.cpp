#include "resources/Texture_GL.h"

#include <GL/glew.h>
#include <GL/glx.h>

#include "presentation/GraphicsGlobals.h"
#include "resources/ResourceMaker.h"

namespace CorvaneEngine {

bool useMipmaps = true;

Texture_GL::~Texture_GL() {
  DeleteGlTexture();
}

void Texture_GL::ReleaseGpuObjects() {
  DeleteGlTexture();
}

void Texture_GL::RestoreGpuObjects() {
  if (maker != nullptr) maker->Reload(this);
}

void Texture_GL::DeleteGlTexture() {
  if (glName == kNoName) return;
  // The resource manager outlives the window; once the context is gone the texture went with it.
  if (glXGetCurrentContext() != nullptr) glDeleteTextures(1, &glName);
  ForgetTextureBindings(glName);
  glName = kNoName;
}

}  // namespace CorvaneEngine
