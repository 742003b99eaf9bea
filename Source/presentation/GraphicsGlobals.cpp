#include "presentation/GraphicsGlobals.h"

namespace CorvaneEngine {

bool hasVertexBufferObjects = false;
bool hasShaderObjects = false;
bool hasRenderTargets = false;
bool needsPowerOfTwoTextures = true;
int32_t boundTextures[kTextureUnitCount] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                            -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                            -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};

}  // namespace CorvaneEngine
