// The timeline's frame step: clock arithmetic, activity windows, update order and the 178 s limit.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "scene/scene.h"

using namespace glimmer;

namespace {

uint64_t gNow = 0, gFreq = 1 << 20;
std::vector<std::string> gUpdates;

class Recorder : public SceneEntity {
 public:
  Recorder(std::string n, float start, float end) : name(std::move(n)) {
    startTime = start;
    endTime = end;
  }
  void update(float, float) override { gUpdates.push_back(name); }
  std::string name;
};

class TimelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gNow = 0;
    gFreq = 1 << 20;
    setCounterSource({[] { return gNow; }, [] { return gFreq; }});
    gUpdates.clear();
    createRegistry();
    timeline = new TimelineObject();
  }
  void TearDown() override {
    delete timeline;
    timeline = nullptr;
    destroyRegistry();
    setCounterSource({});
  }
  // Advances the fake counter by s seconds and steps the timeline.
  void step(double s) {
    gNow += static_cast<uint64_t>(s * static_cast<double>(gFreq));
    timeline->step();
  }
  void add(Category c, const char* name, float start = 0.0f, float end = 500.0f) {
    (*entityRegistry)[c].append(new Recorder(name, start, end));
  }
};

// Seconds = (low 32 bits of the tick difference / (frequency >> 8)) / 256.
TEST_F(TimelineTest, ClockSecondsFromTheLow32BitsOfTheTickDifference) {
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

// The timeline's own tracks first (a hold-key scene switch at 5 s), then the categories in order,
// each entity only inside its inclusive window ("late": 10 to 20 s).
TEST_F(TimelineTest, StepUpdatesTimelineFirstThenActiveEntitiesByCategory) {
  add(Category::Particle, "p");
  add(Category::Texture, "t");
  add(Category::Scene, "s");
  add(Category::Mesh, "late", 10.0f, 20.0f);
  Track* sel = timeline->tracksA.append(new Track());
  sel->word = kEnabledBit | kAnimatedBit;  // opcode 0: the scene switch
  for (auto [time, v] : {std::pair{0.0f, 0.0f}, {5.0f, 1.0f}, {9.0f, 2.0f}})
    *sel->appendKey() = {time, 0, {v}};
  timeline->start();
  // Seconds stepped; then the time reached, the scene, the entities updated. Past the last key
  // (9 s) the scene stays as it was.
  const std::tuple<double, float, int, std::vector<std::string>> rows[] = {
      {1, 1, 0, {"t", "s", "p"}},
      {5, 6, 1, {"t", "s", "p"}},
      {4, 10, 1, {"t", "late", "s", "p"}},
      {10, 20, 1, {"t", "late", "s", "p"}},
      {0.25, 20.25f, 1, {"t", "s", "p"}}};
  for (const auto& [seconds, time, scene, updates] : rows) {
    gUpdates.clear();
    step(seconds);
    EXPECT_EQ(std::tuple(timeline->time, timeline->currentScene, gUpdates),
              std::tuple(time, scene, updates));
  }
}

// 178 s is still played; the step past it stops and resets without updating; later steps update
// at time 0 without advancing.
TEST_F(TimelineTest, LimitIsInclusiveAndStopResetsTime) {
  add(Category::Light, "r");
  timeline->start();
  timeline->time = 177.0f;
  const std::tuple<double, float, bool, size_t> rows[] = {
      {1.0, 178.0f, true, 1}, {0.25, 0.0f, false, 1}, {1.0, 0.0f, false, 2}};
  for (auto [seconds, time, running, updates] : rows) {
    step(seconds);
    EXPECT_EQ(std::tuple(timeline->time, timeline->running, gUpdates.size()),
              std::tuple(time, running, updates));
  }
}

TEST_F(TimelineTest, SceneIndexTruncatesAndOtherOpcodesAreIgnored) {
  Track t;
  t.params[0] = 2.9f;
  timeline->applyCommand(t);
  t.word = kEnabledBit | 1;
  t.params[0] = 5.0f;
  timeline->applyCommand(t);
  EXPECT_EQ(timeline->currentScene, 2);
}

}  // namespace
