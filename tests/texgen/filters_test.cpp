// Filters and samplers: identities, uniform images, edge modes and the packed blur.
#include <algorithm>
#include <limits>

#include "tests/texgen/test_util.h"

namespace glimmer::testing {
namespace {

using Filters = TexgenTest;
using texgen::sampleBilinear;
using texgen::sampleNearest;

std::vector<TexturePixel> uniform(int32_t size, TexturePixel p) {
  return std::vector<TexturePixel>(static_cast<size_t>(size) * static_cast<size_t>(size), p);
}

TEST_F(Filters, NearestEdgeModes) {
  std::vector<TexturePixel> img(16);
  for (int i = 0; i < 16; ++i) img[static_cast<size_t>(i)] = static_cast<TexturePixel>(i + 1);
  setTextureGeometry(4);
  struct Case {
    float u;
    TexturePixel wrap, clamp, mirror;
  };
  // Row 0, columns: -1 -> 3 / 0 / 1;  4 -> 0 / 3 / 3;  9 -> 1 / 3 / 1;  -6 -> 2 / 0 / 1.
  const Case cases[] = {{-1.5f, 4, 1, 2}, {4.0f, 1, 4, 4}, {9.0f, 2, 4, 2}, {-6.0f, 3, 1, 2}};
  for (const Case& c : cases) {
    textureGeometry.edgeMode = 0;
    EXPECT_EQ(sampleNearest(img.data(), c.u, 0.0f), c.wrap) << c.u;
    textureGeometry.edgeMode = 1;
    EXPECT_EQ(sampleNearest(img.data(), c.u, 0.0f), c.clamp) << c.u;
    textureGeometry.edgeMode = 2;
    EXPECT_EQ(sampleNearest(img.data(), c.u, 0.0f), c.mirror) << c.u;
    textureGeometry.edgeMode = 3;
    EXPECT_EQ(sampleNearest(img.data(), c.u, 0.0f), 0u) << c.u;
  }
  textureGeometry.edgeMode = 3;
  EXPECT_EQ(sampleNearest(img.data(), -0.5f, 3.9f), 13u);  // truncation: -0.5 is column 0
  textureGeometry.edgeMode = 2;
  EXPECT_EQ(sampleNearest(img.data(), -2147483648.0f, 0.0f), 1u);  // |INT_MIN| stays defined
}

TEST_F(Filters, BilinearBlendAndWrap) {
  std::vector<TexturePixel> img(16, 0);
  img[1] = 0xFFFFFFFFu;
  img[3] = 0x00FF0000u;
  setTextureGeometry(4);
  EXPECT_EQ(sampleBilinear(img.data(), 0.5f, 0.0f), 0x7F7F7F7Fu);
  EXPECT_EQ(sampleBilinear(img.data(), 1.0f, 0.0f), 0xFFFFFFFFu);
  EXPECT_EQ(sampleBilinear(img.data(), -0.5f, 0.0f), 0x007F0000u);  // -0.5 wraps to 3.5
  EXPECT_EQ(sampleBilinear(img.data(), 7.0f, 4.0f), 0x00FF0000u);
  EXPECT_EQ(sampleBilinear(img.data(), 1.0f, 0.5f), 0x7F7F7F7Fu);
  EXPECT_EQ(sampleBilinear(img.data(), -1e-9f, 0.0f), 0u);  // lands on column 0, never column 4
}

TEST_F(Filters, BlurOnePixelSigmaTaps) {
  auto img = uniform(256, 0xC8C8C8C8u);
  run(img, 256, commandWord(TextureOp::Blur), {8, 0, 0, 16});
  // sigma 1: the trimmed kernel covers offsets -2..1.
  EXPECT_EQ(blurTaps[0], 14);
  EXPECT_EQ(blurTaps[1], 66);
  EXPECT_EQ(blurTaps[2], 109);
  EXPECT_EQ(blurTaps[3], 66);
  EXPECT_EQ(blurTaps[4], 0);
  // The taps sum to 255, so 200 becomes 199 and then 198: almost exactly uniform.
  EXPECT_TRUE(std::all_of(img.begin(), img.end(), [](TexturePixel p) { return p == 0xC6C6C6C6u; }));
}

TEST_F(Filters, BlurGainSaturates) {
  auto img = uniform(256, 0x64C86401u);
  run(img, 256, commandWord(TextureOp::Blur), {8, 0, 0, 32});
  // Taps sum to 510: alpha 100 -> 199 -> saturated, red 200 -> 255, blue 1 stays 1.
  EXPECT_EQ(img[0], 0xFFFFFF01u);
  EXPECT_EQ(img[12345], 0xFFFFFF01u);
}

TEST_F(Filters, BlurSpotWrapsAcrossEdges) {
  auto img = uniform(64, 0);
  img[0] = 0xFFFFFFFFu;
  run(img, 64, commandWord(TextureOp::Blur), {32, 0, 0, 16});  // r = 8 pixels, sigma 1
  EXPECT_GT(img[0], 0u);
  EXPECT_GT(img[63], 0u);       // left neighbour across the edge
  EXPECT_GT(img[63 * 64], 0u);  // upper neighbour across the edge
  EXPECT_GT(img[63 * 64 + 63], 0u);
  EXPECT_EQ(img[32 * 64 + 32], 0u);
  EXPECT_GT(channel(img[0], 8), channel(img[63], 8));
}

TEST_F(Filters, BlurZeroRadiusLeavesImage) {
  auto img = patternImage(64);
  const auto orig = img;
  run(img, 64, commandWord(TextureOp::Blur), {3, 0, 0, 16});  // 3 * 64 / 256 = 0 pixels
  EXPECT_EQ(img, orig);
}

TEST_F(Filters, PackedBlurMatchesReference) {
  uint32_t r = 7;
  for (int32_t size : {2, 8, 64}) {
    for (int hw : {1, 2, 5, 64}) {
      setTextureGeometry(size);
      for (int k = 0; k < 2 * hw; ++k) {
        r = r * 1103515245u + 12345u;
        blurTaps[k] = static_cast<int32_t>((r >> 8) % 258);  // the full range 0..257
      }
      auto a = patternImage(size, r), b = a;
      texgen::blurPasses(a.data(), hw);
      texgen::blurPassesReference(b.data(), hw);
      ASSERT_EQ(a, b) << size << " " << hw;
    }
  }
}

TEST_F(Filters, BlurTapsStayInSixteenBitRange) {
  auto img = uniform(64, 0x80808080u);
  run(img, 64, commandWord(TextureOp::Blur), {32, 0, 0, -20});  // negative gain: black
  EXPECT_EQ(img[0], 0u);
  img = uniform(64, 0x01010101u);
  run(img, 64, commandWord(TextureOp::Blur), {4, 0, 0, 2000});  // taps limited to 257
  for (int k = 0; k < 128; ++k) ASSERT_LE(blurTaps[k], 257);
  EXPECT_EQ(img[0], img[100]);
}

TEST_F(Filters, InvertTwiceRestores) {
  auto img = patternImage(128);
  const auto orig = img;
  run(img, 128, commandWord(TextureOp::Invert), {});
  EXPECT_EQ(img[5], ~orig[5]);
  run(img, 128, commandWord(TextureOp::Invert), {});
  EXPECT_EQ(img, orig);
}

TEST_F(Filters, RotoZoomIdentity) {
  for (bool smooth : {false, true}) {
    auto img = patternImage(256);
    const auto orig = img;
    run(img, 256, commandWord(TextureOp::RotoZoom, 0, smooth), {128, 128, 0, 0, 0, 0, 0});
    EXPECT_EQ(img, orig) << smooth;
  }
}

TEST_F(Filters, RotoZoomHalfSize) {
  const auto orig = patternImage(64);
  auto t = orig;
  run(t, 64, commandWord(TextureOp::RotoZoom, 0, false, 3), {128, 128, 0, 64});
  // Output (X, Y) shows source (2X - 32, 2Y - 32); outside the centre half it is 0.
  EXPECT_EQ(t[16 * 64 + 16], orig[0]);
  EXPECT_EQ(t[20 * 64 + 30], orig[8 * 64 + 28]);
  EXPECT_EQ(t[0], 0u);
  EXPECT_EQ(t[48 * 64 + 20], 0u);
  auto w = orig;
  run(w, 64, commandWord(TextureOp::RotoZoom, 0, false, 0), {128, 128, 0, 64});
  EXPECT_EQ(w[0], orig[32 * 64 + 32]);  // wraps: the image repeats around the centre
  EXPECT_EQ(w[20 * 64 + 30], orig[8 * 64 + 28]);
}

TEST_F(Filters, RotoZoomHalfTurn) {
  const auto orig = patternImage(16);
  auto img = orig;
  run(img, 16, commandWord(TextureOp::RotoZoom), {128, 128, 0, 0, 0, 0, -128});  // a = 0: exact
  // u = -i + 8, v = -j + 8: output (i + 8, j + 8) reads (8 - i, 8 - j), wrapped.
  EXPECT_EQ(img[0], orig[0]);  // i = j = -8 reads (16, 16) -> (0, 0)
  EXPECT_EQ(img[9 * 16 + 10], orig[7 * 16 + 6]);
}

TEST_F(Filters, TwirlWithoutTwistReproduces) {
  for (bool smooth : {false, true}) {
    auto img = patternImage(128);
    const auto orig = img;
    run(img, 128, commandWord(TextureOp::Twirl, 0, smooth), {128, 128, 0, 128, 0, 0, 200});
    EXPECT_EQ(img, orig) << smooth;
  }
}

TEST_F(Filters, TwirlKeepsOutsideRadius) {
  auto img = patternImage(128);
  const auto orig = img;
  run(img, 128, commandWord(TextureOp::Twirl), {128, 128, 0, 0, 0, 0, 64});  // R = 32 pixels
  EXPECT_NE(img[64 * 128 + 70], orig[64 * 128 + 70]);
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x)
      if ((x - 64) * (x - 64) + (y - 64) * (y - 64) >= 32 * 32) {
        ASSERT_EQ(img[static_cast<size_t>(y * 128 + x)], orig[static_cast<size_t>(y * 128 + x)])
            << x << "," << y;
      }
}

TEST_F(Filters, TwirlRepeatsAndSurvivesFarCentres) {
  const auto orig = patternImage(64);
  auto a = orig, b = orig;
  run(a, 64, commandWord(TextureOp::Twirl, 0, true), {100, 140, 0, 20, 0, 0, 90});
  run(b, 64, commandWord(TextureOp::Twirl, 0, true), {100, 140, 0, 20, 0, 0, 90});
  EXPECT_EQ(a, b);  // the per-command distance cache starts afresh
  EXPECT_NE(a, orig);
  auto c = orig;
  run(c, 64, commandWord(TextureOp::Twirl), {3e9f, -3e9f, 0, 0, 0, 0, 3e9f});
  SUCCEED();
}

TEST(FastConversions, MatchSceneConversions) {
  for (float x : {0.5f, 1.5f, 2.5f, -0.5f, -1.5f, 254.5f, 255.49f, 4194303.5f, 4194304.5f, 1e10f,
                  -1e10f, -2147483648.0f, 0.0f, -0.0f, 3.99999f}) {
    EXPECT_EQ(texgen::roundF(x), roundToInt(x)) << x;
    EXPECT_EQ(texgen::truncF(x), toInt(x)) << x;
  }
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(texgen::roundF(nan), 0);
  EXPECT_EQ(texgen::truncF(nan), 0);
}

TEST_F(Filters, TwirlRadiusZeroLeavesImage) {
  auto img = patternImage(4);
  const auto orig = img;
  run(img, 4, commandWord(TextureOp::Twirl), {128, 128, 0, 0, 0, 0, 0});
  EXPECT_EQ(img, orig);
  run(img, 4, commandWord(TextureOp::Twirl), {128, 128, 0, 0, 0, 0, 20});  // 20/256 of 4 = 0 px
  EXPECT_EQ(img, orig);
}

TEST_F(Filters, BrightnessContrastNeutral) {
  auto img = patternImage(64);
  const auto orig = img;
  run(img, 64, commandWord(TextureOp::BrightnessContrast), {128, 0, 0, 191});
  for (size_t i = 0; i < img.size(); ++i) {
    const TexturePixel o = orig[i];
    const uint32_t avg = (channel(o, 0) + channel(o, 8) + channel(o, 16)) / 3u;
    ASSERT_EQ(img[i], (o & 0x00FFFFFFu) | avg << 24);
  }
}

TEST_F(Filters, BrightnessContrastAboutMean) {
  // Mean 100 of {50, 150}. p3 = 223: c = 64, the distance from the mean doubles.
  std::vector<TexturePixel> img = {0x00323232u, 0x00969696u, 0x00323232u, 0x00969696u};
  run(img, 2, commandWord(TextureOp::BrightnessContrast), {128, 0, 0, 223});
  EXPECT_EQ(img[0], 0x00000000u);
  EXPECT_EQ(img[1], 0xC8C8C8C8u);
  // p3 = 127: c = 256, the distance halves; brightness 10 is added before the scaling.
  img = {0x00323232u, 0x00969696u, 0x00323232u, 0x00969696u};
  run(img, 2, commandWord(TextureOp::BrightnessContrast), {138, 0, 0, 127});
  EXPECT_EQ(img[0], 0x50505050u);  // (50 + 10 - 100) * 128 / 256 + 100 = 80
  EXPECT_EQ(img[1], 0x82828282u);  // (150 + 10 - 100) / 2 + 100 = 130
}

TEST_F(Filters, TintFactors) {
  auto img = patternImage(32);
  const auto orig = img;
  run(img, 32, commandWord(TextureOp::Tint), {0, 0, 0});
  EXPECT_EQ(img, orig);
  run(img, 32, commandWord(TextureOp::Tint), {-128, -128, -128});
  EXPECT_TRUE(std::all_of(img.begin(), img.end(), [](TexturePixel p) { return p == 0; }));
  img = uniform(2, 0x80808080u);
  // Red x 255/128 saturates at 255; green x 64/128; blue wraps 128 + 128 = 256 -> 0; alpha
  // factor (255 + 64 + 0) / 3 = 106.
  run(img, 2, commandWord(TextureOp::Tint), {127, -64, 128});
  EXPECT_EQ(img[0], (106u * 128u >> 7) << 24 | 0xFFu << 16 | 0x40u << 8 | 0u);
}

TEST_F(Filters, EmbossOfUniformIsMidGrey) {
  auto img = uniform(64, 0x12345678u);
  run(img, 64, commandWord(TextureOp::Emboss), {});
  EXPECT_TRUE(std::all_of(img.begin(), img.end(), [](TexturePixel p) { return p == 0x80808080u; }));
  img = uniform(4, 0);
  img[1] = 0x000000FFu;  // a bright pixel raises its left neighbour, lowers its right one
  run(img, 4, commandWord(TextureOp::Emboss), {});
  EXPECT_EQ(channel(img[0], 0), 255);
  EXPECT_EQ(channel(img[2], 0), 0);
  EXPECT_EQ(channel(img[3], 0), 128);
}

TEST_F(Filters, NormalMapOfUniformIsFlat) {
  auto img = uniform(32, 0xAB000080u);
  img[7] = 0x11000080u;
  run(img, 32, commandWord(TextureOp::NormalMap), {50});
  EXPECT_EQ(img[0], 0xAB7F80FFu);
  EXPECT_EQ(img[7], 0x117F80FFu);
}

TEST_F(Filters, NormalMapSlopeTiltsNormal) {
  std::vector<TexturePixel> img(16, 0);
  for (int y = 0; y < 4; ++y) img[static_cast<size_t>(y * 4 + 1)] = 0xFF;  // column 1 high
  run(img, 4, commandWord(TextureOp::NormalMap), {10});                    // k = 1
  // Column 0: h = 0, hx = 1, dx = -1, n = sqrt 2: R = 255 - toInt(0.7071 * 127 + 128) = 38.
  EXPECT_EQ(channel(img[0], 16), 38);
  EXPECT_EQ(channel(img[0], 8), 128);
  EXPECT_EQ(channel(img[0], 0), 217);  // toInt(127 / sqrt 2 + 128)
}

}  // namespace
}  // namespace glimmer::testing
