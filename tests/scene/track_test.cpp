// Keyframe evaluation: search order, tie-breaks, hold segments and float32 arithmetic.
#include <gtest/gtest.h>

#include "scene/scene.h"

using namespace glimmer;

namespace {

Track makeTrack(std::initializer_list<std::tuple<float, uint8_t, float>> keys) {
  Track t;
  t.word = kEnabledBit | kAnimatedBit;
  for (auto [time, type, v] : keys) {
    Key* k = t.appendKey();
    k->time = time;
    k->type = type;
    k->values.fill(v);
  }
  return t;
}

TEST(TrackEvaluate, NoKeysLeavesParams) {
  Track t;
  t.params[0] = 7.0f;
  t.evaluate(3.0f);
  EXPECT_EQ(t.params[0], 7.0f);
}

TEST(TrackEvaluate, SingleKeyBeforeAtAndAfter) {
  Track t = makeTrack({{1.0f, 2, 5.0f}});
  t.params.fill(-1.0f);
  t.evaluate(0.5f);
  EXPECT_EQ(t.params[0], 5.0f);
  t.params.fill(-1.0f);
  t.evaluate(1.0f);
  EXPECT_EQ(t.params[0], 5.0f);
  t.params.fill(-1.0f);
  t.evaluate(2.0f);  // past the last key: untouched
  EXPECT_EQ(t.params[0], -1.0f);
}

TEST(TrackEvaluate, TwoKeysAreLinearWhateverTheirTypes) {
  for (uint8_t type : {0, 1, 2}) {
    Track t = makeTrack({{0.0f, type, 0.0f}, {2.0f, type, 10.0f}});
    t.evaluate(0.5f);
    EXPECT_FLOAT_EQ(t.params[3], 2.5f) << int(type);
    t.evaluate(2.0f);
    EXPECT_FLOAT_EQ(t.params[3], 10.0f);
  }
}

TEST(TrackEvaluate, ThreeSmoothKeysUseCatmullRomWithClampedEnds) {
  Track t = makeTrack({{0.0f, 2, 0.0f}, {1.0f, 2, 1.0f}, {2.0f, 2, 4.0f}});
  t.evaluate(0.5f);
  // Kp = K0 = 0, K1 = 1, Kn = 4: 0.5 * ((-0+3-12+4)/8*... computed step by step below.
  Key p0, p1, p2, p3;
  p0.values.fill(0.0f);
  p1.values.fill(0.0f);
  p2.values.fill(1.0f);
  p3.values.fill(4.0f);
  EXPECT_EQ(t.params[0], catmullRom(p0, p1, p2, p3, 0.5f).values[0]);
  // -p0+3p1-3p2+p3 = 1; 2p0-5p1+4p2-p3 = 0; C = 1; D = 0 -> 0.5*(0.125 + 0 + 0.5) = 0.3125
  EXPECT_FLOAT_EQ(t.params[0], 0.3125f);
}

TEST(TrackEvaluate, ExactKeyTimeGivesThatKey) {
  Track t = makeTrack({{0.0f, 2, 0.0f}, {1.0f, 2, 3.0f}, {2.0f, 2, 9.0f}});
  t.evaluate(1.0f);
  EXPECT_EQ(t.params[0], 3.0f);
}

TEST(TrackEvaluate, HoldSegmentKeepsValueUpToAndIncludingNextKey) {
  Track t = makeTrack({{0.0f, 2, 0.0f}, {1.0f, 0, 5.0f}, {2.0f, 2, 9.0f}, {3.0f, 2, 1.0f}});
  for (float x : {1.01f, 1.5f, 1.99f, 2.0f}) {
    t.evaluate(x);
    EXPECT_EQ(t.params[0], 5.0f) << x;
  }
  t.evaluate(2.5f);
  EXPECT_NE(t.params[0], 5.0f);
}

TEST(TrackEvaluate, FlatKeysRepeatThemselvesAsNeighbours) {
  Track t = makeTrack({{0.0f, 1, 0.0f}, {1.0f, 1, 1.0f}, {2.0f, 1, 4.0f}});
  t.evaluate(1.5f);
  Key a, b;
  a.values.fill(1.0f);
  b.values.fill(4.0f);
  EXPECT_EQ(t.params[0], catmullRom(a, a, b, b, 0.5f).values[0]);
}

TEST(TrackEvaluate, OutOfOrderKeysFollowListOrder) {
  // Keys 171.92, 177.72, 144.64, 148.84: the last two are never reached.
  Track t = makeTrack({{171.92f, 1, 1.0f}, {177.72f, 1, 2.0f}, {144.64f, 1, 3.0f}, {148.84f, 1, 4.0f}});
  t.evaluate(100.0f);
  EXPECT_EQ(t.params[0], 1.0f);
  t.evaluate(150.0f);
  EXPECT_EQ(t.params[0], 1.0f);
  t.evaluate(175.0f);
  EXPECT_GT(t.params[0], 1.0f);
  EXPECT_LT(t.params[0], 2.0f);
  const float before = t.params[0];
  t.evaluate(178.0f);
  EXPECT_EQ(t.params[0], before);
}

TEST(KeyArithmetic, RoundsEveryStepToFloat) {
  Key a;
  a.values.fill(0.1f);
  const Key s = keyScale(a, 3.0f);
  EXPECT_EQ(s.values[0], static_cast<float>(0.1f * 3.0f));
  const Key l = keyLerp(a, s, 0.3f);
  const float v = 1.0f - 0.3f;
  EXPECT_EQ(l.values[0], static_cast<float>(static_cast<float>(0.1f * v) + static_cast<float>(s.values[0] * 0.3f)));
}

TEST(Conversions, TruncationAndRounding) {
  EXPECT_EQ(toInt(3.9f), 3);
  EXPECT_EQ(toInt(-3.9f), -3);
  EXPECT_EQ(roundToInt(2.5f), 2);
  EXPECT_EQ(roundToInt(3.5f), 4);
  EXPECT_EQ(roundToInt(-2.5f), -2);
  EXPECT_EQ(toInt(1e20f), INT32_MAX);  // saturates instead of undefined behaviour
  EXPECT_EQ(toInt(std::numeric_limits<float>::quiet_NaN()), 0);
}

}  // namespace
