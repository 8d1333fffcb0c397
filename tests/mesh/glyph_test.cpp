// Outline glyphs from the installed "Arial Black" substitute: closed, outward-facing solids with
// the stated faces, normals and advances.
#include "mesh_test_util.h"
#include "platform/glyph_outline.h"

namespace glimmer::test {
namespace {

struct GlyphStats {
  double volume = 0, frontArea = 0;  // divergence theorem over all triangles; area of the front
  int front = 0, back = 0, side = 0, misoriented = 0;  // misoriented: against the stored normal
};

// Triangles are 3 x (x y z nx ny nz). Front faces (normal +z) lie at z = 0, back faces (-z) at
// -depth; side walls have unit normals in the xy plane.
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
      const double z = v[5] == 1.0f ? 0.0 : -depth;
      EXPECT_TRUE(az == z && bz == z && cz == z) << "triangle " << t;
      ++(v[5] == 1.0f ? s.front : s.back);
      if (v[5] == 1.0f) s.frontArea += nz / 2.0;
    } else {
      ++s.side;
      EXPECT_NEAR(v[3] * v[3] + v[4] * v[4], 1.0f, 1e-5);
    }
  }
  return s;
}

TEST(OutlineGlyphs, CodesAdvancesAndClosedSolids) {
  std::vector<platform::OutlineGlyph> g, flat;
  std::string error;
  if (!platform::buildOutlineGlyphs("Arial Black", 0, 255, 0.001f, 0.25f, g, error))
    GTEST_SKIP() << "no font installed: " << error;
  ASSERT_EQ(g.size(), 255u);
  for (int c = 0; c <= ' '; ++c) EXPECT_EQ(g[c].triangleCount(), 0) << c;
  EXPECT_EQ(g[0x81].triangleCount(), 0);                            // undefined in Windows-1252
  EXPECT_GT(g[0xC9].triangleCount() * g[0x80].triangleCount(), 0);  // E acute, euro sign
  EXPECT_GT(g[' '].advanceX, 0.1f);
  EXPECT_TRUE(g['A'].advanceX > 0.5f && g['A'].advanceX < 1.0f && g['A'].advanceY == 0.0f);
  for (unsigned char c : std::string("AOB8g%@.")) {
    const GlyphStats s = measure(g[c], 0.25f);
    EXPECT_EQ(s.misoriented, 0) << c;
    EXPECT_TRUE(s.front > 0 && s.front == s.back && s.side > 0) << c;
    // A closed outward solid: its volume is the filled area times the depth.
    EXPECT_NEAR(s.volume, s.frontArea * 0.25, 1e-3 * s.frontArea) << c;
  }
  // The counter of 'O' is not filled: its area is well below that of its outer contour's box.
  const double o = measure(g['O'], 0.25f).frontArea;
  EXPECT_TRUE(o < 0.45 && o > measure(g['.'], 0.25f).frontArea) << o;
  // Depth 0: faces only, no walls.
  ASSERT_TRUE(platform::buildOutlineGlyphs("Arial Black", 'A', 1, 0.001f, 0.0f, flat, error));
  const GlyphStats s = measure(flat.at(0), 0.0f);
  EXPECT_TRUE(s.front > 0 && s.front == s.back && s.side == 0);
}

}  // namespace
}  // namespace glimmer::test
