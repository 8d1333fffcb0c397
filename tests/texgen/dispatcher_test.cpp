// TextureObject and the dispatcher: resize, layers, flags, list order, the GPU hooks, and the
// compiler checks.
#include <cmath>

#include "tests/texgen/test_util.h"

namespace glimmer::testing {
namespace {

using Dispatcher = TexgenTest;

void apply(TextureObject& t, uint32_t word, std::initializer_list<float> p) {
  std::unique_ptr<Track> track(makeTrack(word, p));
  t.applyCommand(*track);
}

uint32_t word(TextureOp op, BlendMode m = BlendMode::Or) { return commandWord(op, uint8_t(m)); }

TEST_F(Dispatcher, ResizeAndDisabledCommands) {
  TextureObject t;
  ASSERT_EQ(t.pixels.size(), 65536u);
  t.pixels[5] = 9;
  // Invalid edge lengths are refused and leave the image alone.
  for (float n : {300.0f, 1024.0f, 1.0f, 0.0f, -256.0f, 3.0f})
    apply(t, word(TextureOp::Resize), {n});
  EXPECT_EQ(t.pixels[5], 9u);
  // A disabled Resize still resizes (to a cleared image); other disabled commands do nothing.
  apply(t, word(TextureOp::Resize) & ~kEnabledBit, {128});
  EXPECT_EQ(t.pixels.size(), 16384u);
  apply(t, word(TextureOp::Fill) & ~kEnabledBit, {255, 255, 255, 255});
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
  // Indices outside 0-15 do nothing; MoveToLayer leaves the image clear, Or then Xor of the
  // same layer gives 0 again, ClearImage clears.
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
  run(img, 32, word(TextureOp::CombineLayer, BlendMode::Xor), {15});
  EXPECT_EQ(countNonZero(img), 0);
  img = orig;
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
