// One frame of the graphics system with 1, 100 and 10,000 renderables sharing one mesh and one
// texture, against a hand-written GL loop that draws the same buffers with the same state in the
// same process: clear, view, per object push / translate / scale / draw / pop, the page quad and
// the swap. Runs on a private Xvfb with Mesa's llvmpipe; the goal is within 1.1x of the loop.
#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL/SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "core/Engine.h"
#include "objects/GameObject.h"
#include "presentation/DynamicTexture_GL.h"
#include "presentation/GraphicsGlobals.h"
#include "presentation/GraphicsSystem_GL.h"
#include "presentation/Renderable_GL.h"
#include "presentation/WindowSystem_SDL.h"
#include "resources/Mesh_GL.h"
#include "resources/Texture_GL.h"

// The private Xvfb of the test suites, compiled in: the benchmark starts its own display.
#include "VirtualDisplay.h"

using namespace CorvaneEngine;

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
std::filesystem::path scratchFolder;  // the working folder of the run (config.xml), removed at exit

// Everything that lives for the whole run: display, engine, window, graphics, mesh, texture.
struct Stage {
  Stage() {
    setenv("CORVANE_ERROR_BOX", "0", 1);
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("frame-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    scratchFolder = folder;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(scratchFolder, ignored);
    });
    engine = new Engine();
    window = new WindowSystem_SDL();
    window->SetSize(kWidth, kHeight);
    window->SetFullscreen(false);
    engine->AddSystem(window);
    graphics = new GraphicsSystem_GL();
    engine->AddSystem(graphics);
    graphics->SetVSync(false);

    // A quad of two triangles, 0.1 units wide.
    MeshData* data = MeshData::Allocate(6);
    const float corners[6][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, -1}, {1, 1}, {-1, 1}};
    for (int i = 0; i < 6; ++i) {
      MeshVertex& v = data->vertices[i];
      v.position[0] = corners[i][0] * 0.05f;
      v.position[1] = corners[i][1] * 0.05f;
      v.normal[2] = 1;
      v.texCoord[0] = (corners[i][0] + 1) / 2;
      v.texCoord[1] = (corners[i][1] + 1) / 2;
    }
    mesh.Build(data);

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    std::vector<uint8_t> pixels(8 * 8 * 4, 200);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, 8, 8, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
    ForgetTextureBindings(name);
    boundTextures[0] = -1;
    texture.glName = name;
    texture.width = texture.height = 8;
  }

  // Objects on a grid in front of the default eye, each with a renderable of the shared mesh.
  void Populate(int count) {
    renderables.clear();  // each leaves the graphics system's list as it goes
    graphics->renderables.clear();
    objects.clear();
    for (int i = 0; i < count; ++i) {
      auto object = std::make_unique<GameObject>();
      object->position[0] = -4.0f + 8.0f * static_cast<float>(i % 100) / 100.0f;
      object->position[1] = -3.0f + 6.0f * static_cast<float>(i / 100 % 100) / 100.0f;
      object->scale[0] = object->scale[1] = 1.5f;
      auto renderable = std::make_unique<Renderable_GL>();
      renderable->owner = object.get();
      renderable->mesh = &mesh;
      renderable->diffuse = &texture;
      renderable->Initialize();
      objects.push_back(std::move(object));
      renderables.push_back(std::move(renderable));
    }
  }

  CorvaneTest::VirtualDisplay display{kWidth, kHeight};
  Engine* engine = nullptr;
  WindowSystem_SDL* window = nullptr;
  GraphicsSystem_GL* graphics = nullptr;
  Mesh_GL mesh;
  Texture_GL texture;
  std::vector<std::unique_ptr<GameObject>> objects;
  std::vector<std::unique_ptr<Renderable_GL>> renderables;
};

Stage& TheStage() {
  static Stage* stage = new Stage();  // lives until the process ends, with the display
  return *stage;
}

