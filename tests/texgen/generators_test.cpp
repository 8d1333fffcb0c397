// Generators: exact pixels for uniform images, extents, packing and the random sequences.
#include <algorithm>
#include <cmath>

#include "tests/texgen/test_util.h"

namespace glimmer::testing {
namespace {

using Generators = TexgenTest;

int countNonZero(const std::vector<TexturePixel>& v) {
  return static_cast<int>(std::count_if(v.begin(), v.end(), [](TexturePixel p) { return p != 0; }));
}

TEST_F(Generators, FillPacksWithoutMasks) {
  std::vector<TexturePixel> img;
  run(img, 256, commandWord(TextureOp::Fill), {255, 255, 255, 255});
  EXPECT_TRUE(std::all_of(img.begin(), img.end(), [](TexturePixel p) { return p == 0xFFFFFFFFu; }));
  img.assign(img.size(), 0);
  run(img, 256, commandWord(TextureOp::Fill), {300, 0, 0, 0});  // red 300 spills into alpha
  EXPECT_EQ(img[0], 0x012C0000u);
  img.assign(img.size(), 0);
  run(img, 256, commandWord(TextureOp::Fill), {1.9f, 2.9f, -0.9f, 0});  // truncation toward zero
  EXPECT_EQ(img[0], 0x00010200u);
}

TEST_F(Generators, RectangleExtentsIn256ths) {
  std::vector<TexturePixel> img;
  run(img, 256, commandWord(TextureOp::Rectangle), {0, 0, 0, 255, 255, 0, 1, 2, 3});
  EXPECT_EQ(countNonZero(img), 256 * 256);
  EXPECT_EQ(img[0], 0x01010203u);  // alpha equals red
  img.clear();
  run(img, 512, commandWord(TextureOp::Rectangle), {0, 0, 0, 255, 255, 0, 9, 9, 9});
  EXPECT_EQ(countNonZero(img), 512 * 512);

  img.clear();
  run(img, 256, commandWord(TextureOp::Rectangle), {10, 20, 0, 9, 4, 0, 200, 100, 50});
  EXPECT_EQ(countNonZero(img), 50);
  EXPECT_EQ(img[20 * 256 + 10], 0xC8C86432u);
  EXPECT_EQ(img[24 * 256 + 19], 0xC8C86432u);
  EXPECT_EQ(img[25 * 256 + 19], 0u);
  EXPECT_EQ(img[24 * 256 + 20], 0u);

  img.clear();  // cut at the right and bottom edges
  run(img, 256, commandWord(TextureOp::Rectangle), {250, 250, 0, 100, 100, 0, 1, 1, 1});
  EXPECT_EQ(countNonZero(img), 36);
  img.clear();  // a negative corner is a huge coordinate: nothing
  run(img, 256, commandWord(TextureOp::Rectangle), {-1, 0, 0, 10, 10, 0, 1, 1, 1});
  EXPECT_EQ(countNonZero(img), 0);
  img.clear();  // on 128 x 128 a 256ths extent of 1 (+1) is one pixel
  run(img, 128, commandWord(TextureOp::Rectangle), {2, 2, 0, 1, 1, 0, 1, 1, 1});
  EXPECT_EQ(countNonZero(img), 1);
  EXPECT_NE(img[1 * 128 + 1], 0u);
}

TEST_F(Generators, CircleHardEdge) {
  std::vector<TexturePixel> img;
  run(img, 256, commandWord(TextureOp::Circle), {128, 128, 0, 10, 0, 0, 90, 60, 31});
  int expected = 0;
  for (int y = -10; y < 10; ++y)
    for (int x = -10; x < 10; ++x) expected += x * x + y * y < 100;
  EXPECT_EQ(countNonZero(img), expected);
  const TexturePixel c = (60u << 24) | (90u << 16) | (60u << 8) | 31u;  // alpha (90+60+31)/3 = 60
  EXPECT_EQ(img[128 * 256 + 128], c);
  EXPECT_EQ(img[(128 + 9) * 256 + 128 + 3], c);
  EXPECT_EQ(img[(128 + 10) * 256 + 128], 0u);
}

TEST_F(Generators, CircleSmoothRimFades) {
  std::vector<TexturePixel> img;
  run(img, 256, commandWord(TextureOp::Circle, 0, true), {128, 128, 0, 10, 0, 0, 100, 100, 100});
  // d^2 = 90 lies on the rim: f = 10 - sqrt(90) = 0.5132, round(100 f) = 51.
  EXPECT_EQ(img[(128 + 3) * 256 + 128 + 9], 0x33333333u);
  // d^2 = 81 is inside (not above (r-1)^2): full colour.
  EXPECT_EQ(img[128 * 256 + 128 + 9], 0x64646464u);
}

TEST_F(Generators, CircleRadiusZeroDrawsNothing) {
  std::vector<TexturePixel> img;
  run(img, 256, commandWord(TextureOp::Circle), {128, 128, 0, 0, 0, 0, 255, 255, 255});
  EXPECT_EQ(countNonZero(img), 0);
  img.clear();  // radius 100/256 of a 2-pixel edge is 0 pixels
  run(img, 2, commandWord(TextureOp::Circle), {128, 128, 0, 100, 0, 0, 255, 255, 255});
  EXPECT_EQ(countNonZero(img), 0);
}

TEST_F(Generators, CheckerQuarters) {
  std::vector<TexturePixel> img;
  run(img, 256, commandWord(TextureOp::Checker), {128, 128});
  EXPECT_EQ(img[0], 0u);
  EXPECT_EQ(img[128], 0xFFFFFFFFu);
  EXPECT_EQ(img[128 * 256], 0xFFFFFFFFu);
  EXPECT_EQ(img[128 * 256 + 128], 0u);
  EXPECT_EQ(img[127 * 256 + 127], 0u);
  img.clear();  // cells of 0 are limited to 1 pixel
  run(img, 4, commandWord(TextureOp::Checker), {0, 0});
  EXPECT_EQ(img, (std::vector<TexturePixel>{0, ~0u, 0, ~0u, ~0u, 0, ~0u, 0, 0, ~0u, 0, ~0u, ~0u, 0,
                                            ~0u, 0}));
}

TEST_F(Generators, WavesRange) {
  std::vector<TexturePixel> img;
  run(img, 256, commandWord(TextureOp::Waves), {0, 0, 0, 0, 0, 0, 200, 100, 50});
  EXPECT_TRUE(std::all_of(img.begin(), img.end(), [](TexturePixel p) { return p == 0xC8C86432u; }));
  img.clear();
  // One period across the edge: the trough of the horizontal term is at x + 1 = 128.
  run(img, 256, commandWord(TextureOp::Waves), {0, 0, 0, 32, 0, 0, 200, 100, 50});
  EXPECT_EQ(channel(img[127], 16), 100);
  EXPECT_EQ(channel(img[255], 16), 200);
  EXPECT_EQ(channel(img[127], 24), 100);
}

TEST_F(Generators, NoiseFirstStepAndReproducibility) {
  std::vector<TexturePixel> a, b;
  run(a, 64, commandWord(TextureOp::Noise), {0, 0, 0, 256, 256, 256});
  EXPECT_EQ(a[0], 0x01010101u);  // seed 0: the first step yields 1
  run(b, 64, commandWord(TextureOp::Noise), {0, 0, 0, 256, 256, 256});
  EXPECT_EQ(a, b);
  std::vector<TexturePixel> c;
  run(c, 64, commandWord(TextureOp::Noise), {12345, 0, 0, 255, 128, 64});
  EXPECT_NE(a, c);
  for (TexturePixel p : c) ASSERT_EQ(channel(p, 24), channel(p, 16));  // alpha equals red
  EXPECT_EQ(textureSeed, kTextureSeedStart);  // the hash leaves the 15-bit generator alone
}

TEST_F(Generators, DotsCountColourAndSeed) {
  std::vector<TexturePixel> img;
  run(img, 256, commandWord(TextureOp::Dots), {0, 0, 0, 5, 0, 0, 255, 255, 255});
  EXPECT_EQ(countNonZero(img), 0);
  run(img, 256, commandWord(TextureOp::Dots), {-3, 0, 0, 5, 0, 0, 255, 255, 255});
  EXPECT_EQ(countNonZero(img), 0);
  run(img, 256, commandWord(TextureOp::Dots), {4, 0, 0, 77, 0, 0, 30, 60, 90});
  const int n = countNonZero(img);
  EXPECT_GE(n, 1);
  EXPECT_LE(n, 32);
  for (TexturePixel p : img)
    if (p) {
      ASSERT_EQ(p, 0x3C1E3C5Au);
    }
  std::vector<TexturePixel> again;
  run(again, 256, commandWord(TextureOp::Dots), {4, 0, 0, 77, 0, 0, 30, 60, 90});
  EXPECT_EQ(img, again);
}

TEST_F(Generators, TextureRandomSequence) {
  // 0x01DE2B57 * 15625 + 1, low 15 bits: 16656.
  const float v = texgen::textureRandom();
  EXPECT_EQ(textureSeed, 16656);
  EXPECT_FLOAT_EQ(v, 16656.0f / 32678.0f);
  for (int i = 0; i < 100000; ++i) {
    const float r = texgen::textureRandom();
    ASSERT_GE(r, 0.0f);
    ASSERT_LE(r, 32767.0f / 32678.0f);
  }
}

TEST_F(Generators, FractalNoiseLatticeAndCentre) {
  std::vector<TexturePixel> img;
  run(img, 256, commandWord(TextureOp::FractalNoise), {64});
  EXPECT_EQ(noiseLattice[0], 177);  // toInt(16656 / 32678 * 256) + 47
  // The centre samples the lattice at (128, 128) exactly in every octave: 75/64 of it.
  const int l = noiseLattice[128 * 256 + 128];
  const int g = std::min(static_cast<int>(static_cast<float>(l) * 75.0f / 64.0f), 255);
  EXPECT_EQ(img[128 * 256 + 128], static_cast<TexturePixel>(g) * 0x01010101u);
  for (TexturePixel p : img) {
    ASSERT_EQ(channel(p, 0), channel(p, 8));
    ASSERT_EQ(channel(p, 0), channel(p, 24));
  }
}

TEST_F(Generators, ConsecutiveFractalNoisesDiffer) {
  std::vector<TexturePixel> a, b;
  run(a, 128, commandWord(TextureOp::FractalNoise), {32});
  run(b, 128, commandWord(TextureOp::FractalNoise), {32});
  EXPECT_NE(a, b);
  // Out-of-lattice samples of zoom 32 stay defined and the result repeats after a reset.
  resetTextureState();
  std::vector<TexturePixel> c;
  run(c, 128, commandWord(TextureOp::FractalNoise), {32});
  EXPECT_EQ(a, c);
}

TEST_F(Generators, RadialGlow) {
  std::vector<TexturePixel> img;
  run(img, 256, commandWord(TextureOp::RadialGlow), {200, 150, 100, 100});
  EXPECT_EQ(img[128 * 256 + 128], 0x00C89664u);
  EXPECT_EQ(img[128 * 256 + 0], 0u);  // distance h with falloff 100
  for (TexturePixel p : img) ASSERT_EQ(channel(p, 24), 0);
  EXPECT_EQ(channel(img[128 * 256 + 192], 16), 150);  // d^2 = h^2/4: f = 0.75
}

}  // namespace
}  // namespace glimmer::testing
