// The timeline's frame step: clock arithmetic, activity windows, update order and the 178 s limit.
#include <gtest/gtest.h>

#include <vector>

#include "scene/scene.h"

using namespace glimmer;

namespace {

uint64_t gNow = 0;
uint64_t gFreq = 1000000;
uint64_t fakeCounter() { return gNow; }
uint64_t fakeFrequency() { return gFreq; }

std::vector<std::string> gUpdates;

class Recorder : public SceneEntity {
 public:
  explicit Recorder(std::string n) : name(std::move(n)) {}
  void update(float time, float delta) override { gUpdates.push_back(name); }
  std::string name;
};

class TimelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gNow = 0;
    gFreq = 1 << 20;
    setCounterSource({fakeCounter, fakeFrequency});
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
  // Advances the fake counter by s seconds.
  void advance(double s) { gNow += static_cast<uint64_t>(s * static_cast<double>(gFreq)); }
};

TEST_F(TimelineTest, ClockMeasuresSecondsFromLowBitsOfTheDifference) {
  DemoClock c;
  EXPECT_EQ(c.frequencyDiv256, static_cast<float>(gFreq >> 8));
  c.reset();
  advance(0.5);
  EXPECT_FLOAT_EQ(c.elapsed(), 0.5f);
}

TEST_F(TimelineTest, FrequencyBelow256NeverAdvances) {
  gFreq = 255;
  TimelineObject t;
  t.start();
  gNow += 1000;
  t.step();
  EXPECT_EQ(t.time, 0.0f);
}

TEST_F(TimelineTest, ActivityWindowIsInclusive) {
  SceneEntity e;
  e.startTime = 2.0f;
  e.endTime = 2.0f;
  timeline->time = 2.0f;
  EXPECT_TRUE(timeline->isActive(e));
  timeline->time = 2.0001f;
  EXPECT_FALSE(timeline->isActive(e));
  e.startTime = 3.0f;
  e.endTime = 1.0f;
  timeline->time = 2.0f;
  EXPECT_FALSE(timeline->isActive(e));
}

TEST_F(TimelineTest, StepUpdatesTimelineFirstThenCategoriesInOrder) {
  auto add = [](Category c, const char* n) {
    auto* r = new Recorder(n);
    r->endTime = 200.0f;
    (*entityRegistry)[c].append(r);
  };
  add(Category::Particle, "p");
  add(Category::Texture, "t");
  add(Category::Scene, "s");
  Recorder* late = new Recorder("late");
  late->startTime = 10.0f;
  late->endTime = 20.0f;
  (*entityRegistry)[Category::Mesh].append(late);
  Track* sel = timeline->tracksA.append(new Track());
  sel->word = kEnabledBit | kAnimatedBit;
  for (auto [time, v] : {std::pair{0.0f, 0.0f}, {5.0f, 1.0f}, {9.0f, 2.0f}}) {
    Key* k = sel->appendKey();
    k->time = time;
    k->type = 0;
    k->values[0] = v;
  }
  timeline->start();
  advance(1.0);
  timeline->step();
  EXPECT_EQ(timeline->currentScene, 0);
  EXPECT_EQ(gUpdates, (std::vector<std::string>{"t", "s", "p"}));
  advance(5.0);
  gUpdates.clear();
  timeline->step();
  EXPECT_FLOAT_EQ(timeline->time, 6.0f);
  EXPECT_EQ(timeline->currentScene, 1);  // hold key at 5 s switched it in the same frame
  advance(6.0);
  gUpdates.clear();
  timeline->step();
  EXPECT_EQ(gUpdates, (std::vector<std::string>{"t", "late", "s", "p"}));
}

TEST_F(TimelineTest, LimitIsInclusiveAndStopResetsTime) {
  auto* r = new Recorder("r");
  r->endTime = 500.0f;
  (*entityRegistry)[Category::Light].append(r);
  timeline->start();
  timeline->time = 177.0f;
  advance(1.0);
  timeline->step();
  EXPECT_EQ(timeline->time, 178.0f);
  EXPECT_TRUE(timeline->running);
  EXPECT_EQ(gUpdates.size(), 1u);
  advance(0.25);
  timeline->step();
  EXPECT_FALSE(timeline->running);
  EXPECT_EQ(timeline->time, 0.0f);
  EXPECT_EQ(gUpdates.size(), 1u);  // nothing updated by the stopping step
  // A further step does not advance time but still updates at time 0.
  advance(1.0);
  timeline->step();
  EXPECT_EQ(timeline->time, 0.0f);
  EXPECT_EQ(gUpdates.size(), 2u);
}

TEST_F(TimelineTest, SceneIndexTruncates) {
  Track t;
  t.params[0] = 2.9f;
  timeline->applyCommand(t);
  EXPECT_EQ(timeline->currentScene, 2);
  t.word = kEnabledBit | 1;  // other opcodes are ignored
  t.params[0] = 5.0f;
  timeline->applyCommand(t);
  EXPECT_EQ(timeline->currentScene, 2);
}

}  // namespace
