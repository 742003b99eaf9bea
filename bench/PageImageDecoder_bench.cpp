// Decoding one screencast frame of a 1280x720 page, as the browser sends it (a PNG of premultiplied
// RGBA with every row Up-filtered, in base64), against libpng's own decoder reading the same
// PNG to BGRA in the same run (its base64 decoded the same way, no unpremultiplying).
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstring>
#include <string>
#include <vector>

#include "overlay/PageImageDecoder.h"

// Base64 as the browser sends frames, shared with the test suites.
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

// The pixels as an RGBA PNG with every row Up-filtered, as the browser writes its frames (the
// test suites' writer leaves the filters to libpng).
std::vector<uint8_t> UpFilteredPng(const std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> file;
  png_structp writer = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(writer);
  png_set_write_fn(
      writer, &file,
      [](png_structp png, png_bytep data, png_size_t size) {
        auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
        out->insert(out->end(), data, data + size);
      },
      nullptr);
  png_set_filter(writer, 0, PNG_FILTER_UP);
  png_set_IHDR(writer, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_bytep> rows;
  for (int y = 0; y < kHeight; ++y)
    rows.push_back(const_cast<uint8_t*>(&pixels[static_cast<size_t>(y) * kWidth * 4]));
  png_set_rows(writer, info, rows.data());
  png_write_png(writer, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&writer, &info);
  return file;
}

const std::string& Frame() {
  static const std::string text = CorvaneTest::Base64(UpFilteredPng(PagePixels()));
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
