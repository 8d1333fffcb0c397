// Keys, tracks and keyframe evaluation. Every arithmetic step is rounded to float32.
#include <cmath>
#include <limits>

#include "scene/scene.h"

namespace glimmer {

int32_t toInt(float x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
  if (x <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(x);
}

int32_t roundToInt(float x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
  if (x <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(std::nearbyint(x));  // default rounding mode: ties to even
}

Key keyScale(const Key& k, float s) {
  Key r;
  for (int i = 0; i < kParamCount; ++i) r.values[i] = static_cast<float>(k.values[i] * s);
  return r;
}

Key keyAdd(const Key& a, const Key& b) {
  Key r;
  for (int i = 0; i < kParamCount; ++i) r.values[i] = static_cast<float>(a.values[i] + b.values[i]);
  return r;
}

Key keySub(const Key& a, const Key& b) {
  Key r;
  for (int i = 0; i < kParamCount; ++i) r.values[i] = static_cast<float>(a.values[i] - b.values[i]);
  return r;
}

Key keyLerp(const Key& k0, const Key& k1, float u) {
  const float v = 1.0f - u;
  return keyAdd(keyScale(k0, v), keyScale(k1, u));
}

Key catmullRom(const Key& p0, const Key& p1, const Key& p2, const Key& p3, float u) {
  const float u2 = u * u;
  const float u3 = u2 * u;
  const Key a = keyAdd(keySub(keyAdd(keyScale(p0, -1.0f), keyScale(p1, 3.0f)), keyScale(p2, 3.0f)), p3);
  const Key b = keySub(keyAdd(keySub(keyScale(p0, 2.0f), keyScale(p1, 5.0f)), keyScale(p2, 4.0f)), p3);
  const Key c = keyAdd(keyScale(p0, -1.0f), p2);
  const Key d = keyScale(p1, 2.0f);
  return keyScale(keyAdd(keyAdd(keyAdd(keyScale(a, u3), keyScale(b, u2)), keyScale(c, u)), d), 0.5f);
}

void Track::evaluate(float t) {
  using Node = EntityList<Key>::Node;
  Node* n1 = keys.first();
  while (n1 && !(n1->value->time >= t)) n1 = n1->next;
  if (!n1) return;
  if (!n1->prev) {
    params = n1->value->values;
    return;
  }
  Node* n0 = n1->prev;
  const Key* k0 = n0->value;
  const Key* k1 = n1->value;
  const float u = (t - k0->time) / (k1->time - k0->time);
  if (!n0->prev && !n1->next) {
    params = keyLerp(*k0, *k1, u).values;
    return;
  }
  const Key* kp = n0->prev ? n0->prev->value : k0;
  const Key* kn = n1->next ? n1->next->value : k1;
  if (k0->type != 2) kp = k0;
  if (k1->type != 2) kn = k1;
  if (k0->type == 0) {
    k1 = k0;
    kn = k0;
  }
  params = catmullRom(*kp, *k0, *k1, *kn, u).values;
}

}  // namespace glimmer
