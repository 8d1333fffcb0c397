// Mesh modifiers: Transform, Normals (flat and smooth), Twist, MapTexCoords, Displace. All
// arithmetic is single precision in the order the formulas are written.
#include <cmath>

#include "mesh/internal.h"

namespace glimmer::meshops {

Vec3 normalize(Vec3 v) {
  const float len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (len == 0.0f) return v;
  return {v.x / len, v.y / len, v.z / len};
}

Vec3 cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Mat3 rotationMatrix(float ax, float ay, float az) {
  const float sx = std::sin(ax), cx = std::cos(ax);
  const float sy = std::sin(ay), cy = std::cos(ay);
  const float sz = std::sin(az), cz = std::cos(az);
  Mat3 r;
  r.m[0][0] = cy * cz;
  r.m[0][1] = cy * sz;
  r.m[0][2] = -sy;
  r.m[1][0] = sx * sy * cz - cx * sz;
  r.m[1][1] = sx * sy * sz + cx * cz;
  r.m[1][2] = sx * cy;
  r.m[2][0] = cx * sy * cz + sx * sz;
  r.m[2][1] = cx * sy * sz - sx * cz;
  r.m[2][2] = cx * cy;
  return r;
}

void transformPositions(MeshObject& mesh, const Params& p) {
  const Vec3 t{p[0] / 32.0f, p[1] / 32.0f, p[2] / 32.0f};
  const Mat3 r = rotationMatrix(radians(p[3]), radians(p[4]), radians(p[5]));
  const float s[3] = {(p[6] + 100.0f) / 100.0f, (p[7] + 100.0f) / 100.0f, (p[8] + 100.0f) / 100.0f};
  Mat3 m;  // S x R: row i of R scaled by s[i]
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m.m[i][j] = s[i] * r.m[i][j];
  for (Vec3& q : mesh.positions) {
    const Vec3 o = q;
    q.x = o.x * m.m[0][0] + o.y * m.m[1][0] + o.z * m.m[2][0] + t.x;
    q.y = o.x * m.m[0][1] + o.y * m.m[1][1] + o.z * m.m[2][1] + t.y;
    q.z = o.x * m.m[0][2] + o.y * m.m[1][2] + o.z * m.m[2][2] + t.z;
  }
}

Vec3 faceNormal(const MeshObject& mesh, int32_t t) {
  const Corner* c = &mesh.corners[static_cast<size_t>(t) * 3];
  const Vec3 p0 = mesh.positions[c[0].position];
  const Vec3 p1 = mesh.positions[c[1].position];
  const Vec3 p2 = mesh.positions[c[2].position];
  return normalize(cross(sub(p0, p2), sub(p1, p2)));
}

void flatNormals(MeshObject& mesh) {
  const int32_t triangles = mesh.cornerCount() / 3;
  mesh.resizeNormals(triangles);
  for (int32_t t = 0; t < triangles; ++t) {
    mesh.normals[static_cast<size_t>(t)] = faceNormal(mesh, t);
    for (int k = 0; k < 3; ++k) mesh.corners[static_cast<size_t>(t) * 3 + static_cast<size_t>(k)].normal =
        static_cast<uint32_t>(t);
  }
}

void smoothNormals(MeshObject& mesh) {
  const int32_t triangles = mesh.cornerCount() / 3;
  std::vector<Vec3> sums(mesh.positions.size());
  for (int32_t t = 0; t < triangles; ++t) {
    const Vec3 f = faceNormal(mesh, t);
    const Corner* c = &mesh.corners[static_cast<size_t>(t) * 3];
    const uint32_t a = c[0].position, b = c[1].position, d = c[2].position;
    // Each triangle counts once per distinct position, however many of its corners share it.
    sums[a] = add(sums[a], f);
    if (b != a) sums[b] = add(sums[b], f);
    if (d != a && d != b) sums[d] = add(sums[d], f);
  }
  mesh.resizeNormals(mesh.positionCount());
  for (size_t i = 0; i < sums.size(); ++i) mesh.normals[i] = normalize(sums[i]);
  for (Corner& c : mesh.corners) c.normal = c.position;
}

void smoothNormalsPairwise(MeshObject& mesh) {
  const int32_t triangles = mesh.cornerCount() / 3;
  std::vector<Vec3> faces(static_cast<size_t>(triangles));
  for (int32_t t = 0; t < triangles; ++t) faces[static_cast<size_t>(t)] = faceNormal(mesh, t);
  mesh.resizeNormals(mesh.positionCount());
  for (int32_t i = 0; i < mesh.positionCount(); ++i) {
    Vec3 sum;
    for (int32_t t = 0; t < triangles; ++t) {
      const Corner* c = &mesh.corners[static_cast<size_t>(t) * 3];
      const auto ui = static_cast<uint32_t>(i);
      if (c[0].position == ui || c[1].position == ui || c[2].position == ui)
        sum = add(sum, faces[static_cast<size_t>(t)]);
    }
    mesh.normals[static_cast<size_t>(i)] = normalize(sum);
  }
  for (Corner& c : mesh.corners) c.normal = c.position;
}

void twist(MeshObject& mesh, const Params& p) {
  const float k = radians(p[0]);
  const Vec3 q{p[3] / 32.0f, p[4] / 32.0f, p[5] / 32.0f};
  for (Vec3& v : mesh.positions) {
    const Vec3 e = sub(v, q);
    const float d = std::sqrt(e.x * e.x + e.y * e.y + e.z * e.z);
    const float theta = d * k * 10.0f;
    const float c = std::cos(theta);
    const float s = std::sin(theta);
    const float x = v.x, z = v.z;
    v.x = x * c + z * s;
    v.z = z * c - x * s;
  }
}

void mapTexCoords(MeshObject& mesh, const Params& p) {
  const float ou = p[0] / 100.0f, ov = p[1] / 100.0f;
  const float su = (p[3] + 100.0f) / 100.0f, sv = (p[4] + 100.0f) / 100.0f;
  for (Vec2& t : mesh.texCoords) t = {t.u * su + ou, t.v * sv + ov};
}

void displace(MeshObject& mesh, const uint32_t* pixels, int32_t size, float amount) {
  if (!pixels || size <= 0) return;
  const auto wrap = [size](int32_t x) {
    int32_t m = x % size;
    return m < 0 ? m + size : m;
  };
  const auto normalCount = static_cast<uint32_t>(mesh.normals.size());
  const float s = static_cast<float>(size);
  for (const Corner& c : mesh.corners) {
    Vec3& pos = mesh.positions[c.position];
    const Vec2 uv = mesh.texCoords[c.texCoord];
    // The normal of the position, as smooth normals store it; with fewer normals than positions
    // (flat normals, or none computed) the corner's own normal is used instead.
    const uint32_t ni = c.position < normalCount ? c.position : c.normal;
    const Vec3 n = ni < normalCount ? mesh.normals[ni] : Vec3{};
    const int32_t row = wrap(toInt(s * uv.v));
    const int32_t column = wrap(toInt(s * uv.u));
    const uint32_t texel = pixels[static_cast<size_t>(row) * static_cast<size_t>(size) + static_cast<size_t>(column)];
    const float h = static_cast<float>(texel & 0xFFu);
    pos = add(pos, mul(mul(n, h * amount), 0.00001f));
  }
}

}  // namespace glimmer::meshops
