// TextureObject, the dispatcher, layers, resize, the GPU hooks and the compiler checks.
#include <algorithm>

#include "tests/texgen/test_util.h"

namespace glimmer::testing {
namespace {

using Dispatcher = TexgenTest;

bool allZero(const std::vector<TexturePixel>& v) {
  return std::all_of(v.begin(), v.end(), [](TexturePixel p) { return p == 0; });
}

TEST_F(Dispatcher, GeometryFollowsEdgeLength) {
  setTextureGeometry(256);
  EXPECT_EQ(textureGeometry.texSize, 256);
  EXPECT_EQ(textureGeometry.texPixels, 65536);
  EXPECT_EQ(textureGeometry.texBytes, 262144);
  EXPECT_EQ(textureGeometry.texShift, 8);
  EXPECT_FLOAT_EQ(textureGeometry.texInvSize, 1.0f / 256.0f);
  setTextureGeometry(512);
  EXPECT_EQ(textureGeometry.texShift, 9);
  setTextureGeometry(2);
  EXPECT_EQ(textureGeometry.texShift, 1);
  setTextureGeometry(32);
  EXPECT_EQ(textureGeometry.texShift, 5);
}

TEST_F(Dispatcher, NewTextureIsZeroed256) {
  TextureObject t;
  EXPECT_EQ(t.size, 256);
  EXPECT_EQ(t.glTexture, 0u);
  ASSERT_EQ(t.pixels.size(), 65536u);
  t.precalc();
  EXPECT_TRUE(allZero(t.pixels));
  EXPECT_EQ(t.glTexture, 0u);  // no hooks installed: nothing reaches a GPU
}

TEST_F(Dispatcher, ResizeKeepsOrReplacesImage) {
  TextureObject t;
  t.tracksB.append(makeTrack(TextureOp::Fill, {1, 2, 3, 4}));
  t.tracksB.append(makeTrack(TextureOp::Resize, {256}));
  t.precalc();
  EXPECT_EQ(t.pixels[100], 0x04010203u);
  Track* r = makeTrack(TextureOp::Resize, {64});
  t.applyCommand(*r);
  EXPECT_EQ(t.size, 64);
  EXPECT_EQ(t.pixels.size(), 4096u);
  EXPECT_TRUE(allZero(t.pixels));
  delete r;
}

TEST_F(Dispatcher, DisabledResizeStillResizesOtherDisabledCommandsDoNothing) {
  TextureObject t;
  Track* r = makeTrack(TextureOp::Resize, {128});
  r->word &= ~kEnabledBit;
  t.applyCommand(*r);
  EXPECT_EQ(t.size, 128);
  Track* f = makeTrack(TextureOp::Fill, {255, 255, 255, 255});
  f->word &= ~kEnabledBit;
  t.applyCommand(*f);
  EXPECT_TRUE(allZero(t.pixels));
  delete r;
  delete f;
}

TEST_F(Dispatcher, InvalidEdgeLengthsAreRefused) {
  TextureObject t;
  t.pixels[5] = 9;
  for (float n : {300.0f, 1024.0f, 1.0f, 0.0f, -256.0f, 3.0f}) {
    Track* r = makeTrack(TextureOp::Resize, {n});
    t.applyCommand(*r);
    delete r;
    EXPECT_EQ(t.size, 256) << n;
  }
  EXPECT_EQ(t.pixels[5], 9u);
  EXPECT_TRUE(t.resize(2));
  EXPECT_TRUE(t.resize(512));
  EXPECT_FALSE(t.resize(513));
}

TEST_F(Dispatcher, LayersCarryAcrossTextures) {
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
}

TEST_F(Dispatcher, MoveToLayerAndClearImageLeaveZero) {
  std::vector<TexturePixel> img = patternImage(64);
  const std::vector<TexturePixel> orig = img;
  run(img, 64, commandWord(TextureOp::MoveToLayer), {15});
  EXPECT_TRUE(allZero(img));
  EXPECT_TRUE(std::equal(orig.begin(), orig.end(), layerImages[15]));
  img = orig;
  run(img, 64, commandWord(TextureOp::ClearImage), {});
  EXPECT_TRUE(allZero(img));
}

TEST_F(Dispatcher, LayerIndexOutsideSlotsDoesNothing) {
  std::vector<TexturePixel> img = patternImage(32);
  const std::vector<TexturePixel> orig = img;
  for (float i : {-1.0f, 16.0f, 1e9f, -1e9f}) {
    run(img, 32, commandWord(TextureOp::MoveToLayer), {i});
    run(img, 32, commandWord(TextureOp::StoreLayer), {i});
    run(img, 32, commandWord(TextureOp::CombineLayer, static_cast<uint8_t>(BlendMode::And)), {i});
  }
  EXPECT_EQ(img, orig);
}

TEST_F(Dispatcher, XorWithOwnLayerGivesZero) {
  std::vector<TexturePixel> img = patternImage(16);
  run(img, 16, commandWord(TextureOp::StoreLayer), {0});
  run(img, 16, commandWord(TextureOp::CombineLayer, static_cast<uint8_t>(BlendMode::Xor)), {0});
  EXPECT_TRUE(allZero(img));
}

TEST_F(Dispatcher, HighOpcodesOnlyClearWorkImage) {
  std::vector<TexturePixel> img = patternImage(32);
  const std::vector<TexturePixel> orig = img;
  std::fill(workImage, workImage + kMaxTexturePixels, 0xDEADBEEFu);
  run(img, 32, kEnabledBit | 24u, {1, 2, 3});
  run(img, 32, kEnabledBit | 255u, {1, 2, 3});
  EXPECT_EQ(img, orig);
  EXPECT_EQ(workImage[0], 0u);
  EXPECT_EQ(workImage[32 * 32 - 1], 0u);
  EXPECT_EQ(workImage[32 * 32], 0xDEADBEEFu);  // only texBytes are cleared
}

TEST_F(Dispatcher, FlagsSetSmoothAndEdgeMode) {
  std::vector<TexturePixel> img(64, 0);
  run(img, 8, commandWord(TextureOp::Invert, 0, true, 2), {});
  EXPECT_EQ(textureGeometry.smoothFlag, 1);
  EXPECT_EQ(textureGeometry.edgeMode, 2);
  run(img, 8, commandWord(TextureOp::Invert, 0, false, 3), {});
  EXPECT_EQ(textureGeometry.smoothFlag, 0);
  EXPECT_EQ(textureGeometry.edgeMode, 3);
}

TEST_F(Dispatcher, PrecalcRunsListBThenA) {
  TextureObject t;
  t.tracksA.append(makeTrack(TextureOp::Fill, {0, 0, 0, 1}, static_cast<uint8_t>(BlendMode::Add)));
  t.tracksB.append(makeTrack(TextureOp::Fill, {0, 0, 0, 255}));  // Or into zero
  t.tracksB.append(makeTrack(TextureOp::Invert, {}));
  t.precalc();
  // B: fill alpha 255, invert -> 0x00FFFFFF; A: add alpha 1.
  EXPECT_EQ(t.pixels[0], 0x01FFFFFFu);
}

TEST_F(Dispatcher, ScratchRoundTrip) {
  TextureObject t;
  t.resize(64);
  auto p = patternImage(64);
  std::copy(p.begin(), p.end(), t.pixels.begin());
  t.saveToScratch();
  t.clear();
  EXPECT_TRUE(allZero(t.pixels));
  t.loadFromScratch();
  EXPECT_EQ(t.pixels, p);
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
  ASSERT_EQ(HookLog::destroyed.size(), 1u);
  EXPECT_EQ(HookLog::destroyed[0], 41u);
  t.release();
  EXPECT_EQ(t.glTexture, 0u);
  t.release();
  EXPECT_EQ(HookLog::destroyed.size(), 2u);
}

TEST_F(Dispatcher, ResetRestoresStartState) {
  texgen::textureRandom();
  layerImages[7][9] = 5;
  resetTextureState();
  EXPECT_EQ(textureSeed, kTextureSeedStart);
  EXPECT_EQ(layerImages[7][9], 0u);
}

TEST(TextureChecks, LayerIndexAndEdgeLength) {
  TrackRecord t;
  t.word = commandWord(TextureOp::StoreLayer);
  t.params[0] = 15;
  EXPECT_EQ(textureCommandProblem(t), "");
  t.params[0] = 16;
  EXPECT_NE(textureCommandProblem(t).find("layer index 16"), std::string::npos);
  t.word &= ~kEnabledBit;
  EXPECT_EQ(textureCommandProblem(t), "");  // a disabled layer command never runs

  t.word = commandWord(TextureOp::Resize) & ~kEnabledBit;  // Resize acts even when disabled
  t.params[0] = 300;
  EXPECT_NE(textureCommandProblem(t).find("300"), std::string::npos);
  t.params[0] = 512;
  EXPECT_EQ(textureCommandProblem(t), "");

  t.word = commandWord(TextureOp::CombineLayer) | kAnimatedBit;
  t.params[0] = 2;
  t.keys.push_back(KeyRecord{});
  t.keys.back().values[0] = -1;
  EXPECT_NE(textureCommandProblem(t).find("key 0"), std::string::npos);
  t.word = commandWord(TextureOp::Fill);
  EXPECT_EQ(textureCommandProblem(t), "");
}

TEST(TextureNames, OpcodesAndModes) {
  EXPECT_STREQ(textureOpName(0), "Fill");
  EXPECT_STREQ(textureOpName(23), "RenderText");
  EXPECT_EQ(textureOpName(24), nullptr);
  EXPECT_STREQ(blendModeLabel(6), "Average");
  EXPECT_EQ(blendModeLabel(12), nullptr);
}

}  // namespace
}  // namespace glimmer::testing
