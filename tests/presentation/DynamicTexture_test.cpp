// The page texture on a real GL window: pages handed to CopyPage appear blended over the scene,
// upright; wrong-sized or late pages are dropped; the browser thread and the frame never tear a
// page or touch a deleted texture.
#include <atomic>
#include <thread>

#include "GraphicsTestSupport.h"
#include "presentation/DynamicTexture_GL.h"
#include "presentation/GraphicsGlobals.h"

using namespace CorvaneTest;

namespace {

// A page filled with one BGRA colour.
std::vector<uint8_t> Page(int width, int height, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  std::vector<uint8_t> page(static_cast<size_t>(width) * height * 4);
  for (size_t i = 0; i < page.size(); i += 4) {
    page[i] = b;
    page[i + 1] = g;
    page[i + 2] = r;
    page[i + 3] = a;
  }
  return page;
}

bool Uniform(const Frame& frame, Rgb colour) {
  for (int y = 0; y < frame.height; y += 7) {
    for (int x = 0; x < frame.width; x += 7) {
      if (!Close(frame.At(x, y), colour)) return false;
    }
  }
  return true;
}

using DynamicTextureTest = GraphicsTest;

}  // namespace

TEST_F(DynamicTextureTest, PagesBlendOverTheSceneUprightAndOnlyPagesThatFitAreTaken) {
  DynamicTexture_GL* page = GraphicsSystem_GL::browserTexture;
  ASSERT_NE(nullptr, page);
  EXPECT_EQ(kWidth, page->width);
  EXPECT_EQ(kHeight, page->height);
  EXPECT_TRUE(Uniform(DrawFrame(), kBlue)) << "a new page texture is fully transparent";

  // Red at alpha 128 over blue: 128/255 of red plus 127/255 of blue.
  std::vector<uint8_t> half = Page(kWidth, kHeight, 0, 0, 255, 128);
  page->CopyPage(kWidth, kHeight, half.data());
  EXPECT_TRUE(Uniform(DrawFrame(), Rgb{128, 0, 127}));

  // Quadrants, rows from the top: red | green over white | black, all opaque.
  std::vector<uint8_t> quadrants = Page(kWidth, kHeight, 0, 0, 0, 255);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* p = &quadrants[(static_cast<size_t>(y) * kWidth + x) * 4];
      bool top = y < kHeight / 2, left = x < kWidth / 2;
      if (top && left) p[2] = 255;
      if (top && !left) p[1] = 255;
      if (!top && left) p[0] = p[1] = p[2] = 255;
    }
  }
  page->CopyPage(kWidth, kHeight, quadrants.data());
  const Frame& frame = DrawFrame();
  EXPECT_PRED2(Close, frame.At(kWidth / 4, kHeight / 4), kRed);
  EXPECT_PRED2(Close, frame.At(3 * kWidth / 4, kHeight / 4), kGreen);
  EXPECT_PRED2(Close, frame.At(kWidth / 4, 3 * kHeight / 4), (Rgb{255, 255, 255}));
  EXPECT_PRED2(Close, frame.At(3 * kWidth / 4, 3 * kHeight / 4), (Rgb{0, 0, 0}));
  // The page covers the whole window, to the last pixel in each corner.
  EXPECT_PRED2(Close, frame.At(0, 0), kRed);
  EXPECT_PRED2(Close, frame.At(kWidth - 1, kHeight - 1), (Rgb{0, 0, 0}));

  std::vector<uint8_t> clear = Page(kWidth, kHeight, 255, 255, 255, 0);
  page->CopyPage(kWidth, kHeight, clear.data());
  EXPECT_TRUE(Uniform(DrawFrame(), kBlue));

  // Pages of another size are dropped, and so are pages that arrive while the texture is
  // released for a mode change.
  std::vector<uint8_t> wide = Page(kWidth + 1, kHeight + 1, 0, 0, 255, 255);  // big enough for all
  page->CopyPage(kWidth + 1, kHeight, wide.data());
  page->CopyPage(kWidth, kHeight + 1, wide.data());
  EXPECT_TRUE(Uniform(DrawFrame(), kBlue));
  graphics->BeforeVideoModeChange();
  EXPECT_EQ(Texture_GL::kNoName, page->glName);
  page->CopyPage(kWidth, kHeight, wide.data());
  graphics->AfterVideoModeChange();
  EXPECT_NE(Texture_GL::kNoName, page->glName);
  EXPECT_TRUE(Uniform(DrawFrame(), kBlue)) << "a restored page starts transparent";
}

// The browser thread paints whole pages of one colour while frames are drawn: every frame shows
// one whole page, never parts of two; it may go on while the graphics system is torn down.
TEST_F(DynamicTextureTest, PagesFromAnotherThreadNeverTearNorFindADeletedTexture) {
  std::vector<uint8_t> red = Page(kWidth, kHeight, 0, 0, 255, 255);
  std::vector<uint8_t> green = Page(kWidth, kHeight, 0, 255, 0, 255);
  std::atomic<bool> stop{false};
  std::atomic<int> painted{0};
  std::thread browser([&] {
    for (int i = 0; !stop; ++i) {
      GraphicsSystem_GL::CopyPageToBrowserTexture(kWidth, kHeight, (i % 2 ? green : red).data());
      ++painted;
    }
  });
  int torn = 0;
  for (int frame = 0; frame < 60 || painted < 100; ++frame) {
    const Frame& shot = DrawFrame();
    Rgb first = shot.At(0, 0);
    if (!Uniform(shot, first) ||
        !(Close(first, kRed) || Close(first, kGreen) || Close(first, kBlue)))
      ++torn;
  }
  EXPECT_EQ(0, torn);
  TearDownEngine();
  EXPECT_EQ(nullptr, GraphicsSystem_GL::browserTexture);
  int after = painted;
  while (painted < after + 10) std::this_thread::yield();
  stop = true;
  browser.join();
}
