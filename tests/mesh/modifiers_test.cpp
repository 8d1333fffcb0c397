// Transform, Normals, Twist, MapTexCoords and Displace, and linear smooth normals against the
// pairwise definition.
#include <cmath>
#include <cstring>
#include <random>

#include "mesh_test_util.h"
#include "texgen/texgen.h"

namespace glimmer::test {
namespace {

MeshObject& singlePoint(MeshObject& m, Vec3 p) {
  m.resizePositions(1);
  m.positions[0] = p;
  return m;
}

TEST(Transform, IdentityLeavesPositionsBitExact) {
  MeshObject m;
  apply(m, MeshOp::Sphere, {{0, 7}, {1, 5}, {3, 45}});
  const auto before = m.positions;
  apply(m, MeshOp::Transform);
  for (size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(m.positions[i].x, before[i].x);
    EXPECT_EQ(m.positions[i].y, before[i].y);
    EXPECT_EQ(m.positions[i].z, before[i].z);
  }
}

// One point moved by Transform or Twist; expected positions by hand.
TEST(Transform, OnePointTables) {
  const struct {
    const char* what;
    Vec3 from;
    MeshOp op;
    std::initializer_list<std::pair<int, float>> p;
    Vec3 to;
  } rows[] = {
      {"90 about Y turns x to -z", {1, 0, 0}, MeshOp::Transform, {{4, 90}}, {0, 0, -1}},
      {"90 about X turns y to z", {0, 1, 0}, MeshOp::Transform, {{3, 90}}, {0, 0, 1}},
      // x scale 2, then 90 about Z: (0, 2, 0); then translate by (1, 1, 1).
      {"scale, rotate, translate",
       {1, 0, 0},
       MeshOp::Transform,
       {{0, 32}, {1, 32}, {2, 32}, {5, 90}, {6, 100}},
       {1, 3, 1}},
      // Distance 1 from the centre, rate 9 degrees per 1/10 unit: 90 degrees about Y.
      {"twist by distance", {1, 0, 0}, MeshOp::Twist, {{0, 9}}, {0, 0, -1}},
      {"twist centre stays",
       {1, 2, 0.5f},
       MeshOp::Twist,
       {{0, 45}, {3, 32}, {4, 64}, {5, 16}},
       {1, 2, 0.5f}},
  };
  for (const auto& r : rows) {
    MeshObject m;
    singlePoint(m, r.from);
    apply(m, r.op, r.p);
    EXPECT_NEAR(m.positions[0].x, r.to.x, 1e-5) << r.what;
    EXPECT_NEAR(m.positions[0].y, r.to.y, 1e-5) << r.what;
    EXPECT_NEAR(m.positions[0].z, r.to.z, 1e-5) << r.what;
  }
}

TEST(Normals, FlatAfterGridFacesPlusZ) {
  MeshObject m;
  apply(m, MeshOp::Grid, {{0, 3}, {1, 2}, {3, 64}, {4, 32}});
  apply(m, MeshOp::Normals, {{0, 0}});
  ASSERT_EQ(m.normalCount(), 12);
  for (const Vec3& n : m.normals) EXPECT_VEC3_EQ(n, 0.0f, 0.0f, 1.0f);
  for (size_t i = 0; i < m.corners.size(); ++i) EXPECT_EQ(m.corners[i].normal, i / 3);
}

TEST(Normals, SmoothAfterSpherePointsOutward) {
  MeshObject m;
  apply(m, MeshOp::Sphere, {{0, 12}, {1, 8}, {3, 64}});
  apply(m, MeshOp::Normals, {{0, 1}});
  ASSERT_EQ(m.normalCount(), m.positionCount());
  std::vector<bool> used(m.positions.size());
  for (const Corner& c : m.corners) {
    used[c.position] = true;
    EXPECT_EQ(c.normal, c.position);
  }
  for (size_t i = 0; i < m.positions.size(); ++i) {
    const Vec3 n = m.normals[i];
    if (!used[i]) {
      EXPECT_VEC3_EQ(n, 0.0f, 0.0f, 0.0f);
      continue;
    }
    EXPECT_NEAR(meshops::dot(n, n), 1.0f, 1e-5);
    const Vec3 dir = meshops::normalize(m.positions[i]);
    EXPECT_GT(meshops::dot(n, dir), 0.95f) << "position " << i;
  }
}

TEST(Normals, DegenerateTriangleGetsZeroAndAddsNothing) {
  MeshObject m;
  m.resizePositions(4);
  m.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}};
  m.resizeTexCoords(1);
  m.resizeCorners(6);
  const uint32_t pos[6] = {0, 1, 2, 0, 1, 3};  // second triangle: collinear points
  for (size_t i = 0; i < 6; ++i) m.corners[i].position = pos[i];
  apply(m, MeshOp::Normals);
  EXPECT_VEC3_EQ(m.normals[0], 0.0f, 0.0f, 1.0f);
  EXPECT_VEC3_EQ(m.normals[1], 0.0f, 0.0f, 0.0f);
  apply(m, MeshOp::Normals, {{0, 1}});
  EXPECT_VEC3_EQ(m.normals[0], 0.0f, 0.0f, 1.0f);
  EXPECT_VEC3_EQ(m.normals[3], 0.0f, 0.0f, 0.0f);
}

