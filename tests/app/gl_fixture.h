// A show window with the show's GL context for tests that need OpenGL. Runs headless through
// SDL's offscreen driver (SDL_VIDEODRIVER=offscreen) or on any display; skips when neither works.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/gl_context.h"
#include "app/shell.h"
#include "platform/gl.h"
#include "platform/platform.h"

namespace apptest {

struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

inline std::ostream& operator<<(std::ostream& os, const Rgb& c) {
  return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// The whole colour buffer read back, row 0 at the bottom as in OpenGL.
struct Frame {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
  Rgb at(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * width + x) * 4;
    return {rgba[i], rgba[i + 1], rgba[i + 2]};
  }
};

inline Frame readFrame(int width, int height) {
  Frame f;
  f.width = width;
  f.height = height;
  f.rgba.resize(static_cast<size_t>(width) * height * 4);
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, f.rgba.data());
  return f;
}

// Opens a width x height show window and creates the show's context on it.
class GlTest : public ::testing::Test {
 protected:
  void openContext(int width, int height) {
    // Headless runs must not reach for an X server someone left in the environment.
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver && std::string(driver) == "offscreen") unsetenv("DISPLAY");
    std::string error;
    if (!platform::startVideo(error)) GTEST_SKIP() << "no video driver: " << error;
    app::screenWidth = width;
    app::screenHeight = height;
    if (!platform::createWindow(width, height, error)) GTEST_SKIP() << "no window: " << error;
    std::string failure;
    ASSERT_TRUE(app::createGLContext(failure)) << failure;
    opened_ = true;
  }
  void TearDown() override {
    if (opened_) app::destroyGLContext();
    platform::stopVideo();
  }
  bool opened_ = false;
};

}  // namespace apptest
