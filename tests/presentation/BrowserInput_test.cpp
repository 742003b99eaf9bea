// The pieces of the overlay that need no browser: the key translation table and modifier bits,
// and the decoding of the browser's screencast frames (base64, PNG, premultiplied alpha).
#include <SDL_keysym.h>
#include <gtest/gtest.h>

#include <cstring>

#include "presentation/KeyTranslation.h"
#include "presentation/PageImageDecoder.h"

using CorvaneEngine::KeyTranslation;
using CorvaneEngine::PageImageDecoder;

TEST(KeyTranslation, LettersBecomeVirtualKeysAndTheTableKeepsEveryOtherEntry) {
  // Letters go as the virtual-key codes 65-90 (97-122 would be the numeric keypad's keys).
  EXPECT_EQ(65, KeyTranslation::Translate(SDLK_a));
  EXPECT_EQ(77, KeyTranslation::Translate(SDLK_m));
  EXPECT_EQ(90, KeyTranslation::Translate(SDLK_z));
  EXPECT_EQ(222, KeyTranslation::Translate(SDLK_QUOTE));
  EXPECT_EQ(189, KeyTranslation::Translate(SDLK_MINUS));
  EXPECT_EQ(190, KeyTranslation::Translate(SDLK_PERIOD));
  const int arrowsAndNavigation[][2] = {{SDLK_UP, 38},   {SDLK_DOWN, 40},   {SDLK_RIGHT, 39},
                                        {SDLK_LEFT, 37}, {SDLK_INSERT, 45}, {SDLK_HOME, 36},
                                        {SDLK_END, 35},  {SDLK_PAGEUP, 33}, {SDLK_PAGEDOWN, 34}};
  for (const auto& pair : arrowsAndNavigation)
    EXPECT_EQ(pair[1], KeyTranslation::Translate(pair[0]));
  EXPECT_EQ(112, KeyTranslation::Translate(SDLK_F1));
  EXPECT_EQ(126, KeyTranslation::Translate(SDLK_F15));
  // Everything else passes unchanged: digits, space, Backspace, Return, Delete, Shift, keypad.
  for (int symbol : std::initializer_list<int>{SDLK_0, SDLK_9, SDLK_SPACE, SDLK_BACKSPACE,
                                               SDLK_RETURN, SDLK_DELETE, SDLK_LSHIFT, SDLK_KP0,
                                               SDLK_SLASH, static_cast<int>(SDLK_LAST) - 1}) {
    EXPECT_EQ(symbol, KeyTranslation::Translate(symbol)) << symbol;
  }
  EXPECT_EQ(SDLK_LAST, KeyTranslation::Translate(SDLK_LAST));  // outside the table
  EXPECT_EQ(-1, KeyTranslation::Translate(-1));
}

TEST(KeyTranslation, ModifierStatesBecomeTheBrowsersBits) {
  EXPECT_EQ(0u, KeyTranslation::Modifiers(KMOD_NONE));
  EXPECT_EQ(0u, KeyTranslation::Modifiers(KMOD_NUM | KMOD_CAPS));  // locks are not modifiers
  EXPECT_EQ(1u, KeyTranslation::Modifiers(KMOD_RALT));
  EXPECT_EQ(2u, KeyTranslation::Modifiers(KMOD_LCTRL));
  EXPECT_EQ(4u, KeyTranslation::Modifiers(KMOD_RMETA));
  EXPECT_EQ(8u, KeyTranslation::Modifiers(KMOD_LSHIFT));
  EXPECT_EQ(15u, KeyTranslation::Modifiers(KMOD_LALT | KMOD_RCTRL | KMOD_LMETA | KMOD_RSHIFT));
}

TEST(PageImageDecoder, Base64WithAndWithoutPaddingAndBrokenText) {
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(PageImageDecoder::DecodeBase64("TWFu", 4, bytes));
  EXPECT_EQ("Man", std::string(bytes.begin(), bytes.end()));
  ASSERT_TRUE(PageImageDecoder::DecodeBase64("TWE=", 4, bytes));
  EXPECT_EQ("Ma", std::string(bytes.begin(), bytes.end()));
  ASSERT_TRUE(PageImageDecoder::DecodeBase64("TQ==", 4, bytes));
  EXPECT_EQ("M", std::string(bytes.begin(), bytes.end()));
  ASSERT_TRUE(PageImageDecoder::DecodeBase64("/+8=", 4, bytes));
  EXPECT_EQ((std::vector<uint8_t>{0xFF, 0xEF}), bytes);
  EXPECT_FALSE(PageImageDecoder::DecodeBase64("TW\"u", 4, bytes));
  EXPECT_FALSE(PageImageDecoder::DecodeBase64("TWFuT", 5, bytes));
}

TEST(PageImageDecoder, PremultipliedFramesComeOutStraightBgraRowsFromTheTop) {
  // 2x2 RGBA: half red (premultiplied 128,0,0,128), opaque green / transparent, quarter white
  // (premultiplied 64,64,64,64).
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
}

TEST(PageImageDecoder, UnpremultiplyRoundsAndNeverOverflows) {
  uint8_t pixels[] = {1, 2, 3, 4, 200, 200, 200, 100, 255, 0, 10, 255, 9, 9, 9, 0};
  PageImageDecoder::Unpremultiply(pixels, 4);
  const uint8_t expected[] = {64, 128, 191, 4, 255, 255, 255, 100, 255, 0, 10, 255, 9, 9, 9, 0};
  EXPECT_EQ(0, std::memcmp(expected, pixels, sizeof expected));
}
