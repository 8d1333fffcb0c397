// Entities and the timeline: track application, the registry's teardown order, the precalculation
// percentages, the typed views of the registry, the clock and the frame step.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "scene/scene.h"

using namespace glimmer;

namespace {

std::vector<std::string> gLog;
uint64_t gNow = 0, gFreq = 1 << 20;

int note(std::string line) { return gLog.push_back(std::move(line)), 0; }

// Logs its updates (by name), commands, precalculation and deletion.
class Probe : public SceneEntity {
 public:
  Probe(std::string n, float s = 0, float e = 500) : name(std::move(n)) {
    startTime = s, endTime = e;
  }
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
    gNow = 0;
    gFreq = 1 << 20;
    setCounterSource({[] { return gNow; }, [] { return gFreq; }});
    createRegistry();
    timeline = new TimelineObject();
    gLog.clear();
  }
  void TearDown() override {
    delete timeline;
    timeline = nullptr;
    destroyRegistry();
    setCounterSource({});
  }
  void add(Category c, std::initializer_list<const char*> names, float start = 0, float end = 500) {
    for (const char* n : names) (*entityRegistry)[c].append(new Probe(n, start, end));
  }
  std::vector<std::string> takeLog() { return std::exchange(gLog, {}); }
  // Advances the fake counter by s seconds and steps the timeline.
  void step(double s) {
    gNow += static_cast<uint64_t>(s * static_cast<double>(gFreq));
    timeline->step();
  }
};

Track* addTrack(EntityList<Track>& list, uint32_t word) {
  Track* t = list.append(new Track());
  t->word = word;
  return t;
}

using Log = std::vector<std::string>;

TEST_F(RegistryTest, ApplyTracksSkipsDisabledButUpdateStillEvaluatesThem) {
  Probe p("e");
  addTrack(p.tracksA, kEnabledBit | 1);
  Track* off = addTrack(p.tracksA, kAnimatedBit | 2);  // disabled, animated
  *off->appendKey() = {10.0f, 2, {42.0f}};
  addTrack(p.tracksB, kEnabledBit | 3);
  p.update(5.0f, 0.1f);
  EXPECT_EQ(off->params[0], 42.0f);               // evaluated
  EXPECT_EQ(takeLog(), (Log{"e apply 1", "e"}));  // list B untouched
  p.applyTracksB();
  EXPECT_EQ(takeLog(), (Log{"e apply 3"}));
}

TEST_F(RegistryTest, TeardownRunsCategoriesBackwardsAndListsTailFirst) {
  add(Category::Texture, {"t0", "t1"});
  add(Category::Mesh, {"m0"});
  add(Category::Particle, {"p0", "p1"});
  destroyRegistry();
  EXPECT_EQ(gLog, (Log{"delete p1", "delete p0", "delete m0", "delete t1", "delete t0"}));
}

// progress(k * 100 / total) before entity k, then 100; total counts the timeline's record too.
TEST_F(RegistryTest, PrecalcDrawsShareBeforeEachEntityThenHundred) {
  const auto bar = [](int p) { note("bar " + std::to_string(p)); };
  precalcAll(0, bar);
  EXPECT_EQ(takeLog(), (Log{"bar 100"}));
  add(Category::Texture, {"a", "b", "c"});
  add(Category::Scene, {"s"});
  precalcAll(5, bar);
  EXPECT_EQ(takeLog(), (Log{"bar 0", "precalc a", "bar 20", "precalc b", "bar 40", "precalc c",
                            "bar 60", "precalc s", "bar 100"}));
}

// A typed view must follow its list: an entity appended later is seen, an entity of another type
// reads as null at its own index, and a registry made anew (often at the same address, with the
// same counts) is read afresh rather than through pointers to the deleted entities.
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
  EXPECT_EQ(probes.of(Category::Mesh).size(), 2u);
  EXPECT_EQ(name(0) + name(1) + name(2) + name(-1), "m0---");  // another type, past the end
  EXPECT_EQ((*entityRegistry)[Category::Mesh].at(2), nullptr);
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
      {1 << 20, 1 << 19, 0.5f},                          // 2^19 / 2^12 / 2^8
      {1 << 20, (uint64_t{1} << 32) + (1 << 19), 0.5f},  // 2^32 ticks drop out of the low bits
      {255, 1000, 0.0f},                                 // 255 >> 8 = 0: the clock never runs
  };
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
    step(seconds);
    EXPECT_EQ(std::tuple(timeline->time, timeline->currentScene, timeline->running, takeLog()),
              std::tuple(time, scene, running, updates))
        << "after " << seconds << " s";
  }
}

}  // namespace
