// A headless GL context for renderer tests (SDL's offscreen driver on Mesa llvmpipe), content
// builders for test scenes, frame read-back and golden-image comparison.
//
// Golden images live in tests/golden/. With GLIMMER_REGENERATE_GOLDEN=1 in the environment the
// comparisons write the images instead (tests/golden/regenerate.sh does that on purpose).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "render/internal.h"
#include "render_test_util.h"
#include "texgen/texgen.h"

namespace render::test {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// Opens the window and context once per process; false with the reason when it cannot.
bool openContext(std::string& error);

// RGBA bytes of the back buffer, top row first.
std::vector<uint8_t> readFrame();

// Compares a frame with tests/golden/<name>.png: every channel within `tolerance`, except at
// most `outlierFraction` of the pixels (edge rasterisation differs a little between Mesa
// releases). Writes the frame next to the build as <name>.actual.png when it fails.
::testing::AssertionResult matchesGolden(const std::string& name, const std::vector<uint8_t>& rgba,
                                         int tolerance = 8, double outlierFraction = 0.005);

// A registry and timeline with the context current; content is built with the helpers below.
class GlSceneTest : public RegistryTest {
 public:
  void SetUp() override;
  void TearDown() override;

  // A texture entity from a pixel function (x, y) -> 0xAARRGGBB, uploaded.
  glimmer::TextureObject* addTexture(int size, const std::function<uint32_t(int, int)>& pixel);
  // A mesh entity; `build` adds its tracks, then precalc() builds and uploads it.
  glimmer::MeshObject* addMeshFor(const std::function<void(glimmer::MeshObject&)>& build);
  SceneObject* addScene();
  LightObject* addLight(float x, float y, float z);

  // Renders the frame of scene 0 at demo time t (entities updated at t first, delta 0).
  std::vector<uint8_t> renderAt(float t);
};

// Standard textures.
uint32_t checkerPixel(int x, int y, int cells, uint32_t a, uint32_t b);
// A normal map of round bumps with full gloss in alpha.
uint32_t bumpPixel(int x, int y, int size);
// A soft white disc whose alpha falls off towards the edge.
uint32_t blobPixel(int x, int y, int size);

}  // namespace render::test
