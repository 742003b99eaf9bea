// The pieces of the overlay that need no browser: the key translation table and modifier bits,
// and the decoding of the browser's screencast frames (base64, PNG, premultiplied alpha).
#include <SDL_keysym.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <string>
#include <vector>

#include "PngWriter.h"
#include "overlay/KeyTranslation.h"
#include "overlay/PageImageDecoder.h"

using CorvaneEngine::KeyTranslation;
using CorvaneEngine::PageImageDecoder;

TEST(KeyTranslation, KeysBecomeVirtualKeysAndModifiersTheBrowsersBits) {
  // Letters go as 65-90 (97-122 would be the keypad's keys); keys without a code give 0, and
  // symbols outside the table pass unchanged.
  const int table[][2] = {{SDLK_a, 65},           {SDLK_z, 90},      {SDLK_QUOTE, 222},
                          {SDLK_DELETE, 46},      {SDLK_LSHIFT, 16}, {SDLK_RCTRL, 17},
                          {SDLK_KP0, 96},         {SDLK_F15, 126},   {SDLK_EXCLAIM, 0},
                          {SDLK_LAST, SDLK_LAST}, {-1, -1}};
  for (const auto& pair : table) EXPECT_EQ(pair[1], KeyTranslation::Translate(pair[0])) << pair[0];
  const unsigned modifiers[][2] = {
      {KMOD_NUM | KMOD_CAPS, 0}, {KMOD_RALT, 1},
      {KMOD_LCTRL, 2},           {KMOD_RMETA, 4},
      {KMOD_LSHIFT, 8},          {KMOD_LALT | KMOD_RCTRL | KMOD_LMETA | KMOD_RSHIFT, 15}};
  for (const auto& pair : modifiers)
    EXPECT_EQ(pair[1], KeyTranslation::Modifiers(pair[0])) << pair[0];
}

TEST(PageImageDecoder, Base64PngAndPremultipliedAlphaComeOutStraightBgraRowsFromTheTop) {
  std::vector<uint8_t> bytes;
  for (auto [text, decoded] :
       {std::pair{"TWFu", "Man"}, {"TWE=", "Ma"}, {"TQ==", "M"}, {"/+8=", "\xFF\xEF"}}) {
    ASSERT_TRUE(PageImageDecoder::DecodeBase64(text, 4, bytes)) << text;
    EXPECT_EQ(decoded, std::string(bytes.begin(), bytes.end()));
  }
  EXPECT_FALSE(PageImageDecoder::DecodeBase64("TW\"u", 4, bytes));
  EXPECT_FALSE(PageImageDecoder::DecodeBase64("TWFuT", 5, bytes));

  // 2x2 RGBA: half red (premultiplied 128,0,0,128), opaque green / transparent, quarter white.
  const char* rgba =
      "iVBORw0KGgoAAAANSUhEUgAAAAIAAAACCAYAAABytg0kAAAAFElEQVR4nGNoYGBoYPgPhCDgAAQAJ/wD/+k5vMAAAAAA"
      "SUVORK5CYII=";
  PageImageDecoder decoder;
  ASSERT_TRUE(decoder.Decode(rgba, std::strlen(rgba)));
  ASSERT_EQ(2, decoder.Width());
  ASSERT_EQ(2, decoder.Height());
  const uint8_t expected[] = {0, 0, 255, 128, 0, 255, 0, 255, 0, 0, 0, 0, 255, 255, 255, 64};
  EXPECT_EQ(0, std::memcmp(expected, decoder.Pixels(), sizeof expected));
  // An opaque page comes as RGB: it gains full alpha and keeps its colours.
  const char* rgb =
      "iVBORw0KGgoAAAANSUhEUgAAAAIAAAABCAIAAAB7QOjdAAAAD0lEQVR4nGPgEpHTMLIBAAI3ANNbVlHYAAAAAElFTkSu"
      "QmCC";
  ASSERT_TRUE(decoder.Decode(rgb, std::strlen(rgb)));
  const uint8_t opaque[] = {30, 20, 10, 255, 60, 50, 40, 255};
  ASSERT_EQ(2, decoder.Width());
  EXPECT_EQ(0, std::memcmp(opaque, decoder.Pixels(), sizeof opaque));
  // A cut-off or non-PNG frame is refused, not half decoded.
  EXPECT_FALSE(decoder.Decode(rgba, 60));
  EXPECT_FALSE(decoder.Decode("TWFu", 4));

  // Unpremultiplying rounds and never overflows.
  uint8_t pixels[] = {1, 2, 3, 4, 200, 200, 200, 100, 255, 0, 10, 255, 9, 9, 9, 0};
  PageImageDecoder::Unpremultiply(pixels, 4);
  const uint8_t straight[] = {64, 128, 191, 4, 255, 255, 255, 100, 255, 0, 10, 255, 9, 9, 9, 0};
  EXPECT_EQ(0, std::memcmp(straight, pixels, sizeof straight));
}

