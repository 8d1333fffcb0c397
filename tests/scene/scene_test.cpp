// The scene model: entities, the registry, the clock and the frame step; the SceneData reader;
// keyframe evaluation and the float conversions.
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <bit>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace glimmer;

namespace {

using Log = std::vector<std::string>;
Log gLog;
uint64_t gNow = 0, gFreq = 1 << 20;

int note(std::string line) { return gLog.push_back(std::move(line)), 0; }

// Logs its updates (by name), commands, precalculation and deletion.
struct Probe : SceneEntity {
  Probe(std::string n, float s = 0, float e = 500) : name(n) { startTime = s, endTime = e; }
  ~Probe() override { note("delete " + name); }
  void update(float time, float delta) override { SceneEntity::update(time, delta), note(name); }
  int applyCommand(const Track& t) override {
    return note(name + " apply " + std::to_string(t.opcode()));
  }
  int precalc() override { return note("precalc " + name); }
  std::string name;
};

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gNow = 0, gFreq = 1 << 20;
    setCounterSource({[] { return gNow; }, [] { return gFreq; }});
    createRegistry();
    timeline = new TimelineObject();
    gLog.clear();
  }
  void TearDown() override {
    delete std::exchange(timeline, nullptr);
    destroyRegistry();
    setCounterSource({});
  }
  void add(Category c, std::initializer_list<const char*> names, float start = 0, float end = 500) {
    for (const char* n : names) (*entityRegistry)[c].append(new Probe(n, start, end));
  }
  Log takeLog() { return std::exchange(gLog, {}); }
};

Track* addTrack(EntityList<Track>& list, uint32_t word) {
  Track* t = list.append(new Track());
  t->word = word;
  return t;
}

TEST_F(RegistryTest, ApplyTracksSkipsDisabledButUpdateStillEvaluatesThem) {
  Probe p("e");
  addTrack(p.tracksA, kEnabledBit | 1);
  Track* off = addTrack(p.tracksA, kAnimatedBit | 2);  // disabled, animated
  *off->appendKey() = {10.0f, 2, {42.0f}};
  addTrack(p.tracksB, kEnabledBit | 3);
  p.update(5.0f, 0.1f);
  EXPECT_EQ(off->params[0], 42.0f);               // evaluated
  EXPECT_EQ(takeLog(), (Log{"e apply 1", "e"}));  // list B untouched
}

// progress(k * 100 / total) before entity k (the division truncates), then 100; total counts the
// timeline's record too. Teardown runs the categories backwards and each list from its tail.
TEST_F(RegistryTest, PrecalcPercentagesAndTeardownOrder) {
  const auto bar = [](int p) { note("bar " + std::to_string(p)); };
  precalcAll(0, bar);
  EXPECT_EQ(takeLog(), (Log{"bar 100"}));
  add(Category::Texture, {"a", "b"});
  add(Category::Mesh, {"m"});
  add(Category::Particle, {"p", "q"});
  precalcAll(6, bar);
  EXPECT_EQ(takeLog(), (Log{"bar 0", "precalc a", "bar 16", "precalc b", "bar 33", "precalc m",
                            "bar 50", "precalc p", "bar 66", "precalc q", "bar 100"}));
  destroyRegistry();
  EXPECT_EQ(gLog, (Log{"delete q", "delete p", "delete m", "delete b", "delete a"}));
}

// A typed view follows its list (later entities seen, other types null) and reads a registry made
// anew (often at the same address, with the same counts) afresh, not through deleted entities.
TEST_F(RegistryTest, TypedEntitiesFollowTheListAndANewRegistry) {
  TypedEntities<Probe> probes;
  auto name = [&](int i) {
    return probes.at(Category::Mesh, i) ? probes.at(Category::Mesh, i)->name : "-";
  };
  auto fill = [&](std::initializer_list<const char*> names) {
    for (const char* n : names)
      (*entityRegistry)[Category::Mesh].append(*n == '-' ? new SceneEntity() : new Probe(n));
  };
  fill({"m0", "-"});
  EXPECT_EQ(name(0) + name(1) + name(2) + name(-1), "m0---");  // another type, past the end
  fill({"m2"});
  EXPECT_EQ(name(2), "m2");
  destroyRegistry();
  EXPECT_TRUE(probes.of(Category::Mesh).empty());  // no registry
  createRegistry();
  fill({"n0", "-", "n2"});
  EXPECT_EQ(name(0) + name(2), "n0n2");
  (*entityRegistry)[Category::Mesh].clear();  // the same registry emptied and refilled
  fill({"r0", "r1", "r2"});
  EXPECT_EQ(name(1), "r1");
}

