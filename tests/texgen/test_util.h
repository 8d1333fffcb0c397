// Helpers shared by the texture generator tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "texgen/internal.h"

namespace glimmer::testing {

using P = std::vector<TexturePixel>;

// A command word: opcode, blend mode, smooth flag and edge mode, enabled.
inline uint32_t commandWord(TextureOp op, uint8_t mode = 0, bool smooth = false, int edge = 0) {
  return static_cast<uint32_t>(op) | uint32_t{mode} << 8 | (smooth ? 1u : 0u) << 16 |
         static_cast<uint32_t>(edge & 3) << 17 | kEnabledBit;
}

inline Track* makeTrack(uint32_t word, std::initializer_list<float> p, const char* name = nullptr) {
  auto* t = new Track();
  t->word = word;
  std::copy(p.begin(), p.end(), t->params.begin());
  if (name) t->name = name;
  return t;
}

// Runs one command on an image of the given edge length (cleared first when its size differs).
inline void run(std::vector<TexturePixel>& img, int32_t size, uint32_t word,
                std::initializer_list<float> p, const char* name = nullptr) {
  if (img.size() != size_t(size * size)) img.assign(size_t(size * size), 0u);
  setTextureGeometry(size);
  std::unique_ptr<Track> t(makeTrack(word, p, name));
  runTextureCommand(img.data(), *t);
}

inline int countNonZero(const P& v) {
  return int(v.size()) - int(std::count(v.begin(), v.end(), 0u));
}

// A deterministic image with varied bytes.
inline std::vector<TexturePixel> patternImage(int32_t size, uint32_t seed = 1) {
  std::vector<TexturePixel> v(size_t(size * size));
  for (auto& p : v) p = seed = seed * 1664525u + 1013904223u;
  return v;
}

class TexgenTest : public ::testing::Test {
 protected:
  void SetUp() override { resetTextureState(); }
  void TearDown() override { setTextureGpuHooks({}); }
};

}  // namespace glimmer::testing
