// Filters and samplers: edge modes, the bilinear blend, the packed blur, and exact pixels of the
// in-place operators worked out by hand from their formulas.
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
  // Row 0 of a 4 x 4 image holding 1..16; expected values for wrap, clamp, mirror, transparent.
  // Columns: -1.5 -> 3 / 0 / 1;  4 -> 0 / 3 / 3;  9 -> 1 / 3 / 1;  -6 -> 2 / 0 / 1.
  const struct {
    float u, v;
    TexturePixel byMode[4];
  } rows[] = {{-1.5f, 0, {4, 1, 2, 0}},
              {4, 0, {1, 4, 4, 0}},
              {9, 0, {2, 4, 2, 0}},
              {-6, 0, {3, 1, 2, 0}},
              {-0.5f, 3.9f, {13, 13, 13, 13}},     // -0.5 truncates to 0
              {-2147483648.0f, 0, {1, 1, 1, 0}}};  // |INT_MIN| stays defined
  for (const auto& r : rows)
    for (int mode = 0; mode < 4; ++mode) {
      textureGeometry.edgeMode = mode;
      EXPECT_EQ(sampleNearest(img.data(), r.u, r.v), r.byMode[mode]) << r.u << " mode " << mode;
    }
}

TEST_F(Filters, BilinearBlendAndWrap) {
  std::vector<TexturePixel> img(16, 0);
  img[1] = 0xFFFFFFFFu;
  img[3] = 0x00FF0000u;
  setTextureGeometry(4);
  const struct {
    float u, v;
    TexturePixel expected;  // 8.8 fixed point: half of 255 is 127
  } rows[] = {{0.5f, 0, 0x7F7F7F7Fu},  {1, 0, 0xFFFFFFFFu},
              {-0.5f, 0, 0x007F0000u},  // wraps to 3.5
              {7, 4, 0x00FF0000u},     {1, 0.5f, 0x7F7F7F7Fu},
              {-1e-9f, 0, 0u}};  // lands on column 0, never column 4
  for (const auto& r : rows) EXPECT_EQ(sampleBilinear(img.data(), r.u, r.v), r.expected) << r.u;
}