// Seconds = (low 32 bits of the tick difference / (frequency >> 8)) / 256.
TEST_F(RegistryTest, ClockSecondsFromTheLow32BitsOfTheTickDifference) {
  const std::tuple<uint64_t, uint64_t, float> rows[] = {
      {1 << 20, (uint64_t{1} << 32) + (1 << 19), 0.5f},  // 2^19 / 2^12 / 2^8; 2^32 drops out
      {255, 1000, 0.0f}};                                // 255 >> 8 = 0: the clock never runs
  for (auto [freq, ticks, seconds] : rows) {
    gFreq = freq;
    DemoClock c;
    c.reset();
    gNow += ticks;
    EXPECT_EQ(c.elapsed(), seconds) << freq << " Hz, " << ticks << " ticks";
  }
}

// The timeline's own tracks first (a hold-key scene switch, values truncated: 0.9 at 0 s, 1.7 at
// 5 s; another opcode's track is ignored), then the categories in order, each entity only inside
// its inclusive window ("late": 10 to 20 s). 178 s is still played; the step past it stops and
// resets time without updating; later steps update at time 0 without advancing.
TEST_F(RegistryTest, StepUpdatesTimelineFirstThenActiveEntitiesUpTo178Seconds) {
  add(Category::Particle, {"p"});
  add(Category::Texture, {"t"});
  add(Category::Scene, {"s"});
  add(Category::Mesh, {"late"}, 10.0f, 20.0f);
  Track* sel = addTrack(timeline->tracksA, kEnabledBit | kAnimatedBit);  // opcode 0: scene switch
  for (auto [time, v] : {std::pair{0.0f, 0.9f}, {5.0f, 1.7f}, {9.0f, 2.0f}})
    *sel->appendKey() = {time, 0, {v}};
  addTrack(timeline->tracksA, kEnabledBit | 1)->params[0] = 5.0f;
  timeline->start();
  // Seconds stepped; then the time reached, the scene, whether running, the entities updated.
  // Past the last key (9 s) the scene stays as it was.
  const Log all = {"t", "s", "p"}, withLate = {"t", "late", "s", "p"};
  const std::tuple<double, float, int, bool, Log> rows[] = {
      {1, 1, 0, true, all},        {5, 6, 1, true, all},         {4, 10, 1, true, withLate},
      {10, 20, 1, true, withLate}, {0.25, 20.25f, 1, true, all}, {156.75, 177, 1, true, all},
      {1, 178, 1, true, all},      {0.25, 0, 1, false, {}},      {1, 0, 0, false, all}};
  for (const auto& [seconds, time, scene, running, updates] : rows) {
    gNow += static_cast<uint64_t>(seconds * static_cast<double>(gFreq));  // the fake counter
    timeline->step();
    EXPECT_EQ(std::tuple(timeline->time, timeline->currentScene, timeline->running, takeLog()),
              std::tuple(time, scene, running, updates))
        << "after " << seconds << " s";
  }
}

// --- the SceneData stream ---

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
// name at 11, its first key at 67 (after the name, the word and 12 parameters, the key count).
Bytes sampleStream() {
  Bytes b;  // textures: 1 record; times; list A: 0 tracks; list B: 1 track
  b.raw({1}).f32(0).f32(178).raw({0, 1}).name("hi").u32(kEnabledBit | kAnimatedBit | 23).values(0);
  b.raw({2});  // keys: time, type, values
  for (uint8_t k = 0; k < 2; ++k) b.f32(k).raw({k}).values(k * 100.0f);
  b.raw({0, 0, 0, 1}).f32(0).f32(80);  // meshes, lights, scenes; timeline: 1 record
  b.raw({1, 0}).u32(kEnabledBit).values(0).raw({0, 0});  // list A: an unnamed track, no keys
  return b.raw({0, 0});                                  // particles, the spare byte
}

