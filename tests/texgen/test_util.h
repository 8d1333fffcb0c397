// Helpers shared by the texture generator tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "texgen/internal.h"

namespace glimmer::testing {

// A command word: opcode, blend mode, smooth flag and edge mode, enabled.
inline uint32_t commandWord(TextureOp op, uint8_t mode = 0, bool smooth = false, int edge = 0) {
  return static_cast<uint32_t>(op) | uint32_t{mode} << 8 | (smooth ? 1u : 0u) << 16 |
         static_cast<uint32_t>(edge & 3) << 17 | kEnabledBit;
}

inline Track* makeTrack(uint32_t word, std::initializer_list<float> params,
                        const char* name = nullptr) {
  auto* t = new Track();
  t->word = word;
  int i = 0;
  for (float v : params) t->params[static_cast<size_t>(i++)] = v;
  if (name) t->name = name;
  return t;
}

inline Track* makeTrack(TextureOp op, std::initializer_list<float> params, uint8_t mode = 0,
                        const char* name = nullptr) {
  return makeTrack(commandWord(op, mode), params, name);
}

// Runs one command on an image of the given edge length.
inline void run(std::vector<TexturePixel>& img, int32_t size, uint32_t word,
                std::initializer_list<float> params, const char* name = nullptr) {
  if (img.size() != static_cast<size_t>(size) * static_cast<size_t>(size))
    img.assign(static_cast<size_t>(size) * static_cast<size_t>(size), 0u);
  setTextureGeometry(size);
  Track* t = makeTrack(word, params, name);
  runTextureCommand(img.data(), *t);
  delete t;
}

inline uint8_t channel(TexturePixel p, int shift) {
  return static_cast<uint8_t>((p >> shift) & 0xFF);
}

// A deterministic image with varied bytes.
inline std::vector<TexturePixel> patternImage(int32_t size, uint32_t seed = 1) {
  std::vector<TexturePixel> v(static_cast<size_t>(size) * static_cast<size_t>(size));
  uint32_t s = seed;
  for (auto& p : v) {
    s = s * 1664525u + 1013904223u;
    p = s;
  }
  return v;
}

class TexgenTest : public ::testing::Test {
 protected:
  void SetUp() override { resetTextureState(); }
  void TearDown() override { setTextureGpuHooks({}); }
};

}  // namespace glimmer::testing
