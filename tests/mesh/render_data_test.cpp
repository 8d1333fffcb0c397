// Render data: the 64-byte vertex, the per-corner expansion and the tangent frames.
#include <cmath>
#include <cstddef>

#include "mesh_test_util.h"

namespace glimmer::test {
namespace {

TEST(RenderVertex, LayoutMatchesTheBufferRecord) {
  EXPECT_EQ(sizeof(RenderVertex), 64u);
  EXPECT_EQ(offsetof(RenderVertex, position), kOffsetPosition);
  EXPECT_EQ(offsetof(RenderVertex, normal), kOffsetNormal);
  EXPECT_EQ(offsetof(RenderVertex, tangent), kOffsetTangent);
  EXPECT_EQ(offsetof(RenderVertex, binormal), kOffsetBinormal);
  EXPECT_EQ(offsetof(RenderVertex, texCoord), kOffsetTexCoord);
  EXPECT_EQ(offsetof(RenderVertex, spare), 56u);
}

// One triangle with the given positions and texture coordinates and a chosen normal.
MeshObject& triangle(MeshObject& m, std::array<Vec3, 3> p, std::array<Vec2, 3> t, Vec3 n) {
  m.resizePositions(3);
  m.resizeTexCoords(3);
  m.resizeNormals(1);
  m.resizeCorners(3);
  for (uint32_t i = 0; i < 3; ++i) {
    m.positions[i] = p[i];
    m.texCoords[i] = t[i];
    m.corners[i] = {i, 0, i};
  }
  m.normals[0] = n;
  return m;
}

TEST(RenderData, UnitTriangleTangentFrame) {
  MeshObject m;
  triangle(m, {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}}, {{{0, 0}, {1, 0}, {0, 1}}}, {0, 0, 1});
  m.buildRenderData();
  ASSERT_EQ(m.renderData.vertexCount(), 3);
  for (const RenderVertex& v : m.renderData.vertices) {
    EXPECT_VEC3_EQ(v.tangent, 1.0f, 0.0f, 0.0f);
    EXPECT_VEC3_EQ(v.binormal, 0.0f, 1.0f, 0.0f);
    EXPECT_VEC3_EQ(v.normal, 0.0f, 0.0f, 1.0f);
  }
}

TEST(RenderData, EqualTexCoordsGiveZeroFrame) {
  MeshObject m;
  triangle(m, {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}}, {{{0.3f, 0.3f}, {0.3f, 0.3f}, {0.3f, 0.3f}}},
           {0, 0, 1});
  m.buildRenderData();
  for (const RenderVertex& v : m.renderData.vertices) {
    EXPECT_VEC3_EQ(v.tangent, 0.0f, 0.0f, 0.0f);
    EXPECT_VEC3_EQ(v.binormal, 0.0f, 0.0f, 0.0f);
  }
}

TEST(RenderData, ZeroNormalKeepsTheRawTangent) {
  MeshObject m;
  triangle(m, {{{0, 0, 0}, {0, 0, 2}, {0, 3, 0}}}, {{{0, 0}, {1, 0}, {0, 1}}}, {0, 0, 0});
  m.buildRenderData();
  for (const RenderVertex& v : m.renderData.vertices) {
    EXPECT_VEC3_EQ(v.tangent, 0.0f, 0.0f, 1.0f);
    EXPECT_VEC3_EQ(v.binormal, 0.0f, 0.0f, 0.0f);
  }
}

TEST(RenderData, TangentIsOrthogonalisedAgainstTheNormal) {
  MeshObject m;
  const float s = std::sqrt(0.5f);
  triangle(m, {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}}, {{{0, 0}, {1, 0}, {0, 1}}}, {s, 0, s});
  m.buildRenderData();
  const RenderVertex& v = m.renderData.vertices[0];
  EXPECT_NEAR(meshops::dot(v.tangent, v.normal), 0.0f, 1e-6);
  EXPECT_VEC3_NEAR(v.tangent, s, 0.0f, -s, 1e-6);
}

TEST(RenderData, ExpandsEveryCornerWithIdentityIndices) {
  MeshObject m;
  apply(m, MeshOp::Sphere, {{0, 5}, {1, 4}, {3, 32}});
  apply(m, MeshOp::Normals, {{0, 1}});
  m.buildRenderData();
  ASSERT_EQ(m.renderData.vertexCount(), m.cornerCount());
  ASSERT_EQ(m.renderData.indexCount(), m.cornerCount());
  for (size_t i = 0; i < m.corners.size(); ++i) {
    const Corner& c = m.corners[i];
    const RenderVertex& v = m.renderData.vertices[i];
    EXPECT_EQ(m.renderData.indices[i], i);
    EXPECT_EQ(v.position.x, m.positions[c.position].x);
    EXPECT_EQ(v.normal.y, m.normals[c.normal].y);
    EXPECT_EQ(v.texCoord.u, m.texCoords[c.texCoord].u);
    EXPECT_EQ(v.spare[0] | v.spare[7], 0);
  }
}

TEST(RenderData, EmptyMeshHasEmptyArrays) {
  MeshObject m;
  apply(m, MeshOp::Grid, {{3, 32}, {4, 32}});
  m.buildRenderData();
  EXPECT_EQ(m.renderData.vertexCount(), 6);
  m.clear();
  m.buildRenderData();
  EXPECT_EQ(m.renderData.vertexCount(), 0);
  EXPECT_EQ(m.renderData.indexCount(), 0);
}

}  // namespace
}  // namespace glimmer::test