// Every prefix of the sample short of its spare byte is refused with an offset inside it, naming
// where the reader stopped, and loads nothing. The whole sample reads and writes back byte for
// byte; loading makes its entities in stream order and fills the timeline from its record. A
// 512-byte name without a zero byte is dropped (kept in the stream form).
TEST_F(RegistryTest, SceneStreamTruncationsRoundTripAndLoad) {
  const auto bytes = sampleStream();
  SceneStream s;
  SceneError e;
  std::vector<Category> made;
  const auto factory = [&](Category c) { return made.push_back(c), new SceneEntity(); };
  for (size_t n = 0; n + 1 < bytes.size(); ++n) {
    ASSERT_FALSE(parseSceneStream(std::span(bytes).first(n), "cut.bin", s, e)) << n;
    EXPECT_LE(e.offset, n);
    EXPECT_EQ(e.message().rfind("cut.bin: offset ", 0), 0u) << e.message();
    EXPECT_EQ(loadSceneData(std::span(bytes).first(n), "cut.bin", factory, e), -1);
  }
  EXPECT_TRUE((*entityRegistry)[0].empty() && made.empty());
  // Key time 67-70, type 71, values from 72: the second value at 76 is cut.
  const std::tuple<size_t, const char*, const char*> rows[] = {
      {67 + 10, "offset 76: error: stream ends inside key values", "(texture 0, track B0, key 0)"},
      {12, "offset 11: error: stream ends inside a track name", "(texture 0, track B0)"},
  };
  for (auto [cut, kind, where] : rows) {
    ASSERT_FALSE(parseSceneStream(std::span(bytes).first(cut), "x", s, e));
    EXPECT_NE(e.message().find(kind), std::string::npos) << e.message();
    EXPECT_NE(e.message().find(where), std::string::npos) << e.message();
  }

  ASSERT_TRUE(parseSceneStream(bytes, "t.bin", s, e)) << e.message();
  const TrackRecord& r = s.categories[0][0].tracksB[0];
  EXPECT_EQ(std::tuple(r.name, r.keys[1].values[3], s.trailing),
            std::tuple("hi", 103.0f, Bytes{{0}}));
  EXPECT_EQ(writeSceneStream(s), bytes);
  EXPECT_EQ(loadSceneData(bytes, "t", factory, e), 2);
  EXPECT_EQ(std::tuple(made, (*entityRegistry)[Category::Timeline].count(), timeline->endTime,
                       timeline->tracksA.at(0)->name.has_value()),  // an empty name is no name
            std::tuple(std::vector{Category::Texture}, 0, 80.0f, false));
  Track* t = (*entityRegistry)[0].at(0)->tracksB.at(0);
  EXPECT_EQ(std::tuple(t->name.value_or("none"), t->keys.count()), std::tuple("hi", 2));

  Bytes u;
  u.raw({1}).f32(0).f32(1).raw({1}).name(std::string(512, 'a'), false).u32(kEnabledBit).values(0);
  u.raw({0, 0, 0, 0, 0, 0, 0});  // no keys, list B, five empty categories
  ASSERT_TRUE(parseSceneStream(u, "n", s, e)) << e.message();
  EXPECT_EQ(writeSceneStream(s), u);
  EXPECT_EQ(loadSceneData(u, "n", factory, e), 1);
  EXPECT_FALSE((*entityRegistry)[0].at(1)->tracksA.at(0)->name.has_value());
}

// --- keyframe evaluation and float conversions ---

