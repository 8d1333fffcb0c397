// Pure geometry of the frame: camera up vector, glow and echo copies, the scene viewport, the
// mesh split and sort.
#include <gtest/gtest.h>

#include "mesh/mesh.h"
#include "render/internal.h"
#include "render_test_util.h"

namespace render {
namespace {

TEST(CameraUp, RollTurnsTheUpVectorClockwise) {
  // (sin r, cos r, 0) with r in radians from pi = 3.14159: 90 degrees is 2.7e-6 short of a
  // quarter turn, so the y of roll 90 is about 1.3e-6, not 0.
  const std::pair<float, Vec3f> rows[] = {
      {0, {0, 1, 0}}, {90, {1, 1.3e-6f, 0}}, {180, {2.7e-6f, -1, 0}}, {-90, {-1, 1.3e-6f, 0}}};
  for (const auto& [roll, up] : rows)
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(cameraUpVector(roll)[k], up[k], 2e-7f) << roll;
}

TEST(GlowAndEcho, CopiesAndTheirCappedCounts) {
  // Glow copy i of n: t = i/n, offset t * amount * width * 0.02, colour (1 - t) * glow colour.
  // With amount 6 on 640 pixels the full offset is 76.8: copy 1 of 4 lies 19.2 out.
  const Colour c{0.5f, 1.0f, 0.25f, 0.06f};
  const std::tuple<int, float, std::array<float, 3>> glows[] = {
      {0, 0.0f, {0.5f, 1.0f, 0.25f}},
      {1, 19.2f, {0.375f, 0.75f, 0.1875f}},
      {3, 57.6f, {0.125f, 0.25f, 0.0625f}}};
  for (const auto& [i, offset, colour] : glows) {
    EXPECT_FLOAT_EQ(glowCopy(i, 4, 6.0f, c, 640).offset, offset) << i;
    EXPECT_EQ(glowCopy(i, 4, 6.0f, c, 640).colour, colour) << i;
  }
  // Echo copy i of n at angle i/n of a turn: 4 copies at 0, 90, 180 and 270 degrees.
  const std::array<float, 2> echoes[] = {{10, 0}, {0, 10}, {-10, 0}, {0, -10}};
  for (int32_t i = 0; i < 4; ++i)
    for (size_t k = 0; k < 2; ++k) EXPECT_NEAR(echoOffset(i, 4, 10.0f)[k], echoes[i][k], 1e-4f);
  // Counts: none below 1, the echo count truncated, both capped (10^9 asks for gigabytes).
  const int32_t glowCounts[][2] = {{4, 4}, {0, 0}, {-3, 0}, {1000000000, kMaxGlowPasses}};
  for (const auto& r : glowCounts) EXPECT_EQ(glowPassCount(r[0]), r[1]) << r[0];
  const float echoCounts[][2] = {{4.9f, 4}, {0.99f, 0}, {0, 0}, {-2, 0}, {1e9f, kMaxEchoCopies}};
  for (const auto& r : echoCounts) EXPECT_EQ(echoCopyCount(r[0]), r[1]) << r[0];
}

TEST(Viewport, PercentagesTruncateTowardZero) {
  SceneObject s;
  std::tie(s.viewportX, s.viewportY, s.viewportWidth, s.viewportHeight) =
      std::tuple(10.0f, 33.3f, 50.0f, 66.7f);
  const ViewportRect v = sceneViewport(s, 640, 480);  // 4.8 x 33.3 = 159.84, 4.8 x 66.7 = 320.16
  EXPECT_EQ((std::array<int, 4>{v.x, v.y, v.width, v.height}),
            (std::array<int, 4>{64, 159, 320, 320}));
}

glimmer::MeshObject* addMesh(float x, float y, float z, int blendMode, float start = 0.0f) {
  auto* m = new glimmer::MeshObject();
  m->translation = {x, y, z};
  m->material.blendMode = blendMode;
  m->startTime = start;
  m->endTime = 100.0f;
  (*glimmer::entityRegistry)[glimmer::Category::Mesh].append(m);
  return m;
}

// Opaque meshes nearest first, transparent (any non-zero blend mode) farthest first, equal
// distances in list order, each measured from the eye to the mesh's own translation.
TEST_F(RegistryTest, ActiveMeshesSplitByBlendModeAndSortFromTheEye) {
  auto* far = addMesh(0, 0, -10, 0);
  auto* nearMesh = addMesh(0, 0, -2, 0);
  auto* tieA = addMesh(0, 10, 0, 0);  // as far as `far`, later in the list
  auto* child = addMesh(0, 0, -1, 0);
  child->parent = addMesh(0, 0, -100, 0, 50.0f);  // an inactive parent far away
  auto* glassFar = addMesh(0, 0, -8, 2);
  auto* glassNear = addMesh(0, 3, 0, 1);
  auto* odd = addMesh(0, 0, -5, 3);
  auto* glassTie = addMesh(5, 0, 0, 1);  // as far as `odd`, later in the list
  glimmer::timeline->time = 1.0f;
  std::vector<SortEntry> opaque, transparent;
  collectMeshes({0, 0, 0}, opaque, transparent);
  auto meshes = [](const std::vector<SortEntry>& v) {
    std::vector<SceneEntity*> out;
    for (const auto& e : v) out.push_back(e.mesh);
    return out;
  };
  EXPECT_EQ(meshes(opaque), (std::vector<SceneEntity*>{child, nearMesh, far, tieA}));
  EXPECT_EQ(opaque[2].distance, 10.0f);
  EXPECT_EQ(meshes(transparent), (std::vector<SceneEntity*>{glassFar, odd, glassTie, glassNear}));
}

}  // namespace
}  // namespace render
