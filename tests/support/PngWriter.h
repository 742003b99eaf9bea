// Writes PNGs in memory with libpng, with a chosen row filter, chunk size and interlacing, and
// encodes bytes as base64: the page frames the browser sends, made to order.
#pragma once

#include <png.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace CorvaneTest {

// `pixels` holds RGBA or RGB rows (as `colourType` says) from the top; `chunkBytes` is the most
// image data in one IDAT chunk.
inline std::vector<uint8_t> PngFile(const std::vector<uint8_t>& pixels, int width, int height,
                                    int colourType, int filters, bool interlaced = false,
                                    size_t chunkBytes = 8192) {
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
  png_set_filter(writer, 0, filters);
  png_set_compression_buffer_size(writer, chunkBytes);
  png_set_IHDR(writer, info, width, height, 8, colourType,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_bytep> rows;
  const int channels = colourType == PNG_COLOR_TYPE_RGBA ? 4 : 3;
  for (int y = 0; y < height; ++y)
    rows.push_back(const_cast<uint8_t*>(&pixels[static_cast<size_t>(y) * width * channels]));
  png_set_rows(writer, info, rows.data());
  png_write_png(writer, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&writer, &info);
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
