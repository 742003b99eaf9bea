#include "presentation/GraphicsSystem_GL.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <GL/glxew.h>

#include <cstring>
#include <mutex>
#include <ostream>

#include "core/ConfigData.h"
#include "core/OutputStream.h"
#include "objects/GameObject.h"
#include "overlay/Browser.h"
#include "presentation/BasicWindowSystem.h"
#include "presentation/Camera.h"
#include "presentation/DynamicTexture_GL.h"
#include "presentation/GraphicsGlobals.h"
#include "presentation/Renderable_GL.h"
#include "resources/Mesh_GL.h"
#include "resources/ResourceManager.h"

namespace CorvaneEngine {

namespace {

// Guards the browserTexture pointer (not the texture) against the browser
// thread, which may hand in a page while the graphics system is being created
// or destroyed.
std::mutex browserTextureLock;

int32_t WindowWidth() {
  return BasicWindowSystem::instance != nullptr ? BasicWindowSystem::instance->GetWidth() : 0;
}
int32_t WindowHeight() {
  return BasicWindowSystem::instance != nullptr ? BasicWindowSystem::instance->GetHeight() : 0;
}

}  // namespace

GraphicsSystem_GL* GraphicsSystem_GL::instance = nullptr;
DynamicTexture_GL* GraphicsSystem_GL::browserTexture = nullptr;

GraphicsSystem_GL::GraphicsSystem_GL() {
  DynamicTexture_GL* texture = new DynamicTexture_GL();
  {
    std::lock_guard<std::mutex> guard(browserTextureLock);
    browserTexture = texture;
  }
  instance = this;
  if (ConfigData::instance != nullptr) {
    ConfigData::instance->SetDefault("Graphics", "VSync", vsync);
    vsync = ConfigData::instance->Get<bool>("Graphics", "VSync");
  }
}

GraphicsSystem_GL::~GraphicsSystem_GL() {
  Mesh_GL::FreeSharedIndices();
  DynamicTexture_GL* texture;
  {
    std::lock_guard<std::mutex> guard(browserTextureLock);
    texture = browserTexture;
    browserTexture = nullptr;
  }
  delete texture;
  renderables.clear();
  instance = nullptr;
}

void GraphicsSystem_GL::CopyPageToBrowserTexture(int32_t width, int32_t height,
                                                 const uint8_t* bgraRowsFromTop) {
  std::lock_guard<std::mutex> guard(browserTextureLock);
  if (browserTexture != nullptr) browserTexture->CopyPage(width, height, bgraRowsFromTop);
}

uint8_t GraphicsSystem_GL::BrowserTextureAlphaAt(int32_t x, int32_t y) {
  std::lock_guard<std::mutex> guard(browserTextureLock);
  return browserTexture != nullptr ? browserTexture->AlphaAt(x, y) : 0;
}

void GraphicsSystem_GL::Initialize() {
  GLenum status = glewInit();
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  if (status != GLEW_OK || extensions == nullptr) {
    Log << "ERROR: No OpenGL Context Exists" << std::endl;
    // Without a context there is nothing to probe or set up; frames draw
    // nothing either.
    contextReady = false;
    return;
  }
  contextReady = true;
  // A fresh context has nothing bound that the tables could know about.
  for (int32_t& bound : boundTextures) bound = -1;
  boundVertexBuffer = Mesh_GL::kNoBuffer;

  if (std::strstr(extensions, "GL_ARB_vertex_buffer_object") != nullptr) {
    hasVertexBufferObjects = true;
  }
  if (std::strstr(extensions, "GL_ARB_shader_object") != nullptr) hasShaderObjects = true;
  if (std::strstr(extensions, "GL_ARB_draw_buffers") != nullptr &&
      std::strstr(extensions, "GL_EXT_framebuffer_object") != nullptr &&
      std::strstr(extensions, "ARB_multitexture") != nullptr) {
    hasRenderTargets = true;
  }
  if (std::strstr(extensions, "GL_ARB_texture_non_power_of_two") != nullptr) {
    needsPowerOfTwoTextures = false;
  }

  SetVSync(vsync);
  SetupGLState();
}

void GraphicsSystem_GL::SetVSync(bool on) {
  if (!contextReady) return;
  // GLX swap control, best first. Each call is used only when the driver names
  // its extension and GLEW found the entry point; MESA and SGI answer a status
  // (SGI refuses an interval of 0).
  bool applied = false;
  if (GLXEW_EXT_swap_control && glXSwapIntervalEXT != nullptr) {
    Display* display = glXGetCurrentDisplay();
    GLXDrawable drawable = glXGetCurrentDrawable();
    if (display != nullptr && drawable != 0) {
      glXSwapIntervalEXT(display, drawable, on ? 1 : 0);
      applied = true;
    }
  }
  if (!applied && GLXEW_MESA_swap_control && glXSwapIntervalMESA != nullptr) {
    applied = glXSwapIntervalMESA(on ? 1u : 0u) == 0;
  }
  if (!applied && GLXEW_SGI_swap_control && glXSwapIntervalSGI != nullptr) {
    applied = glXSwapIntervalSGI(on ? 1 : 0) == 0;
  }
  if (!applied) return;
  vsync = on;
  if (ConfigData::instance != nullptr) ConfigData::instance->Set("Graphics", "VSync", on);
}

void GraphicsSystem_GL::SetupGLState() {
  int32_t width = WindowWidth();
  int32_t height = WindowHeight();
  glViewport(0, 0, width, height);
  if (hasVertexBufferObjects) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
  }
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_LINE_SMOOTH);
  glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
  // Texturing and the t flip below belong to unit 0, where diffuse textures and
  // the page live; a context that survived a mode change may have another unit
  // active.
  ActivateTextureUnit(0);
  glEnable(GL_TEXTURE_2D);

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  double aspect = height != 0
                      ? static_cast<double>(static_cast<float>(width) / static_cast<float>(height))
                      : 1.0;
  gluPerspective(45.0, aspect, 0.1, 10000.0);

  // Flips t for every texture: the page, stored top row first, shows upright.
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glScalef(1.0f, -1.0f, 1.0f);

  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void GraphicsSystem_GL::ResetTextureBindings() {
  for (int unit = 0; unit < kTextureUnitCount; ++unit) {
    boundTextures[unit] = -1;
    ActivateTextureUnit(unit);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
}

void GraphicsSystem_GL::Update(double /*seconds*/) {
  if (!contextReady) return;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

  glPushMatrix();
  const float* eye = defaultEye;
  const float* direction = defaultDirection;
  const float* up = defaultUp;
  // A camera copy without an owner (one held by an object type) gives no view.
  if (camera != nullptr && camera->owner != nullptr) {
    eye = camera->owner->position;
    direction = camera->direction;
    up = camera->up;
  }
  gluLookAt(eye[0], eye[1], eye[2], eye[0] + direction[0], eye[1] + direction[1],
            eye[2] + direction[2], up[0], up[1], up[2]);
  for (Renderable_GL* renderable : renderables) renderable->Draw();
  glPopMatrix();

  // The page: one quad in clip coordinates at the near plane, blended over the
  // scene.
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  DynamicTexture_GL* page = browserTexture;
  if (page != nullptr) {
    page->Upload();
    BindTextureOnUnit(0, page->glName);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-1.0f, -1.0f, -1.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(1.0f, -1.0f, -1.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(1.0f, 1.0f, -1.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-1.0f, 1.0f, -1.0f);
    glEnd();
  }
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);

  if (BasicWindowSystem::instance != nullptr) BasicWindowSystem::instance->SwapBuffers();
}

void GraphicsSystem_GL::BeforeVideoModeChange() {
  if (contextReady && hasVertexBufferObjects) {
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBufferARB(GL_ARRAY_BUFFER, 0);
    boundVertexBuffer = Mesh_GL::kNoBuffer;
  }
  if (contextReady) ResetTextureBindings();
  if (browserTexture != nullptr) browserTexture->ReleaseGpuObjects();
  if (ResourceManager::instance != nullptr) ResourceManager::instance->ReleaseAllGpuObjects();
  activeTextureUnit = -1;  // the mode set may give a new context
}

void GraphicsSystem_GL::AfterVideoModeChange() {
  if (contextReady) SetupGLState();
  if (browserTexture != nullptr) browserTexture->RestoreGpuObjects();
  if (Browser::instance != nullptr) Browser::instance->Resize();
  if (ResourceManager::instance != nullptr) ResourceManager::instance->RestoreAllGpuObjects();
}

}  // namespace CorvaneEngine
