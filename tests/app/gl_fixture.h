// A show window with the show's GL context for tests that need OpenGL. Runs headless through
// SDL's offscreen driver (SDL_VIDEODRIVER=offscreen) or on any display; skips when neither works.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/gl_context.h"
#include "app/shell.h"
#include "platform/gl.h"
#include "platform/platform.h"

namespace apptest {

class GlTest : public ::testing::Test {
 protected:
  // Opens a width x height show window and, with `context`, creates the show's context on it.
  // False when the test was skipped (no video driver or window) or failed (no context).
  bool open(int width, int height, bool context = true) {
    close();
    // Headless runs must not reach for an X server someone left in the environment.
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver && std::string(driver) == "offscreen") unsetenv("DISPLAY");
    std::string error;
    video_ = platform::startVideo(error);
    app::screenWidth = width;
    app::screenHeight = height;
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
  void TearDown() override { close(); }
  void skip(const std::string& why) { GTEST_SKIP() << "no video: " << why; }

  std::string failure_;  // the last createGLContext failure line

 private:
  bool video_ = false, tried_ = false;
};

}  // namespace apptest
