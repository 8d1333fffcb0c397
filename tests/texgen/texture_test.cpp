// The texture operators with exact pixels worked out by hand from their formulas: generators,
// samplers and filters, blend modes 0-11; then TextureObject and the dispatcher (resize, layers,
// list order, the GPU hooks). The value checks the compilers run are tested through the scene
// compiler (SceneSource.ErrorsAndWarningsGiveLineAndColumn).
#include "tests/texgen/test_util.h"

namespace glimmer::testing {
namespace {

using Generators = TexgenTest;
using Dispatcher = TexgenTest;
TEST_F(Generators, PixelsAndCounts) {
  const uint32_t rect = commandWord(TextureOp::Rectangle), circle = commandWord(TextureOp::Circle);
  const uint32_t fill = commandWord(TextureOp::Fill), waves = commandWord(TextureOp::Waves);
  const uint32_t checker = commandWord(TextureOp::Checker), dots = commandWord(TextureOp::Dots);
  // nonZero -1: not checked; pixels: {index, value}.
  // clang-format off
  const struct { const char* what; int size; uint32_t word; std::initializer_list<float> p;
                 int nonZero; std::vector<std::pair<int, TexturePixel>> pixels; } rows[] = {
      {"fill white", 256, fill, {255, 255, 255, 255}, 65536, {{0, ~0u}}},
      {"fill: red 300 spills into alpha", 256, fill, {300, 0, 0, 0}, -1, {{0, 0x012C0000u}}},
      {"fill truncates toward zero", 8, fill, {1.9f, 2.9f, -0.9f, 0}, -1, {{0, 0x00010200u}}},
      // Extent 255 in 256ths is 256 pixels on 256 and 512 on 512: the whole image; alpha = red.
      {"rect, whole 256", 256, rect, {0, 0, 0, 255, 255, 0, 1, 2, 3}, 65536, {{0, 0x01010203u}}},
      {"rect, whole 512", 512, rect, {0, 0, 0, 255, 255, 0, 9, 9, 9}, 512 * 512, {}},
      // 10 x 5 pixels from (10, 20).
      {"rect 10 x 5", 256, rect, {10, 20, 0, 9, 4, 0, 200, 100, 50}, 50,
       {{20 * 256 + 10, 0xC8C86432u}, {24 * 256 + 19, 0xC8C86432u}, {25 * 256 + 19, 0},
        {24 * 256 + 20, 0}}},
      {"rect cut at the edges: 6 x 6", 256, rect, {250, 250, 0, 100, 100, 0, 1, 1, 1}, 36, {}},
      {"rect at -1: a huge column", 256, rect, {-1, 0, 0, 10, 10, 0, 1, 1, 1}, 0, {}},
      {"rect, one pixel on 128", 128, rect, {2, 2, 0, 1, 1, 0, 1, 1, 1}, 1, {{129, 0x01010101u}}},
      // Radius 10: 305 integer points with x^2 + y^2 < 100 in [-10, 10)^2; alpha (90+60+31)/3 = 60.
      {"circle, hard edge", 256, circle, {128, 128, 0, 10, 0, 0, 90, 60, 31}, 305,
       {{128 * 256 + 128, 0x3C5A3C1Fu}, {137 * 256 + 131, 0x3C5A3C1Fu}, {138 * 256 + 128, 0}}},
      // Rim pixel d^2 = 90: f = 10 - sqrt 90 = 0.5132, round(100 f) = 51; d^2 = 81 is inside.
      {"circle, smooth rim", 256, commandWord(TextureOp::Circle, 0, true),
       {128, 128, 0, 10, 0, 0, 100, 100, 100}, -1,
       {{131 * 256 + 137, 0x33333333u}, {128 * 256 + 137, 0x64646464u}}},
      {"circle of radius 0", 256, circle, {128, 128, 0, 0, 0, 0, 255, 255, 255}, 0, {}},
      {"circle of 0 pixels on 2", 2, circle, {128, 128, 0, 100, 0, 0, 255, 255, 255}, 0, {}},
      {"checker of 128", 256, checker, {128, 128}, 32768,
       {{0, 0}, {128, ~0u}, {128 * 256, ~0u}, {128 * 256 + 128, 0}, {127 * 256 + 127, 0}}},
      {"checker cells of 0 become 1", 4, checker, {0, 0}, 8, {{0, 0}, {1, ~0u}, {4, ~0u}, {5, 0}}},
      // Waves without frequency: v = 0.5 + 0.25 + 0.25 = 1 everywhere; alpha = red.
      {"waves, flat", 256, waves, {0, 0, 0, 0, 0, 0, 200, 100, 50}, 65536, {{777, 0xC8C86432u}}},
      // p3 = 32: one period across the edge; the x term cos((x+1) pi/128) is -1 at x = 127.
      // v = 0.75 - 0.25 = 0.5 there (red 100) and 0.75 + 0.25 = 1 at x = 255 (red 200).
      {"waves, one period", 256, waves, {0, 0, 0, 32, 0, 0, 200, 100, 50}, -1,
       {{127, 0x64643219u}, {255, 0xC8C86432u}}},
      // Phase p0 = 64 pixels is a quarter turn (2 x 3.14159 x 64/256): at x = 63 the x term is
      // cos(pi/2 + pi/2) = -1, so v = 0.5 (without the phase it would be cos(pi/2) = 0: 150).
      {"waves, x phase", 256, waves, {64, 0, 0, 32, 0, 0, 200, 100, 50}, -1, {{63, 0x64643219u}}},
      // Phase p1 = 64 on the rows with p4 = 32 and no x frequency (x term 0.25): row 63 has
      // vy = 0.5 + 0.25 cos(pi) = 0.25, v = 0.5.
      {"waves, y phase", 256, waves, {0, 64, 0, 0, 32, 0, 200, 100, 50}, -1,
       {{63 * 256 + 5, 0x64643219u}}},
      // The hash of Noise with seed 0: the first step gives s = 1, n = 1 at full colour 256.
      {"noise, seed 0", 64, commandWord(TextureOp::Noise), {0, 0, 0, 256, 256, 256}, -1,
       {{0, 0x01010101u}}},
      {"dots, count 0", 256, dots, {0, 0, 0, 5, 0, 0, 255, 255, 255}, 0, {}},
      {"dots, negative count", 256, dots, {-3, 0, 0, 5, 0, 0, 255, 255, 255}, 0, {}},
      // Radial glow: the centre is the colour, distance h is 0, d^2 = h^2/4 gives f = 0.75.
      {"radial glow", 256, commandWord(TextureOp::RadialGlow), {200, 150, 100, 100}, -1,
       {{128 * 256 + 128, 0x00C89664u}, {128 * 256, 0}, {128 * 256 + 192, 0x0096704Bu}}}};
  // clang-format on
  for (const auto& r : rows) {
    P img;
    run(img, r.size, r.word, r.p);
    const int n = countNonZero(img);
    EXPECT_TRUE(r.nonZero < 0 || n == r.nonZero) << r.what << ": " << n << " pixels";
    for (const auto& [i, v] : r.pixels) EXPECT_EQ(img[size_t(i)], v) << r.what << " @" << i;
  }
}

TEST_F(Generators, NoiseAndDotsFollowTheirSeeds) {
  const uint32_t noise = commandWord(TextureOp::Noise), dots = commandWord(TextureOp::Dots);
  P a, b, c;
  run(a, 64, noise, {12345, 0, 0, 255, 128, 64});
  run(b, 64, noise, {12345, 0, 0, 255, 128, 64});
  run(c, 64, noise, {999, 0, 0, 255, 128, 64});
  EXPECT_TRUE(a == b && a != c);
  for (TexturePixel p : a) ASSERT_EQ(p >> 24, p >> 16 & 0xFF);  // alpha equals red
  EXPECT_EQ(textureSeed, kTextureSeedStart);  // the hash leaves the 15-bit generator alone
  // 4 x 8 = 32 dots of colour alpha (30+60+90)/3 = 60; a huge count stops at the dot limit.
  run(a, 256, dots, {4, 0, 0, 77, 0, 0, 30, 60, 90});
  run(b, 256, dots, {4, 0, 0, 77, 0, 0, 30, 60, 90});
  EXPECT_EQ(a, b);
  EXPECT_TRUE(countNonZero(a) >= 1 && countNonZero(a) <= 32) << countNonZero(a);
  for (TexturePixel p : a) ASSERT_TRUE(p == 0 || p == 0x3C1E3C5Au);
  run(a, 2, dots, {1e9f, 0, 0, 77, 0, 0, 30, 60, 90});
  EXPECT_GE(countNonZero(a), 1);
}

TEST_F(Generators, FractalNoiseLatticeAndPixels) {
  P img;
  run(img, 256, commandWord(TextureOp::FractalNoise), {64});
  // Lattice entry i is (toInt(r_i x 256) + 47) mod 256 for the i-th textureRandom value from the
  // start seed (0x01DE2B57; s = s x 15625 + 1, low 15 bits, divided by 32678), worked out with a
  // calculator: r_0 = 16656 / 32678, so entry 0 is 177; around the centre, rows
  // 128-130 from column 128 read 238 135 98 95 229 249 / 104 209 252 202 158 131 /
  // 226 27 150 51 88 13.
  EXPECT_EQ(noiseLattice[0], 177);
  EXPECT_EQ(noiseLattice[128 * 256 + 128], 238);
  // The centre samples (128, 128) in every octave: 238 x 75/64 = 278, limited to 255.
  EXPECT_EQ(img[128 * 256 + 128], 0xFFFFFFFFu);
  // Pixel (132, 130): octave o samples (128 + 4/o, 128 + 2/o). Octave values 88 (o = 1),
  // 252, 172, 178, 201, 218 (o = 32), weighted by (o + 2)/64: 236.16, so grey 236.
  EXPECT_EQ(img[130 * 256 + 132], 0xECECECECu);
  for (TexturePixel p : img) ASSERT_EQ(p, (p & 0xFF) * 0x01010101u);
  // Two commands in a row differ (the sequence moves on); a reset puts back the seed and clears
  // the shared buffers, so the first repeats.
  P first, second, again;
  resetTextureState();
  run(first, 128, commandWord(TextureOp::FractalNoise), {32});
  run(second, 128, commandWord(TextureOp::FractalNoise), {32});
  layerImages[7][9] = 5;
  resetTextureState();
  run(again, 128, commandWord(TextureOp::FractalNoise), {32});
  EXPECT_TRUE(first != second && first == again);
  EXPECT_EQ(layerImages[7][9], 0u);
}

using Filters = TexgenTest;

P uniform(int32_t size, TexturePixel p) { return P(size_t(size * size), p); }

TEST_F(Filters, Samplers) {
  P img = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  setTextureGeometry(4);
  // Nearest, row 0 of a 4 x 4 image holding 1..16; expected for wrap, clamp, mirror, transparent.
  // Columns: -1.5 -> 3 / 0 / 1;  4 -> 0 / 3 / 3;  9 -> 1 / 3 / 1;  -6 -> 2 / 0 / 1.
  // clang-format off
  const struct { float u, v; TexturePixel byMode[4]; } nearest[] = {
      {-1.5f, 0, {4, 1, 2, 0}}, {4, 0, {1, 4, 4, 0}}, {9, 0, {2, 4, 2, 0}}, {-6, 0, {3, 1, 2, 0}},
      {-0.5f, 3.9f, {13, 13, 13, 13}},    // -0.5 truncates to 0
      {-2147483648.0f, 0, {1, 1, 1, 0}}};  // |INT_MIN| stays defined
  // clang-format on
  for (const auto& r : nearest)
    for (int mode = 0; mode < 4; ++mode) {
      textureGeometry.edgeMode = mode;
      EXPECT_EQ(texgen::sampleNearest(img.data(), r.u, r.v), r.byMode[mode]) << r.u << " " << mode;
    }
  // Bilinear, 8.8 fixed point: half of 255 is 127. -0.5 wraps to 3.5; -1e-9 lands on column 0,
  // never on column 4.
  img = {0, ~0u, 0, 0x00FF0000u, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  // clang-format off
  const struct { float u, v; TexturePixel expected; } bilinear[] = {
      {0.5f, 0, 0x7F7F7F7Fu}, {1, 0, 0xFFFFFFFFu}, {-0.5f, 0, 0x007F0000u}, {7, 4, 0x00FF0000u},
      {1, 0.5f, 0x7F7F7F7Fu}, {-1e-9f, 0, 0u}};
  // clang-format on
  for (const auto& r : bilinear)
    EXPECT_EQ(texgen::sampleBilinear(img.data(), r.u, r.v), r.expected) << r.u;
}

TEST_F(Filters, BlurTapsGainAndWrap) {
  // A uniform image stays uniform (the blur wraps). Radius 8 on 256 (32 on 64) is 8 pixels,
  // sigma 1: the trimmed kernel covers -2..1, taps 14 66 109 66 summing to 255, so 200 becomes
  // 199, then 198 in the second pass. Gain 32 doubles the taps (sum 510): alpha 100 -> 199,
  // red 200 saturates, blue 1 stays 1. Negative gain gives black.
  for (auto [size, in, gain, out] : {std::tuple{256, 0x64C86401u, 32, 0xFFFFFF01u},
                                     {64, 0x80808080u, -20, 0u},
                                     {256, 0xC8C8C8C8u, 16, 0xC6C6C6C6u}}) {
    P img = uniform(size, in);
    run(img, size, commandWord(TextureOp::Blur), {2048.0f / size, 0, 0, float(gain)});
    EXPECT_EQ(img, uniform(size, out)) << gain;
  }
  EXPECT_EQ(P(blurTaps, blurTaps + 5), (P{14, 66, 109, 66, 0}));
  // A spot at (0, 0) spreads across both edges; the far middle stays black.
  P img = uniform(64, 0);
  img[0] = 0xFFFFFFFFu;
  run(img, 64, commandWord(TextureOp::Blur), {32, 0, 0, 16});
  for (size_t i : {0, 63, 63 * 64, 63 * 64 + 63}) EXPECT_GT(img[i], 0u) << i;
  EXPECT_EQ(img[32 * 64 + 32], 0u);
  // A huge gain keeps every tap at most 257.
  run(img, 64, commandWord(TextureOp::Blur), {4, 0, 0, 2000});
  EXPECT_LE(*std::max_element(blurTaps, blurTaps + 128), 257);
}

TEST_F(Filters, PackedBlurMatchesReference) {
  for (int32_t size : {2, 8, 64})
    for (int hw : {1, 2, 5, 64}) {
      setTextureGeometry(size);
      const P taps = patternImage(16, uint32_t(size * hw));
      for (int k = 0; k < 2 * hw; ++k) blurTaps[k] = int32_t(taps[size_t(k)] >> 8) % 258;  // 0..257
      auto a = patternImage(size, uint32_t(hw)), b = a;
      texgen::blurPasses(a.data(), hw);
      texgen::blurPassesReference(b.data(), hw);
      ASSERT_EQ(a, b) << size << " " << hw;
    }
}

// Output pixel `out` shows source pixel `in` of the pattern image (in < 0: transparent, 0; no
// pairs: the whole image is unchanged).
TEST_F(Filters, SamplingGeometry) {
  const uint32_t roto = commandWord(TextureOp::RotoZoom), twirl = commandWord(TextureOp::Twirl);
  const uint32_t smoothTwirl = commandWord(TextureOp::Twirl, 0, true);
  // clang-format off
  const struct { int size; uint32_t word; std::initializer_list<float> p;
                 std::vector<std::pair<int, int>> maps; } rows[] = {
      {64, commandWord(TextureOp::Blur), {3, 0, 0, 16}, {}},  // blur of 0 pixels (3 x 64 / 256)
      {256, roto, {128, 128, 0, 0, 0, 0, 0}, {}},             // about the centre, no turn
      {256, commandWord(TextureOp::RotoZoom, 0, true), {128, 128, 0, 0, 0, 0, 0}, {}},
      {128, twirl, {128, 128, 0, 128, 0, 0, 200}, {}},        // no twist (p3 128)
      {128, smoothTwirl, {128, 128, 0, 128, 0, 0, 200}, {}},
      {4, twirl, {128, 128, 0, 0, 0, 0, 0}, {}},              // radius 0
      {4, twirl, {128, 128, 0, 0, 0, 0, 20}, {}},             // radius 0 pixels (20/256 of 4)
      {32, commandWord(TextureOp::Tint), {0, 0, 0}, {}},
      // Zoom p3 = 64: step 2, so output (X, Y) shows (2X - 32, 2Y - 32); outside is clear.
      {64, commandWord(TextureOp::RotoZoom, 0, false, 3), {128, 128, 0, 64},
       {{16 * 64 + 16, 0}, {20 * 64 + 30, 8 * 64 + 28}, {0, -1}, {48 * 64 + 20, -1}}},
      {64, roto, {128, 128, 0, 64}, {{0, 32 * 64 + 32}, {20 * 64 + 30, 8 * 64 + 28}}},  // wrapped
      // p6 = -128: a = 0, exact half turn: output (i + 8, j + 8) reads (8 - i, 8 - j), wrapped.
      {16, roto, {128, 128, 0, 0, 0, 0, -128}, {{0, 0}, {9 * 16 + 10, 7 * 16 + 6}}},
      // Twirl on 64 about the centre, R = 128/256 of 64 = 32 pixels, k = (128 - 80)/32 = 1.5.
      // At distance d the angle grows by 1.5 (1 + cos(pi d / 32)); u = d cos, v = d sin, + 32:
      // (16, 0): phi = 1.5, (33.13, 47.96); (8, 0): phi = 2.5607, (25.31, 36.39);
      // (0, 8): theta = pi/2 + 2.5607, (27.61, 25.31). Distance 32 and beyond is unchanged.
      {64, twirl, {128, 128, 0, 80, 0, 0, 128},
       {{32 * 64 + 48, 47 * 64 + 33}, {32 * 64 + 40, 36 * 64 + 25}, {40 * 64 + 32, 25 * 64 + 27},
        {32 * 64 + 32, 32 * 64 + 32}, {0, 0}, {32 * 64, 32 * 64}}}};
  // clang-format on
  for (const auto& r : rows) {
    const P src = patternImage(r.size);
    P img = src;
    run(img, r.size, r.word, r.p);
    SCOPED_TRACE(::testing::Message() << "opcode " << (r.word & 0xFF) << " on " << r.size);
    EXPECT_TRUE(!r.maps.empty() || img == src);
    for (const auto& [out, in] : r.maps)
      EXPECT_EQ(img[size_t(out)], in < 0 ? 0u : src[size_t(in)]) << " @" << out;
  }
  // Far centres and huge values stay defined (the sanitizer builds catch an overflow).
  P img = patternImage(64);
  run(img, 64, smoothTwirl, {100, 140, 0, 20, 0, 0, 90});
  run(img, 64, twirl, {3e9f, -3e9f, 0, 0, 0, 0, 3e9f});
}

// The inline conversions of the hot loops agree with the scene's, ties and saturation included.
TEST(FastConversions, MatchSceneConversions) {
  for (float x : {0.5f, 1.5f, 2.5f, -0.5f, -1.5f, 254.5f, 255.49f, 4194303.5f, 4194304.5f, 1e10f,
                  -1e10f, -2147483648.0f, 0.0f, -0.0f, 3.99999f, std::nanf("")}) {
    EXPECT_EQ(texgen::roundF(x), roundToInt(x)) << x;
    EXPECT_EQ(texgen::truncF(x), toInt(x)) << x;
  }
}

// Per-pixel operators on 2 x 2 and 4 x 4 images, expected pixels worked out by hand.
TEST_F(Filters, ColourOperators) {
  const P c50 = {0x00323232u, 0x00969696u, 0x00323232u, 0x00969696u};
  const uint32_t bc = commandWord(TextureOp::BrightnessContrast);
  const uint32_t tint = commandWord(TextureOp::Tint), nmap = commandWord(TextureOp::NormalMap);
  const TexturePixel m = 0x80808080u, n0 = 0x002680D9u, n1 = 0x00D980D9u, f = 0x007F80FFu;
  // clang-format off
  const struct { uint32_t word; std::initializer_list<float> p; P in, out; } rows[] = {
      {commandWord(TextureOp::Invert), {}, P(4, 0x12345678u), P(4, 0xEDCBA987u)},
      // Mean 100 of {50, 150}; p3 = 223: c = 64, the distance from the mean doubles; alpha is
      // the average of the colour channels.
      {bc, {128, 0, 0, 223}, c50, {0, 0xC8C8C8C8u, 0, 0xC8C8C8C8u}},
      // p3 = 127: c = 256, the distance halves; brightness +10 first: (60 - 100)/2 + 100 = 80.
      {bc, {138, 0, 0, 127}, c50, {0x50505050u, 0x82828282u, 0x50505050u, 0x82828282u}},
      // p3 = 191 keeps the contrast: only alpha changes, to the channel average (16+32+48)/3.
      {bc, {128, 0, 0, 191}, P(4, 0xFF102030u), P(4, 0x20102030u)},
      // Red x 255/128 saturates; green x 64/128; blue 128 + 128 = 256 wraps to 0; alpha factor
      // (255 + 64 + 0)/3 = 106: 128 x 106 / 128 = 106.
      {tint, {127, -64, 128}, P(4, 0x80808080u), P(4, 0x6AFF4000u)},
      {tint, {-128, -128, -128}, P(4, 0x12345678u), P(4, 0u)},
      {commandWord(TextureOp::Emboss), {}, P(4, 0x12345678u), P(4, m)},
      // Emboss of blue 255 at (1, 0): 128 - left column + right column over rows y - 1..y + 1,
      // clamped at the edges: (0, y) gains 2 x 255 or 255, (2, y) loses it, for rows 0 and 1.
      {commandWord(TextureOp::Emboss), {}, {0, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       {0x808080FFu, m, 0x80808000u, m, 0x808080FFu, m, 0x80808000u, m, m, m, m, m, m, m, m, m}},
      // Uniform height: the normal is straight up (127, 128, 255); alpha is kept.
      {nmap, {50}, {0xAB000080u, 0x11000080u, 0xAB000080u, 0xAB000080u},
       {0xAB7F80FFu, 0x117F80FFu, 0xAB7F80FFu, 0xAB7F80FFu}},
      // Column 1 high (blue 255), k = 1, wrapping: column 0 has dx = -1, n = sqrt 2:
      // R = 255 - toInt(0.7071 x 127 + 128) = 38, G = 128, B = toInt(127 / sqrt 2 + 128) = 217;
      // column 1 has dx = 1: R = 255 - toInt(-89.8 + 128) = 217; columns 2 and 3 are flat.
      {nmap, {10}, {0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0},
       {n0, n1, f, f, n0, n1, f, f, n0, n1, f, f, n0, n1, f, f}}};
  // clang-format on
  for (const auto& r : rows) {
    auto img = r.in;
    run(img, r.in.size() == 4 ? 2 : 4, r.word, r.p);
    EXPECT_EQ(img, r.out) << "row " << (&r - rows);
  }
}

using M = BlendMode;
constexpr TexturePixel g(uint32_t grey) { return grey * 0x01010101u; }

TEST_F(Filters, BlendModes) {
  // clang-format off
  const struct { TexturePixel d, s; M mode; TexturePixel expected; } rows[] = {
      {0, 0x12345678u, M::Or, 0x12345678u}, {0xF0F0F0F0u, 0x0F0F0FFFu, M::Or, ~0u},
      {0xFF00FF00u, 0xFFFF0000u, M::Xor, 0x00FFFF00u},
      {0xFF00FF00u, 0xFFFF0000u, M::And, 0xFF000000u},
      // Add and Subtract saturate per byte; Average truncates.
      {g(200), g(100), M::Add, g(255)}, {0x01020304u, 0x10203040u, M::Add, 0x11223344u},
      {g(100), g(200), M::Subtract, 0}, {0x10203040u, 0x01020304u, M::Subtract, 0x0F1E2D3Cu},
      {g(255), g(0), M::Average, g(127)}, {0x01FF0203u, 0x03010205u, M::Average, 0x02800204u},
      {0x12345678u, 0xFF000000u, M::Minimum, 0x12000000u},
      {0x12345678u, 0x00FF0000u, M::Maximum, 0x12FF5678u},
      // Multiply d s / 255; Screen 255 - (255 - d)(255 - s) / 255: 255 - 127 x 127 / 255 = 192.
      {0x12345678u, g(255), M::Multiply, 0x12345678u}, {g(128), g(128), M::Multiply, g(64)},
      {0x12345678u, 0, M::Screen, 0x12345678u}, {g(128), g(128), M::Screen, g(192)},
      // Burn: d = 0 unchanged, 255 - 63 x 255 / 128, at least 0. Dodge: d = 255 unchanged,
      // 64 x 255 / 127, at most 255.
      {0, g(77), M::Burn, 0}, {g(128), g(192), M::Burn, g(130)}, {g(10), g(200), M::Burn, 0},
      {g(255), g(3), M::Dodge, g(255)}, {g(128), g(64), M::Dodge, g(128)},
      {g(200), g(100), M::Dodge, g(255)},
      {0x01020304u, ~0u, M(12), 0x01020304u}, {0x01020304u, ~0u, M(255), 0x01020304u}};  // unknown
  // clang-format on
  setTextureGeometry(16);  // 16 x 16 so the vector path and its tail both run
  for (const auto& r : rows) {
    P d(256, r.d), s(256, r.s);
    combineImages(d.data(), s.data(), static_cast<uint8_t>(r.mode));
    EXPECT_EQ(d, P(256, r.expected)) << "mode " << int(r.mode) << " d " << r.d;
  }
}

uint32_t word(TextureOp op, BlendMode m = BlendMode::Or) { return commandWord(op, uint8_t(m)); }

TEST_F(Dispatcher, ResizeAndDisabledCommands) {
  TextureObject t;
  ASSERT_EQ(t.pixels.size(), 65536u);
  t.pixels[5] = 9;
  // Invalid edge lengths are refused and leave the image alone.
  for (float n : {300.0f, 1024.0f, 1.0f, 0.0f, -256.0f, 3.0f})
    t.applyCommand(*std::unique_ptr<Track>(makeTrack(word(TextureOp::Resize), {n})));
  EXPECT_EQ(t.pixels[5], 9u);
  // A disabled Resize still resizes (to a cleared image); other disabled commands do nothing.
  t.applyCommand(*std::unique_ptr<Track>(makeTrack(word(TextureOp::Resize) & ~kEnabledBit, {128})));
  EXPECT_EQ(t.pixels.size(), 16384u);
  t.applyCommand(*std::unique_ptr<Track>(makeTrack(word(TextureOp::Fill) & ~kEnabledBit, {255})));
  EXPECT_EQ(countNonZero(t.pixels), 0);
  EXPECT_TRUE(t.resize(2) && t.resize(512) && !t.resize(513));
}

TEST_F(Dispatcher, LayersCarryAcrossTexturesAndBadCommandsDoNothing) {
  TextureObject a, b;
  a.tracksB.append(makeTrack(word(TextureOp::Fill), {10, 20, 30, 40}));
  a.tracksB.append(makeTrack(word(TextureOp::StoreLayer), {3}));
  a.precalc();
  EXPECT_EQ(a.pixels[0], 0x280A141Eu);  // StoreLayer keeps the image
  EXPECT_EQ(a.glTexture, 0u);           // no hooks installed: nothing reaches a GPU
  b.tracksB.append(makeTrack(word(TextureOp::CombineLayer, BlendMode::Add), {3}));
  b.tracksB.append(makeTrack(word(TextureOp::CombineLayer, BlendMode::Add), {4}));
  b.precalc();
  EXPECT_EQ(b.pixels[777], 0x280A141Eu);
  EXPECT_EQ(layerImages[4][0], 0u);
  // Indices outside 0-15 do nothing; opcodes above 23 only clear the image's own pixels of the
  // work image. MoveToLayer leaves the image clear and CombineLayer brings it back.
  const P orig = patternImage(32);
  P img = orig;
  for (float i : {-1.0f, 16.0f, 1e9f, -1e9f})
    for (TextureOp op : {TextureOp::MoveToLayer, TextureOp::StoreLayer, TextureOp::CombineLayer})
      run(img, 32, word(op, BlendMode::And), {i});
  std::fill(workImage, workImage + kMaxTexturePixels, 0xDEADBEEFu);
  run(img, 32, kEnabledBit | 24u, {1, 2, 3});
  run(img, 32, kEnabledBit | 255u, {1, 2, 3});
  EXPECT_EQ(img, orig);
  EXPECT_TRUE(workImage[32 * 32 - 1] == 0 && workImage[32 * 32] == 0xDEADBEEFu);
  run(img, 32, word(TextureOp::MoveToLayer), {15});
  EXPECT_EQ(countNonZero(img), 0);
  EXPECT_TRUE(std::equal(orig.begin(), orig.end(), layerImages[15]));
  run(img, 32, word(TextureOp::CombineLayer, BlendMode::Or), {15});
  EXPECT_EQ(img, orig);
  run(img, 32, word(TextureOp::ClearImage), {});
  EXPECT_EQ(countNonZero(img), 0);
}

TEST_F(Dispatcher, PrecalcRunsListBThenAUploadsAndReleases) {
  static std::vector<uint32_t> created, destroyed;  // created: edge length and first pixel
  setTextureGpuHooks({[](int32_t size, const TexturePixel* px) {
                        created.insert(created.end(), {uint32_t(size), px[0]});
                        return uint32_t(40 + created.size() / 2);
                      },
                      [](uint32_t name) { destroyed.push_back(name); }});
  TextureObject t;
  t.tracksA.append(makeTrack(word(TextureOp::Fill, BlendMode::Add), {0, 0, 0, 1}));
  t.tracksB.append(makeTrack(word(TextureOp::Resize), {32}));
  t.tracksB.append(makeTrack(word(TextureOp::Fill), {0, 0, 0, 255}));  // Or into zero
  t.tracksB.append(makeTrack(word(TextureOp::Invert), {}));
  t.precalc();
  // B: fill alpha 255, invert -> 0x00FFFFFF; then A: add alpha 1; then the upload.
  EXPECT_EQ(created, (std::vector<uint32_t>{32, 0x01FFFFFFu}));
  EXPECT_EQ(t.glTexture, 41u);
  t.saveToScratch();
  t.clear();
  EXPECT_EQ(countNonZero(t.pixels), 0);
  t.loadFromScratch();
  EXPECT_EQ(t.pixels[0], 0x01FFFFFFu);
  t.upload();  // a second upload releases the first texture
  EXPECT_EQ(t.glTexture, 42u);
  t.release();
  t.release();
  EXPECT_EQ(t.glTexture, 0u);
  EXPECT_EQ(destroyed, (std::vector<uint32_t>{41, 42}));
}

}  // namespace
}  // namespace glimmer::testing
