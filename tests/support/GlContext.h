// The bare GL context the texture and mesh suites draw into: one 64 x 64 SDL window on the
// shared display for the whole program. Include it from exactly one file per test program.
#pragma once

#include <GL/glew.h>
#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "VirtualDisplay.h"
#include "resources/Mesh_GL.h"
#include "resources/ResourceMaker.h"
#include "resources/ResourceRequest.h"

namespace CorvaneTest {

constexpr int kGlSize = 64;

class GlContext : public testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(SharedDisplay().Ok());
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    ASSERT_NE(SDL_SetVideoMode(kGlSize, kGlSize, 0, SDL_OPENGL), nullptr) << SDL_GetError();
    ASSERT_EQ(glewInit(), static_cast<GLenum>(GLEW_OK));
    ASSERT_TRUE(GLEW_ARB_vertex_buffer_object);
  }
  void TearDown() override {
    CorvaneEngine::Mesh_GL::FreeSharedIndices();
    SDL_Quit();
  }
};
inline testing::Environment* const kGlContext = testing::AddGlobalTestEnvironment(new GlContext);

// Loads a file with a maker the way the resource manager does: path and maker set on success.
template <typename T>
std::unique_ptr<T> LoadWith(CorvaneEngine::ResourceMaker& maker, const std::string& path) {
  CorvaneEngine::ResourceRequest request{CorvaneEngine::SharedString(path.c_str())};
  std::unique_ptr<T> resource(static_cast<T*>(maker.Load(request)));
  if (resource) resource->path = request.path, resource->maker = &maker;
  return resource;
}

}  // namespace CorvaneTest
