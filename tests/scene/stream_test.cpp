// The SceneData reader: exact round trip, names, bounds and the loader's entity creation; the mesh
// pack walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

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
  Bytes& raw(std::initializer_list<uint8_t> v) { return insert(end(), v), *this; }
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

// The sample reads and writes back byte for byte; without its spare byte it still parses, and
// every shorter prefix is refused with an offset inside it, naming where the reader stopped.
TEST(SceneStream, RoundTripAndEveryTruncation) {
  const auto bytes = sampleStream();
  SceneStream s;
  SceneError e;
  ASSERT_TRUE(parseSceneStream(bytes, "t.bin", s, e)) << e.message();
  EXPECT_EQ(s.categories[0][0].tracksB[0].name, "hi");
  EXPECT_EQ(s.categories[0][0].tracksB[0].keys[1].values[3], 103.0f);
  EXPECT_EQ(s.trailing, std::vector<uint8_t>{0});
  EXPECT_EQ(writeSceneStream(s), bytes);
  for (size_t n = 0; n + 1 < bytes.size(); ++n) {
    ASSERT_FALSE(parseSceneStream(std::span(bytes).first(n), "cut.bin", s, e)) << n;
    EXPECT_LE(e.offset, n);
    EXPECT_EQ(e.message().rfind("cut.bin: offset ", 0), 0u) << e.message();
  }
  // Key time 67-70, type 71, values from 72: the second value at 76 is cut.
  const std::tuple<size_t, const char*, const char*> rows[] = {
      {67 + 10, "offset 76: error: stream ends inside key values", "(texture 0, track B0, key 0)"},
      {12, "offset 11: error: stream ends inside a track name", "(texture 0, track B0)"},
      {183, "offset 181: error: stream ends inside end time", "(timeline 0)"},
  };
  for (auto [cut, kind, where] : rows) {
    ASSERT_FALSE(parseSceneStream(std::span(bytes).first(cut), "x", s, e));
    EXPECT_NE(e.message().find(kind), std::string::npos) << e.message();
    EXPECT_NE(e.message().find(where), std::string::npos) << e.message();
  }
}

// Entities are created in stream order, the timeline's record is read into the timeline itself,
// a corrupt stream creates nothing. A name of 512 bytes without a zero byte is dropped but kept
// byte for byte in the stream form.
TEST_F(SceneStreamTest, LoadCreatesEntitiesInOrderAndDropsUnterminatedNames) {
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

  Bytes u;
  u.u8(1).f32(0).f32(1).u8(1).name(std::string(512, 'a'), false).u32(kEnabledBit).values(0).u8(0);
  u.raw({0, 0, 0, 0, 0, 0});  // list B, five empty categories
  SceneStream s;
  ASSERT_TRUE(parseSceneStream(u, "n", s, e)) << e.message();
  EXPECT_TRUE(s.categories[0][0].tracksA[0].nameUnterminated);
  EXPECT_EQ(writeSceneStream(s), u);
  EXPECT_EQ(loadSceneData(u, "n", factory, e), 1);
  EXPECT_FALSE((*entityRegistry)[0].at(1)->tracksA.at(0)->name.has_value());
}

// --- the mesh pack walk: whole-name lookup, the last entry, entries that run past the end ---

TEST(MeshPack, FindsWholeNamesOnlyAndStopsAtAnEntryPastTheEnd) {
  Bytes p;  // entries: name, zero byte, u32 size, payload
  p.name("box.msh").u32(3).raw({1, 2, 3}).name("clock.msh").u32(1).raw({4});
  p.name("photo.tga").u32(2).raw({5, 6});
  const std::vector<uint8_t> lastEntry = {5, 6};
  EXPECT_TRUE(std::ranges::equal(findPackEntry(p, "photo.tga"), lastEntry));
  for (const char* miss : {"Box.msh", "box.ms", "box", "box.msh2"})
    EXPECT_EQ(findPackEntry(p, miss).data(), nullptr) << miss;
  EXPECT_EQ(listPackEntries(p).size(), 3u);

  p.name("b.msh").u32(1000).raw({1, 2});  // states 1000 bytes, 2 remain
  std::string why;
  EXPECT_EQ(listPackEntries(p, &why).size(), 3u);
  EXPECT_NE(why.find("'b.msh' at offset 46"), std::string::npos) << why;  // 15 + 15 + 16 bytes
  EXPECT_EQ(findPackEntry(p, "b.msh").data(), nullptr);
  // A name without its terminator at the very end, and no pack at all.
  EXPECT_TRUE(listPackEntries(std::vector<uint8_t>{'a', 'b'}, &why).empty());
  EXPECT_NE(why.find("offset 0"), std::string::npos) << why;
  EXPECT_EQ(findPackEntry(std::span<const uint8_t>(), "a").data(), nullptr);
}

}  // namespace
