// The loading bar: its integer geometry, and the pixels it leaves in the colour buffer.
#include "app/loading_bar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "gl_fixture.h"

namespace {

// The picture is a 400 x 300 frame scaled by s = width / 400 (height / 300), every coordinate
// a float truncated: outline (40, 80) (360, 80) (370, 90) (50, 90); fill (43, 82) (43 + L, 82)
// (50 + L, 89) (50, 89) with L = percent * 3.17 * s in pixels, truncated toward zero.
struct GeometryRow {
  int width, height, percent, length;
  std::array<int, 16> corners;  // outline x, y four times, then fill; all 0: not checked
};
// clang-format off
const GeometryRow kGeometry[] = {
    // s = 1.6: 43 s = 68.8, 82 s = 131.2, 89 s = 142.4; L = 507.36; 68.8 + 507 = 575.8.
    {640, 480, 100, 507, {64, 128, 576, 128, 592, 144, 80, 144, 68, 131, 575, 131, 587, 142, 80, 142}},
    // s = 2.56: 40 s = 102.4, 80 s = 204.8, 43 s = 110.08, 82 s = 209.92; L = 811.52.
    {1024, 768, 100, 811, {102, 204, 921, 204, 947, 230, 128, 230, 110, 209, 921, 209, 939, 227, 128, 227}},
    {640, 480, 0, 0, {64, 128, 576, 128, 592, 144, 80, 144, 68, 131, 68, 131, 80, 142, 80, 142}},
    {800, 600, 37, 234, {}},    // 37 * 3.17 * 2 = 234.58
    {640, 480, 50, 253, {}},    // 50 * 3.17 * 1.6 = 253.6
    {640, 480, 200, 1014, {}},  // not clamped: 1014.72
    {640, 480, -10, -50, {}},   // -50.72 truncates toward zero
};
// clang-format on

TEST(LoadingBarGeometry, CornersAndLengthAreTruncatedFromTheScaledPicture) {
  for (const GeometryRow& r : kGeometry) {
    SCOPED_TRACE(testing::Message() << r.width << "x" << r.height << " at " << r.percent << " %");
    const app::LoadingBarGeometry g = app::loadingBarGeometry(r.width, r.height, r.percent);
    EXPECT_EQ(g.length, r.length);
    if (r.corners[0] == 0) continue;
    std::array<int, 16> got{};
    for (size_t i = 0; i < 4; ++i) {
      got[2 * i] = g.outline[i].x, got[2 * i + 1] = g.outline[i].y;
      got[8 + 2 * i] = g.fill[i].x, got[9 + 2 * i] = g.fill[i].y;
    }
    EXPECT_EQ(got, r.corners);
  }
}

// ---------------------------------------------------------------------------------------------
// Pixels

using Rgb = std::array<int, 3>;
const Rgb kBackground{230, 222, 219};  // clear colour (0.9, 0.87, 0.86)
const Rgb kOutline{100, 80, 60};

bool near(const Rgb& a, const Rgb& b) {
  for (size_t i = 0; i < 3; ++i)
    if (std::abs(a[i] - b[i]) > 2) return false;
  return true;
}

// 1 when the pixel centre lies inside the fill, -1 outside, 0 too close to an edge to say: the
// smallest signed distance to the left of the counter-clockwise edges.
int fillCoverage(const app::LoadingBarGeometry& g, int x, int y) {
  double smallest = 1e9;
  for (size_t i = 0; i < 4; ++i) {
    const app::BarPoint &a = g.fill[i], &b = g.fill[(i + 1) % 4];
    const double ex = b.x - a.x, ey = b.y - a.y;
    if (ex == 0 && ey == 0) continue;
    smallest =
        std::min(smallest, (ex * (y + 0.5 - a.y) - ey * (x + 0.5 - a.x)) / std::hypot(ex, ey));
  }
  return smallest > 0.01 ? 1 : smallest < -0.01 ? -1 : 0;
}

// The smooth gradient from dark grey (40, 40, 40) on the lower edge to orange (255, 150, 100)
// on the upper one, at the pixel centre.
Rgb fillColour(const app::LoadingBarGeometry& g, int y) {
  const double t = (y + 0.5 - g.fill[0].y) / static_cast<double>(g.fill[3].y - g.fill[0].y);
  auto mix = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
  return {mix(40, 255), mix(40, 150), mix(40, 100)};
}

class LoadingBarPixels : public apptest::GlTest {};

TEST_F(LoadingBarPixels, EveryPixelIsTheGradientTheOutlineOrTheBackground) {
  struct Row {
    int width, height, percent;
    std::array<int, 4> box;  // the outline's corners: least and most x, least and most y
    int fillPixels;
  };
  const Row rows[] = {
      {640, 480, 100, {64, 592, 128, 144}, 11 * 507},  // rows 131..141 of a 507-pixel parallelogram
      {640, 480, 0, {64, 592, 128, 144}, 0},
      {640, 480, 50, {64, 592, 128, 144}, 11 * 253},
      {1024, 768, 100, {102, 947, 204, 230}, 18 * 811},  // rows 209..226
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.width << "x" << r.height << " at " << r.percent << " %");
    if (!open(r.width, r.height)) return;
    app::paintLoadingBar(r.width, r.height, r.percent);
    std::vector<uint8_t> rgba(static_cast<size_t>(r.width) * r.height * 4);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, r.width, r.height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    const app::LoadingBarGeometry g = app::loadingBarGeometry(r.width, r.height, r.percent);
    std::array<int, 4> box{1 << 30, -1, 1 << 30, -1};
    int fill = 0, failures = 0;
    for (int y = 0; y < r.height; ++y) {
      for (int x = 0; x < r.width && failures < 10; ++x) {
        const uint8_t* p = &rgba[(static_cast<size_t>(y) * r.width + x) * 4];
        const Rgb c{p[0], p[1], p[2]};
        const int cover = fillCoverage(g, x, y);
        const bool fillColoured = near(c, fillColour(g, y));
        if (cover == 1 || (cover == 0 && fillColoured)) {  // on an edge the tie rule decides
          ++fill;
          if (!fillColoured) ++failures, ADD_FAILURE() << "fill pixel (" << x << ", " << y << ")";
        } else if (c == kOutline) {
          box = {std::min(box[0], x), std::max(box[1], x), std::min(box[2], y),
                 std::max(box[3], y)};
        } else if (cover == -1 && c != kBackground) {
          ++failures, ADD_FAILURE() << "pixel (" << x << ", " << y << ") outside the fill";
        }
      }
    }
    // The line loop's pixels touch each side of the box its corners span.
    for (size_t i = 0; i < 4; ++i)
      EXPECT_TRUE(box[i] == r.box[i] || box[i] == r.box[i] - 1) << i << ": " << box[i];
    EXPECT_EQ(fill, r.fillPixels);
  }
}

TEST_F(LoadingBarPixels, LeavesMatricesAndTheirStacksAsFoundAndPresentsEachCall) {
  if (!open(640, 480)) return;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glScalef(2.0f, 3.0f, 4.0f);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(5.0f, 6.0f, 7.0f);
  GLint before[2], after[2], mode = 0;
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &before[0]);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &before[1]);
  app::paintLoadingBar(640, 480, 42);
  GLfloat p[16], m[16];
  glGetFloatv(GL_PROJECTION_MATRIX, p);
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  EXPECT_EQ((std::array<float, 6>{p[0], p[5], p[10], m[12], m[13], m[14]}),
            (std::array<float, 6>{2, 3, 4, 5, 6, 7}));
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &after[0]);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &after[1]);
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(after[0], before[0]);
  EXPECT_EQ(after[1], before[1]);
  EXPECT_EQ(mode, GL_MODELVIEW);
  // It leaves lighting and depth test off and blending on for whatever draws next.
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  const int64_t frames = app::loadingBarFrames;
  app::drawLoadingBar(10);
  app::drawLoadingBar(20);
  EXPECT_EQ(app::loadingBarFrames, frames + 2);
}

}  // namespace
