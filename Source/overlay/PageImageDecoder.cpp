#include "overlay/PageImageDecoder.h"

#include <libdeflate.h>
#include <png.h>
#include <setjmp.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <cstdlib>
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

uint8_t Straight(uint32_t premultiplied, uint32_t scale) {
  uint32_t v = (premultiplied * scale + 128) >> 8;
  return static_cast<uint8_t>(v > 255 ? 255 : v);
}

// Deflate gives at most 1032 bytes for each byte of its stream (a 258-byte match in two bits).
// A header claiming more image than its data can inflate to is refused before a buffer of that
// size is made: a 70-byte frame could otherwise make the decoder clear and keep 1 GiB.
constexpr uint64_t kMostInflatedPerByte = 1032;

uint32_t BigEndian32(const uint8_t* bytes) {
  return (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
         (static_cast<uint32_t>(bytes[2]) << 8) | bytes[3];
}

bool IsChunk(const uint8_t* type, const char* name) {
  return std::memcmp(type, name, 4) == 0;
}

int PaethPredictor(int left, int up, int upLeft) {
  int toLeft = std::abs(up - upLeft), toUp = std::abs(left - upLeft);
  int toUpLeft = std::abs(left + up - 2 * upLeft);
  return toLeft <= toUp && toLeft <= toUpLeft ? left : toUp <= toUpLeft ? up : upLeft;
}

// Adds the row above, byte by byte (the Up filter), sixteen bytes at a time where SSE2 is there:
// the browser filters most rows this way, and a byte at a time this loop was the largest part
// of a frame's decoding.
void AddRowAbove(uint8_t* row, const uint8_t* prior, size_t stride) {
  size_t i = 0;
#ifdef __SSE2__
  for (; i + 16 <= stride; i += 16) {
    __m128i sum = _mm_add_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i)),
                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), sum);
  }
#endif
  for (; i < stride; ++i) row[i] += prior[i];
}

// Undoes one row's PNG filter in place; `prior` is the row above, already unfiltered (zeros for
// the first row). False for a filter type PNG does not define. The filters that predict from
// the left keep the previous pixel in registers: reading it back from the row just written would
// chain every byte to the store before it.
template <int kBytesPerPixel>
bool UnfilterRow(uint8_t filter, uint8_t* row, const uint8_t* prior, size_t stride) {
  uint8_t left[kBytesPerPixel] = {};
  uint8_t upLeft[kBytesPerPixel] = {};
  switch (filter) {
    case 0:
      return true;
    case 1:
      for (size_t i = 0; i < stride; i += kBytesPerPixel) {
        for (int c = 0; c < kBytesPerPixel; ++c) row[i + c] = left[c] += row[i + c];
      }
      return true;
    case 2:
      AddRowAbove(row, prior, stride);
      return true;
    case 3:
      for (size_t i = 0; i < stride; i += kBytesPerPixel) {
        for (int c = 0; c < kBytesPerPixel; ++c) {
          left[c] = static_cast<uint8_t>(row[i + c] + ((left[c] + prior[i + c]) >> 1));
          row[i + c] = left[c];
        }
      }
      return true;
    case 4:
      for (size_t i = 0; i < stride; i += kBytesPerPixel) {
        for (int c = 0; c < kBytesPerPixel; ++c) {
          uint8_t up = prior[i + c];
          left[c] = static_cast<uint8_t>(row[i + c] + PaethPredictor(left[c], up, upLeft[c]));
          row[i + c] = left[c];
          upLeft[c] = up;
        }
      }
      return true;
    default:
      return false;
  }
}

// One unfiltered row of premultiplied RGBA, or of RGB, as straight BGRA: the same bytes the
// libpng path and Unpremultiply give.
template <int kBytesPerPixel>
void RowToStraightBgra(const uint8_t* in, uint8_t* bgra, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x, in += kBytesPerPixel, bgra += 4) {
    uint32_t a = kBytesPerPixel == 4 ? in[3] : 255;
    if (a == 255 || a == 0) {
      bgra[0] = in[2];
      bgra[1] = in[1];
      bgra[2] = in[0];
    } else {
      uint32_t scale = kInverse.scale[a];
      bgra[0] = Straight(in[2], scale);
      bgra[1] = Straight(in[1], scale);
      bgra[2] = Straight(in[0], scale);
    }
    bgra[3] = static_cast<uint8_t>(a);
  }
}

// Unfilters the rows of `filtered` (a zero row, then each row behind its filter byte) and writes
// them to `pixels` as straight BGRA.
template <int kBytesPerPixel>
bool UnfilterToBgra(std::vector<uint8_t>& filtered, uint8_t* pixels, uint32_t width,
                    uint32_t height) {
  const size_t stride = static_cast<size_t>(width) * kBytesPerPixel;
  const uint8_t* prior = filtered.data() + 1;
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = filtered.data() + (y + 1) * (stride + 1);
    if (!UnfilterRow<kBytesPerPixel>(row[0], row + 1, prior, stride)) return false;
    RowToStraightBgra<kBytesPerPixel>(row + 1, pixels + static_cast<size_t>(y) * width * 4, width);
    prior = row + 1;
  }
  return true;
}

}  // namespace

