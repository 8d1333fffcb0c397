// Primitive generators: Grid, Sphere and Tube. Each replaces the four pools, writes outward-facing
// triangles (counter-clockwise from outside), shares positions between neighbouring cells and
// duplicates texture coordinates along the texture seam, then resets the normals.
#include <algorithm>
#include <cmath>

#include "mesh/internal.h"

namespace glimmer::meshops {

namespace {

// Checks the pool sizes a generator is about to create; reports and refuses oversized requests.
bool sizesFit(const char* what, std::initializer_list<int64_t> counts) {
  for (int64_t c : counts) {
    if (c > kMaxPoolEntries) {
      diagnostic(std::string(what) + ": " + std::to_string(c) + " entries exceed the limit of " +
                 std::to_string(kMaxPoolEntries) + "; the mesh is left unchanged");
      return false;
    }
  }
  return true;
}

void setCorner(Corner& c, uint32_t position, uint32_t texCoord) {
  c.position = position;
  c.normal = 0;
  c.texCoord = texCoord;
}

}  // namespace

bool buildGrid(MeshObject& mesh, const Params& p) {
  const int32_t nx = std::max(1, toInt(p[0]));
  const int32_t ny = std::max(1, toInt(p[1]));
  // Each dimension first, so that the products below cannot overflow.
  if (!sizesFit("Grid", {nx, ny})) return false;
  const float w = p[3] / 32.0f;
  const float d = p[4] / 32.0f;
  const int64_t vertices = (int64_t{nx} + 1) * (int64_t{ny} + 1);
  const int64_t cornerTotal = 6 * int64_t{nx} * ny;
  if (!sizesFit("Grid", {vertices, cornerTotal})) return false;

  mesh.resizePositions(static_cast<int32_t>(vertices));
  mesh.resizeTexCoords(static_cast<int32_t>(vertices));
  mesh.resizeCorners(static_cast<int32_t>(cornerTotal));

  const float invX = 1.0f / static_cast<float>(nx);
  const float invY = 1.0f / static_cast<float>(ny);
  const float sx = invX * w;
  const float sy = invY * d;
  for (int32_t i = 0; i <= nx; ++i) {
    for (int32_t j = 0; j <= ny; ++j) {
      const size_t k = static_cast<size_t>(i) * static_cast<size_t>(ny + 1) + static_cast<size_t>(j);
      const float fi = static_cast<float>(i);
      const float fj = static_cast<float>(j);
      mesh.positions[k] = {fi * sx - 0.5f * w, fj * sy - 0.5f * d, 0.0f};
      mesh.texCoords[k] = {fi * invX, fj * invY};
    }
  }
  size_t base = 0;
  for (int32_t i = 0; i < nx; ++i) {
    for (int32_t j = 0; j < ny; ++j) {
      const auto a = static_cast<uint32_t>((ny + 1) * i + j);
      const auto b = static_cast<uint32_t>((ny + 1) * (i + 1) + j);
      const uint32_t tri[6] = {a, b, a + 1, a + 1, b, b + 1};
      for (int c = 0; c < 6; ++c) setCorner(mesh.corners[base + static_cast<size_t>(c)], tri[c], tri[c]);
      base += 6;
    }
  }
  mesh.resetNormals();
  return true;
}

bool buildSphere(MeshObject& mesh, const Params& p) {
  const int32_t nu = std::max(3, toInt(p[0]));
  const int32_t nv = std::max(3, toInt(p[1]));
  // Each dimension first, so that the products below cannot overflow.
  if (!sizesFit("Sphere", {nu, nv})) return false;
  const float r = p[3] / 32.0f;
  const int64_t positionTotal = (int64_t{nu} + 1) * nv + 2;
  const int64_t texTotal = (int64_t{nu} + 2) * (int64_t{nv} + 2);
  const int64_t cornerTotal = 6 * int64_t{nu} * nv;
  if (!sizesFit("Sphere", {positionTotal, texTotal, cornerTotal})) return false;

  mesh.resizePositions(static_cast<int32_t>(positionTotal));
  mesh.resizeTexCoords(static_cast<int32_t>(texTotal));
  mesh.resizeCorners(static_cast<int32_t>(cornerTotal));

  const float invU = 1.0f / static_cast<float>(nu);
  const float invV = 1.0f / static_cast<float>(nv);
  size_t pi = 0;
  size_t ti = 0;
  for (int32_t v = 0; v <= nv + 1; ++v) {
    const float phi = ((static_cast<float>(v) - 0.5f * static_cast<float>(nv)) * invV) * kPi;
    const float cphi = std::cos(phi);
    const float sphi = std::sin(phi);
    for (int32_t u = 0; u <= nu + 1; ++u) {
      if (v >= 1 && v <= nv && u <= nu) {
        const float theta = 2.0f * (static_cast<float>(u) * invU) * kPi;
        mesh.positions[pi++] = {r * cphi * std::cos(theta), r * sphi, r * cphi * std::sin(theta)};
      }
      mesh.texCoords[ti++] = {static_cast<float>(u) * invU, static_cast<float>(v) * invV};
    }
  }
  const auto north = static_cast<uint32_t>((nu + 1) * nv);
  const uint32_t south = north + 1;
  mesh.positions[north] = {0.0f, r, 0.0f};
  mesh.positions[south] = {0.0f, -r, 0.0f};

  size_t base = 0;
  for (int32_t v = 0; v < nv; ++v) {
    for (int32_t u = 0; u < nu; ++u) {
      const auto t00 = static_cast<uint32_t>(v * (nu + 2) + u);
      const uint32_t t01 = t00 + 1;
      const auto t10 = static_cast<uint32_t>((v + 1) * (nu + 2) + u);
      const uint32_t t11 = t10 + 1;
      const int32_t u1 = (u == nu - 1) ? 0 : u + 1;
      uint32_t p00 = static_cast<uint32_t>((v - 1) * (nu + 1) + u);
      uint32_t p01 = static_cast<uint32_t>((v - 1) * (nu + 1) + u1);
      uint32_t p10 = static_cast<uint32_t>(v * (nu + 1) + u);
      uint32_t p11 = static_cast<uint32_t>(v * (nu + 1) + u1);
      if (v == 0) p00 = p01 = south;
      if (v == nv - 1) p10 = p11 = north;
      Corner* c = &mesh.corners[base];
      setCorner(c[0], p00, t00);
      setCorner(c[1], p10, t10);
      setCorner(c[2], p01, t01);
      setCorner(c[3], p10, t10);
      setCorner(c[4], p11, t11);
      setCorner(c[5], p01, t01);
      base += 6;
    }
  }
  mesh.resetNormals();
  return true;
}

bool buildTube(MeshObject& mesh, const Params& p) {
  const int32_t na = std::max(1, toInt(p[0]));
  const int32_t nh = std::max(1, toInt(p[1]));
  // Each dimension first, so that the products below cannot overflow.
  if (!sizesFit("Tube", {na, nh})) return false;
  const float r = p[3] / 32.0f;
  const float len = p[6] / 32.0f;
  const int64_t positionTotal = int64_t{na} * (int64_t{nh} + 1);
  const int64_t texTotal = (int64_t{na} + 1) * (int64_t{nh} + 1);
  const int64_t cornerTotal = 6 * int64_t{na} * nh;
  if (!sizesFit("Tube", {positionTotal, texTotal, cornerTotal})) return false;

  mesh.resizePositions(static_cast<int32_t>(positionTotal));
  mesh.resizeTexCoords(static_cast<int32_t>(texTotal));
  mesh.resizeCorners(static_cast<int32_t>(cornerTotal));

  const float invA = 1.0f / static_cast<float>(na);
  const float invH = 1.0f / static_cast<float>(nh);
  for (int32_t a = 0; a <= na; ++a) {
    const int32_t a1 = (a + 1 >= na) ? 0 : a + 1;
    const float alpha = (static_cast<float>(a) * invA) * kTubeTurn;
    const float xa = std::sin(alpha) * r;
    const float za = std::cos(alpha) * r;
    for (int32_t h = 0; h <= nh; ++h) {
      mesh.texCoords[static_cast<size_t>(h * (na + 1) + a)] = {static_cast<float>(a) * invA,
                                                               static_cast<float>(h) * invH};
      if (a >= na) continue;
      mesh.positions[static_cast<size_t>(h * na + a1)] = {
          xa, (static_cast<float>(h) * invH - 0.5f) * len, za};
      if (h >= nh) continue;
      const auto r0 = static_cast<uint32_t>(h * na);
      const auto r1 = static_cast<uint32_t>((h + 1) * na);
      const auto q0 = static_cast<uint32_t>(h * (na + 1));
      const auto q1 = static_cast<uint32_t>((h + 1) * (na + 1));
      const auto ua = static_cast<uint32_t>(a);
      const auto ua1 = static_cast<uint32_t>(a1);
      Corner* c = &mesh.corners[static_cast<size_t>(h * na + a) * 6];
      setCorner(c[0], r0 + ua, q0 + ua);
      setCorner(c[1], r0 + ua1, q0 + ua + 1);
      setCorner(c[2], r1 + ua, q1 + ua);
      setCorner(c[3], r1 + ua, q1 + ua);
      setCorner(c[4], r0 + ua1, q0 + ua + 1);
      setCorner(c[5], r1 + ua1, q1 + ua + 1);
    }
  }
  mesh.resetNormals();
  return true;
}

}  // namespace glimmer::meshops
