// The SceneData reader: exact round trip, names, bounds and the loader's entity creation.
#include <gtest/gtest.h>

#include <cstring>

#include "scene/scene.h"

using namespace glimmer;

namespace {

struct Bytes : std::vector<uint8_t> {
  Bytes& u8(uint8_t v) { return push_back(v), *this; }
  Bytes& u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes& f32(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u32(u);
  }
  // A track name with its terminating zero byte, or without one.
  Bytes& name(const std::string& s, bool terminated = true) {
    insert(end(), s.begin(), s.end());
    return terminated ? u8(0) : *this;
  }
  // Twelve values base, base + 1, ... base + 11.
  Bytes& values(float base) {
    for (int i = 0; i < 12; ++i) f32(base + static_cast<float>(i));
    return *this;
  }
};

// One texture with a named, animated two-key track in list B; one timeline record with one
// unnamed track; a spare byte. Offsets: the texture's track name at 11, its first key at 67 (after
// the name, the word and 12 parameters, the key count), the timeline's end time at 181.
Bytes sampleStream() {
  Bytes b;
  b.u8(1).f32(0).f32(178).u8(0).u8(1).name("hi").u32(kEnabledBit | kAnimatedBit | 23).values(0);
  b.u8(2);
  for (int k = 0; k < 2; ++k)
    b.f32(static_cast<float>(k)).u8(static_cast<uint8_t>(k)).values(k * 100.0f);
  b.u8(0).u8(0).u8(0);  // meshes, lights, scenes
  b.u8(1).f32(0).f32(80).u8(1).u8(0).u32(kEnabledBit).values(0).u8(0).u8(0);  // timeline
  return b.u8(0).u8(0);  // particles, the spare byte
}

class SceneStreamTest : public ::testing::Test {
 protected:
  void SetUp() override { createRegistry(); }
  void TearDown() override {
    delete timeline;
    timeline = nullptr;
    destroyRegistry();
  }
};

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
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
    ASSERT_FALSE(parseSceneStream(cut, "cut.bin", s, e)) << n;
    EXPECT_LE(e.offset, n);
    EXPECT_EQ(e.message().rfind("cut.bin: offset ", 0), 0u) << e.message();
  }
}

TEST(SceneStream, ErrorNamesWhereItStopped) {
  const auto bytes = sampleStream();
  const struct {
    size_t cut;
    const char *kind, *where;
  } rows[] = {
      // Key time 67-70, type 71, values from 72: the second value at 76 is cut.
      {67 + 10, "offset 76: error: stream ends inside key values", "(texture 0, track B0, key 0)"},
      {12, "offset 11: error: stream ends inside a track name", "(texture 0, track B0)"},
      {183, "offset 181: error: stream ends inside end time", "(timeline 0)"},
  };
  for (const auto& r : rows) {
    SceneStream s;
    SceneError e;
    ASSERT_FALSE(parseSceneStream(std::span(bytes).first(r.cut), "x", s, e));
    EXPECT_NE(e.message().find(r.kind), std::string::npos) << e.message();
    EXPECT_NE(e.message().find(r.where), std::string::npos) << e.message();
  }
}

TEST_F(SceneStreamTest, UnterminatedNameOf512BytesIsDroppedAndKept) {
  Bytes b;
  b.u8(1).f32(0).f32(1).u8(1).name(std::string(512, 'a'), false).u32(kEnabledBit).values(0).u8(0);
  for (int c = 0; c < 6; ++c) b.u8(0);  // list B, five empty categories
  SceneStream s;
  SceneError e;
  ASSERT_TRUE(parseSceneStream(b, "n", s, e)) << e.message();
  EXPECT_TRUE(s.categories[0][0].tracksA[0].nameUnterminated);
  EXPECT_EQ(writeSceneStream(s), b);
  EXPECT_EQ(loadSceneData(b, "n", nullptr, e), 1);
  EXPECT_FALSE((*entityRegistry)[0].at(0)->tracksA.at(0)->name.has_value());
}

TEST_F(SceneStreamTest, LoadCreatesEntitiesInOrderAndReadsTimelineInPlace) {
  auto bytes = sampleStream();
  timeline = new TimelineObject();
  std::vector<Category> made;
  SceneError e;
  const auto factory = [&](Category c) {
    made.push_back(c);
    return new SceneEntity();
  };
  EXPECT_EQ(loadSceneData(std::span(bytes).first(40), "t", factory, e), -1);  // corrupt: nothing
  EXPECT_TRUE((*entityRegistry)[0].empty());
  EXPECT_TRUE(made.empty());
  EXPECT_EQ(loadSceneData(bytes, "t", factory, e), 2);
  EXPECT_EQ(made, std::vector<Category>{Category::Texture});
  EXPECT_EQ((*entityRegistry)[Category::Timeline].count(), 0);
  EXPECT_EQ(timeline->endTime, 80.0f);
  EXPECT_FALSE(timeline->tracksA.at(0)->name.has_value());  // empty name = no name
  Track* t = (*entityRegistry)[0].at(0)->tracksB.at(0);
  EXPECT_EQ(t->name.value_or("none"), "hi");
  EXPECT_EQ(t->keys.count(), 2);
}

}  // namespace
