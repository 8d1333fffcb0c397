// Render data: the 64-byte vertex, the per-corner expansion and the tangent frames.
#include <cmath>
#include <cstddef>

#include "mesh_test_util.h"

namespace glimmer::test {
namespace {

TEST(RenderVertex, LayoutMatchesTheBufferRecord) {
  EXPECT_EQ((std::array{offsetof(RenderVertex, position), offsetof(RenderVertex, normal),
                        offsetof(RenderVertex, tangent), offsetof(RenderVertex, binormal),
                        offsetof(RenderVertex, texCoord), offsetof(RenderVertex, spare)}),
            (std::array{kOffsetPosition, kOffsetNormal, kOffsetTangent, kOffsetBinormal,
                        kOffsetTexCoord, size_t{56}}));
}

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
    EXPECT_EQ(
        std::tuple(m.renderData.indices[i], v.position.z, v.normal.y, v.texCoord.u, v.spare[7]),
        std::tuple(i, m.positions[c.position].z, m.normals[c.normal].y, m.texCoords[c.texCoord].u,
                   0));
  }
}

}  // namespace
}  // namespace glimmer::test
