// The loading bar: its integer geometry, and the pixels it leaves in the colour buffer.
#include "app/loading_bar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "gl_fixture.h"

namespace {

using apptest::Frame;
using apptest::Rgb;

void expectPoint(const app::BarPoint& p, int x, int y) {
  EXPECT_EQ(p.x, x);
  EXPECT_EQ(p.y, y);
}

TEST(LoadingBarGeometry, At640x480TheOutlineCornersAndFullLengthAreExact) {
  const app::LoadingBarGeometry g = app::loadingBarGeometry(640, 480, 100);
  EXPECT_EQ(g.length, 507);
  expectPoint(g.outline[0], 64, 128);
  expectPoint(g.outline[1], 576, 128);
  expectPoint(g.outline[2], 592, 144);
  expectPoint(g.outline[3], 80, 144);
  // 43 sx = 68.8 and 82 sy = 131.2 truncate; at 100 % the fill reaches just inside the outline.
  expectPoint(g.fill[0], 68, 131);
  expectPoint(g.fill[1], 575, 131);
  expectPoint(g.fill[2], 587, 142);
  expectPoint(g.fill[3], 80, 142);
}

TEST(LoadingBarGeometry, ZeroPercentIsAZeroWidthFill) {
  const app::LoadingBarGeometry g = app::loadingBarGeometry(640, 480, 0);
  EXPECT_EQ(g.length, 0);
  EXPECT_EQ(g.fill[0].x, g.fill[1].x);
  EXPECT_EQ(g.fill[2].x, g.fill[3].x);
}

TEST(LoadingBarGeometry, LengthIsRoundedToFloatThenTruncated) {
  // 37 * 3.17 * 2.0 = 234.58 at 800 x 600.
  EXPECT_EQ(app::loadingBarGeometry(800, 600, 37).length, 234);
  // 50 * 3.17 * 1.6 = 253.6 at 640 x 480.
  EXPECT_EQ(app::loadingBarGeometry(640, 480, 50).length, 253);
  // Values outside 0..100 are not clamped.
  EXPECT_EQ(app::loadingBarGeometry(640, 480, 200).length, 1014);
  EXPECT_EQ(app::loadingBarGeometry(640, 480, -10).length, -50);
}

TEST(LoadingBarGeometry, At1024x768ThePictureIsScaledBy2_56) {
  const app::LoadingBarGeometry g = app::loadingBarGeometry(1024, 768, 100);
  EXPECT_EQ(g.length, 811);             // 100 * 3.17 * 2.56 = 811.52
  expectPoint(g.outline[0], 102, 204);  // 40 * 2.56 = 102.4, 80 * 2.56 = 204.8
  expectPoint(g.outline[1], 921, 204);
  expectPoint(g.outline[2], 947, 230);
  expectPoint(g.outline[3], 128, 230);
  expectPoint(g.fill[0], 110, 209);  // 43 * 2.56 = 110.08, 82 * 2.56 = 209.92
  expectPoint(g.fill[1], 921, 209);
  expectPoint(g.fill[2], 939, 227);
  expectPoint(g.fill[3], 128, 227);
}

// ---------------------------------------------------------------------------------------------
// Pixels

const Rgb kBackground{230, 222, 219};  // clear colour (0.9, 0.87, 0.86)
const Rgb kOutline{100, 80, 60};

bool near(const Rgb& a, const Rgb& b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

// Signed distance of (px, py) to the left of the directed edge a -> b (positive inside a
// counter-clockwise polygon).
double edgeSide(const app::BarPoint& a, const app::BarPoint& b, double px, double py) {
  const double ex = b.x - a.x, ey = b.y - a.y;
  return (ex * (py - a.y) - ey * (px - a.x)) / std::sqrt(ex * ex + ey * ey);
}

// -1 outside, 1 inside, 0 too close to an edge to say (pixel centres are sampled).
int fillCoverage(const app::LoadingBarGeometry& g, int x, int y) {
  const double px = x + 0.5, py = y + 0.5;
  double smallest = 1e9;
  for (int i = 0; i < 4; ++i) {
    const app::BarPoint& a = g.fill[static_cast<size_t>(i)];
    const app::BarPoint& b = g.fill[static_cast<size_t>((i + 1) % 4)];
    if (a.x == b.x && a.y == b.y) continue;
    smallest = std::min(smallest, edgeSide(a, b, px, py));
  }
  if (smallest > 0.01) return 1;
  if (smallest < -0.01) return -1;
  return 0;
}

// The smooth gradient from dark grey on the lower edge to orange on the upper one, sampled at
// the pixel centre.
Rgb fillColour(const app::LoadingBarGeometry& g, int y) {
  const double t = (y + 0.5 - g.fill[0].y) / static_cast<double>(g.fill[3].y - g.fill[0].y);
  auto mix = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
  return {mix(40, 255), mix(40, 150), mix(40, 100)};
}

class LoadingBarPixels : public apptest::GlTest {
 protected:
  // Paints the bar and checks every pixel of the frame: inside the fill the gradient, outside
  // it the background or the outline colour; returns the bounding box of the outline pixels.
  void checkFrame(int width, int height, int percent, int& minX, int& maxX, int& minY, int& maxY,
                  int& fillPixels) {
    app::paintLoadingBar(width, height, percent);
    const Frame f = apptest::readFrame(width, height);
    const app::LoadingBarGeometry g = app::loadingBarGeometry(width, height, percent);
    minX = minY = 1 << 30;
    maxX = maxY = -1;
    fillPixels = 0;
    int failures = 0;
    for (int y = 0; y < height && failures < 10; ++y) {
      for (int x = 0; x < width && failures < 10; ++x) {
        const Rgb c = f.at(x, y);
        const int cover = fillCoverage(g, x, y);
        if (cover == 1) {
          ++fillPixels;
          if (!near(c, fillColour(g, y), 2)) {
            ADD_FAILURE() << "fill pixel (" << x << ", " << y << ") is " << c << ", expected "
                          << fillColour(g, y);
            ++failures;
          }
        } else if (cover == 0 && near(c, fillColour(g, y), 2)) {
          ++fillPixels;  // a centre on the edge: the rasteriser's tie rule decides
        } else if (c == kOutline) {
          minX = std::min(minX, x);
          maxX = std::max(maxX, x);
          minY = std::min(minY, y);
          maxY = std::max(maxY, y);
        } else if (cover == -1 && !(c == kBackground)) {
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") outside the fill is " << c;
          ++failures;
        }
      }
    }
  }
};

TEST_F(LoadingBarPixels, At640x480FullBarMatchesTheGeometryToThePixel) {
  openContext(640, 480);
  if (!opened_) return;
  int minX, maxX, minY, maxY, fill;
  checkFrame(640, 480, 100, minX, maxX, minY, maxY, fill);
  // The line loop runs through the corners (64, 128), (576, 128), (592, 144), (80, 144): its
  // pixels lie in the box those corners span, touching each side.
  EXPECT_TRUE(minX == 63 || minX == 64) << minX;
  EXPECT_TRUE(maxX == 591 || maxX == 592) << maxX;
  EXPECT_TRUE(minY == 127 || minY == 128) << minY;
  EXPECT_TRUE(maxY == 143 || maxY == 144) << maxY;
  // 11 rows of a 507-pixel parallelogram.
  EXPECT_EQ(fill, 11 * 507);
}

TEST_F(LoadingBarPixels, ZeroPercentDrawsTheOutlineAndNoFill) {
  openContext(640, 480);
  if (!opened_) return;
  int minX, maxX, minY, maxY, fill;
  checkFrame(640, 480, 0, minX, maxX, minY, maxY, fill);
  EXPECT_EQ(fill, 0);
  EXPECT_TRUE(minX == 63 || minX == 64) << minX;
  EXPECT_TRUE(maxY == 143 || maxY == 144) << maxY;
}

TEST_F(LoadingBarPixels, HalfBarStopsAtItsLength) {
  openContext(640, 480);
  if (!opened_) return;
  int minX, maxX, minY, maxY, fill;
  checkFrame(640, 480, 50, minX, maxX, minY, maxY, fill);
  EXPECT_EQ(fill, 11 * 253);
}

TEST_F(LoadingBarPixels, At1024x768ThePictureScales) {
  openContext(1024, 768);
  if (!opened_) return;
  int minX, maxX, minY, maxY, fill;
  checkFrame(1024, 768, 100, minX, maxX, minY, maxY, fill);
  EXPECT_TRUE(minX == 101 || minX == 102) << minX;
  EXPECT_TRUE(maxX == 946 || maxX == 947) << maxX;
  EXPECT_TRUE(minY == 203 || minY == 204) << minY;
  EXPECT_TRUE(maxY == 229 || maxY == 230) << maxY;
  EXPECT_EQ(fill, 18 * 811);
}

TEST_F(LoadingBarPixels, LeavesMatrixStacksAndMatrixModeAsFound) {
  openContext(640, 480);
  if (!opened_) return;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glScalef(2.0f, 3.0f, 4.0f);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(5.0f, 6.0f, 7.0f);
  GLint depthBefore[2];
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depthBefore[0]);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore[1]);

  app::paintLoadingBar(640, 480, 42);

  GLfloat p[16], m[16];
  glGetFloatv(GL_PROJECTION_MATRIX, p);
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  EXPECT_FLOAT_EQ(p[0], 2.0f);
  EXPECT_FLOAT_EQ(p[5], 3.0f);
  EXPECT_FLOAT_EQ(p[10], 4.0f);
  EXPECT_FLOAT_EQ(m[12], 5.0f);
  EXPECT_FLOAT_EQ(m[13], 6.0f);
  EXPECT_FLOAT_EQ(m[14], 7.0f);
  GLint depthAfter[2], mode = 0;
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depthAfter[0]);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter[1]);
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(depthAfter[0], depthBefore[0]);
  EXPECT_EQ(depthAfter[1], depthBefore[1]);
  EXPECT_EQ(mode, GL_MODELVIEW);
  // It leaves lighting and depth test off and blending on for whatever draws next.
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(LoadingBarPixels, DrawPresentsOneFramePerCall) {
  openContext(640, 480);
  if (!opened_) return;
  const int64_t before = app::loadingBarFrames;
  app::drawLoadingBar(10);
  app::drawLoadingBar(20);
  EXPECT_EQ(app::loadingBarFrames, before + 2);
}

}  // namespace
