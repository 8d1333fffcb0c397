// The timeline: demo time, the frame clock, entity activation and the scene switch.
#include "scene/scene.h"

namespace glimmer {

namespace {
CounterSource gCounter;
}

void setCounterSource(CounterSource source) { gCounter = source; }
const CounterSource& counterSource() { return gCounter; }

DemoClock::DemoClock() {
  const uint64_t f = gCounter.frequency ? gCounter.frequency() : 0;
  frequencyDiv256 = static_cast<float>(static_cast<int32_t>(static_cast<uint32_t>(f >> 8)));
}

void DemoClock::reset() { startCount = gCounter.counter ? static_cast<int64_t>(gCounter.counter()) : 0; }

float DemoClock::elapsed() const {
  if (frequencyDiv256 == 0.0f) return 0.0f;
  const int64_t now = gCounter.counter ? static_cast<int64_t>(gCounter.counter()) : 0;
  const uint32_t diff = static_cast<uint32_t>(static_cast<uint64_t>(now - startCount));
  return static_cast<float>(static_cast<float>(diff) / frequencyDiv256) * 0.00390625f;
}

int TimelineObject::applyCommand(const Track& track) {
  if (track.opcode() == 0) currentScene = toInt(track.params[0]);
  return 0;
}

void TimelineObject::start() {
  running = true;
  clock.reset();
}

void TimelineObject::stop() {
  running = false;
  time = 0.0f;
}

bool TimelineObject::isActive(const SceneEntity& e) const {
  return e.startTime <= time && time <= e.endTime;
}

void TimelineObject::step() {
  const float dt = clock.elapsed();
  clock.reset();
  if (running) time += dt;
  if (time > kShowLength) {
    stop();
    return;
  }
  SceneEntity::update(time, dt);
  if (!entityRegistry) return;
  for (int c = 0; c < kCategoryCount; ++c)
    for (auto* n = (*entityRegistry)[c].first(); n; n = n->next)
      if (isActive(*n->value)) n->value->update(time, dt);
}

}  // namespace glimmer
