// TextureObject and the dispatcher: geometry, resize, layers, flags, list order, the GPU hooks,
// and the compiler checks.
#include <algorithm>
#include <cmath>
#include <memory>

#include "tests/texgen/test_util.h"

namespace glimmer::testing {
namespace {

using Dispatcher = TexgenTest;

bool allZero(const std::vector<TexturePixel>& v) {
  return std::all_of(v.begin(), v.end(), [](TexturePixel p) { return p == 0; });
}

void apply(TextureObject& t, uint32_t word, std::initializer_list<float> p) {
  std::unique_ptr<Track> track(makeTrack(word, p));
  t.applyCommand(*track);
}

TEST_F(Dispatcher, GeometryFollowsEdgeLength) {
  const struct {
    int size, pixels, bytes, shift;
  } rows[] = {
      {256, 65536, 262144, 8}, {512, 262144, 1048576, 9}, {2, 4, 16, 1}, {32, 1024, 4096, 5}};
  for (const auto& r : rows) {
    setTextureGeometry(r.size);
    EXPECT_EQ(textureGeometry.texSize, r.size);
    EXPECT_EQ(textureGeometry.texPixels, r.pixels);
    EXPECT_EQ(textureGeometry.texBytes, r.bytes);
    EXPECT_EQ(textureGeometry.texShift, r.shift);
    EXPECT_FLOAT_EQ(textureGeometry.texInvSize, 1.0f / static_cast<float>(r.size));
  }
}

TEST_F(Dispatcher, ResizeAndDisabledCommands) {
  TextureObject t;
  EXPECT_EQ(t.size, 256);
  ASSERT_EQ(t.pixels.size(), 65536u);
  t.pixels[5] = 9;
  // Invalid edge lengths are refused and leave the image alone.
  for (float n : {300.0f, 1024.0f, 1.0f, 0.0f, -256.0f, 3.0f})
    apply(t, commandWord(TextureOp::Resize), {n});
  EXPECT_EQ(t.size, 256);
  EXPECT_EQ(t.pixels[5], 9u);
  // A disabled Resize still resizes (to a cleared image); other disabled commands do nothing.
  apply(t, commandWord(TextureOp::Resize) & ~kEnabledBit, {128});
  EXPECT_EQ(t.size, 128);
  EXPECT_EQ(t.pixels.size(), 16384u);
  apply(t, commandWord(TextureOp::Fill) & ~kEnabledBit, {255, 255, 255, 255});
  EXPECT_TRUE(allZero(t.pixels));
  EXPECT_TRUE(t.resize(2));
  EXPECT_TRUE(t.resize(512));
  EXPECT_FALSE(t.resize(513));
}

TEST_F(Dispatcher, LayersCarryAcrossTexturesAndBadIndicesDoNothing) {
  TextureObject a, b;
  a.tracksB.append(makeTrack(TextureOp::Fill, {10, 20, 30, 40}));
  a.tracksB.append(makeTrack(TextureOp::StoreLayer, {3}));
  a.precalc();
  EXPECT_EQ(a.pixels[0], 0x280A141Eu);  // StoreLayer keeps the image
  b.tracksB.append(makeTrack(TextureOp::CombineLayer, {3}, static_cast<uint8_t>(BlendMode::Add)));
  b.tracksB.append(makeTrack(TextureOp::CombineLayer, {4}, static_cast<uint8_t>(BlendMode::Add)));
  b.precalc();
  EXPECT_EQ(b.pixels[777], 0x280A141Eu);
  EXPECT_EQ(layerImages[4][0], 0u);

  std::vector<TexturePixel> img = patternImage(32);
  const std::vector<TexturePixel> orig = img;
  for (float i : {-1.0f, 16.0f, 1e9f, -1e9f}) {
    run(img, 32, commandWord(TextureOp::MoveToLayer), {i});
    run(img, 32, commandWord(TextureOp::StoreLayer), {i});
    run(img, 32, commandWord(TextureOp::CombineLayer, static_cast<uint8_t>(BlendMode::And)), {i});
  }
  EXPECT_EQ(img, orig);
  run(img, 32, commandWord(TextureOp::MoveToLayer), {15});  // moves, leaving the image clear
  EXPECT_TRUE(allZero(img));
  EXPECT_TRUE(std::equal(orig.begin(), orig.end(), layerImages[15]));
  run(img, 32, commandWord(TextureOp::CombineLayer, static_cast<uint8_t>(BlendMode::Or)), {15});
  run(img, 32, commandWord(TextureOp::CombineLayer, static_cast<uint8_t>(BlendMode::Xor)), {15});
  EXPECT_TRUE(allZero(img));
  img = orig;
  run(img, 32, commandWord(TextureOp::ClearImage), {});
  EXPECT_TRUE(allZero(img));
}

TEST_F(Dispatcher, HighOpcodesOnlyClearTheWorkImageAndFlagsAreSet) {
  std::vector<TexturePixel> img = patternImage(32);
  const std::vector<TexturePixel> orig = img;
  std::fill(workImage, workImage + kMaxTexturePixels, 0xDEADBEEFu);
  run(img, 32, kEnabledBit | 24u, {1, 2, 3});
  run(img, 32, kEnabledBit | 255u, {1, 2, 3});
  EXPECT_EQ(img, orig);
  EXPECT_EQ(workImage[32 * 32 - 1], 0u);
  EXPECT_EQ(workImage[32 * 32], 0xDEADBEEFu);  // only the image's own pixels are cleared
  run(img, 8, commandWord(TextureOp::Invert, 0, true, 2), {});
  EXPECT_EQ(textureGeometry.smoothFlag, 1);
  EXPECT_EQ(textureGeometry.edgeMode, 2);
  run(img, 8, commandWord(TextureOp::Invert, 0, false, 3), {});
  EXPECT_EQ(textureGeometry.smoothFlag, 0);
  EXPECT_EQ(textureGeometry.edgeMode, 3);
}

TEST_F(Dispatcher, PrecalcRunsListBThenAAndScratchRoundTrips) {
  TextureObject t;
  t.tracksA.append(makeTrack(TextureOp::Fill, {0, 0, 0, 1}, static_cast<uint8_t>(BlendMode::Add)));
  t.tracksB.append(makeTrack(TextureOp::Fill, {0, 0, 0, 255}));  // Or into zero
  t.tracksB.append(makeTrack(TextureOp::Invert, {}));
  t.precalc();
  // B: fill alpha 255, invert -> 0x00FFFFFF; then A: add alpha 1.
  EXPECT_EQ(t.pixels[0], 0x01FFFFFFu);
  EXPECT_EQ(t.glTexture, 0u);  // no hooks installed: nothing reaches a GPU
  t.saveToScratch();
  t.clear();
  EXPECT_TRUE(allZero(t.pixels));
  t.loadFromScratch();
  EXPECT_EQ(t.pixels[0], 0x01FFFFFFu);
  texgen::textureRandom();
  layerImages[7][9] = 5;
  resetTextureState();
  EXPECT_EQ(textureSeed, kTextureSeedStart);
  EXPECT_EQ(layerImages[7][9], 0u);
}

struct HookLog {
  static inline int created = 0;
  static inline int32_t size = 0;
  static inline TexturePixel first = 0;
  static inline std::vector<uint32_t> destroyed;
};

TEST_F(Dispatcher, UploadAndReleaseGoThroughHooks) {
  HookLog::created = 0;
  HookLog::destroyed.clear();
  TextureGpuHooks hooks;
  hooks.create = [](int32_t size, const TexturePixel* px) -> uint32_t {
    HookLog::size = size;
    HookLog::first = px[0];
    return static_cast<uint32_t>(++HookLog::created + 40);
  };
  hooks.destroy = [](uint32_t name) { HookLog::destroyed.push_back(name); };
  setTextureGpuHooks(hooks);
  TextureObject t;
  t.tracksB.append(makeTrack(TextureOp::Resize, {32}));
  t.tracksB.append(makeTrack(TextureOp::Fill, {1, 1, 1, 1}));
  t.precalc();
  EXPECT_EQ(t.glTexture, 41u);
  EXPECT_EQ(HookLog::size, 32);
  EXPECT_EQ(HookLog::first, 0x01010101u);
  t.upload();  // a second upload releases the first texture
  EXPECT_EQ(t.glTexture, 42u);
  t.release();
  t.release();
  EXPECT_EQ(t.glTexture, 0u);
  EXPECT_EQ(HookLog::destroyed, (std::vector<uint32_t>{41, 42}));
}

// The one rule of values that must be sane for a command to run: enabled layer commands need a
// slot 0-15 (keys too when animated); Resize, even disabled, a power of two from 2 to 512.
TEST(TextureChecks, LayerIndexAndEdgeLength) {
  const uint32_t store = commandWord(TextureOp::StoreLayer),
                 resize = commandWord(TextureOp::Resize);
  const uint32_t combine = commandWord(TextureOp::CombineLayer);
  const struct {
    uint32_t word;
    float p0;
    float key;  // NaN: no key
    bool refused;
  } rows[] = {
      {store, 15, NAN, false},
      {store, 16, NAN, true},
      {store & ~kEnabledBit, 16, NAN, false},
      {resize & ~kEnabledBit, 300, NAN, true},
      {resize, 512, NAN, false},
      {combine | kAnimatedBit, 2, -1, true},
      {combine, 2, -1, false},  // keys of a track that is not animated never run
      {commandWord(TextureOp::Fill), 1e9f, -1, false},
  };
  for (const auto& r : rows) {
    TrackRecord t;
    t.word = r.word;
    t.params[0] = r.p0;
    if (!std::isnan(r.key)) t.keys.emplace_back().values[0] = r.key;
    EXPECT_EQ(!textureCommandProblem(t).empty(), r.refused) << std::hex << r.word << " " << r.p0;
  }
  EXPECT_STREQ(textureOpName(23), "RenderText");
  EXPECT_EQ(textureOpName(24), nullptr);
  EXPECT_STREQ(blendModeLabel(6), "Average");
  EXPECT_EQ(blendModeLabel(12), nullptr);
}

}  // namespace
}  // namespace glimmer::testing
