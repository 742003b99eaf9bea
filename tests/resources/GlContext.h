// The GL context the texture and mesh suites draw into: one 64 x 64 SDL window on Mesa under a
// private Xvfb for the whole program. Include it from exactly one file per test program.
#pragma once

#include <GL/glew.h>
#include <SDL/SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "VirtualDisplay.h"
#include "resources/Mesh_GL.h"
#include "resources/ResourceMaker.h"
#include "resources/ResourceRequest.h"

// Lock reports from inside the window libraries (libX11 and libGLX take their locks in both
// orders while SDL opens a GL window) are theirs, not the engine's.
extern "C" __attribute__((used)) inline const char* __tsan_default_suppressions() {
  return "deadlock:libX11.so\ndeadlock:libGLX.so\nmutex:libSDL-1.2.so\nmutex:libGLX_mesa.so\n"
         "mutex:libxcb.so\nmutex:libX11.so\n";
}

namespace CorvaneTest {

constexpr int kGlSize = 64;

class GlContext : public testing::Environment {
 public:
  void SetUp() override {
    setenv("CORVANE_ERROR_BOX", "0", 1);
    // Mesa's GLX library and driver are unloaded at SDL_Quit, after which the sanitizers can
    // no longer name them to match tests/sanitizer: keep them loaded.
    dlopen("libGLX_mesa.so.0", RTLD_NOW | RTLD_NODELETE);
    dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE);
    display = std::make_unique<VirtualDisplay>(320, 240);
    ASSERT_TRUE(display->Ok());
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    ASSERT_NE(SDL_SetVideoMode(kGlSize, kGlSize, 0, SDL_OPENGL), nullptr) << SDL_GetError();
    ASSERT_EQ(glewInit(), static_cast<GLenum>(GLEW_OK));
    ASSERT_TRUE(GLEW_ARB_vertex_buffer_object);
  }
  void TearDown() override {
    CorvaneEngine::Mesh_GL::FreeSharedIndices();
    SDL_Quit();
    display.reset();
  }
  std::unique_ptr<VirtualDisplay> display;
};
inline testing::Environment* const kGlContext = testing::AddGlobalTestEnvironment(new GlContext);

// Loads a file with a maker the way the resource manager does: path and maker set on success.
template <typename T>
std::unique_ptr<T> LoadWith(CorvaneEngine::ResourceMaker& maker, const std::string& path) {
  CorvaneEngine::ResourceRequest request;
  request.path = path.c_str();
  std::unique_ptr<T> resource(static_cast<T*>(maker.Load(request)));
  if (resource) {
    resource->path = request.path;
    resource->maker = &maker;
  }
  return resource;
}

}  // namespace CorvaneTest
