// The graphics system on a real GL window: frames without a GL context draw nothing; the page
// covers the scene at any depth; a mode refused at run time leaves the old one drawing with no
// lock held, and after a mode change every texture, mesh and the page draw at the new size; the
// display's fullscreen mode is taken, and settings it cannot show change nothing.
#include <future>

#include "GraphicsTestSupport.h"
#include "core/ConfigData.h"
#include "overlay/Browser.h"
#include "presentation/DynamicTexture_GL.h"

using namespace CorvaneTest;

// Counts the resizes the graphics system asks of the browser after a mode change.
struct ResizeCountingBrowser : Browser {
  void Resize() override { ++resizes; }
  int resizes = 0;
};

static std::vector<uint8_t> TopHalfRedPage(int width, int height) {
  return Page(width, height, [height](int, int y) { return y < height / 2 ? 0xFFFF0000u : 0u; });
}

// Stands in for SDL_SetVideoMode: refuses the first mode asked for, then sets modes for real.
static int modeRequests = 0;
static SDL_Surface* RefuseFirstMode(int width, int height, int bitsPerPixel, uint32_t flags) {
  if (modeRequests++ == 0) return SDL_SetError("no visual for this mode"), nullptr;
  return SDL_SetVideoMode(width, height, bitsPerPixel, flags);
}

using GraphicsSystemTest = SceneTest;

TEST(GraphicsSystemWithoutContext, SaysSoOnceAndItsFramesDrawAndPresentNothing) {
  ASSERT_TRUE(SharedDisplay().Ok());
  ScratchDir dir("graphics-no-context");
  ChangeDir into(dir.Path());
  // A window system whose window was never opened, so no GL context is current (a frame it had
  // to present would crash reading it). In a child, as SDL stays initialised.
  const ChildOutcome outcome = RunInChild([] {
    Engine engine;
    CapturingWindow window;
    GraphicsSystem_GL graphics;
    CapturedLog log;
    graphics.Initialize();
    for (int frame = 0; frame < 3; ++frame) graphics.Update(0.0);
    return log.Text() == "ERROR: No OpenGL Context Exists\n" && window.frames == 0 ? 0 : 1;
  });
  EXPECT_TRUE(outcome.ended && outcome.code == 0) << outcome.errors;
}

TEST_F(GraphicsSystemTest, AModeRefusedAtRunTimeKeepsTheOldOneAndTheNextDrawsAllAtItsSize) {
  graphics->SetVSync(false);  // Mesa's software rasteriser has the swap controls
  EXPECT_FALSE(ConfigData::instance->Get<bool>("Graphics", "VSync"));
  ResizeCountingBrowser browser;
  Browser::instance = &browser;
  WriteType("plain", "green.png");
  LoadTypes();
  GameObject* plain = Create("plain", 0, 0, 9);  // one unit before the eye: fills the window
  ASSERT_NE(nullptr, plain);
  engine->running = true;
  CapturedLog log;
  WindowSystem_SDL::videoModeSetter = &RefuseFirstMode;
  window->SetSize(240, 100), window->ApplySettings();
  WindowSystem_SDL::videoModeSetter = &SDL_SetVideoMode;
  EXPECT_EQ((std::vector<int>{2, kWidth, kHeight, kWidth, 1}),
            (std::vector<int>{modeRequests, window->GetWidth(), SDL_GetVideoSurface()->h,
                              ConfigData::instance->Get<int>("Window", "Width"), browser.resizes}));
  // The resource lock is free: another thread gets it.
  auto other = std::async(std::launch::async,
                          [] { ResourceManager::instance->GetStatus(NameHash("green.png")); });
  if (other.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    ADD_FAILURE() << "the resource lock is still held";
    ResourceManager::instance->RestoreAllGpuObjects();  // lets the thread finish
  }
  // The GPU objects are back: the page covers the mesh with its texture, at the old size.
  DynamicTexture_GL* page = GraphicsSystem_GL::browserTexture;
  const auto oldSize = TopHalfRedPage(kWidth, kHeight);
  page->CopyPage(kWidth, kHeight, oldSize.data());
  const int framesBefore = window->frames;
  EXPECT_PRED2(Close, DrawFrame().At(kWidth / 2, kHeight / 4), kRed);
  EXPECT_PRED2(Close, window->last.At(kWidth / 2, 3 * kHeight / 4), kGreen);
  EXPECT_EQ(framesBefore + 1, window->frames) << "every frame swaps";

  // The quad's buffers and texture stay bound: stale bindings would show after the change.
  plain->position[2] = 0;
  const int width = 240, height = 100;
  window->SetSize(width, height), window->ApplySettings();
  EXPECT_EQ((std::vector<int>{2, width, height}),
            (std::vector<int>{browser.resizes, page->width, page->height}));
  page->CopyPage(kWidth, kHeight, oldSize.data());  // dropped: the page has the new size now
  // Still green, in the middle of the new viewport, square in the new aspect.
  const Frame& frame = DrawFrame();
  ASSERT_EQ(width, frame.width);
  const int halfSide = static_cast<int>((height / 2) / (10.0 * std::tan(22.5 * M_PI / 180.0)));
  EXPECT_PRED2(Close, frame.At(width / 2 + halfSide - 2, height / 2), kGreen);
  EXPECT_PRED2(Close, frame.At(width / 2 + halfSide + 2, height / 2), kBlue);
  EXPECT_PRED2(Close, frame.At(width / 2, height / 2 - halfSide - 2), kBlue);
  page->CopyPage(width, height, TopHalfRedPage(width, height).data());
  EXPECT_PRED2(Close, DrawFrame().At(width - 1, 0), kRed);

  // The display's one fullscreen mode is taken and kept; settings it cannot show change nothing.
  EXPECT_EQ(-1, window->GetCurrentMode());
  ASSERT_EQ(1, window->GetModeCount());
  window->SelectMode(0, true), window->ApplySettings();
  window->SetSize(4000, 3000), window->ApplySettings();
  Browser::instance = nullptr;
  EXPECT_EQ((std::vector<std::string>{"ERROR: SDL_SetVideoMode: 240x100: no visual for this mode",
                                      "WARNING: Window: back to 160x120",
                                      "Window Settings are not valid"}),
            log.Lines());
  ConfigData* config = ConfigData::instance;
  EXPECT_EQ((std::vector<int>{0, 1280, 1, 1280, 1, 3}),
            (std::vector<int>{window->GetCurrentMode(), SDL_GetVideoSurface()->w,
                              (SDL_GetVideoSurface()->flags & SDL_FULLSCREEN) != 0,
                              config->Get<int>("Window", "Width"),
                              config->Get<bool>("Window", "Fullscreen"), browser.resizes}));

  // The game goes on, and a close request ends it.
  EXPECT_TRUE(engine->running);
  SDL_Event quit{SDL_QUIT};
  SDL_PushEvent(&quit);
  window->Update(0.0);
  EXPECT_FALSE(engine->running);
}
