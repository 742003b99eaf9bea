#include "presentation/GraphicsGlobals.h"

#include <GL/glew.h>

namespace CorvaneEngine {

bool hasVertexBufferObjects = false;
bool hasShaderObjects = false;
bool hasRenderTargets = false;
bool needsPowerOfTwoTextures = true;
int32_t boundTextures[kTextureUnitCount] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                            -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                            -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};

int32_t activeTextureUnit = -1;

void ActivateTextureUnit(int unit) {
  glActiveTexture(GL_TEXTURE0 + unit);
  activeTextureUnit = unit;
}

void BindTextureOnUnit(int unit, uint32_t glName) {
  if (activeTextureUnit != unit) ActivateTextureUnit(unit);
  uint32_t name = glName == 0xFFFFFFFFu ? 0u : glName;
  if (boundTextures[unit] == static_cast<int32_t>(name)) return;
  glBindTexture(GL_TEXTURE_2D, name);
  boundTextures[unit] = static_cast<int32_t>(name);
}

void ForgetTextureBindings(uint32_t glName) {
  for (int32_t& bound : boundTextures) {
    if (bound == static_cast<int32_t>(glName)) bound = -1;
  }
}

}  // namespace CorvaneEngine
