// Pure geometry of the frame: camera up vector, glow and echo copies, the scene viewport, the
// mesh sort and split, parent chains, the overlay font height and glyph bitmaps.
#include <gtest/gtest.h>

#include <cmath>

#include "mesh/mesh.h"
#include "render/internal.h"
#include "render_test_util.h"

namespace render {
namespace {

TEST(CameraUp, RollTurnsTheUpVectorClockwise) {
  // (sin r, cos r, 0) with r in radians from pi = 3.14159: 90 degrees is 2.7e-6 short of a
  // quarter turn, so the y of roll 90 is about 1.3e-6, not 0.
  const struct {
    float roll;
    Vec3f up;
  } rows[] = {
      {0, {0, 1, 0}}, {90, {1, 1.3e-6f, 0}}, {180, {2.7e-6f, -1, 0}}, {-90, {-1, 1.3e-6f, 0}}};
  for (const auto& r : rows)
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(cameraUpVector(r.roll)[k], r.up[k], 2e-7f) << r.roll;
}

TEST(Glow, CopiesGrowAndDarkenFromTheFullColour) {
  // Copy i of n: t = i/n, offset t * amount * width * 0.02, colour (1 - t) * glow colour.
  // With amount 6 on 640 pixels the full offset is 76.8: copy 1 of 4 lies 19.2 out.
  const Colour c{0.5f, 1.0f, 0.25f, 0.06f};
  EXPECT_EQ(glowCopy(0, 4, 6.0f, c, 640).offset, 0.0f);
  EXPECT_EQ(glowCopy(0, 4, 6.0f, c, 640).colour, (std::array<float, 3>{0.5f, 1.0f, 0.25f}));
  EXPECT_FLOAT_EQ(glowCopy(1, 4, 6.0f, c, 640).offset, 19.2f);
  EXPECT_EQ(glowCopy(1, 4, 6.0f, c, 640).colour, (std::array<float, 3>{0.375f, 0.75f, 0.1875f}));
  EXPECT_FLOAT_EQ(glowCopy(3, 4, 6.0f, c, 640).offset, 57.6f);
  const int32_t counts[][2] = {{4, 4}, {0, 0}, {-3, 0}, {1000000000, kMaxGlowPasses}};
  for (const auto& r : counts) EXPECT_EQ(glowPassCount(r[0]), r[1]) << r[0];
}

TEST(EchoRing, CopiesLieOnACircleStartingAtAngleZero) {
  // Copy i of n at angle i/n of a turn: 4 copies at 0, 90, 180 and 270 degrees.
  const std::array<float, 2> expected[] = {{10, 0}, {0, 10}, {-10, 0}, {0, -10}};
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(echoOffset(i, 4, 10.0f)[0], expected[i][0], 1e-4f) << i;
    EXPECT_NEAR(echoOffset(i, 4, 10.0f)[1], expected[i][1], 1e-4f) << i;
  }
  const float counts[][2] = {{4.9f, 4}, {0.99f, 0}, {0, 0}, {-2, 0}, {1e9f, kMaxEchoCopies}};
  for (const auto& r : counts) EXPECT_EQ(echoCopyCount(r[0]), r[1]) << r[0];
}

TEST(Viewport, PercentagesTruncateTowardZero) {
  SceneObject s;
  s.viewportX = 10.0f;
  s.viewportY = 33.3f;
  s.viewportWidth = 50.0f;
  s.viewportHeight = 66.7f;
  const ViewportRect v = sceneViewport(s, 640, 480);
  EXPECT_EQ(v.x, 64);
  EXPECT_EQ(v.y, 159);  // 4.8 * 33.3 = 159.84
  EXPECT_EQ(v.width, 320);
  EXPECT_EQ(v.height, 320);  // 4.8 * 66.7 = 320.16
  const ViewportRect full = sceneViewport(SceneObject{}, 1024, 768);
  EXPECT_EQ(full.width, 1024);
  EXPECT_EQ(full.height, 768);
}

std::vector<SortEntry> entries(std::initializer_list<float> distances) {
  std::vector<SortEntry> out;
  static glimmer::SceneEntity tags[8];
  size_t i = 0;
  for (float d : distances) out.push_back({&tags[i++], d});
  return out;
}

TEST(MeshSort, OpaqueNearestFirstTransparentFarthestFirstTiesKeepOrder) {
  auto opaque = entries({5, 1, 3, 1, 9});
  const auto original = opaque;
  sortByDistance(opaque, false);
  ASSERT_EQ(opaque.size(), 5u);
  EXPECT_EQ(opaque[0].mesh, original[1].mesh);  // the two at 1 keep list order
  EXPECT_EQ(opaque[1].mesh, original[3].mesh);
  EXPECT_EQ(opaque[2].distance, 3.0f);
  EXPECT_EQ(opaque[4].distance, 9.0f);

  auto transparent = entries({2, 7, 2, 4});
  const auto t0 = transparent;
  sortByDistance(transparent, true);
  EXPECT_EQ(transparent[0].distance, 7.0f);
  EXPECT_EQ(transparent[1].distance, 4.0f);
  EXPECT_EQ(transparent[2].mesh, t0[0].mesh);
  EXPECT_EQ(transparent[3].mesh, t0[2].mesh);
}

glimmer::MeshObject* addMesh(float x, float y, float z, int blendMode, float start = 0.0f,
                             float end = 100.0f) {
  auto* m = new glimmer::MeshObject();
  m->translation = {x, y, z};
  m->material.blendMode = blendMode;
  m->startTime = start;
  m->endTime = end;
  (*glimmer::entityRegistry)[glimmer::Category::Mesh].append(m);
  return m;
}

TEST_F(RegistryTest, ActiveMeshesSplitByBlendModeAndSortFromTheEye) {
  auto* far = addMesh(0, 0, -10, 0);
  auto* nearMesh = addMesh(0, 0, -2, 0);
  auto* glassFar = addMesh(0, 0, -8, 2);
  auto* glassNear = addMesh(0, 3, 0, 1);
  auto* odd = addMesh(0, 0, -5, 3);    // any non-zero mode is transparent
  addMesh(0, 0, -1, 0, 50.0f, 60.0f);  // inactive now
  glimmer::timeline->time = 1.0f;
  std::vector<SortEntry> opaque, transparent;
  collectMeshes({0, 0, 0}, opaque, transparent);
  ASSERT_EQ(opaque.size(), 2u);
  EXPECT_EQ(opaque[0].mesh, nearMesh);
  EXPECT_EQ(opaque[1].mesh, far);
  EXPECT_EQ(opaque[1].distance, 10.0f);
  ASSERT_EQ(transparent.size(), 3u);
  EXPECT_EQ(transparent[0].mesh, glassFar);
  EXPECT_EQ(transparent[1].mesh, odd);
  EXPECT_EQ(transparent[2].mesh, glassNear);
}

TEST_F(RegistryTest, DistanceUsesTheMeshOwnTranslationOnly) {
  auto* parent = addMesh(0, 0, -100, 0);
  auto* child = addMesh(0, 0, -1, 0);
  child->parent = parent;
  std::vector<SortEntry> opaque, transparent;
  collectMeshes({0, 0, 0}, opaque, transparent);
  ASSERT_EQ(opaque.size(), 2u);
  EXPECT_EQ(opaque[0].mesh, child);
}

TEST(Placement, ParentChainsStopBeforeACycleRepeats) {
  glimmer::MeshObject a, b, c;
  EXPECT_EQ(placementChain(a), (std::vector<const glimmer::MeshObject*>{&a}));
  a.parent = &b;
  b.parent = &c;
  EXPECT_EQ(placementChain(a), (std::vector<const glimmer::MeshObject*>{&a, &b, &c}));
  c.parent = &a;  // a cycle
  EXPECT_EQ(placementChain(a), (std::vector<const glimmer::MeshObject*>{&a, &b, &c}));
  EXPECT_EQ(placementChain(b), (std::vector<const glimmer::MeshObject*>{&b, &c, &a}));
  a.parent = &a;
  EXPECT_EQ(placementChain(a), (std::vector<const glimmer::MeshObject*>{&a}));
}

TEST(OverlayFont, HeightFollowsTheScreenWidth) {
  EXPECT_EQ(overlayFontHeight(640), 64);
  EXPECT_EQ(overlayFontHeight(800), 80);
  EXPECT_EQ(overlayFontHeight(1024), 102);  // 102.4 truncated
  EXPECT_EQ(overlayFontHeight(320), 32);
}

// Pairs 1 to 4 exist, each a single line (statements separated by tabs); others do not.
TEST(ShaderSources, FourSingleLinePairs) {
  for (int pair = -1; pair <= 5; ++pair) {
    const ShaderSources s = builtInSources(pair);
    const bool exists = pair >= 1 && pair <= 4;
    ASSERT_EQ(s.vertex != nullptr, exists) << pair;
    ASSERT_EQ(s.fragment != nullptr, exists) << pair;
    if (exists) {
      EXPECT_EQ((std::string(s.vertex) + s.fragment).find('\n'), std::string::npos) << pair;
    }
  }
}

}  // namespace
}  // namespace render
