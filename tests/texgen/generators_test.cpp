// Generators (exact pixels worked out by hand from each formula), TextureObject and the
// dispatcher: resize, layers, list order, the GPU hooks, the value checks.
#include <cmath>

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
  for (TexturePixel p : a) ASSERT_EQ(channel(p, 24), channel(p, 16));  // alpha equals red
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
  for (TexturePixel p : img) ASSERT_EQ(p, channel(p, 0) * 0x01010101u);
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

TEST_F(Dispatcher, LayersCarryAcrossTexturesAndBadIndicesDoNothing) {
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
  // Indices outside 0-15 do nothing; MoveToLayer leaves the image clear and CombineLayer brings
  // it back; ClearImage clears.
  const P orig = patternImage(32);
  P img = orig;
  for (float i : {-1.0f, 16.0f, 1e9f, -1e9f})
    for (TextureOp op : {TextureOp::MoveToLayer, TextureOp::StoreLayer, TextureOp::CombineLayer})
      run(img, 32, word(op, BlendMode::And), {i});
  EXPECT_EQ(img, orig);
  run(img, 32, word(TextureOp::MoveToLayer), {15});
  EXPECT_EQ(countNonZero(img), 0);
  EXPECT_TRUE(std::equal(orig.begin(), orig.end(), layerImages[15]));
  run(img, 32, word(TextureOp::CombineLayer, BlendMode::Or), {15});
  EXPECT_EQ(img, orig);
  run(img, 32, word(TextureOp::ClearImage), {});
  EXPECT_EQ(countNonZero(img), 0);
}

TEST_F(Dispatcher, HighOpcodesOnlyClearTheWorkImage) {
  const P orig = patternImage(32);
  P img = orig;
  std::fill(workImage, workImage + kMaxTexturePixels, 0xDEADBEEFu);
  run(img, 32, kEnabledBit | 24u, {1, 2, 3});
  run(img, 32, kEnabledBit | 255u, {1, 2, 3});
  EXPECT_EQ(img, orig);
  EXPECT_EQ(workImage[32 * 32 - 1], 0u);
  EXPECT_EQ(workImage[32 * 32], 0xDEADBEEFu);  // only the image's own pixels are cleared
}

std::vector<uint32_t> created, destroyed;  // created: edge length and first pixel of each image

TEST_F(Dispatcher, PrecalcRunsListBThenAUploadsAndReleases) {
  created.clear();
  destroyed.clear();
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

// The one rule of values that must be sane for a command to run: enabled layer commands need a
// slot 0-15 (keys too when animated); Resize, even disabled, a power of two from 2 to 512.
TEST(TextureChecks, LayerIndexAndEdgeLength) {
  const uint32_t store = word(TextureOp::StoreLayer), resize = word(TextureOp::Resize);
  const uint32_t combine = word(TextureOp::CombineLayer), off = ~kEnabledBit;
  // clang-format off
  const struct { uint32_t word; float p0, key; bool refused; } rows[] = {  // key NaN: none
      {store, 15, NAN, false}, {store, 16, NAN, true}, {store & off, 16, NAN, false},
      {resize & off, 300, NAN, true}, {resize, 512, NAN, false},
      {combine | kAnimatedBit, 2, -1, true}, {combine, 2, -1, false},  // keys never run unanimated
      {word(TextureOp::Fill), 1e9f, -1, false}};
  // clang-format on
  for (const auto& r : rows) {
    TrackRecord t;
    t.word = r.word;
    t.params[0] = r.p0;
    if (!std::isnan(r.key)) t.keys.emplace_back().values[0] = r.key;
    EXPECT_EQ(!textureCommandProblem(t).empty(), r.refused) << std::hex << r.word << " " << r.p0;
  }
}

}  // namespace
}  // namespace glimmer::testing
