// Render data: one RenderVertex per corner with identity indices, and the tangent frames that the
// bump-mapping programs read.
#include "mesh/internal.h"

namespace glimmer {

using meshops::add;
using meshops::cross;
using meshops::dot;
using meshops::mul;
using meshops::normalize;
using meshops::sub;

void MeshObject::buildRenderData() {
  const size_t n = corners.size();
  renderData.vertices.assign(n, RenderVertex{});
  renderData.indices.assign(n, 0u);
  const Vec3 zero;
  const Vec2 zero2;
  for (size_t i = 0; i < n; ++i) {
    const Corner& c = corners[i];
    RenderVertex& v = renderData.vertices[i];
    // Indices are in range by construction; an out-of-range one reads as zero, never past a pool.
    v.position = c.position < positions.size() ? positions[c.position] : zero;
    v.normal = c.normal < normals.size() ? normals[c.normal] : zero;
    v.texCoord = c.texCoord < texCoords.size() ? texCoords[c.texCoord] : zero2;
    renderData.indices[i] = static_cast<uint32_t>(i);
  }
  renderData.computeTangents();
}

void MeshRenderData::computeTangents() {
  if (indices.empty()) return;
  const size_t triangles = indices.size() / 3;
  std::vector<Vec3> sums(vertices.size());
  const auto count = static_cast<uint32_t>(vertices.size());
  for (size_t t = 0; t < triangles; ++t) {
    const uint32_t i0 = indices[3 * t], i1 = indices[3 * t + 1], i2 = indices[3 * t + 2];
    if (i0 >= count || i1 >= count || i2 >= count) continue;
    const RenderVertex& v0 = vertices[i0];
    const RenderVertex& v1 = vertices[i1];
    const RenderVertex& v2 = vertices[i2];
    const Vec3 e1 = sub(v1.position, v0.position);
    const Vec3 e2 = sub(v2.position, v0.position);
    const float du1 = v1.texCoord.u - v0.texCoord.u, du2 = v2.texCoord.u - v0.texCoord.u;
    const float dv1 = v1.texCoord.v - v0.texCoord.v, dv2 = v2.texCoord.v - v0.texCoord.v;
    const float det = du1 * dv2 - du2 * dv1;
    const float r = det != 0.0f ? 1.0f / det : 0.0f;
    const Vec3 tangent{(dv2 * e1.x - dv1 * e2.x) * r, (dv2 * e1.y - dv1 * e2.y) * r,
                       (dv2 * e1.z - dv1 * e2.z) * r};
    sums[i0] = add(sums[i0], tangent);
    sums[i1] = add(sums[i1], tangent);
    sums[i2] = add(sums[i2], tangent);
  }
  for (size_t i = 0; i < vertices.size(); ++i) {
    RenderVertex& v = vertices[i];
    const Vec3 n = v.normal;
    const Vec3 a = sums[i];
    v.tangent = normalize(sub(a, mul(n, dot(n, a))));
    v.binormal = cross(n, v.tangent);
  }
}

}  // namespace glimmer
