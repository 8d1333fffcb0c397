// Helpers shared by the mesh tests.
#pragma once

#include <gtest/gtest.h>

#include "mesh/internal.h"
#include "tools/compile/compile.h"

namespace glimmer::test {

inline Track makeTrack(MeshOp op, std::initializer_list<std::pair<int, float>> params = {},
                       const char* name = nullptr) {
  Track t;
  t.word = static_cast<uint32_t>(op) | kEnabledBit;
  for (auto [i, v] : params) t.params[static_cast<size_t>(i)] = v;
  if (name) t.name = name;
  return t;
}

inline void apply(MeshObject& m, MeshOp op, std::initializer_list<std::pair<int, float>> params = {},
                  const char* name = nullptr) {
  m.applyCommand(makeTrack(op, params, name));
}

// A fresh registry for tests that resolve entity indices.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { createRegistry(); }
  void TearDown() override {
    destroyRegistry();
    setMeshGpuHooks({});
  }
  template <typename T>
  T* add(Category c) {
    auto* e = new T();
    (*entityRegistry)[c].append(e);
    return e;
  }
};

#define EXPECT_VEC3_NEAR(v, ex, ey, ez, eps) \
  do {                                       \
    EXPECT_NEAR((v).x, (ex), (eps));         \
    EXPECT_NEAR((v).y, (ey), (eps));         \
    EXPECT_NEAR((v).z, (ez), (eps));         \
  } while (0)

#define EXPECT_VEC3_EQ(v, ex, ey, ez) \
  do {                                \
    EXPECT_FLOAT_EQ((v).x, (ex));     \
    EXPECT_FLOAT_EQ((v).y, (ey));     \
    EXPECT_FLOAT_EQ((v).z, (ez));     \
  } while (0)

}  // namespace glimmer::test