PageImageDecoder::PageImageDecoder() : inflater(libdeflate_alloc_decompressor()) {}

PageImageDecoder::~PageImageDecoder() {
  if (inflater != nullptr) libdeflate_free_decompressor(inflater);
}

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
    uint32_t scale = kInverse.scale[a];
    for (int c = 0; c < 3; ++c) bgra[c] = Straight(bgra[c], scale);
  }
}

bool PageImageDecoder::Decode(const char* base64, size_t size) {
  if (!DecodeBase64(base64, size, png)) return false;
  switch (fastPath ? DecodeBrowserPng() : FastPath::NotHandled) {
    case FastPath::Decoded:
      return true;
    case FastPath::Broken:
      return false;
    case FastPath::NotHandled:
      break;
  }
  return DecodePng();
}

PageImageDecoder::FastPath PageImageDecoder::DecodeBrowserPng() {
  static const uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  if (inflater == nullptr) return FastPath::NotHandled;
  if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0) return FastPath::Broken;
  uint32_t w = 0, h = 0;
  int bytesPerPixel = 0;
  const uint8_t* imageData = nullptr;  // the one IDAT chunk's data, or `compressed`
  size_t imageDataSize = 0;
  int imageChunks = 0;
  for (size_t at = 8;;) {
    if (png.size() - at < 12) return FastPath::Broken;
    const uint32_t length = BigEndian32(&png[at]);
    if (length > png.size() - at - 12) return FastPath::Broken;
    const uint8_t* type = &png[at + 4];
    const uint8_t* data = &png[at + 8];
    at += 12 + static_cast<size_t>(length);
    if (bytesPerPixel == 0) {  // the header comes first
      if (!IsChunk(type, "IHDR") || length != 13) return FastPath::Broken;
      w = BigEndian32(data);
      h = BigEndian32(data + 4);
      if (w == 0 || h == 0 || w > 16384 || h > 16384) return FastPath::Broken;
      const uint8_t depth = data[8], colourType = data[9];
      if (depth != 8 || (colourType != 6 && colourType != 2) || data[10] != 0 || data[11] != 0 ||
          data[12] != 0) {
        return FastPath::NotHandled;  // palette, grey, 16 bits, interlaced: libpng's work
      }
      bytesPerPixel = colourType == 6 ? 4 : 3;
    } else if (IsChunk(type, "IDAT")) {
      if (++imageChunks == 1) {
        imageData = data;
        imageDataSize = length;
        continue;
      }
      if (imageChunks == 2) compressed.assign(imageData, imageData + imageDataSize);
      compressed.insert(compressed.end(), data, data + length);
    } else if (IsChunk(type, "IEND")) {
      break;
    } else if (IsChunk(type, "tRNS") || IsChunk(type, "PLTE")) {
      return FastPath::NotHandled;  // a transparent colour key: libpng expands it to alpha
    }
  }
  if (imageChunks == 0) return FastPath::Broken;
  if (imageChunks > 1) {
    imageData = compressed.data();
    imageDataSize = compressed.size();
  }

  // A zero row ahead of the image serves as the row above the first.
  const size_t rowSize = static_cast<size_t>(w) * bytesPerPixel + 1;
  const size_t imageSize = rowSize * h;
  if (imageSize / kMostInflatedPerByte > imageDataSize) return FastPath::Broken;
  filtered.resize(rowSize + imageSize);
  std::memset(filtered.data(), 0, rowSize);
  size_t inflated = 0;
  if (libdeflate_zlib_decompress(inflater, imageData, imageDataSize, filtered.data() + rowSize,
                                 imageSize, &inflated) != LIBDEFLATE_SUCCESS ||
      inflated != imageSize) {
    return FastPath::Broken;
  }
  pixels.resize(static_cast<size_t>(w) * h * 4);
  bool unfiltered = bytesPerPixel == 4 ? UnfilterToBgra<4>(filtered, pixels.data(), w, h)
                                       : UnfilterToBgra<3>(filtered, pixels.data(), w, h);
  if (!unfiltered) return FastPath::Broken;
  width = static_cast<int32_t>(w);
  height = static_cast<int32_t>(h);
  return FastPath::Decoded;
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
  // The rows as stored (before any expansion), each behind its filter byte, must fit in what the
  // whole file can inflate to.
  if ((png_get_rowbytes(reader, info) + 1) * static_cast<uint64_t>(h) / kMostInflatedPerByte >
      png.size()) {
    png_destroy_read_struct(&reader, &info, nullptr);
    return false;
  }
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
