// Helpers shared by the mesh tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "mesh/internal.h"
#include "tools/compile/compile.h"

namespace glimmer::test {

using Params = std::initializer_list<std::pair<int, float>>;  // (parameter index, value)

inline Track makeTrack(MeshOp op, Params params = {}, const char* name = nullptr) {
  Track t;
  t.word = static_cast<uint32_t>(op) | kEnabledBit;
  for (auto [i, v] : params) t.params[static_cast<size_t>(i)] = v;
  if (name) t.name = name;
  return t;
}

inline void apply(MeshObject& m, MeshOp op, Params params = {}, const char* name = nullptr) {
  m.applyCommand(makeTrack(op, params, name));
}

// Each component within eps (0: equal as floats).
inline void expectVec(Vec3 got, Vec3 want, float eps = 0.0f, const std::string& what = "") {
  EXPECT_NEAR(got.x, want.x, eps) << what;
  EXPECT_NEAR(got.y, want.y, eps) << what;
  EXPECT_NEAR(got.z, want.z, eps) << what;
}

// The same elements, byte for byte.
template <typename T>
bool sameBytes(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

// A fresh registry for tests that resolve entity indices.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { createRegistry(); }
  void TearDown() override {
    destroyRegistry();
    setMeshGpuHooks({});
    setMeshDiagnosticHook(nullptr);
    meshPackData = {};
  }
  template <typename T>
  T* add(Category c) {
    return static_cast<T*>((*entityRegistry)[c].append(new T()));
  }
};

}  // namespace glimmer::test
