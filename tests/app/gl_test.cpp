// The show's windows on a real driver (headless through SDL's offscreen driver), skipped without
// one: the GL context's initial state and the one-line failure when an extension is missing; the
// loading bar's geometry, pixels and the GL state it leaves; the real settings dialog (Dear ImGui
// on an SDL window) driven by scripted clicks and keys.
#include "platform/gl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "app/dialog.h"
#include "app/gl_context.h"
#include "app/loading_bar.h"
#include "app/shell.h"
#include "platform/platform.h"

namespace {

class GlContext : public ::testing::Test {
 protected:
  // Opens a width x height show window and, with `context`, creates the show's context on it.
  // False when the test was skipped (no video driver or window) or failed (no context).
  bool open(int width, int height, bool context = true) {
    close();
    std::string error;
    video_ = platform::startVideo(error);
    app::screenWidth = width, app::screenHeight = height;
    if (!video_ || !platform::createWindow(width, height, error)) {
      skip(error);
      return false;
    }
    if (!context || createContext()) return true;
    ADD_FAILURE() << failure_;
    return false;
  }
  bool createContext() {
    tried_ = true;
    failure_.clear();
    return app::createGLContext(failure_);
  }
  // createGLContext releases nothing when it fails, so every attempt is torn down.
  void close() {
    if (tried_) app::destroyGLContext();
    if (video_) platform::stopVideo();
    tried_ = video_ = false;
  }
  void TearDown() override {
    unsetenv("GLIMMER_HIDE_EXTENSIONS");
    close();
  }
  void skip(const std::string& why) { GTEST_SKIP() << "no video: " << why; }

