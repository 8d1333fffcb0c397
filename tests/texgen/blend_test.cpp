// Blend modes 0-11 on single channels and whole pixels.
#include "tests/texgen/test_util.h"

namespace glimmer::testing {
namespace {

using Blend = TexgenTest;

// Blends s into d (both one pixel, replicated over a 2 x 2 image) with a mode.
TexturePixel blend(TexturePixel d, TexturePixel s, BlendMode mode) {
  setTextureGeometry(2);
  TexturePixel dst[4] = {d, d, d, d};
  const TexturePixel src[4] = {s, s, s, s};
  combineImages(dst, src, static_cast<uint8_t>(mode));
  EXPECT_EQ(dst[0], dst[3]);
  return dst[0];
}

TexturePixel grey(uint32_t v) { return v * 0x01010101u; }

TEST_F(Blend, BitwiseModes) {
  EXPECT_EQ(blend(0, 0x12345678u, BlendMode::Or), 0x12345678u);
  EXPECT_EQ(blend(0xF0F0F0F0u, 0x0F0F0FFFu, BlendMode::Or), 0xFFFFFFFFu);
  EXPECT_EQ(blend(0xFF00FF00u, 0xFFFF0000u, BlendMode::Xor), 0x00FFFF00u);
  EXPECT_EQ(blend(0xFF00FF00u, 0xFFFF0000u, BlendMode::And), 0xFF000000u);
}

TEST_F(Blend, SaturatingAddSubtract) {
  EXPECT_EQ(blend(grey(200), grey(100), BlendMode::Add), grey(255));
  EXPECT_EQ(blend(grey(100), grey(200), BlendMode::Subtract), 0u);
  EXPECT_EQ(blend(0x01020304u, 0x10203040u, BlendMode::Add), 0x11223344u);
  EXPECT_EQ(blend(0x10203040u, 0x01020304u, BlendMode::Subtract), 0x0F1E2D3Cu);
  EXPECT_EQ(blend(0, 0xCAFEBABEu, BlendMode::Add), 0xCAFEBABEu);
}

TEST_F(Blend, AverageMinimumMaximum) {
  EXPECT_EQ(blend(grey(255), grey(0), BlendMode::Average), grey(127));
  EXPECT_EQ(blend(grey(255), grey(255), BlendMode::Average), grey(255));
  EXPECT_EQ(blend(0x01FF0203u, 0x03010205u, BlendMode::Average), 0x02800204u);
  EXPECT_EQ(blend(0x12345678u, 0xFF000000u, BlendMode::Minimum), 0x12000000u);
  EXPECT_EQ(blend(0x12345678u, 0x00FF0000u, BlendMode::Maximum), 0x12FF5678u);
}

TEST_F(Blend, MultiplyAndScreen) {
  EXPECT_EQ(blend(0x12345678u, grey(255), BlendMode::Multiply), 0x12345678u);
  EXPECT_EQ(blend(0x12345678u, 0, BlendMode::Multiply), 0u);
  EXPECT_EQ(blend(grey(128), grey(128), BlendMode::Multiply), grey(64));
  EXPECT_EQ(blend(0x12345678u, 0, BlendMode::Screen), 0x12345678u);
  EXPECT_EQ(blend(0x12345678u, grey(255), BlendMode::Screen), grey(255));
  EXPECT_EQ(blend(grey(128), grey(128), BlendMode::Screen), grey(192));
}

TEST_F(Blend, BurnAndDodge) {
  EXPECT_EQ(blend(0, grey(77), BlendMode::Burn), 0u);  // d = 0 unchanged
  EXPECT_EQ(blend(grey(255), 0, BlendMode::Burn), 0u);
  EXPECT_EQ(blend(grey(128), grey(192), BlendMode::Burn), grey(130));  // 255 - 63*255/128
  EXPECT_EQ(blend(grey(10), grey(200), BlendMode::Burn), 0u);          // clamped at 0
  EXPECT_EQ(blend(grey(77), grey(255), BlendMode::Burn), grey(255));
  EXPECT_EQ(blend(grey(255), grey(3), BlendMode::Dodge), grey(255));  // d = 255 unchanged
  EXPECT_EQ(blend(0, grey(99), BlendMode::Dodge), grey(99));
  EXPECT_EQ(blend(grey(128), grey(64), BlendMode::Dodge), grey(128));   // 64*255/127
  EXPECT_EQ(blend(grey(200), grey(100), BlendMode::Dodge), grey(255));  // clamped at 255
}

TEST_F(Blend, UnknownModesKeepDestination) {
  for (int m : {12, 13, 100, 255}) {
    setTextureGeometry(2);
    TexturePixel dst[4] = {1, 2, 3, 4};
    const TexturePixel src[4] = {~0u, ~0u, ~0u, ~0u};
    combineImages(dst, src, static_cast<uint8_t>(m));
    EXPECT_EQ(dst[0], 1u);
    EXPECT_EQ(dst[3], 4u);
  }
}

TEST_F(Blend, ZeroPictureEffects) {
  // Outside what a generator drew the picture is 0: Add keeps, And clears, Average halves.
  EXPECT_EQ(blend(0x80FF4020u, 0, BlendMode::Add), 0x80FF4020u);
  EXPECT_EQ(blend(0x80FF4020u, 0, BlendMode::And), 0u);
  EXPECT_EQ(blend(0x80FF4020u, 0, BlendMode::Average), 0x407F2010u);
  EXPECT_EQ(blend(0x80FF4020u, 0, BlendMode::Minimum), 0u);
}

TEST_F(Blend, WholeImageLargerThanVectorWidth) {
  std::vector<TexturePixel> d = patternImage(16, 3), s = patternImage(16, 4);
  auto expect = d;
  for (size_t i = 0; i < d.size(); ++i) {
    uint32_t r = 0;
    for (int sh = 0; sh < 32; sh += 8) {
      const uint32_t a = (d[i] >> sh) & 0xFF, b = (s[i] >> sh) & 0xFF;
      r |= std::min(a + b, 255u) << sh;
    }
    expect[i] = r;
  }
  setTextureGeometry(16);
  combineImages(d.data(), s.data(), static_cast<uint8_t>(BlendMode::Add));
  EXPECT_EQ(d, expect);
}

}  // namespace
}  // namespace glimmer::testing
