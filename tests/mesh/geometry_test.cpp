// Geometry worked by hand from the formulas: the generators, the modifiers (and linear smooth
// normals against the pairwise definition), the tangent frames of the render data.
#include <cmath>
#include <random>
#include <tuple>

#include "mesh_test_util.h"
#include "texgen/texgen.h"

namespace glimmer::test {
namespace {

// Pool sizes, and the single zero normal every generator ends with.
void expectPools(const MeshObject& m, int positions, int texCoords, int corners) {
  EXPECT_EQ((std::array{m.positionCount(), m.texCoordCount(), m.cornerCount(), m.normalCount()}),
            (std::array{positions, texCoords, corners, 1}));
  if (m.normalCount() == 1) expectVec(m.normals[0], {0, 0, 0});
  for (const Corner& c : m.corners) EXPECT_EQ(c.normal, 0u);
}

// Corners first to first + 5 (one cell) as position and texture coordinate indices.
void expectCell(const MeshObject& m, size_t first, std::array<uint32_t, 6> pos,
                std::array<uint32_t, 6> tex) {
  for (size_t k = 0; k < 6; ++k)
    EXPECT_EQ(std::pair(m.corners[first + k].position, m.corners[first + k].texCoord),
              std::pair(pos[k], tex[k]))
        << "corner " << first + k;
}

using Generators = RegistryTest;  // resets the diagnostic hook and the registry after each test

TEST_F(Generators, WorkedExamples) {
  MeshObject m;  // grid cell of width and depth 2: positions (i, j) = (2i - 1, 2j - 1), k = 2i + j
  apply(m, MeshOp::Grid, {{0, 0}, {1, 0}, {3, 64}, {4, 64}});
  expectPools(m, 4, 4, 6);
  for (auto [k, p] :
       {std::pair{0, Vec3{-1, -1, 0}}, {1, {-1, 1, 0}}, {2, {1, -1, 0}}, {3, {1, 1, 0}}})
    expectVec(m.positions[k], p);
  for (int k = 0; k < 4; ++k)
    expectVec({m.texCoords[k].u, m.texCoords[k].v}, {float(k / 2), float(k % 2)});
  expectCell(m, 0, {0, 2, 1, 1, 2, 3}, {0, 2, 1, 1, 2, 3});

  apply(m, MeshOp::Normals, {{0, 1}});  // a later generator replaces everything, normals too
  apply(m, MeshOp::Grid, {{0, 3.9f}, {1, 2}, {3, 96}, {4, 32}});  // nx = 3 (truncated), ny = 2
  expectPools(m, 12, 12, 36);
  // Cell (i = 1, j = 1) is cell number 3: a = 3 * 1 + 1 = 4, b = 3 * 2 + 1 = 7.
  expectCell(m, 18, {4, 7, 5, 5, 7, 8}, {4, 7, 5, 5, 7, 8});
  expectVec(m.positions[11], {1.5f, 0.5f, 0});  // i = 3, j = 2: 3 * (3 / 3) - 1.5, 2 * 0.5 - 0.5
  expectVec({m.texCoords[5].u, m.texCoords[5].v}, {1 / 3.0f, 1});  // i = 1, j = 2

  // Sphere, nu = nv = 3, radius 1: rings v = 1..3 at latitudes -30, 30, 90 degrees of nu + 1
  // points each, then the north pole (12) and the south pole (13); texture rows of nu + 2 entries.
  apply(m, MeshOp::Sphere, {{0, 2}, {1, -5}, {3, 32}});  // both counts clamp to 3
  expectPools(m, 14, 25, 54);
  const float c30 = std::sqrt(3.0f) / 2.0f;
  for (int i : {0, 3}) expectVec(m.positions[i], {c30, -0.5f, 0}, 1e-5f);  // 3: the seam point
  expectVec(m.positions[4], {c30, 0.5f, 0}, 1e-5f);
  for (int i = 8; i < 13; ++i) expectVec(m.positions[i], {0, 1, 0}, 1e-5f);  // ring, north pole
  expectVec(m.positions[13], {0, -1, 0});
  expectVec({m.texCoords[24].u, m.texCoords[24].v, m.texCoords[6].u},
            {4 / 3.0f, 4 / 3.0f, 1 / 3.0f}, 1e-6f);
  // Cell v = 1, u = 2 (number 5): u1 wraps to 0 for positions, texture indices do not wrap.
  expectCell(m, 30, {2, 6, 0, 6, 4, 0}, {7, 12, 8, 12, 13, 8});
  // Band v = 0 starts at the south pole, band v = 2 ends at the north pole (cells 0 and 6); the
  // north ring (8 to 11) is never used.
  expectCell(m, 0, {13, 0, 13, 0, 1, 13}, {0, 5, 1, 5, 6, 1});
  expectCell(m, 36, {4, 12, 5, 12, 12, 5}, {10, 15, 11, 15, 16, 11});
  for (const Corner& c : m.corners) EXPECT_TRUE(c.position < 8 || c.position >= 12);

  // Tube, na = 4, nh = 1, radius 1, length 2: angle a * 6.28 / 4 from +z toward +x, at slot a + 1.
  apply(m, MeshOp::Tube, {{0, 4}, {1, 1}, {3, 32}, {6, 64}});
  expectPools(m, 8, 10, 24);
  // 6.28 rather than 2 pi: steps 1 and 3 (1.57 and 4.71) fall short of 90 and 270 degrees by
  // 0.000796 and 0.002389 radians, so z = sin(0.000796) and -sin(0.002389).
  expectVec(m.positions[1], {0, -1, 1});
  expectVec(m.positions[2], {1, -1, 0.000796f}, 1e-5f);
  expectVec(m.positions[0], {-0.999997f, -1, -0.002389f}, 1e-5f);
  for (size_t k = 0; k < 4; ++k)
    expectVec(m.positions[4 + k], {m.positions[k].x, 1, m.positions[k].z});
  expectCell(m, 0, {0, 1, 4, 4, 1, 5}, {0, 1, 5, 5, 1, 6});
  expectCell(m, 18, {3, 0, 7, 7, 0, 4}, {3, 4, 8, 8, 4, 9});
  expectVec({m.texCoords[9].u, m.texCoords[9].v}, {1, 1});

  // One segment: a1 = a = 0, so every triangle has two equal corners (cell h = 0 shown).
  apply(m, MeshOp::Tube, {{0, 1}, {1, 3}, {3, 32}, {6, 32}});
  expectPools(m, 4, 8, 18);
  expectCell(m, 0, {0, 0, 1, 1, 0, 1}, {0, 1, 2, 2, 1, 3});
  apply(m, MeshOp::Tube, {{0, 0}, {1, -1}});  // counts clamp to 1
  expectPools(m, 2, 4, 6);
}

// The largest grid under the pool limit of 2^20 corners is built; one more cell per side is
// refused with a diagnostic and the mesh keeps its geometry. The same holds for spheres and tubes.
TEST_F(Generators, SegmentCountsStopAtTheCornerLimit) {
  static std::string last;
  setMeshDiagnosticHook([](const std::string& msg) { last = msg; });
  MeshObject m;
  apply(m, MeshOp::Grid, {{0, 418}, {1, 418}});
  EXPECT_EQ(m.cornerCount(), 6 * 418 * 418);  // 1048344
  // clang-format off
  const std::tuple<MeshOp, float, float, const char*> rows[] = {
      {MeshOp::Grid, 419, 419, "1053366 entries exceed the limit of 1048576"},  // 6 * 419 * 419
      {MeshOp::Sphere, 512, 342, "1050624 entries exceed"},                     // 6 * 512 * 342
      {MeshOp::Sphere, 3e9f, 3e9f, "exceed"}, {MeshOp::Tube, 3e9f, 3e9f, "exceed"},
      {MeshOp::Grid, 3e9f, 3e9f, "exceed"}};
  // clang-format on
  for (auto [op, a, b, says] : rows) {
    last.clear();
    apply(m, op, {{0, a}, {1, b}});
    EXPECT_EQ(m.cornerCount(), 6 * 418 * 418) << says;
    EXPECT_NE(last.find(says), std::string::npos) << last;
  }
}

// --- modifiers ---

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
      {"90 about X turns y to z", {0, 1, 0}, MeshOp::Transform, {{3, 90}}, {0, 0, 1}},
      // X first leaves x alone, then 90 about Y turns it to -z (Y first, then X, would give +y).
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
TEST(Normals, FlatAndSmoothByHandLinearEqualsPairwise) {
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

  // Linear smooth normals equal the pairwise definition bit for bit on random meshes with shared
  // positions, repeated positions inside a triangle and degenerate triangles.
  std::mt19937 rng(1234);
  std::uniform_real_distribution<float> coord(-5.0f, 5.0f);
  for (int round = 0; round < 40; ++round) {
    const uint32_t positions = rng() % 300 + 1, triangles = rng() % 300 + 1;
    MeshObject a, b;
    a.resizePositions(static_cast<int32_t>(positions));
    for (Vec3& p : a.positions) p = {coord(rng), coord(rng), coord(rng)};
    if (positions > 3) a.positions[1] = a.positions[0];  // coincident, still separate
    a.resizeCorners(static_cast<int32_t>(triangles * 3));
    for (Corner& c : a.corners) c.position = rng() % positions;
    b.positions = a.positions;
    b.corners = a.corners;
    meshops::smoothNormals(a);
    meshops::smoothNormalsPairwise(b);
    EXPECT_TRUE(sameBytes(a.normals, b.normals) && sameBytes(a.corners, b.corners)) << round;
  }
}

// u' = u * (p3 + 100) / 100 + p0 / 100, v' = v * (p4 + 100) / 100 + p1 / 100.
TEST(MapTexCoords, ScaleAndOffset) {
  // clang-format off
  const struct { Params p; Vec3 want; } rows[] = {  // parameters; then u0, v0, u1 expected
      {{}, {0.5f, 0.25f, 1.0f}},
      {{{0, 10}, {1, -50}, {3, 200}, {4, -50}}, {1.6f, -0.375f, 3.1f}},  // 0.5 * 3 + 0.1
      {{{0, 30}, {3, -100}}, {0.3f, 0.25f, 0.3f}}};                      // every u collapses
  // clang-format on
  for (const auto& [p, want] : rows) {
    MeshObject m;
    m.texCoords = {{0.5f, 0.25f}, {1.0f, 1.0f}};
    apply(m, MeshOp::MapTexCoords, p);
    expectVec({m.texCoords[0].u, m.texCoords[0].v, m.texCoords[1].u}, want, 1e-6f);
  }
}

// Displace moves a position once per corner that uses it, by normal * blue * amount * 0.00001.
TEST_F(RegistryTest, DisplaceByTheBlueChannel) {
  TextureObject* t = nullptr;
  for (uint32_t fill : {0xFF0000FFu, 0xFFFFFF00u}) {  // texture 0: blue 255; 1: blue 0
    t = add<TextureObject>(Category::Texture);
    t->resize(4);
    t->pixels.assign(16, fill);
  }
  t->pixels[1 * 4 + 2] = 0x00FFFF10u;  // texture 1, row 1, column 2: blue 16, the rest ignored
  MeshObject m;
  apply(m, MeshOp::Grid, {{0, 2}, {1, 2}, {3, 64}, {4, 64}});
  apply(m, MeshOp::Normals, {{0, 1}});
  const auto before = m.positions;
  // No texture, past the end, amount 0, black in blue where the grid samples.
  for (auto [texture, amount] : {std::pair{-1.0f, 250.0f}, {5.0f, 250.0f}, {0, 0}, {1.0f, 250.0f}})
    apply(m, MeshOp::Displace, {{0, texture}, {3, amount}});
  EXPECT_TRUE(sameBytes(m.positions, before));
  // Corner vertex 0 is used by one corner, the centre vertex 4 by six: 255 * 40 * 0.00001.
  apply(m, MeshOp::Displace, {{0, 0}, {3, 40}});
  expectVec({m.positions[0].z, m.positions[4].z}, {0.102f, 6 * 0.102f}, 1e-6f);

  // Flat normals: two for four positions, so each corner's own normal is used.
  apply(m, MeshOp::Grid, {{0, 1}, {1, 1}, {3, 64}, {4, 64}});
  apply(m, MeshOp::Normals, {{0, 0}});
  apply(m, MeshOp::Displace, {{0, 0}, {3, 100}});
  // 255 * 100 * 0.00001 once for position 0, twice for position 1.
  expectVec({m.positions[0].z, m.positions[1].z}, {0.255f, 2 * 0.255f}, 1e-6f);

  // Texture coordinates wrap: all three corners sample row 1, column 2 (blue 16) of texture 1.
  setMesh(m, {{0, 0, 0}}, {0, 0, 0});
  m.normals = {{0, 1, 0}};
  m.texCoords = {{0.5f, 0.25f}, {-0.5f, -0.75f}, {2.6f, 1.3f}};
  for (uint32_t k = 0; k < 3; ++k) m.corners[k].texCoord = k;
  apply(m, MeshOp::Displace, {{0, 1}, {3, 250}});
  expectVec(m.positions[0], {0, 3 * 0.04f, 0}, 1e-6f);  // 16 * 250 * 0.00001 three times
}

// --- render data: the tangent frames ---

// One triangle: tangent = normalize(T - N (N . T)) with T = (dv2 e1 - dv1 e2) / det, binormal =
// N x tangent, the same at all three corners.
TEST(RenderData, TangentFrames) {
  const float s = std::sqrt(0.5f);
  const Vec3 o, x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
  const std::array<Vec2, 3> unit = {{{0, 0}, {1, 0}, {0, 1}}},
                            same = {{{.3f, .3f}, {.3f, .3f}, {.3f, .3f}}};
  // clang-format off
  const struct { const char* what; std::array<Vec3, 3> p; std::array<Vec2, 3> t;
                 Vec3 n, tangent, binormal; } rows[] = {
      {"unit triangle", {o, x, y}, unit, z, x, y},
      {"equal texture coordinates: det 0", {o, x, y}, same, z, o, o},
      // e1 = (0, 0, 2), e2 = (0, 3, 0), det 1: T = (0, 0, 2), no normal to take away.
      {"zero normal keeps the raw tangent", {o, {0, 0, 2}, {0, 3, 0}}, unit, o, z, o},
      // T = (1, 0, 0), N = (s, 0, s): T - N s = (0.5, 0, -0.5); N x t = (0, 2 s s, 0).
      {"orthogonalised against the normal", {o, x, y}, unit, {s, 0, s}, {s, 0, -s}, y},
  };
  // clang-format on
  for (const auto& r : rows) {
    MeshObject m;
    m.positions = {r.p.begin(), r.p.end()};
    m.texCoords = {r.t.begin(), r.t.end()};
    m.normals = {r.n};
    m.corners = {{0, 0, 0}, {1, 0, 1}, {2, 0, 2}};
    m.buildRenderData();
    ASSERT_EQ(m.renderData.vertexCount(), 3);
    for (const RenderVertex& v : m.renderData.vertices) {
      expectVec(v.tangent, r.tangent, 1e-6f, r.what);
      expectVec(v.binormal, r.binormal, 1e-6f, r.what);
    }
  }
}

}  // namespace
}  // namespace glimmer::test
