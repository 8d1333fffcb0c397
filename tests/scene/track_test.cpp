// Keyframe evaluation: search order, tie-breaks, neighbour choice by key type, hold segments; the
// float to integer conversions. Expected values are worked out by hand from the uniform
// Catmull-Rom form 0.5 * (A u^3 + B u^2 + C u + D) with A = -p0 + 3 p1 - 3 p2 + p3,
// B = 2 p0 - 5 p1 + 4 p2 - p3, C = -p0 + p2, D = 2 p1.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include "scene/scene.h"

using namespace glimmer;

namespace {

// clang-format off
struct K { float time; uint8_t type; float value; };  // type 0 hold, 1 flat, 2 smooth; 12 values
// clang-format on

TEST(TrackEvaluate, ValuesAtTimes) {
  constexpr float kUntouched = -1.0f;
  const std::vector<K> smooth4 = {{0, 2, 0}, {1, 2, 1}, {2, 2, 4}, {3, 2, 9}};
  const std::vector<K> hold = {{0, 2, 0}, {1, 0, 5}, {2, 2, 9}, {3, 2, 1}};
  const std::vector<K> unordered = {
      {171.92f, 1, 1}, {177.72f, 1, 2}, {144.64f, 1, 3}, {148.84f, 1, 4}};
  const std::tuple<const char*, std::vector<K>, float, float> rows[] = {
      // clang-format off
      {"no keys", {}, 3, kUntouched},
      {"one key, before it: copied", {{1, 2, 5}}, 0.5f, 5},
      {"one key, at it: copied", {{1, 2, 5}}, 1, 5},
      {"one key, past it: untouched", {{1, 2, 5}}, 2, kUntouched},
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
      {"hold segment, just after", hold, 1.01f, 5},
      {"hold segment, middle", hold, 1.5f, 5},
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
    for (const K& k : keys) {
      Key* key = t.appendKey();
      *key = {k.time, k.type, {}};
      key->values.fill(k.value);
    }
    t.params.fill(kUntouched);
    t.evaluate(time);
    EXPECT_EQ(t.params[0], expected) << what;
    EXPECT_EQ(t.params[11], expected) << what;
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
  for (auto [x, truncated, rounded] : rows) {
    EXPECT_EQ(toInt(x), truncated) << x;
    EXPECT_EQ(roundToInt(x), rounded) << x;
  }
}

}  // namespace
