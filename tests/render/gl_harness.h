// A headless GL context for renderer tests (SDL's offscreen driver on Mesa llvmpipe), content
// builders for test scenes, frame read-back and golden-image comparison.
//
// Golden images live in tests/golden/. With GLIMMER_REGENERATE_GOLDEN=1 in the environment the
// comparisons write the images instead (tests/golden/regenerate.sh does that on purpose).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "platform/gl.h"
#include "render/internal.h"
#include "render_test_util.h"
#include "texgen/texgen.h"

namespace render::test {

using glimmer::MeshObject;
using glimmer::MeshOp;
using Frame = std::vector<uint8_t>;  // RGBA bytes, top row first

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// The RGBA of pixel x of a row counted from the top.
std::array<uint8_t, 4> pixelAt(const Frame& f, int x, int row);
// GL state: a capability, element i of an integer or float state.
inline bool on(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }
GLint intState(GLenum name, size_t i = 0);
float floatState(GLenum name);

// Compares a frame with tests/golden/<name>.png: every channel within `tolerance`, except at
// most `outlierFraction` of the pixels (edge rasterisation differs a little between Mesa
// releases). Writes the frame next to the build as <name>.actual.png when it fails.
::testing::AssertionResult matchesGolden(const std::string& name, const Frame& rgba,
                                         int tolerance = 8, double outlierFraction = 0.005);

// One track of a test mesh; a disabled one is stored but not applied.
struct Op {
  MeshOp op;
  std::initializer_list<float> params;
  const char* name = nullptr;
  bool enabled = true;
};

// A registry and timeline with the context (opened once per process; the test is skipped
// without one) current; content is built with the helpers below.
class GlSceneTest : public RegistryTest {
 public:
  void SetUp() override;
  void TearDown() override;

  // A texture entity from a pixel function (x, y) -> 0xAARRGGBB, uploaded.
  glimmer::TextureObject* addTexture(int size, const std::function<uint32_t(int, int)>& pixel);
  // A mesh entity with settings tracks `a` and geometry tracks `b`, built and uploaded.
  MeshObject* addMesh(std::initializer_list<Op> a, std::initializer_list<Op> b);
  // A smooth-shaded sphere of radius r (units) at `at` with a diffuse colour, then tracks `more`.
  MeshObject* addSphere(float r, Vec3f at, Vec3f rgb, int segments = 16,
                        std::initializer_list<Op> more = {});
  SceneObject* addScene();
  LightObject* addLight(float x, float y, float z);
  ParticleObject* addParticles();

  // Renders the frame of scene 0 at demo time t (entities updated at t first, delta 0).
  Frame renderAt(float t);
};

// Standard textures.
uint32_t checkerPixel(int x, int y, int cells, uint32_t a, uint32_t b);
// A normal map of round bumps with full gloss in alpha.
uint32_t bumpPixel(int x, int y, int size);
// A soft white disc whose alpha falls off towards the edge.
uint32_t blobPixel(int x, int y, int size);

}  // namespace render::test