TEST(Normals, TriangleWithRepeatedPositionCountsOnce) {
  MeshObject m;
  m.resizePositions(4);
  m.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  m.resizeCorners(6);
  const uint32_t pos[6] = {0, 1, 2, 0, 0, 3};
  for (size_t i = 0; i < 6; ++i) m.corners[i].position = pos[i];
  apply(m, MeshOp::Normals, {{0, 1}});
  EXPECT_VEC3_EQ(m.normals[0], 0.0f, 0.0f, 1.0f);
}

// Random meshes with shared positions, repeated positions inside a triangle and degenerate ones.
TEST(Normals, LinearSmoothEqualsPairwiseBitForBit) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 40; ++round) {
    std::uniform_int_distribution<int> countDist(1, 300);
    const int positions = countDist(rng);
    const int triangles = countDist(rng);
    MeshObject a;
    a.resizePositions(positions);
    std::uniform_real_distribution<float> coord(-5.0f, 5.0f);
    std::uniform_int_distribution<int> pick(0, positions - 1);
    for (Vec3& p : a.positions) p = {coord(rng), coord(rng), coord(rng)};
    if (positions > 3) a.positions[1] = a.positions[0];  // coincident, still separate
    a.resizeCorners(triangles * 3);
    for (Corner& c : a.corners) c.position = static_cast<uint32_t>(pick(rng));
    MeshObject b;
    b.positions = a.positions;
    b.corners = a.corners;
    meshops::smoothNormals(a);
    meshops::smoothNormalsPairwise(b);
    ASSERT_EQ(a.normals.size(), b.normals.size());
    for (size_t i = 0; i < a.normals.size(); ++i)
      ASSERT_EQ(std::memcmp(&a.normals[i], &b.normals[i], sizeof(Vec3)), 0)
          << "round " << round << " normal " << i;
    for (size_t i = 0; i < a.corners.size(); ++i)
      ASSERT_EQ(a.corners[i].normal, b.corners[i].normal);
  }
}

TEST(Twist, ZeroRateLeavesTheGrid) {
  MeshObject m;
  apply(m, MeshOp::Grid, {{0, 4}, {1, 4}, {3, 64}, {4, 64}});
  const auto before = m.positions;
  apply(m, MeshOp::Twist, {{0, 0}, {3, 16}});
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(m.positions[i].x, before[i].x);
}

TEST(MapTexCoords, ScaleAndOffset) {
  MeshObject m;
  m.resizeTexCoords(2);
  m.texCoords = {{0.5f, 0.25f}, {1.0f, 1.0f}};
  apply(m, MeshOp::MapTexCoords);
  EXPECT_FLOAT_EQ(m.texCoords[0].u, 0.5f);
  apply(m, MeshOp::MapTexCoords, {{0, 10}, {1, -50}, {3, 200}, {4, -50}});
  EXPECT_FLOAT_EQ(m.texCoords[0].u, 1.6f);
  EXPECT_FLOAT_EQ(m.texCoords[0].v, 0.25f * 0.5f - 0.5f);
  apply(m, MeshOp::MapTexCoords, {{0, 30}, {3, -100}});
  EXPECT_FLOAT_EQ(m.texCoords[0].u, 0.3f);
  EXPECT_FLOAT_EQ(m.texCoords[1].u, 0.3f);
}