// Expected values are worked out by hand from the uniform Catmull-Rom form
// 0.5 * (A u^3 + B u^2 + C u + D) with A = -p0 + 3 p1 - 3 p2 + p3, B = 2 p0 - 5 p1 + 4 p2 - p3,
// C = -p0 + p2, D = 2 p1. A key is (time, type: 0 hold, 1 flat, 2 smooth, value of all twelve).
TEST(TrackEvaluate, ValuesAtTimes) {
  using K = std::tuple<float, uint8_t, float>;
  constexpr float kUntouched = -1.0f;
  const std::vector<K> one = {{1, 2, 5}}, smooth4 = {{0, 2, 0}, {1, 2, 1}, {2, 2, 4}, {3, 2, 9}};
  const std::vector<K> hold = {{0, 2, 0}, {1, 0, 5}, {2, 2, 9}, {3, 2, 1}};
  const std::vector<K> unordered = {
      {171.92f, 1, 1}, {177.72f, 1, 2}, {144.64f, 1, 3}, {148.84f, 1, 4}};
  const std::tuple<const char*, std::vector<K>, float, float> rows[] = {
      // clang-format off
      {"no keys", {}, 3, kUntouched}, {"one key, before it: copied", one, 0.5f, 5},
      {"one key, at it: copied", one, 1, 5}, {"one key, past it: untouched", one, 2, kUntouched},
      // Two keys of any type: linear, u = 0.25 of 0 -> 10.
      {"two hold keys", {{0, 0, 0}, {2, 0, 10}}, 0.5f, 2.5f},
      {"two smooth keys", {{0, 2, 0}, {2, 2, 10}}, 0.5f, 2.5f},
      {"two keys, at the second", {{0, 1, 0}, {2, 1, 10}}, 2, 10},
      // First segment, no key before: p = (0, 0, 1, 4), u = 0.5: A = 1, B = 0, C = 1, D = 0,
      // 0.5 * (1/8 + 1/2) = 0.3125.
      {"three smooth keys, first segment", {{0, 2, 0}, {1, 2, 1}, {2, 2, 4}}, 0.5f, 0.3125f},
      {"exact key time gives that key", {{0, 2, 0}, {1, 2, 3}, {2, 2, 9}}, 1, 3},
      // Middle segment with real keys on both sides: p = (0, 1, 4, 9), u = 0.5: A = 0, B = 2,
      // C = 4, D = 2, 0.5 * (0 + 0.5 + 2 + 2) = 2.25 (the spline of t^2 is exact).
      {"both neighbours real keys", smooth4, 1.5f, 2.25f},
      // The segment ends on a hold key: it acts as flat, so Kn = K1: p = (0, 1, 4, 4): A = -5,
      // B = 7, C = 4, D = 2, 0.5 * (-0.625 + 1.75 + 2 + 2) = 2.5625.
      {"hold key ending a segment", {{0, 2, 0}, {1, 2, 1}, {2, 0, 4}, {3, 2, 9}}, 1.5f, 2.5625f},
      // Flat keys repeat themselves: p = (1, 1, 4, 4): A = -6, B = 9, C = 3, D = 2,
      // 0.5 * (-0.75 + 2.25 + 1.5 + 2) = 2.5.
      {"flat keys", {{0, 1, 0}, {1, 1, 1}, {2, 1, 4}}, 1.5f, 2.5f},
      // A hold key starting a segment keeps its value up to and including the next key's time.
      {"hold segment, just after", hold, 1.01f, 5}, {"hold segment, middle", hold, 1.5f, 5},
      {"hold segment, at the next key", hold, 2, 5},
      // After the hold segment: p = (5, 9, 1, 1), u = 0.5: A = 20, B = -32, C = -4, D = 18,
      // 0.5 * (2.5 - 8 - 2 + 18) = 5.25.
      {"after the hold segment", hold, 2.5f, 5.25f},
      // Keys out of time order follow list order: the first key at or after t wins.
      {"unordered, before all", unordered, 150, 1},
      {"unordered, past the first two", unordered, 178, kUntouched},
      // clang-format on
  };
  for (const auto& [what, keys, time, expected] : rows) {
    Track t;
    for (auto [keyTime, type, value] : keys) {
      *t.appendKey() = {keyTime, type, {}};
      t.keys.last()->value->values.fill(value);
    }
    t.params.fill(kUntouched);
    t.evaluate(time);
    EXPECT_EQ(std::tuple(t.params[0], t.params[11]), std::tuple(expected, expected)) << what;
  }
}

TEST(Conversions, TruncationAndRounding) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  // x, toward zero, to nearest (ties to even)
  // clang-format off
  const std::tuple<float, int32_t, int32_t> rows[] = {
      {3.9f, 3, 4}, {-3.9f, -3, -4}, {2.5f, 2, 2}, {3.5f, 3, 4}, {-2.5f, -2, -2},
      {1e20f, INT32_MAX, INT32_MAX}, {-1e20f, INT32_MIN, INT32_MIN}, {nan, 0, 0}};
  // clang-format on
  for (auto [x, truncated, rounded] : rows)
    EXPECT_EQ(std::tuple(toInt(x), roundToInt(x)), std::tuple(truncated, rounded)) << x;
}

}  // namespace
