// Decoding one screencast frame of a 1280x720 page, as the browser sends it (a PNG of premultiplied
// RGBA with every row Up-filtered, in base64), against libpng's own decoder reading the same
// PNG to BGRA in the same run (its base64 decoded the same way, no unpremultiplying).
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstring>
#include <string>
#include <vector>

#include "overlay/PageImageDecoder.h"

// The PNG writer of the test suites.
#include "PngWriter.h"

using CorvaneEngine::PageImageDecoder;

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

// A page-like picture: gradients, a half-transparent panel and sharp-edged text-sized stripes.
std::vector<uint8_t> PagePixels() {
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* p = &pixels[(static_cast<size_t>(y) * kWidth + x) * 4];
      bool panel = x > 300 && x < 900 && y > 200 && y < 500;
      uint32_t alpha = panel ? 150 : 230;
      uint32_t stripe = (x / 3 + y / 7) % 5 == 0 ? 255 : 0;
      p[0] = static_cast<uint8_t>((x * 255 / kWidth) * alpha / 255);
      p[1] = static_cast<uint8_t>((y * 255 / kHeight) * alpha / 255);
      p[2] = static_cast<uint8_t>(stripe * alpha / 255);
      p[3] = static_cast<uint8_t>(alpha);
    }
  }
  return pixels;
}

const std::string& Frame() {
  static const std::string text = CorvaneTest::Base64(
      CorvaneTest::PngFile(PagePixels(), kWidth, kHeight, PNG_COLOR_TYPE_RGBA, PNG_FILTER_UP));
  return text;
}

void EngineDecoder(benchmark::State& state) {
  const std::string& text = Frame();
  PageImageDecoder decoder;
  for (auto _ : state) {
    if (!decoder.Decode(text.data(), text.size())) state.SkipWithError("not decoded");
    benchmark::DoNotOptimize(decoder.Pixels());
  }
}

void LibpngDecoder(benchmark::State& state) {
  const std::string& text = Frame();
  std::vector<uint8_t> png;
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
  for (auto _ : state) {
    PageImageDecoder::DecodeBase64(text.data(), text.size(), png);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) {
      state.SkipWithError("not a PNG");
      break;
    }
    image.format = PNG_FORMAT_BGRA;
    png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
    benchmark::DoNotOptimize(pixels.data());
  }
}

}  // namespace

BENCHMARK(EngineDecoder)->Unit(benchmark::kMillisecond);
BENCHMARK(LibpngDecoder)->Unit(benchmark::kMillisecond);
