// Helpers shared by the renderer tests: tracks from parameter lists, a fresh registry and timeline.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <memory>

#include "scene/scene.h"

namespace render {

// A track of an opcode with p0, p1, ... from the list (the rest 0), enabled unless told.
inline std::unique_ptr<glimmer::Track> makeTrack(uint8_t opcode,
                                                 std::initializer_list<float> params,
                                                 const char* name = nullptr, bool enabled = true) {
  auto t = std::make_unique<glimmer::Track>();
  t->word = (enabled ? glimmer::kEnabledBit : 0u) | opcode;
  std::copy(params.begin(), params.end(), t->params.begin());
  if (name) t->name = name;
  return t;
}

// Appends such a track to a list and returns it.
inline glimmer::Track* addTrack(glimmer::EntityList<glimmer::Track>& list, uint8_t opcode,
                                std::initializer_list<float> params, const char* name = nullptr,
                                bool enabled = true) {
  return list.append(makeTrack(opcode, params, name, enabled).release());
}

// Every test gets an empty registry and a timeline at time 0; both are destroyed afterwards.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    glimmer::createRegistry();
    glimmer::timeline = new glimmer::TimelineObject();
  }
  void TearDown() override {
    delete glimmer::timeline;
    glimmer::timeline = nullptr;
    glimmer::destroyRegistry();
  }
};

}  // namespace render