class DisplaceTest : public RegistryTest {
 protected:
  TextureObject* texture(int32_t size, uint32_t fill) {
    auto* t = add<TextureObject>(Category::Texture);
    t->resize(size);
    std::fill(t->pixels.begin(), t->pixels.end(), fill);
    return t;
  }
};

TEST_F(DisplaceTest, MovesSharedPositionsOncePerCorner) {
  texture(4, 0xFF0000FFu);  // blue 255 everywhere
  MeshObject m;
  apply(m, MeshOp::Grid, {{0, 2}, {1, 2}, {3, 64}, {4, 64}});
  apply(m, MeshOp::Normals, {{0, 1}});
  apply(m, MeshOp::Displace, {{0, 0}, {3, 40}});
  // Corner vertex 0 is used by one corner, the centre vertex 4 by six.
  const float step = (255.0f * 40.0f) * 0.00001f;
  EXPECT_FLOAT_EQ(m.positions[0].z, step);
  EXPECT_NEAR(m.positions[4].z, 6 * step, 1e-6);
}

TEST_F(DisplaceTest, SamplesTheBlueChannelWithWrapping) {
  TextureObject* t = texture(4, 0);
  t->pixels[1 * 4 + 2] = 0x00FFFF10u;  // row 1, column 2: blue 16, the other channels ignored
  MeshObject m;
  singlePoint(m, {0, 0, 0});
  m.resizeNormals(1);
  m.normals[0] = {0, 1, 0};
  m.resizeTexCoords(3);
  m.texCoords = {{0.5f, 0.25f}, {-0.5f, -0.75f}, {2.6f, 1.3f}};  // all three hit row 1, column 2
  m.resizeCorners(3);
  for (uint32_t k = 0; k < 3; ++k) m.corners[k].texCoord = k;
  apply(m, MeshOp::Displace, {{0, 0}, {3, 250}});
  EXPECT_NEAR(m.positions[0].y, 3 * (16.0f * 250.0f) * 0.00001f, 1e-6);
  EXPECT_FLOAT_EQ(m.positions[0].x, 0.0f);
}

TEST_F(DisplaceTest, NothingWithoutTextureAmountOrBrightness) {
  texture(8, 0xFFFFFF00u);  // blue 0
  texture(8, 0xFFFFFFFFu);
  MeshObject m;
  apply(m, MeshOp::Sphere, {{0, 6}, {1, 4}, {3, 32}});
  apply(m, MeshOp::Normals, {{0, 1}});
  const auto before = m.positions;
  apply(m, MeshOp::Displace, {{0, -1}, {3, 250}});
  apply(m, MeshOp::Displace, {{0, 5}, {3, 250}});
  apply(m, MeshOp::Displace, {{0, 0}, {3, 250}});  // black in blue
  apply(m, MeshOp::Displace, {{0, 1}, {3, 0}});
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(m.positions[i].y, before[i].y);
}

TEST_F(DisplaceTest, FewerNormalsThanPositionsStaysInBounds) {
  texture(2, 0xFF000064u);  // blue 100
  MeshObject m;
  apply(m, MeshOp::Grid, {{0, 1}, {1, 1}, {3, 64}, {4, 64}});
  apply(m, MeshOp::Normals, {{0, 0}});  // two normals, four positions
  apply(m, MeshOp::Displace, {{0, 0}, {3, 100}});
  EXPECT_FLOAT_EQ(m.positions[0].z, (100.0f * 100.0f) * 0.00001f);
  EXPECT_NEAR(m.positions[1].z, 2 * (100.0f * 100.0f) * 0.00001f, 1e-6);
}

}  // namespace
}  // namespace glimmer::test
