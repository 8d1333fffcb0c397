// Outline glyphs from the installed "Arial Black" substitute: closed, outward-facing solids with
// the stated faces, normals and advances.
#include "mesh_test_util.h"
#include "platform/glyph_outline.h"

namespace glimmer::test {
namespace {

struct GlyphStats {
  double volume = 0;     // divergence theorem over all triangles
  double frontArea = 0;  // triangles with normal +Z at z = 0
  int front = 0, back = 0, side = 0;
  int misoriented = 0;  // geometric normal against the stored one
};

// Triangles are 3 x (x y z nx ny nz).
GlyphStats measure(const platform::OutlineGlyph& g, float depth) {
  GlyphStats s;
  const float* v = g.vertices.data();
  for (int t = 0; t < g.triangleCount(); ++t, v += 18) {
    const double ax = v[0], ay = v[1], az = v[2], bx = v[6], by = v[7], bz = v[8];
    const double cx = v[12], cy = v[13], cz = v[14];
    const double nx = (by - ay) * (cz - az) - (bz - az) * (cy - ay);
    const double ny = (bz - az) * (cx - ax) - (bx - ax) * (cz - az);
    const double nz = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
    if (nx * v[3] + ny * v[4] + nz * v[5] < -1e-12) ++s.misoriented;
    s.volume +=
        (ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx)) / 6;
    if (v[5] == 1.0f || v[5] == -1.0f) {
      const double z = v[5] == 1.0f ? 0.0 : -depth;  // front faces at z = 0, back ones at -depth
      ++(v[5] == 1.0f ? s.front : s.back);
      if (v[5] == 1.0f) s.frontArea += nz / 2.0;
      EXPECT_TRUE(az == z && bz == z && cz == z) << "triangle " << t;
    } else {
      ++s.side;
      EXPECT_NEAR(v[3] * v[3] + v[4] * v[4], 1.0f, 1e-5);
    }
  }
  return s;
}

class OutlineGlyphs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ok_ = platform::buildOutlineGlyphs("Arial Black", 0, 255, 0.001f, 0.25f, glyphs_, error);
  }
  void SetUp() override {
    if (!ok_) GTEST_SKIP() << "no font installed";
  }
  static inline bool ok_ = false;
  static inline std::vector<platform::OutlineGlyph> glyphs_;
};

TEST_F(OutlineGlyphs, CodesZeroTo254) {
  ASSERT_EQ(glyphs_.size(), 255u);
  for (int c = 0; c <= ' '; ++c) EXPECT_EQ(glyphs_[c].triangleCount(), 0) << c;
  EXPECT_EQ(glyphs_[0x81].triangleCount(), 0);  // undefined in Windows-1252
  for (int c : {0xC9, 0x80}) EXPECT_GT(glyphs_[c].triangleCount(), 0) << c;  // E acute, euro
  EXPECT_GT(glyphs_[' '].advanceX, 0.1f);
  EXPECT_GT(glyphs_['A'].advanceX, 0.5f);
  EXPECT_LT(glyphs_['A'].advanceX, 1.0f);
  EXPECT_EQ(glyphs_['A'].advanceY, 0.0f);
}

TEST_F(OutlineGlyphs, SolidsAreClosedAndFaceOutward) {
  for (unsigned char c : std::string("AOB8g%@.")) {
    const GlyphStats s = measure(glyphs_[c], 0.25f);
    EXPECT_EQ(s.misoriented, 0) << c;
    EXPECT_GT(s.front, 0) << c;
    EXPECT_EQ(s.front, s.back) << c;
    EXPECT_GT(s.side, 0) << c;
    EXPECT_GT(s.frontArea, 0.01) << c;
    // A closed outward solid: its volume is the filled area times the depth.
    EXPECT_NEAR(s.volume, s.frontArea * 0.25, 1e-3 * s.frontArea) << c;
  }
  // The counter of 'O' is not filled: its area is well below that of its outer contour's box.
  const double o = measure(glyphs_['O'], 0.25f).frontArea;
  EXPECT_LT(o, 0.45);
  EXPECT_GT(o, measure(glyphs_['.'], 0.25f).frontArea);
}

TEST(OutlineGlyphsFlat, DepthZeroHasNoWalls) {
  std::vector<platform::OutlineGlyph> glyphs;
  std::string error;
  if (!platform::buildOutlineGlyphs("Arial Black", 65, 1, 0.001f, 0.0f, glyphs, error))
    GTEST_SKIP() << error;
  ASSERT_EQ(glyphs.size(), 1u);
  const GlyphStats s = measure(glyphs[0], 0.0f);
  EXPECT_EQ(s.side, 0);
  EXPECT_GT(s.front, 0);
  EXPECT_EQ(s.front, s.back);
}

}  // namespace
}  // namespace glimmer::test