void EngineFrame(benchmark::State& state) {
  Stage& stage = TheStage();
  stage.Populate(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    stage.graphics->Update(0.0);
    glFinish();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The same frame written straight against GL, binding the buffers and the texture once.
void DrawHandWrittenFrame(Stage& stage) {
  const Mesh_GL& mesh = stage.mesh;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  glPushMatrix();
  gluLookAt(0, 0, 10, 0, 0, 9, 0, 1, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, stage.texture.glName);
  glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, mesh.indexBuffer);
  glBindBufferARB(GL_ARRAY_BUFFER_ARB, mesh.vertexBuffer);
  glVertexPointer(3, GL_FLOAT, 32, reinterpret_cast<const void*>(0));
  glNormalPointer(GL_FLOAT, 32, reinterpret_cast<const void*>(12));
  glTexCoordPointer(2, GL_FLOAT, 32, reinterpret_cast<const void*>(24));
  for (const std::unique_ptr<GameObject>& object : stage.objects) {
    glPushMatrix();
    glTranslatef(object->position[0], object->position[1], object->position[2]);
    glScalef(object->scale[0], object->scale[1], object->scale[2]);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(mesh.vertexCount), GL_UNSIGNED_INT, nullptr);
    glPopMatrix();
  }
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glBindTexture(GL_TEXTURE_2D, GraphicsSystem_GL::browserTexture->glName);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0);
  glVertex3f(-1, -1, -1);
  glTexCoord2f(1, 0);
  glVertex3f(1, -1, -1);
  glTexCoord2f(1, 1);
  glVertex3f(1, 1, -1);
  glTexCoord2f(0, 1);
  glVertex3f(-1, 1, -1);
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  SDL_GL_SwapBuffers();
  glFinish();
  // The engine's tables no longer match what the loop bound.
  boundVertexBuffer = Mesh_GL::kNoBuffer;
  for (int32_t& bound : boundTextures) bound = -1;
  activeTextureUnit = -1;
}

void HandWrittenFrame(benchmark::State& state) {
  Stage& stage = TheStage();
  stage.Populate(static_cast<int>(state.range(0)));
  stage.graphics->renderables.clear();  // the loop draws them
  for (auto _ : state) DrawHandWrittenFrame(stage);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

double Median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// Both frames in one loop, taking turns going first. llvmpipe's threads and the machine's
// neighbours swing separate runs by more than the difference sought; frames a few milliseconds
// apart see the same conditions, so the median of their ratios is the fair comparison.
void FrameSideBySide(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  Stage& stage = TheStage();
  stage.Populate(static_cast<int>(state.range(0)));
  auto engineFrame = [&stage] {
    stage.graphics->Update(0.0);
    glFinish();
  };
  auto handWrittenFrame = [&stage] { DrawHandWrittenFrame(stage); };
  std::vector<double> engineTimes, handWrittenTimes, ratios;
  bool engineFirst = true;
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    engineFirst ? engineFrame() : handWrittenFrame();
    Clock::time_point middle = Clock::now();
    engineFirst ? handWrittenFrame() : engineFrame();
    Clock::time_point end = Clock::now();
    double first = std::chrono::duration<double, std::micro>(middle - start).count();
    double second = std::chrono::duration<double, std::micro>(end - middle).count();
    engineTimes.push_back(engineFirst ? first : second);
    handWrittenTimes.push_back(engineFirst ? second : first);
    ratios.push_back(engineTimes.back() / handWrittenTimes.back());
    engineFirst = !engineFirst;
  }
  state.counters["engine_us"] = Median(engineTimes);
  state.counters["hand_us"] = Median(handWrittenTimes);
  state.counters["engine_per_hand"] = Median(ratios);
}

}  // namespace

BENCHMARK(EngineFrame)->Arg(1)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(HandWrittenFrame)->Arg(1)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(FrameSideBySide)->Arg(1)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);
