// PageImageDecoder: turns a screencast frame of the headless browser (a PNG in base64) into the
// page image the overlay wants: 4 bytes per pixel in blue, green, red, alpha order, rows from
// the top, straight (not premultiplied) alpha. The browser's PNGs carry premultiplied colour,
// which the overlay's blend would darken a second time.
//
// The browser's own frames (8-bit RGBA or RGB, not interlaced) take a fast path: the image data
// inflates with libdeflate in one call and the rows are unfiltered straight into BGRA. Any other
// PNG goes through libpng.
//
// Threads: one decoder per thread (the browser's reader thread); it keeps its buffers between
// frames so a steady stream allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct libdeflate_decompressor;

namespace CorvaneEngine {

class PageImageDecoder {
 public:
  PageImageDecoder();
  ~PageImageDecoder();
  PageImageDecoder(const PageImageDecoder&) = delete;
  PageImageDecoder& operator=(const PageImageDecoder&) = delete;

  // Decodes `size` bytes of base64 text holding a PNG. False for broken data (nothing reported:
  // the caller drops the frame).
  bool Decode(const char* base64, size_t size);

  // Off: every PNG goes through libpng, the fast path's reference in the benchmarks.
  bool fastPath = true;

  int32_t Width() const { return width; }
  int32_t Height() const { return height; }
  const uint8_t* Pixels() const { return pixels.data(); }
  // The memory kept for the next frame, in bytes.
  size_t KeptBytes() const {
    return png.capacity() + pixels.capacity() + rowPointers.capacity() * sizeof(uint8_t*) +
           compressed.capacity() + filtered.capacity();
  }

  // Exposed for the tests: base64 text to bytes (false on a character outside the alphabet).
  static bool DecodeBase64(const char* text, size_t size, std::vector<uint8_t>& out);
  // Premultiplied BGRA to straight BGRA in place.
  static void Unpremultiply(uint8_t* bgra, size_t pixelCount);

 private:
  enum class FastPath { Decoded, Broken, NotHandled };
  FastPath DecodeBrowserPng();
  bool UnfilterIntoPixels(int bytesPerPixel);
  bool DecodePng();

  std::vector<uint8_t> png;
  std::vector<uint8_t> pixels;
  std::vector<uint8_t*> rowPointers;  // a member: libpng's longjmp must not leave it behind
  std::vector<uint8_t> compressed;    // the image data of several IDAT chunks, joined
  std::vector<uint8_t> filtered;      // inflated rows, each behind its filter byte
  libdeflate_decompressor* inflater;
  int32_t width = 0;
  int32_t height = 0;
};

}  // namespace CorvaneEngine
