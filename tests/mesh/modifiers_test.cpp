// Transform, Normals, Twist, MapTexCoords and Displace with values worked by hand, and linear
// smooth normals against the pairwise definition.
#include <cmath>
#include <cstring>
#include <random>
#include <tuple>

#include "mesh_test_util.h"
#include "texgen/texgen.h"

namespace glimmer::test {
namespace {

// Gives m the positions and triangles (position indices) and one texture coordinate.
void setMesh(MeshObject& m, std::vector<Vec3> positions, std::vector<uint32_t> triangles) {
  m.positions = std::move(positions);
  m.resizeTexCoords(1);
  m.resizeCorners(static_cast<int32_t>(triangles.size()));
  for (size_t i = 0; i < triangles.size(); ++i) m.corners[i].position = triangles[i];
}

// One point moved by Transform or Twist; expected positions by hand.
TEST(Transform, OnePointTables) {
  // clang-format off
  const struct { const char* what; Vec3 from; MeshOp op; Params p; Vec3 to; } rows[] = {
      {"no parameters", {0.3f, -0.7f, 0.2f}, MeshOp::Transform, {}, {0.3f, -0.7f, 0.2f}},
      {"90 about Y turns x to -z", {1, 0, 0}, MeshOp::Transform, {{4, 90}}, {0, 0, -1}},
      {"90 about X turns y to z", {0, 1, 0}, MeshOp::Transform, {{3, 90}}, {0, 0, 1}},
      // X first leaves x alone, then Y turns it to -z (Y first, then X, would give +y).
      {"X then Y", {1, 0, 0}, MeshOp::Transform, {{3, 90}, {4, 90}}, {0, 0, -1}},
      // x scale 2, then 90 about Z: (0, 2, 0); then translate by (1, 1, 1).
      {"scale, rotate, translate", {1, 0, 0}, MeshOp::Transform,
       {{0, 32}, {1, 32}, {2, 32}, {5, 90}, {6, 100}}, {1, 3, 1}},
      // Distance 1 from the centre, rate 9 degrees per 1/10 unit: 90 degrees about Y.
      {"twist by distance", {1, 0, 0}, MeshOp::Twist, {{0, 9}}, {0, 0, -1}},
      {"twist rate 0", {0.3f, -0.7f, 0.2f}, MeshOp::Twist, {{3, 16}}, {0.3f, -0.7f, 0.2f}},
      {"twist centre stays", {1, 2, 0.5f}, MeshOp::Twist, {{0, 45}, {3, 32}, {4, 64}, {5, 16}},
       {1, 2, 0.5f}},
  };
  // clang-format on
  for (const auto& r : rows) {
    MeshObject m;
    setMesh(m, {r.from}, {});
    apply(m, r.op, r.p);
    expectVec(m.positions[0], r.to, 1e-5f, r.what);
  }
}

// Triangle 0 faces +z; triangle 1 has collinear points (zero normal, adds nothing); triangle 2
// faces -y: (P0 - P4) x (P1 - P4) = (0, 0, -1) x (1, 0, -1) = (0, -1, 0). Flat: one normal per
// triangle; smooth: per position, the sum of its triangles' normals, normalised.
TEST(Normals, FlatAndSmoothByHand) {
  const float s = std::sqrt(0.5f);
  MeshObject m;
  setMesh(m, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}, {0, 0, 1}}, {0, 1, 2, 0, 1, 3, 0, 1, 4});
  const std::tuple<float, std::vector<Vec3>> rows[] = {
      {0, {{0, 0, 1}, {0, 0, 0}, {0, -1, 0}}},
      {1, {{0, -s, s}, {0, -s, s}, {0, 0, 1}, {0, 0, 0}, {0, -1, 0}}}};
  for (const auto& [smooth, normals] : rows) {
    apply(m, MeshOp::Normals, {{0, smooth}});
    ASSERT_EQ(m.normals.size(), normals.size());
    for (size_t i = 0; i < normals.size(); ++i) expectVec(m.normals[i], normals[i], 1e-6f);
    for (size_t i = 0; i < 9; ++i)
      EXPECT_EQ(m.corners[i].normal, smooth ? m.corners[i].position : i / 3);
  }
}