  std::string failure_;  // the last createGLContext failure line
  bool video_ = false, tried_ = false;
};

GLint intState(GLenum name) {
  GLint v = -1;
  glGetIntegerv(name, &v);
  return v;
}

TEST_F(GlContext, InitialRenderState) {
  if (!open(640, 480)) return;
  // (Context kind and depth: the platform Window tests; clear colour: the bar's background.)
  ASSERT_TRUE(glext::shadersAvailable) << "llvmpipe offers GL_ARB_shading_language_100";
  // clang-format off
  const std::pair<GLenum, GLint> state[] = {
      {GL_LIGHT_MODEL_COLOR_CONTROL_EXT, GL_SEPARATE_SPECULAR_COLOR_EXT},
      {GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST}, {GL_FOG_HINT, GL_DONT_CARE},
      {GL_DEPTH_FUNC, GL_LEQUAL}, {GL_FRONT_FACE, GL_CCW}, {GL_CULL_FACE_MODE, GL_BACK},
      {GL_DEPTH_TEST, GL_FALSE}, {GL_LIGHTING, GL_FALSE}, {GL_CULL_FACE, GL_TRUE}};
  // clang-format on
  for (const auto& [name, value] : state) EXPECT_EQ(intState(name), value) << std::hex << name;
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GlContext, AMissingRequiredExtensionFailsNamingTheFirstOneMissing) {
  if (!open(640, 480, false)) return;
  // Hidden names; the failure names the last of them, which in the first row is also the first
  // missing in the tested order: multitexture, cube map, vertex buffers, separate specular.
  // clang-format off
  const std::string rows[] = {
      "GL_EXT_separate_specular_color,GL_ARB_texture_cube_map", "GL_ARB_multitexture",
      "GL_ARB_texture_cube_map", "GL_ARB_vertex_buffer_object", "GL_EXT_separate_specular_color"};
  // clang-format on
  for (const std::string& hidden : rows) {
    setenv("GLIMMER_HIDE_EXTENSIONS", hidden.c_str(), 1);
    EXPECT_FALSE(createContext()) << hidden;
    EXPECT_NE(failure_.find(hidden.substr(hidden.rfind(',') + 1)), std::string::npos) << failure_;
    EXPECT_EQ(failure_.find('\n'), std::string::npos) << "one line: " << failure_;
    // In the first row multitexture was tested and loaded before the failure.
    EXPECT_TRUE(hidden != rows[0] || glext::glActiveTextureARB);
  }
  // Without the shading language the context still starts.
  setenv("GLIMMER_HIDE_EXTENSIONS", "GL_ARB_shading_language_100", 1);
  EXPECT_TRUE(createContext()) << failure_;
  EXPECT_FALSE(glext::shadersAvailable);
}

// ---------------------------------------------------------------------------------------------
// The loading bar

// The picture is a 400 x 300 frame scaled by s = width / 400 (height / 300), every coordinate
// a float truncated: outline (40, 80) (360, 80) (370, 90) (50, 90); fill (43, 82) (43 + L, 82)
// (50 + L, 89) (50, 89) with L = percent * 3.17 * s in pixels, truncated toward zero.
// Outline x, y four times. 640 x 480: s = 1.6, 40 s = 64, 80 s = 128, 360 s = 576, 370 s = 592,
// 90 s = 144, 50 s = 80; 1024 x 768: s = 2.56, 102.4, 204.8, 921.6, 947.2, 230.4, 128.
const std::array<int, 8> kOutline640{64, 128, 576, 128, 592, 144, 80, 144},
    kOutline1024{102, 204, 921, 204, 947, 230, 128, 230};
// Width, height, percent, length; fill x, y four times (all 0: not checked).
// clang-format off
const std::tuple<int, int, int, int, std::array<int, 8>> kGeometry[] = {
    // s = 1.6: 43 s = 68.8, 82 s = 131.2, 89 s = 142.4; L = 507.36; 68.8 + 507 = 575.8.
    {640, 480, 100, 507, {68, 131, 575, 131, 587, 142, 80, 142}},
    // s = 2.56: 43 s = 110.08, 82 s = 209.92; L = 811.52; 110.08 + 811 = 921.08, 89 s = 227.84.
    {1024, 768, 100, 811, {110, 209, 921, 209, 939, 227, 128, 227}},
    {640, 480, 0, 0, {68, 131, 68, 131, 80, 142, 80, 142}},
    // 50 * 3.17 * 1.6 = 253.6; 68.8 + 253 = 321.8, 80 + 253 = 333.
    {640, 480, 50, 253, {68, 131, 321, 131, 333, 142, 80, 142}},
    {800, 600, 37, 234, {}},    // 37 * 3.17 * 2 = 234.58
    {640, 480, 200, 1014, {}},  // not clamped: 1014.72
    {640, 480, -10, -50, {}},   // -50.72 truncates toward zero
};
// clang-format on

TEST(LoadingBarGeometry, CornersAndLengthAreTruncatedFromTheScaledPicture) {
  for (const auto& [width, height, percent, length, fill] : kGeometry) {
    SCOPED_TRACE(testing::Message() << width << "x" << height << " at " << percent << " %");
    const app::LoadingBarGeometry g = app::loadingBarGeometry(width, height, percent);
    EXPECT_EQ(g.length, length);
    if (fill[0] == 0) continue;
    auto xy = [](const std::array<app::BarPoint, 4>& p) {
      return std::array<int, 8>{p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y, p[3].x, p[3].y};
    };
    EXPECT_EQ(xy(g.outline), width == 640 ? kOutline640 : kOutline1024);
    EXPECT_EQ(xy(g.fill), fill);
  }
}

// ---------------------------------------------------------------------------------------------
// Pixels

using Rgb = std::array<int, 3>;
const Rgb kBackground{230, 222, 219};  // the show's clear colour (0.9, 0.87, 0.86)
const Rgb kOutline{100, 80, 60};

// The smooth gradient from dark grey (40, 40, 40) on the fill's lower edge y0 to orange
// (255, 150, 100) on its upper one y1, at the centre of pixel row y, within 2.5 levels.
bool isFill(const Rgb& c, int y0, int y1, int y) {
  const double t = (y + 0.5 - y0) / (y1 - y0);
  return std::abs(c[0] - 40 - 215 * t) <= 2.5 && std::abs(c[1] - 40 - 110 * t) <= 2.5 &&
         std::abs(c[2] - 40 - 60 * t) <= 2.5;
}

using LoadingBarPixels = GlContext;

// Every pixel of the bars of kGeometry with a fill is the gradient, the outline or the
// background; the matrices, their stacks and the mode are left as found.
TEST_F(LoadingBarPixels, GradientOutlineOrBackgroundAndTheMatricesAsFound) {
  auto state = [] {
    return std::vector<GLint>({intState(GL_PROJECTION_STACK_DEPTH),
                               intState(GL_MODELVIEW_STACK_DEPTH), intState(GL_MATRIX_MODE),
                               intState(GL_LIGHTING), intState(GL_DEPTH_TEST), intState(GL_BLEND)});
  };
  for (const auto& [width, height, percent, length, fill] : kGeometry) {
    SCOPED_TRACE(testing::Message() << width << "x" << height << " at " << percent << " %");
    if (fill[0] == 0) continue;
    if (!open(width, height)) return;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(2.0f, 3.0f, 4.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(5.0f, 6.0f, 7.0f);
    const std::vector<GLint> before = state();
    app::paintLoadingBar(width, height, percent);
    GLfloat p[16], m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ((std::array<float, 6>{p[0], p[5], p[10], m[12], m[13], m[14]}),
              (std::array<float, 6>{2, 3, 4, 5, 6, 7}));
    // Lighting and depth test off and blending on for whatever draws next.
    EXPECT_EQ(state(), (std::vector<GLint>{before[0], before[1], GL_MODELVIEW, 0, 0, 1}));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    const int x0 = fill[0], y0 = fill[1], x1 = fill[6], y1 = fill[7];  // the fill's left edge
    std::array<int, 4> box{1 << 30, -1, 1 << 30, -1};
    int stray = 0;
    for (int y = 0; y < height; ++y) {
      // A fill row's pixel centres lie from its left edge to `length` pixels further.
      const bool fillRow = y >= y0 && y < y1;
      const double left = x0 + (y + 0.5 - y0) * (x1 - x0) / (y1 - y0);
      int first = -1, last = -1, count = 0;
      for (int x = 0; x < width; ++x) {
        const uint8_t* px = &rgba[(static_cast<size_t>(y) * width + x) * 4];
        const Rgb c{px[0], px[1], px[2]};
        if (fillRow && isFill(c, y0, y1, y)) {
          first = first < 0 ? x : first, last = x, ++count;
        } else if (c == kOutline) {
          box = {std::min(box[0], x), std::max(box[1], x), std::min(box[2], y),
                 std::max(box[3], y)};
        } else if (c != kBackground && stray++ == 0) {
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") is no colour of the bar";
        }
      }
      if (!fillRow) continue;
      EXPECT_EQ(count, length) << "row " << y;
      EXPECT_TRUE(!count || last - first + 1 == count) << "row " << y << " has a gap";
      EXPECT_TRUE(!count || std::abs(first - left) <= 0.5) << "row " << y << " starts at " << first;
    }
    EXPECT_EQ(stray, 0);
    // The line loop's pixels touch each side of the box its corners span: least and most x
    // (first and third corner), least and most y (first and third).
    const std::array<int, 8>& o = width == 640 ? kOutline640 : kOutline1024;
    const int sides[4] = {o[0], o[4], o[1], o[5]};
    for (size_t i = 0; i < 4; ++i)
      EXPECT_TRUE(box[i] == sides[i] || box[i] == sides[i] - 1) << i << ": " << box[i];
  }
  // drawLoadingBar presents each call.
  const int64_t frames = app::loadingBarFrames;
  app::drawLoadingBar(10);
  app::drawLoadingBar(20);
  EXPECT_EQ(app::loadingBarFrames, frames + 2);
}

// ---------------------------------------------------------------------------------------------
// The settings dialog

TEST(DialogScript, ClicksAndKeysReachTheSettings) {
  using Kind = platform::DialogInput::Kind;
  std::string error;
  if (!platform::startVideo(error)) GTEST_SKIP() << "no video driver: " << error;
  const platform::DialogInput run{Kind::Click, platform::kDialogRun},
      exit{Kind::Click, platform::kDialogExit}, full{Kind::Click, platform::kDialogFullscreen},
      r800{Kind::Click, platform::kDialogRes800}, r1024{Kind::Click, platform::kDialogRes1024},
      escape{Kind::Escape, 0}, enter{Kind::Enter, 0}, close{Kind::Close, 0};
  constexpr int kStillOpen = platform::kDialogScriptExhausted;
  // Label, script, result, width, height, full screen.
  const std::tuple<const char*, std::vector<platform::DialogInput>, int, int, int, bool> rows[] = {
      // clang-format off
      {"run untouched", {run}, 1, 640, 480, false},
      {"mouse choices count, Escape ignored", {r1024, full, escape, run}, 1, 1024, 768, true},
      {"radios exclusive, box toggles", {r1024, r800, full, full, run}, 1, 800, 600, false},
      {"exit keeps the settings", {r800, exit}, 0, 640, 480, false},
      {"the system's close is Exit", {r1024, close}, 0, 640, 480, false},
      {"Enter clicks the default button", {r800, enter}, 1, 800, 600, false},
      {"Escape alone keeps it open", {escape, escape}, kStillOpen, 640, 480, false},
      // clang-format on
  };
  for (const auto& [label, script, result, width, height, fullScreen] : rows) {
    app::DialogSettings s;
    EXPECT_EQ(app::showSettingsDialog(s, &script), result) << label;
    EXPECT_EQ(std::tie(s.width, s.height, s.fullScreen), std::tie(width, height, fullScreen))
        << label;
  }
  platform::stopVideo();
}

}  // namespace