TEST_F(Filters, BlurTapsGainAndWrap) {
  // Radius 8 on 256 is 8 pixels, sigma 1: the trimmed kernel covers -2..1; taps 14 66 109 66.
  auto img = uniform(256, 0xC8C8C8C8u);
  run(img, 256, commandWord(TextureOp::Blur), {8, 0, 0, 16});
  EXPECT_EQ(std::vector<int32_t>(blurTaps, blurTaps + 5),
            (std::vector<int32_t>{14, 66, 109, 66, 0}));
  // The taps sum to 255: 200 becomes 199 and then 198 in the second pass.
  EXPECT_TRUE(std::all_of(img.begin(), img.end(), [](TexturePixel p) { return p == 0xC6C6C6C6u; }));
  // Gain 32 doubles the taps (sum 510): alpha 100 -> 199, red 200 saturates, blue 1 stays 1.
  img = uniform(256, 0x64C86401u);
  run(img, 256, commandWord(TextureOp::Blur), {8, 0, 0, 32});
  EXPECT_EQ(img[12345], 0xFFFFFF01u);
  // A spot at (0, 0) spreads across both edges; the far middle stays black.
  img = uniform(64, 0);
  img[0] = 0xFFFFFFFFu;
  run(img, 64, commandWord(TextureOp::Blur), {32, 0, 0, 16});
  for (size_t i : {size_t{0}, size_t{63}, size_t{63 * 64}, size_t{63 * 64 + 63}})
    EXPECT_GT(img[i], 0u) << i;
  EXPECT_EQ(img[32 * 64 + 32], 0u);
  // Negative gain gives black; a huge one keeps every tap at most 257.
  img = uniform(64, 0x80808080u);
  run(img, 64, commandWord(TextureOp::Blur), {32, 0, 0, -20});
  EXPECT_EQ(img[0], 0u);
  run(img, 64, commandWord(TextureOp::Blur), {4, 0, 0, 2000});
  EXPECT_LE(*std::max_element(blurTaps, blurTaps + 128), 257);
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

// Commands that leave the image exactly as it was.
TEST_F(Filters, IdentityCommands) {
  const struct {
    const char* what;
    int size;
    uint32_t word;
    std::initializer_list<float> p;
  } rows[] = {
      {"blur of 0 pixels (3 x 64 / 256)", 64, commandWord(TextureOp::Blur), {3, 0, 0, 16}},
      {"rotozoom about the centre, no turn",
       256,
       commandWord(TextureOp::RotoZoom),
       {128, 128, 0, 0, 0, 0, 0}},
      {"smooth rotozoom, no turn",
       256,
       commandWord(TextureOp::RotoZoom, 0, true),
       {128, 128, 0, 0, 0, 0, 0}},
      {"twirl without twist (p3 128)",
       128,
       commandWord(TextureOp::Twirl),
       {128, 128, 0, 128, 0, 0, 200}},
      {"smooth twirl without twist",
       128,
       commandWord(TextureOp::Twirl, 0, true),
       {128, 128, 0, 128, 0, 0, 200}},
      {"twirl of radius 0", 4, commandWord(TextureOp::Twirl), {128, 128, 0, 0, 0, 0, 0}},
      {"twirl of 0 pixels (20/256 of 4)",
       4,
       commandWord(TextureOp::Twirl),
       {128, 128, 0, 0, 0, 0, 20}},
      {"tint by 0", 32, commandWord(TextureOp::Tint), {0, 0, 0}},
  };
  for (const auto& r : rows) {
    auto img = patternImage(r.size);
    const auto orig = img;
    run(img, r.size, r.word, r.p);
    EXPECT_EQ(img, orig) << r.what;
  }
  auto img = patternImage(128);
  const auto orig = img;
  run(img, 128, commandWord(TextureOp::Invert), {});
  EXPECT_EQ(img[5], ~orig[5]);
  run(img, 128, commandWord(TextureOp::Invert), {});
  EXPECT_EQ(img, orig);
}

// Output pixel (index) shows source pixel (index) of the pattern image.
TEST_F(Filters, SamplingGeometry) {
  struct Map {
    int out, in;  // in < 0: transparent, 0
  };
  const struct {
    const char* what;
    int size;
    uint32_t word;
    std::initializer_list<float> p;
    std::vector<Map> maps;
  } rows[] = {
      // Zoom p3 = 64: step 2, so output (X, Y) shows (2X - 32, 2Y - 32); outside is clear.
      {"rotozoom half size, transparent",
       64,
       commandWord(TextureOp::RotoZoom, 0, false, 3),
       {128, 128, 0, 64},
       {{16 * 64 + 16, 0}, {20 * 64 + 30, 8 * 64 + 28}, {0, -1}, {48 * 64 + 20, -1}}},
      {"rotozoom half size, wrapped",
       64,
       commandWord(TextureOp::RotoZoom),
       {128, 128, 0, 64},
       {{0, 32 * 64 + 32}, {20 * 64 + 30, 8 * 64 + 28}}},
      // p6 = -128: a = 0, exact half turn: output (i + 8, j + 8) reads (8 - i, 8 - j), wrapped.
      {"rotozoom half turn",
       16,
       commandWord(TextureOp::RotoZoom),
       {128, 128, 0, 0, 0, 0, -128},
       {{0, 0}, {9 * 16 + 10, 7 * 16 + 6}}},
      // Twirl on 64 about the centre, R = 128/256 of 64 = 32 pixels, k = (128 - 80)/32 = 1.5.
      // At distance d the angle grows by 1.5 (1 + cos(pi d / 32)); u = d cos, v = d sin, + 32:
      // (16, 0): phi = 1.5, (33.13, 47.96); (8, 0): phi = 2.5607, (25.31, 36.39);
      // (0, 8): theta = pi/2 + 2.5607, (27.61, 25.31). Distance 32 and beyond is unchanged.
      {"twirl inside its radius",
       64,
       commandWord(TextureOp::Twirl),
       {128, 128, 0, 80, 0, 0, 128},
       {{32 * 64 + 48, 47 * 64 + 33},
        {32 * 64 + 40, 36 * 64 + 25},
        {40 * 64 + 32, 25 * 64 + 27},
        {32 * 64 + 32, 32 * 64 + 32},
        {0, 0},
        {32 * 64, 32 * 64}}},
  };
  const auto orig = patternImage(64);
  for (const auto& r : rows) {
    std::vector<TexturePixel> src(orig.begin(), orig.begin() + r.size * r.size), img = src;
    run(img, r.size, r.word, r.p);
    for (const Map& m : r.maps)
      EXPECT_EQ(img[static_cast<size_t>(m.out)], m.in < 0 ? 0u : src[static_cast<size_t>(m.in)])
          << r.what << " @" << m.out;
  }
  // Far centres and huge values stay defined; a repeat gives the same image.
  auto a = orig, b = orig;
  run(a, 64, commandWord(TextureOp::Twirl, 0, true), {100, 140, 0, 20, 0, 0, 90});
  run(b, 64, commandWord(TextureOp::Twirl, 0, true), {100, 140, 0, 20, 0, 0, 90});
  EXPECT_EQ(a, b);
  run(a, 64, commandWord(TextureOp::Twirl), {3e9f, -3e9f, 0, 0, 0, 0, 3e9f});
}

TEST(FastConversions, MatchSceneConversions) {
  for (float x :
       {0.5f, 1.5f, 2.5f, -0.5f, -1.5f, 254.5f, 255.49f, 4194303.5f, 4194304.5f, 1e10f, -1e10f,
        -2147483648.0f, 0.0f, -0.0f, 3.99999f, std::numeric_limits<float>::quiet_NaN()}) {
    EXPECT_EQ(texgen::roundF(x), roundToInt(x)) << x;
    EXPECT_EQ(texgen::truncF(x), toInt(x)) << x;
  }
}

// Per-pixel colour operators on small images, expected pixels worked out by hand.
TEST_F(Filters, ColourOperators) {
  const struct {
    const char* what;
    uint32_t word;
    std::initializer_list<float> p;
    std::vector<TexturePixel> in, out;  // 2 x 2
  } rows[] = {
      // Mean 100 of {50, 150}; p3 = 223: c = 64, the distance from the mean doubles; alpha is
      // the average of the colour channels.
      {"contrast up",
       commandWord(TextureOp::BrightnessContrast),
       {128, 0, 0, 223},
       {0x00323232u, 0x00969696u, 0x00323232u, 0x00969696u},
       {0, 0xC8C8C8C8u, 0, 0xC8C8C8C8u}},
      // p3 = 127: c = 256, the distance halves; brightness +10 first: (60 - 100)/2 + 100 = 80.
      {"contrast down, brighter",
       commandWord(TextureOp::BrightnessContrast),
       {138, 0, 0, 127},
       {0x00323232u, 0x00969696u, 0x00323232u, 0x00969696u},
       {0x50505050u, 0x82828282u, 0x50505050u, 0x82828282u}},
      // p3 = 191 keeps the contrast: only alpha changes, to the channel average (16+32+48)/3.
      {"contrast kept",
       commandWord(TextureOp::BrightnessContrast),
       {128, 0, 0, 191},
       {0xFF102030u, 0xFF102030u, 0xFF102030u, 0xFF102030u},
       {0x20102030u, 0x20102030u, 0x20102030u, 0x20102030u}},
      // Red x 255/128 saturates; green x 64/128; blue 128 + 128 = 256 wraps to 0; alpha factor
      // (255 + 64 + 0)/3 = 106: 128 x 106 / 128 = 106.
      {"tint",
       commandWord(TextureOp::Tint),
       {127, -64, 128},
       std::vector<TexturePixel>(4, 0x80808080u),
       std::vector<TexturePixel>(4, 0x6AFF4000u)},
      {"tint to black",
       commandWord(TextureOp::Tint),
       {-128, -128, -128},
       std::vector<TexturePixel>(4, 0x12345678u),
       std::vector<TexturePixel>(4, 0u)},
      {"emboss of uniform",
       commandWord(TextureOp::Emboss),
       {},
       std::vector<TexturePixel>(4, 0x12345678u),
       std::vector<TexturePixel>(4, 0x80808080u)},
      // Uniform height: the normal is straight up (127, 128, 255); alpha is kept.
      {"normal map of uniform",
       commandWord(TextureOp::NormalMap),
       {50},
       {0xAB000080u, 0x11000080u, 0xAB000080u, 0xAB000080u},
       {0xAB7F80FFu, 0x117F80FFu, 0xAB7F80FFu, 0xAB7F80FFu}},
  };
  for (const auto& r : rows) {
    auto img = r.in;
    run(img, 2, r.word, r.p);
    EXPECT_EQ(img, r.out) << r.what;
  }
  // Emboss: a bright pixel raises its left neighbour and lowers its right one.
  auto img = uniform(4, 0);
  img[1] = 0x000000FFu;
  run(img, 4, commandWord(TextureOp::Emboss), {});
  EXPECT_EQ(channel(img[0], 0), 255);
  EXPECT_EQ(channel(img[2], 0), 0);
  EXPECT_EQ(channel(img[3], 0), 128);
  // Normal map of a high column 1 with k = 1: column 0 has hx = 1, n = (-1, 0, 1)/sqrt 2:
  // R = 255 - toInt(0.7071 x 127 + 128) = 38, G = 128, B = toInt(127/sqrt 2 + 128) = 217.
  img = uniform(4, 0);
  for (int y = 0; y < 4; ++y) img[static_cast<size_t>(y * 4 + 1)] = 0xFF;
  run(img, 4, commandWord(TextureOp::NormalMap), {10});
  EXPECT_EQ(img[0] & 0x00FFFFFFu, 0x002680D9u);
}

}  // namespace
}  // namespace glimmer::testing
