// The page texture on a real GL window: pages handed to CopyPage appear blended over the scene,
// upright; wrong-sized or late pages are dropped; the browser thread and the frame never tear a
// page or touch a deleted texture.
#include <atomic>
#include <thread>

#include "GraphicsTestSupport.h"
#include "presentation/DynamicTexture_GL.h"

using namespace CorvaneTest;

using DynamicTextureTest = GraphicsTest;

// A page of one colour (0xAARRGGBB).
static std::vector<uint8_t> Solid(int width, int height, uint32_t colour) {
  return Page(width, height, [colour](int, int) { return colour; });
}

static bool Uniform(const Frame& frame, Rgb colour) {
  for (int y = 0; y < frame.height; y += 7)
    for (int x = 0; x < frame.width; x += 7)
      if (!Close(frame.At(x, y), colour)) return false;
  return true;
}

TEST_F(DynamicTextureTest, PagesBlendOverTheSceneUprightAndOnlyPagesThatFitAreTaken) {
  DynamicTexture_GL* page = GraphicsSystem_GL::browserTexture;
  ASSERT_NE(nullptr, page);
  EXPECT_TRUE(Uniform(DrawFrame(), kBlue)) << "a new page texture is fully transparent";
  // Red at alpha 128 over blue: 128/255 of red plus 127/255 of blue.
  page->CopyPage(kWidth, kHeight, Solid(kWidth, kHeight, 0x80FF0000u).data());
  EXPECT_TRUE(Uniform(DrawFrame(), Rgb{128, 0, 127}));

  // Opaque quadrants, rows from the top: red | green over white | black.
  const auto quadrants = Page(kWidth, kHeight, [](int x, int y) {
    const uint32_t colours[2][2] = {{0xFFFF0000u, 0xFF00FF00u}, {0xFFFFFFFFu, 0xFF000000u}};
    return colours[y >= kHeight / 2][x >= kWidth / 2];
  });
  page->CopyPage(kWidth, kHeight, quadrants.data());
  const Frame& frame = DrawFrame();
  // The page covers the whole window, to the last pixel in each corner.
  for (const auto& [x, y, colour] : {std::tuple{kWidth / 4, kHeight / 4, kRed},
                                     {3 * kWidth / 4, kHeight / 4, kGreen},
                                     {kWidth / 4, 3 * kHeight / 4, Rgb{255, 255, 255}},
                                     {0, 0, kRed},
                                     {kWidth - 1, kHeight - 1, Rgb{0, 0, 0}}})
    EXPECT_PRED2(Close, frame.At(x, y), colour) << x << ", " << y;

  // Pages of another size are dropped, and so are pages that arrive while the texture is
  // released for a mode change.
  page->CopyPage(kWidth, kHeight, Solid(kWidth, kHeight, 0x00FFFFFFu).data());
  const auto red = Solid(kWidth + 1, kHeight + 1, 0xFFFF0000u);
  page->CopyPage(kWidth + 1, kHeight, red.data());
  page->CopyPage(kWidth, kHeight + 1, red.data());
  EXPECT_TRUE(Uniform(DrawFrame(), kBlue));
  graphics->BeforeVideoModeChange();
  page->CopyPage(kWidth, kHeight, red.data());
  graphics->AfterVideoModeChange();
  EXPECT_TRUE(Uniform(DrawFrame(), kBlue)) << "a restored page starts transparent";
}

// The browser thread paints whole pages of one colour while frames are drawn: every frame shows
// one whole page, never parts of two; it may go on while the graphics system is torn down.
TEST_F(DynamicTextureTest, PagesFromAnotherThreadNeverTearNorFindADeletedTexture) {
  const auto red = Solid(kWidth, kHeight, 0xFFFF0000u), green = Solid(kWidth, kHeight, 0xFF00FF00u);
  std::atomic<bool> stop{false};
  std::atomic<int> painted{0};
  std::thread browser([&] {
    for (int i = 0; !stop; ++i, ++painted)
      GraphicsSystem_GL::CopyPageToBrowserTexture(kWidth, kHeight, (i % 2 ? green : red).data());
  });
  int torn = 0;
  for (int frame = 0; frame < 60 || painted < 100; ++frame) {
    const Rgb first = DrawFrame().At(0, 0);
    torn += !Uniform(window->last, first) ||
            !(Close(first, kRed) || Close(first, kGreen) || Close(first, kBlue));
  }
  EXPECT_EQ(0, torn);
  TearDownEngine();
  EXPECT_EQ(nullptr, GraphicsSystem_GL::browserTexture);
  const int after = painted;
  EXPECT_TRUE(WaitUntil([&] { return painted > after + 10; }));
  stop = true;
  browser.join();
}
