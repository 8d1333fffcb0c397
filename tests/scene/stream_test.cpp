// The SceneData reader: exact round trip, names, bounds and the loader's entity creation.
#include <gtest/gtest.h>

#include <cstring>

#include "scene/scene.h"

using namespace glimmer;

namespace {

void putF(std::vector<uint8_t>& b, float f) {
  uint8_t x[4];
  std::memcpy(x, &f, 4);
  b.insert(b.end(), x, x + 4);
}
void putU(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// One texture with a named, animated two-key track; one timeline record; a spare byte.
std::vector<uint8_t> sampleStream() {
  std::vector<uint8_t> b;
  b.push_back(1);  // textures
  putF(b, 0.0f);
  putF(b, 178.0f);
  b.push_back(0);  // list A
  b.push_back(1);  // list B
  for (char c : std::string("hi")) b.push_back(static_cast<uint8_t>(c));
  b.push_back(0);
  putU(b, kEnabledBit | kAnimatedBit | 0x0300 | 23);
  for (int i = 0; i < 12; ++i) putF(b, static_cast<float>(i));
  b.push_back(2);
  for (int k = 0; k < 2; ++k) {
    putF(b, static_cast<float>(k));
    b.push_back(static_cast<uint8_t>(k));
    for (int i = 0; i < 12; ++i) putF(b, static_cast<float>(k * 100 + i));
  }
  b.push_back(0);  // meshes
  b.push_back(0);  // lights
  b.push_back(0);  // scenes
  b.push_back(1);  // timeline
  putF(b, 0.0f);
  putF(b, 80.0f);
  b.push_back(1);
  b.push_back(0);  // empty name
  putU(b, kEnabledBit);
  for (int i = 0; i < 12; ++i) putF(b, 0.0f);
  b.push_back(0);
  b.push_back(0);
  b.push_back(0);  // particles
  b.push_back(0);  // spare byte
  return b;
}

TEST(SceneStream, RoundTripsByteForByte) {
  const auto bytes = sampleStream();
  SceneStream s;
  SceneError e;
  ASSERT_TRUE(parseSceneStream(bytes, "t.bin", s, e)) << e.message();
  EXPECT_EQ(s.categories[0][0].tracksB[0].name, "hi");
  EXPECT_EQ(s.categories[0][0].tracksB[0].keys[1].values[3], 103.0f);
  EXPECT_EQ(s.trailing, std::vector<uint8_t>{0});
  EXPECT_EQ(writeSceneStream(s), bytes);
}

TEST(SceneStream, EveryTruncationIsRefusedWithAnOffsetInside) {
  const auto bytes = sampleStream();
  // Dropping the spare byte still parses; every shorter prefix must fail cleanly.
  for (size_t n = 0; n + 1 < bytes.size(); ++n) {
    SceneStream s;
    SceneError e;
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
    ASSERT_FALSE(parseSceneStream(cut, "cut.bin", s, e)) << n;
    EXPECT_LE(e.offset, n);
    EXPECT_NE(e.message().find("cut.bin: offset "), std::string::npos);
  }
}

TEST(SceneStream, ErrorNamesCategoryEntityTrackAndKey) {
  auto bytes = sampleStream();
  bytes.resize(30 + 2 + 4 + 48 + 1 + 10);  // inside the first key
  SceneStream s;
  SceneError e;
  ASSERT_FALSE(parseSceneStream(bytes, "x", s, e));
  EXPECT_EQ(e.category, 0);
  EXPECT_EQ(e.entity, 0);
  EXPECT_EQ(e.list, 'B');
  EXPECT_EQ(e.track, 0);
  EXPECT_EQ(e.key, 0);
  EXPECT_NE(e.message().find("texture 0, track B0, key 0"), std::string::npos) << e.message();
}

TEST(SceneStream, UnterminatedNameOf512BytesIsDroppedAndKept) {
  std::vector<uint8_t> b = {1};
  putF(b, 0.0f);
  putF(b, 1.0f);
  b.push_back(1);
  b.insert(b.end(), 512, 'a');
  putU(b, kEnabledBit);
  for (int i = 0; i < 12; ++i) putF(b, 0.0f);
  b.push_back(0);
  b.push_back(0);
  for (int c = 1; c < 6; ++c) b.push_back(0);
  SceneStream s;
  SceneError e;
  ASSERT_TRUE(parseSceneStream(b, "n", s, e)) << e.message();
  EXPECT_TRUE(s.categories[0][0].tracksA[0].nameUnterminated);
  EXPECT_EQ(writeSceneStream(s), b);
  createRegistry();
  EXPECT_EQ(loadSceneData(b, "n", nullptr, e), 1);
  EXPECT_FALSE((*entityRegistry)[0].at(0)->tracksA.at(0)->name.has_value());
  destroyRegistry();
}

TEST(LoadSceneData, CreatesEntitiesInOrderAndReadsTimelineInPlace) {
  const auto bytes = sampleStream();
  createRegistry();
  timeline = new TimelineObject();
  std::vector<Category> made;
  SceneError e;
  const int n = loadSceneData(
      bytes, "t",
      [&](Category c) {
        made.push_back(c);
        return new SceneEntity();
      },
      e);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(made, std::vector<Category>{Category::Texture});
  EXPECT_EQ((*entityRegistry)[Category::Timeline].count(), 0);
  EXPECT_EQ(timeline->endTime, 80.0f);
  EXPECT_FALSE(timeline->tracksA.at(0)->name.has_value());  // empty name = no name
  Track* t = (*entityRegistry)[0].at(0)->tracksB.at(0);
  ASSERT_TRUE(t->name.has_value());
  EXPECT_EQ(*t->name, "hi");
  EXPECT_EQ(t->keys.count(), 2);
  delete timeline;
  timeline = nullptr;
  destroyRegistry();
}

TEST(LoadSceneData, CorruptStreamCreatesNothing) {
  auto bytes = sampleStream();
  bytes.resize(40);
  createRegistry();
  SceneError e;
  EXPECT_EQ(loadSceneData(bytes, "t", nullptr, e), -1);
  EXPECT_TRUE((*entityRegistry)[0].empty());
  destroyRegistry();
}

}  // namespace