// Random meshes with shared positions, repeated positions inside a triangle and degenerate ones.
TEST(Normals, LinearSmoothEqualsPairwiseBitForBit) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 40; ++round) {
    std::uniform_int_distribution<int> countDist(1, 300);
    const int positions = countDist(rng);
    const int triangles = countDist(rng);
    std::uniform_real_distribution<float> coord(-5.0f, 5.0f);
    std::uniform_int_distribution<int> pick(0, positions - 1);
    MeshObject a, b;
    a.resizePositions(positions);
    for (Vec3& p : a.positions) p = {coord(rng), coord(rng), coord(rng)};
    if (positions > 3) a.positions[1] = a.positions[0];  // coincident, still separate
    a.resizeCorners(triangles * 3);
    for (Corner& c : a.corners) c.position = static_cast<uint32_t>(pick(rng));
    b.positions = a.positions;
    b.corners = a.corners;
    meshops::smoothNormals(a);
    meshops::smoothNormalsPairwise(b);
    ASSERT_EQ(a.normals.size(), b.normals.size());
    ASSERT_EQ(std::memcmp(a.normals.data(), b.normals.data(), a.normals.size() * sizeof(Vec3)), 0)
        << "round " << round;
    for (size_t i = 0; i < a.corners.size(); ++i)
      ASSERT_EQ(a.corners[i].normal, b.corners[i].normal);
  }
}

// u' = u * (p3 + 100) / 100 + p0 / 100, v' = v * (p4 + 100) / 100 + p1 / 100.
TEST(MapTexCoords, ScaleAndOffset) {
  // clang-format off
  const struct { Params p; float u0, v0, u1; } rows[] = {
      {{}, 0.5f, 0.25f, 1.0f},
      {{{0, 10}, {1, -50}, {3, 200}, {4, -50}}, 1.6f, -0.375f, 3.1f},  // 0.5 * 3 + 0.1
      {{{0, 30}, {3, -100}}, 0.3f, 0.25f, 0.3f},                       // every u collapses
  };
  // clang-format on
  for (const auto& [p, u0, v0, u1] : rows) {  // parameters, then u0, v0, u1 expected
    MeshObject m;
    m.texCoords = {{0.5f, 0.25f}, {1.0f, 1.0f}};
    apply(m, MeshOp::MapTexCoords, p);
    expectVec({m.texCoords[0].u, m.texCoords[0].v, m.texCoords[1].u}, {u0, v0, u1}, 1e-6f);
  }
}

// Displace moves a position once per corner that uses it, by normal * blue * amount * 0.00001.
using DisplaceTest = RegistryTest;

TEST_F(DisplaceTest, ByTheBlueChannel) {
  auto texture = [&](uint32_t fill) {
    auto* t = add<TextureObject>(Category::Texture);
    t->resize(4);
    std::fill(t->pixels.begin(), t->pixels.end(), fill);
    return t;
  };
  texture(0xFF0000FFu);                                   // 0: blue 255 everywhere
  texture(0xFFFFFF00u)->pixels[1 * 4 + 2] = 0x00FFFF10u;  // 1: blue 0 but row 1, column 2: 16
  MeshObject m;
  apply(m, MeshOp::Grid, {{0, 2}, {1, 2}, {3, 64}, {4, 64}});
  apply(m, MeshOp::Normals, {{0, 1}});
  const auto before = m.positions;
  apply(m, MeshOp::Displace, {{0, -1}, {3, 250}});  // no texture
  apply(m, MeshOp::Displace, {{0, 5}, {3, 250}});   // past the end
  apply(m, MeshOp::Displace, {{0, 0}, {3, 0}});     // amount 0
  apply(m, MeshOp::Displace, {{0, 1}, {3, 250}});   // black in blue where the grid samples
  EXPECT_EQ(std::memcmp(m.positions.data(), before.data(), before.size() * sizeof(Vec3)), 0);
  // Corner vertex 0 is used by one corner, the centre vertex 4 by six: 255 * 40 * 0.00001.
  apply(m, MeshOp::Displace, {{0, 0}, {3, 40}});
  EXPECT_FLOAT_EQ(m.positions[0].z, 0.102f);
  EXPECT_NEAR(m.positions[4].z, 6 * 0.102f, 1e-6);

  // Flat normals: two for four positions, so each corner's own normal is used.
  apply(m, MeshOp::Grid, {{0, 1}, {1, 1}, {3, 64}, {4, 64}});
  apply(m, MeshOp::Normals, {{0, 0}});
  apply(m, MeshOp::Displace, {{0, 0}, {3, 100}});
  EXPECT_FLOAT_EQ(m.positions[0].z, 0.255f);  // 255 * 100 * 0.00001, one corner
  EXPECT_NEAR(m.positions[1].z, 2 * 0.255f, 1e-6);

  // Texture coordinates wrap: all three corners sample row 1, column 2 (blue 16) of texture 1.
  setMesh(m, {{0, 0, 0}}, {0, 0, 0});
  m.normals = {{0, 1, 0}};
  m.texCoords = {{0.5f, 0.25f}, {-0.5f, -0.75f}, {2.6f, 1.3f}};
  for (uint32_t k = 0; k < 3; ++k) m.corners[k].texCoord = k;
  apply(m, MeshOp::Displace, {{0, 1}, {3, 250}});
  expectVec(m.positions[0], {0, 3 * 0.04f, 0}, 1e-6f);  // 16 * 250 * 0.00001 three times
}

}  // namespace
}  // namespace glimmer::test