using CorvaneTest::Base64;
using CorvaneTest::PngFile;

TEST(PageImageDecoder, EveryRowFilterChunkingAndLayoutGivesTheSamePixels) {
  constexpr int kWidth = 61, kHeight = 37;  // odd sizes: no row is a multiple of anything
  uint32_t seed = 12345;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (int colourType : {PNG_COLOR_TYPE_RGBA, PNG_COLOR_TYPE_RGB}) {
    const int channels = colourType == PNG_COLOR_TYPE_RGBA ? 4 : 3;
    // Gradients with noise, and alpha from 0 to 255.
    std::vector<uint8_t> source(kWidth * kHeight * channels);
    std::vector<uint8_t> expected(kWidth * kHeight * 4);
    for (int i = 0; i < kWidth * kHeight; ++i) {
      uint8_t* in = &source[i * channels];
      uint8_t alpha = channels == 4 ? static_cast<uint8_t>(i % 7 == 0 ? 0 : 255 - i % 200) : 255;
      for (int c = 0; c < 3; ++c) {
        // The lower half is a few levels only, where the predictor's ties decide.
        uint32_t value = i / kWidth < kHeight / 2
                             ? (i % kWidth * (c + 1) + i / kWidth * 3 + next() % 9) % 256
                             : next() % 3 * 100;
        in[c] = static_cast<uint8_t>(value * alpha / 255);  // premultiplied, as the browser sends
      }
      if (channels == 4) in[3] = alpha;
      const uint8_t bgra[4] = {in[2], in[1], in[0], alpha};
      std::memcpy(&expected[i * 4], bgra, 4);
    }
    PageImageDecoder::Unpremultiply(expected.data(), kWidth * kHeight);

    const int filterSets[] = {PNG_FILTER_NONE, PNG_FILTER_SUB,   PNG_FILTER_UP,
                              PNG_FILTER_AVG,  PNG_FILTER_PAETH, PNG_ALL_FILTERS};
    PageImageDecoder decoder;
    for (bool interlaced : {false, true}) {
      for (int filters : filterSets) {
        SCOPED_TRACE(testing::Message() << "channels " << channels << ", filters " << filters
                                        << (interlaced ? ", interlaced" : ""));
        std::vector<uint8_t> file =
            PngFile(source, kWidth, kHeight, colourType, filters, interlaced, 1000);
        std::string text = Base64(file);
        ASSERT_TRUE(decoder.Decode(text.data(), text.size()));
        ASSERT_EQ(kWidth, decoder.Width());
        ASSERT_EQ(kHeight, decoder.Height());
        EXPECT_EQ(0, std::memcmp(expected.data(), decoder.Pixels(), expected.size()));
        if (interlaced) continue;  // libpng's path, which skips the checksums

        // A damaged byte in the image data is refused, not shown.
        std::string bytes(file.begin(), file.end());
        size_t chunk = bytes.find("IDAT");
        ASSERT_NE(std::string::npos, chunk);
        file[chunk + 4 + (bytes[chunk - 1] & 0xFF) / 2] ^= 0x5A;  // within the first chunk's data
        text = Base64(file);
        EXPECT_FALSE(decoder.Decode(text.data(), text.size()));
      }
      // The same data under a header claiming 16384 x 16384 pixels is refused before room is
      // made for them, on either path.
      std::vector<uint8_t> file = PngFile(source, kWidth, kHeight, colourType, 0, interlaced);
      const uint8_t huge[8] = {0, 0, 0x40, 0, 0, 0, 0x40, 0};
      std::memcpy(&file[16], huge, sizeof huge);  // IHDR's width and height
      const std::string text = Base64(file);
      PageImageDecoder fresh;
      EXPECT_FALSE(fresh.Decode(text.data(), text.size()));
      EXPECT_LT(fresh.KeptBytes(), 1u << 20);
    }
  }
}
