#include "presentation/PageImageDecoder.h"

#include <png.h>
#include <setjmp.h>

#include <cstring>

namespace CorvaneEngine {

namespace {

struct ByteSource {
  const uint8_t* data;
  size_t size;
  size_t offset;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  ByteSource* source = static_cast<ByteSource*>(png_get_io_ptr(png));
  if (source->size - source->offset < count) png_error(png, "truncated");
  std::memcpy(out, source->data + source->offset, count);
  source->offset += count;
}

// libpng reports through longjmp; these keep it from printing to standard error.
void QuietError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}
void QuietWarning(png_structp, png_const_charp) {}

// 255 * 256 / alpha, rounded: straight = premultiplied * table[alpha] >> 8.
struct InverseAlpha {
  uint32_t scale[256];
  InverseAlpha() {
    scale[0] = 0;
    for (uint32_t a = 1; a < 256; ++a) scale[a] = (255u * 256u + a / 2) / a;
  }
};
const InverseAlpha kInverse;

}  // namespace

bool PageImageDecoder::DecodeBase64(const char* text, size_t size, std::vector<uint8_t>& out) {
  static const struct Alphabet {
    int8_t value[256];
    Alphabet() {
      std::memset(value, -1, sizeof value);
      const char* letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
      for (int i = 0; i < 64; ++i) value[static_cast<uint8_t>(letters[i])] = static_cast<int8_t>(i);
    }
  } alphabet;
  while (size > 0 && text[size - 1] == '=') --size;
  out.resize(size / 4 * 3 + 3);
  uint8_t* write = out.data();
  uint32_t bits = 0;
  int count = 0;
  for (size_t i = 0; i < size; ++i) {
    int8_t v = alphabet.value[static_cast<uint8_t>(text[i])];
    if (v < 0) return false;
    bits = (bits << 6) | static_cast<uint32_t>(v);
    if (++count == 4) {
      write[0] = static_cast<uint8_t>(bits >> 16);
      write[1] = static_cast<uint8_t>(bits >> 8);
      write[2] = static_cast<uint8_t>(bits);
      write += 3;
      count = 0;
      bits = 0;
    }
  }
  if (count == 1) return false;
  if (count == 2) *write++ = static_cast<uint8_t>(bits >> 4);
  if (count == 3) {
    *write++ = static_cast<uint8_t>(bits >> 10);
    *write++ = static_cast<uint8_t>(bits >> 2);
  }
  out.resize(static_cast<size_t>(write - out.data()));
  return true;
}

void PageImageDecoder::Unpremultiply(uint8_t* bgra, size_t pixelCount) {
  for (size_t i = 0; i < pixelCount; ++i, bgra += 4) {
    uint32_t a = bgra[3];
    if (a == 255 || a == 0) continue;  // opaque needs nothing; transparent stays as it is
    uint32_t s = kInverse.scale[a];
    for (int c = 0; c < 3; ++c) {
      uint32_t v = (bgra[c] * s + 128) >> 8;
      bgra[c] = static_cast<uint8_t>(v > 255 ? 255 : v);
    }
  }
}

bool PageImageDecoder::Decode(const char* base64, size_t size) {
  if (!DecodeBase64(base64, size, png)) return false;
  return DecodePng();
}

bool PageImageDecoder::DecodePng() {
  if (png.size() < 8 || png_sig_cmp(png.data(), 0, 8) != 0) return false;
  png_structp reader =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
  if (reader == nullptr) return false;
  png_infop info = png_create_info_struct(reader);
  if (info == nullptr) {
    png_destroy_read_struct(&reader, nullptr, nullptr);
    return false;
  }
  ByteSource source{png.data(), png.size(), 0};
  if (setjmp(png_jmpbuf(reader))) {
    png_destroy_read_struct(&reader, &info, nullptr);
    return false;
  }
  png_set_read_fn(reader, &source, ReadFromMemory);
  // The image comes from our own child over a pipe: the checksums would only cost time.
  png_set_crc_action(reader, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#ifdef PNG_IGNORE_ADLER32
  png_set_option(reader, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
  png_read_info(reader, info);
  png_uint_32 w = png_get_image_width(reader, info);
  png_uint_32 h = png_get_image_height(reader, info);
  int colourType = png_get_color_type(reader, info);
  // Whatever the browser chose (RGB for an opaque page, RGBA, palette, grey), the rows come
  // out as 8-bit BGRA.
  png_set_expand(reader);
  png_set_strip_16(reader);
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(reader);
  png_set_bgr(reader);
  png_set_filler(reader, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(reader);
  png_read_update_info(reader, info);
  if (png_get_rowbytes(reader, info) != static_cast<size_t>(w) * 4 || w > 16384 || h > 16384) {
    png_destroy_read_struct(&reader, &info, nullptr);
    return false;
  }
  pixels.resize(static_cast<size_t>(w) * h * 4);
  rowPointers.resize(h);
  for (png_uint_32 y = 0; y < h; ++y) rowPointers[y] = &pixels[static_cast<size_t>(y) * w * 4];
  png_read_image(reader, rowPointers.data());
  png_read_end(reader, nullptr);
  bool hasAlpha =
      png_get_valid(reader, info, PNG_INFO_tRNS) || (colourType & PNG_COLOR_MASK_ALPHA) != 0;
  png_destroy_read_struct(&reader, &info, nullptr);
  width = static_cast<int32_t>(w);
  height = static_cast<int32_t>(h);
  if (hasAlpha) Unpremultiply(pixels.data(), pixels.size() / 4);
  return true;
}

}  // namespace CorvaneEngine
