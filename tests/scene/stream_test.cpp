// The SceneData reader: exact round trip, names, bounds and the loader's entity creation; the mesh
// pack walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <tuple>

#include "scene/scene.h"

using namespace glimmer;

namespace {

// The stream's little-endian fields, written one after another.
struct Bytes : std::vector<uint8_t> {
  Bytes& raw(std::initializer_list<uint8_t> v) { return insert(end(), v), *this; }
  Bytes& u32(uint32_t v) {
    return raw({uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
  }
  Bytes& f32(float f) { return u32(std::bit_cast<uint32_t>(f)); }
  // A track name with its terminating zero byte, or without one.
  Bytes& name(const std::string& s, bool terminated = true) {
    insert(end(), s.begin(), s.end());
    return terminated ? raw({0}) : *this;
  }
  // Twelve values base, base + 1, ... base + 11.
  Bytes& values(float base) {
    for (int i = 0; i < 12; ++i) f32(base + static_cast<float>(i));
    return *this;
  }
};

// One texture with a named, animated two-key track in list B; empty meshes, lights and scenes; one
// timeline record with one unnamed track; no particles; a spare byte. Offsets: the texture's track
// name at 11, its first key at 67 (after the name, the word and 12 parameters, the key count), the
// timeline's end time at 181.
Bytes sampleStream() {
  Bytes b;  // textures: 1 record; times; list A: 0 tracks; list B: 1 track
  b.raw({1}).f32(0).f32(178).raw({0, 1}).name("hi").u32(kEnabledBit | kAnimatedBit | 23).values(0);
  b.raw({2});  // keys: time, type, values
  for (uint8_t k = 0; k < 2; ++k) b.f32(k).raw({k}).values(k * 100.0f);
  b.raw({0, 0, 0, 1}).f32(0).f32(80);  // meshes, lights, scenes; timeline: 1 record
  b.raw({1, 0}).u32(kEnabledBit).values(0).raw({0, 0});  // list A: an unnamed track, no keys
  return b.raw({0, 0});                                  // particles, the spare byte
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
  const TrackRecord& t = s.categories[0][0].tracksB[0];
  EXPECT_EQ(std::tuple(t.name, t.keys[1].values[3], s.trailing),
            std::tuple("hi", 103.0f, Bytes{{0}}));
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
  EXPECT_TRUE((*entityRegistry)[0].empty() && made.empty());
  EXPECT_EQ(loadSceneData(bytes, "t", factory, e), 2);
  EXPECT_EQ(std::tuple(made, (*entityRegistry)[Category::Timeline].count(), timeline->endTime),
            std::tuple(std::vector{Category::Texture}, 0, 80.0f));
  EXPECT_FALSE(timeline->tracksA.at(0)->name.has_value());  // empty name = no name
  Track* t = (*entityRegistry)[0].at(0)->tracksB.at(0);
  EXPECT_EQ(std::tuple(t->name.value_or("none"), t->keys.count()), std::tuple("hi", 2));

  Bytes u;
  u.raw({1}).f32(0).f32(1).raw({1}).name(std::string(512, 'a'), false).u32(kEnabledBit).values(0);
  u.raw({0, 0, 0, 0, 0, 0, 0});  // no keys, list B, five empty categories
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
