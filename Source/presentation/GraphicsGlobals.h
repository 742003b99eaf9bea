// Process-wide facts about the GL context and the texture bindings of the frame. The capability
// flags are published by the graphics system's Initialize; the program entry (mesh loader flag),
// the meshes and the textures read them.
//
// Threads: main thread only.
#pragma once

#include <cstdint>

namespace CorvaneEngine {

extern bool hasVertexBufferObjects;   // "GL_ARB_vertex_buffer_object"
extern bool hasShaderObjects;         // "GL_ARB_shader_object"
extern bool hasRenderTargets;         // draw buffers + framebuffer objects + multitexture
extern bool needsPowerOfTwoTextures;  // true until "GL_ARB_texture_non_power_of_two" is seen

// The GL texture name last bound to GL_TEXTURE_2D on texture unit i, or -1 when unknown. Code
// that binds a texture without going through the table marks the unit unknown.
constexpr int kTextureUnitCount = 32;
extern int32_t boundTextures[kTextureUnitCount];

}  // namespace CorvaneEngine
