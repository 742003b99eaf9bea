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

// The texture unit last made active through ActivateTextureUnit, or -1 when unknown. Changing
// the active unit costs the driver a flush even when the unit does not change, and a frame of
// many renderables would otherwise make unit 0 active once per object. Code that calls
// glActiveTexture itself sets this to -1.
extern int32_t activeTextureUnit;

// Makes texture unit `unit` active, and records it.
void ActivateTextureUnit(int unit);
// Makes texture unit `unit` active (no GL call when it is known to be active) and binds `glName`
// to GL_TEXTURE_2D there, unless the table holds that name for the unit already. A texture
// without a GL object (0xFFFFFFFF) binds 0.
void BindTextureOnUnit(int unit, uint32_t glName);
// Marks every unit that holds `glName` unknown; call it when the texture is deleted (GL then
// unbinds it, and the name may come back from glGenTextures for another texture).
void ForgetTextureBindings(uint32_t glName);

}  // namespace CorvaneEngine
