// Writes PNGs in memory with libpng and encodes bytes as base64, as the browser sends its frames.
#pragma once

#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

namespace CorvaneTest {

// RGBA pixels (rows from the top) as a PNG file, written by libpng.
inline std::vector<uint8_t> PngFile(const std::vector<uint8_t>& rgba, int width, int height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width, image.height = height, image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
  std::vector<uint8_t> file(size);
  if (!png_image_write_to_memory(&image, file.data(), &size, 0, rgba.data(), 0, nullptr))
    file.clear();
  return file;
}

inline std::string Base64(const std::vector<uint8_t>& bytes) {
  const char* letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    size_t left = bytes.size() - i;
    uint32_t bits =
        bytes[i] << 16 | (left > 1 ? bytes[i + 1] << 8 : 0) | (left > 2 ? bytes[i + 2] : 0);
    for (size_t k = 0; k < 4; ++k) text += k <= left ? letters[(bits >> (18 - 6 * k)) & 63] : '=';
  }
  return text;
}

}  // namespace CorvaneTest
