// The graphics system on a real GL window: what the probe finds, vertical sync through GLX, the
// page quad over a scene at any depth, and a video-mode change after which every texture, mesh
// and the page still draw, at the new size.
#include <cmath>

#include "GraphicsTestSupport.h"
#include "core/ConfigData.h"
#include "objects/GameObject.h"
#include "presentation/Browser.h"
#include "presentation/DynamicTexture_GL.h"
#include "presentation/GraphicsGlobals.h"
#include "presentation/Renderable_GL.h"
#include "resources/MeshLoader_GL.h"
#include "resources/Mesh_GL.h"
#include "resources/ResourceManager.h"
#include "resources/TextureLoader_GL.h"

// Last: X11 defines names such as None and Bool that gtest uses.
#include <GL/glxew.h>

using namespace CorvaneEngine;
using CorvaneTest::Close;
using CorvaneTest::Frame;
using CorvaneTest::Rgb;

namespace {

const Rgb kBlue{0, 0, 255};
const Rgb kRed{255, 0, 0};
const Rgb kGreen{0, 255, 0};

// Counts the resizes the graphics system asks of the browser after a mode change.
class ResizeCountingBrowser : public Browser {
 public:
  void Resize() override { ++resizes; }
  int resizes = 0;
};

std::vector<uint8_t> TopHalfRedPage(int width, int height) {
  std::vector<uint8_t> page(static_cast<size_t>(width) * height * 4, 0);
  for (int y = 0; y < height / 2; ++y) {
    for (int x = 0; x < width; ++x) {
      page[(static_cast<size_t>(y) * width + x) * 4 + 2] = 255;
      page[(static_cast<size_t>(y) * width + x) * 4 + 3] = 255;
    }
  }
  return page;
}

class GraphicsSystemTest : public CorvaneTest::GraphicsTest {
 protected:
  // A green quad 2 x 2 from a real .obj file and a real .png, drawn by a renderable.
  void AddGreenQuad(float z) {
    scratch.Write("art/quad.obj",
                  "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                  "vn 0 0 1\nf 1/1/1 2/2/1 3/3/1 4/4/1\n");
    std::filesystem::create_directories(scratch.Path() / "textures");
    ASSERT_EQ(0, CorvaneTest::RunCommand("convert -size 4x4 xc:lime PNG32:textures/green.png"));
    ResourceManager* resources = ResourceManager::instance;
    resources->RegisterMaker(new TextureLoader_GL(), NameHash("Texture"));
    resources->RegisterMaker(new MeshLoader_GL(hasVertexBufferObjects), NameHash("Mesh"));
    resources->AddDirectory(SharedString("./art"), NameHash("Mesh"));
    resources->AddDirectory(SharedString("./textures"), NameHash("Texture"));
    owner.position[2] = z;
    renderable.owner = &owner;
    renderable.mesh = dynamic_cast<Mesh_GL*>(resources->Get(NameHash("quad.obj")));
    renderable.diffuse = dynamic_cast<Texture_GL*>(resources->Get(NameHash("green.png")));
    ASSERT_NE(nullptr, renderable.mesh);
    ASSERT_NE(nullptr, renderable.diffuse);
    renderable.Initialize();
  }

  void TearDown() override {
    renderable.Shutdown();
    GraphicsTest::TearDown();
  }

  GameObject owner;
  Renderable_GL renderable;
};

}  // namespace

TEST_F(GraphicsSystemTest, ProbeFindsMesaExtensionsAndVSyncFollowsGlxSwapControl) {
  // llvmpipe offers a full compatibility context.
  EXPECT_TRUE(hasVertexBufferObjects);
  EXPECT_TRUE(hasShaderObjects);
  EXPECT_TRUE(hasRenderTargets);
  EXPECT_FALSE(needsPowerOfTwoTextures);

  ConfigData* config = ConfigData::instance;
  EXPECT_TRUE(config->Get<bool>("Graphics", "VSync"));
  bool swapControl = GLXEW_EXT_swap_control || GLXEW_MESA_swap_control || GLXEW_SGI_swap_control;
  graphics->SetVSync(false);
  if (!swapControl) {
    // Nothing to call: neither the flag nor the configuration may change.
    EXPECT_TRUE(graphics->vsync);
    EXPECT_TRUE(config->Get<bool>("Graphics", "VSync"));
    return;
  }
  EXPECT_FALSE(graphics->vsync);
  EXPECT_FALSE(config->Get<bool>("Graphics", "VSync"));
  // Mesa's software rasteriser advertises the GLX swap controls but keeps no interval to read
  // back, so only the engine's side can be checked here.
  graphics->SetVSync(true);
  EXPECT_TRUE(graphics->vsync);
  EXPECT_TRUE(config->Get<bool>("Graphics", "VSync"));
}

TEST_F(GraphicsSystemTest, ThePageCoversTheSceneWhateverItsDepth) {
  AddGreenQuad(9.0f);  // one unit in front of the eye: fills the window
  int framesBefore = window->frames;
  const Frame& scene = DrawFrame();
  EXPECT_EQ(framesBefore + 1, window->frames) << "every frame swaps";
  EXPECT_PRED2(Close, scene.At(kWidth / 2, kHeight / 4), kGreen);

  std::vector<uint8_t> page = TopHalfRedPage(kWidth, kHeight);
  GraphicsSystem_GL::browserTexture->CopyPage(kWidth, kHeight, page.data());
  const Frame& covered = DrawFrame();
  EXPECT_PRED2(Close, covered.At(kWidth / 2, kHeight / 4), kRed);
  EXPECT_PRED2(Close, covered.At(kWidth / 2, 3 * kHeight / 4), kGreen);
}

TEST_F(GraphicsSystemTest, AfterAVideoModeChangeEverythingDrawsAtTheNewSize) {
  ResizeCountingBrowser browser;
  Browser::instance = &browser;
  AddGreenQuad(0.0f);
  // Bind the quad's buffers and texture, so that stale bindings would show after the change.
  DrawFrame();

  const int width = 240, height = 100;
  window->SetSize(width, height);
  window->ApplySettings();
  Browser::instance = nullptr;
  EXPECT_EQ(1, browser.resizes);
  ASSERT_EQ(width, window->GetWidth());

  DynamicTexture_GL* page = GraphicsSystem_GL::browserTexture;
  EXPECT_EQ(width, page->width);
  EXPECT_EQ(height, page->height);
  std::vector<uint8_t> oldSize = TopHalfRedPage(kWidth, kHeight);
  page->CopyPage(kWidth, kHeight, oldSize.data());  // dropped: the page has the new size now

  // The quad is still green, in the middle of the new viewport, square in the new aspect.
  const Frame& frame = DrawFrame();
  ASSERT_EQ(width, frame.width);
  double pixelsPerUnit = (height / 2) / (10.0 * std::tan(22.5 * M_PI / 180.0));
  int halfSide = static_cast<int>(pixelsPerUnit);
  EXPECT_PRED2(Close, frame.At(width / 2, height / 2), kGreen);
  EXPECT_PRED2(Close, frame.At(width / 2 + halfSide - 2, height / 2), kGreen);
  EXPECT_PRED2(Close, frame.At(width / 2 + halfSide + 2, height / 2), kBlue);
  EXPECT_PRED2(Close, frame.At(width / 2, height / 2 - halfSide - 2), kBlue);
  EXPECT_PRED2(Close, frame.At(width - 1, height - 1), kBlue);

  std::vector<uint8_t> newSize = TopHalfRedPage(width, height);
  page->CopyPage(width, height, newSize.data());
  const Frame& paged = DrawFrame();
  EXPECT_PRED2(Close, paged.At(width - 1, 0), kRed);
  EXPECT_PRED2(Close, paged.At(width / 2, height / 2 + 5), kGreen);
}
