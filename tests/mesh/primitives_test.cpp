// Grid, Sphere and Tube: pool sizes, index layouts, seams, poles and degenerate cases.
#include <cmath>

#include "mesh_test_util.h"

namespace glimmer::test {
namespace {

void expectCorner(const MeshObject& m, size_t i, uint32_t position, uint32_t texCoord) {
  EXPECT_EQ(m.corners[i].position, position) << "corner " << i;
  EXPECT_EQ(m.corners[i].texCoord, texCoord) << "corner " << i;
  EXPECT_EQ(m.corners[i].normal, 0u) << "corner " << i;
}

void expectZeroNormal(const MeshObject& m) {
  ASSERT_EQ(m.normalCount(), 1);
  EXPECT_VEC3_EQ(m.normals[0], 0.0f, 0.0f, 0.0f);
  for (const Corner& c : m.corners) EXPECT_EQ(c.normal, 0u);
}

TEST(Grid, OneCellWorkedExample) {
  MeshObject m;
  apply(m, MeshOp::Grid, {{0, 0}, {1, 0}, {3, 64}, {4, 64}});
  ASSERT_EQ(m.positionCount(), 4);
  ASSERT_EQ(m.texCoordCount(), 4);
  ASSERT_EQ(m.cornerCount(), 6);
  EXPECT_VEC3_EQ(m.positions[0], -1.0f, -1.0f, 0.0f);
  EXPECT_VEC3_EQ(m.positions[1], -1.0f, 1.0f, 0.0f);
  EXPECT_VEC3_EQ(m.positions[2], 1.0f, -1.0f, 0.0f);
  EXPECT_VEC3_EQ(m.positions[3], 1.0f, 1.0f, 0.0f);
  const float tex[4][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_FLOAT_EQ(m.texCoords[i].u, tex[i][0]);
    EXPECT_FLOAT_EQ(m.texCoords[i].v, tex[i][1]);
  }
  const uint32_t tri[6] = {0, 2, 1, 1, 2, 3};
  for (size_t i = 0; i < 6; ++i) expectCorner(m, i, tri[i], tri[i]);
  expectZeroNormal(m);
}

TEST(Grid, SizesLayoutAndTruncation) {
  MeshObject m;
  apply(m, MeshOp::Grid, {{0, 3.9f}, {1, 2}, {3, 96}, {4, 32}});  // nx = 3, ny = 2
  EXPECT_EQ(m.positionCount(), 12);
  EXPECT_EQ(m.texCoordCount(), 12);
  EXPECT_EQ(m.cornerCount(), 36);
  // Cell (i = 1, j = 1) is cell number 3: a = 3 * 1 + 1 = 4, b = 3 * 2 + 1 = 7.
  const uint32_t tri[6] = {4, 7, 5, 5, 7, 8};
  for (size_t k = 0; k < 6; ++k) expectCorner(m, 18 + k, tri[k], tri[k]);
  EXPECT_VEC3_EQ(m.positions[11], 1.5f, 0.5f, 0.0f);
  EXPECT_FLOAT_EQ(m.texCoords[5].u, 1.0f / 3.0f);
  EXPECT_FLOAT_EQ(m.texCoords[5].v, 1.0f);
}

TEST(Grid, ReplacesEarlierGeometry) {
  MeshObject m;
  apply(m, MeshOp::Sphere, {{0, 8}, {1, 8}, {3, 32}});
  apply(m, MeshOp::Normals, {{0, 1}});
  apply(m, MeshOp::Grid, {{0, 1}, {1, 1}, {3, 32}, {4, 32}});
  EXPECT_EQ(m.positionCount(), 4);
  EXPECT_EQ(m.texCoordCount(), 4);
  EXPECT_EQ(m.cornerCount(), 6);
  expectZeroNormal(m);
}

TEST(Sphere, ThreeByThreeWorkedExample) {
  MeshObject m;
  apply(m, MeshOp::Sphere, {{0, 3}, {1, 3}, {3, 32}});
  ASSERT_EQ(m.positionCount(), 14);
  ASSERT_EQ(m.texCoordCount(), 25);
  ASSERT_EQ(m.cornerCount(), 54);
  const float c30 = std::sqrt(3.0f) / 2.0f;
  EXPECT_VEC3_NEAR(m.positions[0], c30, -0.5f, 0.0f, 1e-5);
  EXPECT_VEC3_NEAR(m.positions[4], c30, 0.5f, 0.0f, 1e-5);
  EXPECT_VEC3_NEAR(m.positions[3], c30, -0.5f, 0.0f, 1e-5);  // the seam point lies on the first
  for (int i = 8; i < 12; ++i) EXPECT_VEC3_NEAR(m.positions[i], 0.0f, 1.0f, 0.0f, 1e-5);
  EXPECT_VEC3_EQ(m.positions[12], 0.0f, 1.0f, 0.0f);
  EXPECT_VEC3_EQ(m.positions[13], 0.0f, -1.0f, 0.0f);
  // Texture rows of nu + 2 entries; the last is (4/3, 4/3).
  EXPECT_FLOAT_EQ(m.texCoords[24].u, 4.0f / 3.0f);
  EXPECT_FLOAT_EQ(m.texCoords[24].v, 4.0f / 3.0f);
  EXPECT_FLOAT_EQ(m.texCoords[6].u, 1.0f / 3.0f);
  EXPECT_FLOAT_EQ(m.texCoords[6].v, 1.0f / 3.0f);
  expectZeroNormal(m);
}

TEST(Sphere, SeamCellAndPoleBands) {
  MeshObject m;
  apply(m, MeshOp::Sphere, {{0, 2}, {1, -5}, {3, 32}});  // both clamp to 3
  ASSERT_EQ(m.cornerCount(), 54);
  // Cell v = 1, u = 2 (number 5): u1 wraps to 0 for positions, texture indices do not wrap.
  const uint32_t pos[6] = {2, 6, 0, 6, 4, 0};
  const uint32_t tex[6] = {7, 12, 8, 12, 13, 8};
  for (size_t k = 0; k < 6; ++k) expectCorner(m, 30 + k, pos[k], tex[k]);
  for (int u = 0; u < 3; ++u) {
    const size_t first = static_cast<size_t>(u) * 6;  // band v = 0
    EXPECT_EQ(m.corners[first].position, 13u);
    EXPECT_EQ(m.corners[first + 2].position, 13u);
    EXPECT_EQ(m.corners[first + 5].position, 13u);
    EXPECT_NE(m.corners[first + 3].position, 13u);
    const size_t last = (2 * 3 + static_cast<size_t>(u)) * 6;  // band v = nv - 1
    EXPECT_EQ(m.corners[last + 1].position, 12u);
    EXPECT_NE(m.corners[last].position, 12u);
    EXPECT_EQ(m.corners[last + 3].position, 12u);
    EXPECT_EQ(m.corners[last + 4].position, 12u);
  }
  // The north-pole ring (8 to 11) is never referenced.
  for (const Corner& c : m.corners) EXPECT_TRUE(c.position < 8 || c.position >= 12);
}

TEST(Tube, FourSegmentWorkedExample) {
  MeshObject m;
  apply(m, MeshOp::Tube, {{0, 4}, {1, 1}, {3, 32}, {6, 64}});
  ASSERT_EQ(m.positionCount(), 8);
  ASSERT_EQ(m.texCoordCount(), 10);
  ASSERT_EQ(m.cornerCount(), 24);
  EXPECT_VEC3_NEAR(m.positions[1], 0.0f, -1.0f, 1.0f, 1e-6);
  EXPECT_VEC3_NEAR(m.positions[2], 1.0f, -1.0f, 0.0f, 2e-3);
  EXPECT_VEC3_NEAR(m.positions[0], -1.0f, -1.0f, 0.0f, 5e-3);
  // 6.28 rather than 2 pi: step 3 sits a little short of -90 degrees.
  EXPECT_FLOAT_EQ(m.positions[0].x, std::sin(3.0f * 0.25f * 6.28f));
  for (int k = 0; k < 4; ++k) {
    EXPECT_FLOAT_EQ(m.positions[4 + k].x, m.positions[k].x);
    EXPECT_FLOAT_EQ(m.positions[4 + k].y, 1.0f);
  }
  const uint32_t pos0[6] = {0, 1, 4, 4, 1, 5}, tex0[6] = {0, 1, 5, 5, 1, 6};
  for (size_t k = 0; k < 6; ++k) expectCorner(m, k, pos0[k], tex0[k]);
  const uint32_t pos3[6] = {3, 0, 7, 7, 0, 4}, tex3[6] = {3, 4, 8, 8, 4, 9};
  for (size_t k = 0; k < 6; ++k) expectCorner(m, 18 + k, pos3[k], tex3[k]);
  EXPECT_FLOAT_EQ(m.texCoords[9].u, 1.0f);
  EXPECT_FLOAT_EQ(m.texCoords[9].v, 1.0f);
  expectZeroNormal(m);
}

TEST(Tube, DegenerateSegmentCounts) {
  MeshObject one;
  apply(one, MeshOp::Tube, {{0, 1}, {1, 3}, {3, 32}, {6, 32}});
  ASSERT_EQ(one.positionCount(), 4);
  ASSERT_EQ(one.cornerCount(), 18);
  for (size_t t = 0; t < 6; ++t) {
    const Corner* c = &one.corners[t * 3];
    const bool degenerate = c[0].position == c[1].position || c[1].position == c[2].position ||
                            c[0].position == c[2].position;
    EXPECT_TRUE(degenerate) << "triangle " << t;
  }
  MeshObject two;  // a flat double strip: both slots lie in the plane x = 0
  apply(two, MeshOp::Tube, {{0, 2}, {1, 1}, {3, 32}, {6, 32}});
  ASSERT_EQ(two.positionCount(), 4);
  for (const Vec3& p : two.positions) EXPECT_NEAR(p.x, 0.0f, 2e-3);
  MeshObject clamp;
  apply(clamp, MeshOp::Tube, {{0, 0}, {1, -1}});
  EXPECT_EQ(clamp.positionCount(), 2);
  EXPECT_EQ(clamp.cornerCount(), 6);
}

// The largest grid under the pool limit of 2^20 corners is built; one more cell per side is
// refused with a diagnostic and the mesh keeps its geometry. The same holds for spheres.
TEST(Generators, SegmentCountsStopAtTheCornerLimit) {
  static std::string last;
  setMeshDiagnosticHook([](const std::string& msg) { last = msg; });
  MeshObject m;
  apply(m, MeshOp::Grid, {{0, 418}, {1, 418}});
  EXPECT_EQ(m.cornerCount(), 6 * 418 * 418);
  EXPECT_LE(m.cornerCount(), 1 << 20);
  last.clear();
  apply(m, MeshOp::Grid, {{0, 419}, {1, 419}});
  EXPECT_EQ(m.cornerCount(), 6 * 418 * 418);
  EXPECT_NE(last.find("1053366 entries exceed the limit of 1048576"), std::string::npos) << last;
  last.clear();
  for (MeshOp op : {MeshOp::Sphere, MeshOp::Tube, MeshOp::Grid}) {
    last.clear();
    apply(m, op, {{0, 3e9f}, {1, 3e9f}});
    EXPECT_EQ(m.cornerCount(), 6 * 418 * 418);
    EXPECT_NE(last.find("exceed the limit of 1048576"), std::string::npos) << last;
  }
  apply(m, MeshOp::Sphere, {{0, 512}, {1, 342}});
  EXPECT_EQ(m.cornerCount(), 6 * 418 * 418);
  setMeshDiagnosticHook(nullptr);
}

}  // namespace
}  // namespace glimmer::test
