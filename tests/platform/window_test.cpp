// The show window, its display mode and its input: the Escape latch, the one-message pump, the
// full-screen request and its restore, the GL context's pixel format and message boxes.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/gl.h"
#include "platform/platform.h"

namespace {

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    if (!platform::startVideo(error)) GTEST_SKIP() << "no video driver: " << error;
  }
  void TearDown() override { platform::stopVideo(); }
  void open(int w = 640, int h = 480) {
    std::string error;
    ASSERT_TRUE(platform::createWindow(w, h, error)) << error;
    // Let the system's own window messages (shown, exposed, focus) go by.
    while (platform::takeMessage() != platform::Message::None) continue;
  }
  static void push(SDL_EventType type, SDL_Scancode code = SDL_SCANCODE_UNKNOWN) {
    SDL_Event e{};
    e.type = type;
    e.key.keysym.scancode = code;
    e.key.keysym.sym = SDL_GetKeyFromScancode(code);
    SDL_PushEvent(&e);
  }
};

// A press made before the show window does not count; one pressed and released before the
// query is still reported, once; other keys are not Escape.
TEST_F(Window, EscapeIsReportedOncePerPressEvenWhenNobodyPumped) {
  push(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE);
  SDL_PumpEvents();
  open();
  EXPECT_FALSE(platform::escapePressed());
  push(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE);
  push(SDL_KEYUP, SDL_SCANCODE_ESCAPE);
  EXPECT_TRUE(platform::escapePressed());
  EXPECT_FALSE(platform::escapePressed());
  push(SDL_KEYDOWN, SDL_SCANCODE_SPACE);
  EXPECT_FALSE(platform::escapePressed());
}

// One message per call; a closed window and a quit are both Quit (after a quit SDL drops further
// window events, so the quit comes last).
TEST_F(Window, TakeMessageTakesAtMostOneAndReportsCloseAndQuit) {
  using platform::Message;
  open();  // which takes messages until there is none
  push(SDL_USEREVENT);
  push(SDL_USEREVENT);
  for (Message m : {Message::Dispatched, Message::Dispatched, Message::None})
    EXPECT_EQ(platform::takeMessage(), m);
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&e);
  EXPECT_EQ(platform::takeMessage(), Message::Quit);
  push(SDL_QUIT);
  EXPECT_EQ(platform::takeMessage(), Message::Quit);
}

// The window has the chosen size, stays windowed with the cursor shown, and its context is double
// buffered on a real display (offscreen has one buffer; profile and depth bits: GlContext in
// tests/app); the entry points go back to null when cleared.
TEST_F(Window, TheWindowHasTheChosenSizeAndItsContextTheFormat) {
  open(800, 600);
  int w = 0, h = 0;
  platform::windowSize(w, h);
  EXPECT_EQ(std::pair(w, h), std::pair(800, 600));
  EXPECT_FALSE(platform::isFullScreen());
  platform::restoreDisplay();
  EXPECT_TRUE(platform::cursorVisible());
  std::string error;
  ASSERT_TRUE(platform::createGlContext(error)) << error;
  EXPECT_TRUE(!platform::hasVisibleDisplay() || platform::glContextInfo().doubleBuffered);
  glext::loadMultitextureEntryPoints();
  glext::clearEntryPoints();
  EXPECT_EQ(glext::glActiveTextureARB, nullptr);
}

// Full screen needs a real display (the Xvfb run gives 1024 x 768): a mode the display does not
// offer is refused and the window stays windowed; the display's own mode hides the cursor until
// restored.
TEST_F(Window, FullScreenAtTheDisplaysModeOnlyHidesTheCursorUntilRestored) {
  if (!platform::hasVisibleDisplay()) GTEST_SKIP() << "needs a real display (Xvfb)";
  SDL_DisplayMode mode{};
  ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &mode), 0);
  if (mode.w != 1024 || mode.h != 768) GTEST_SKIP() << "display is not 1024 x 768";
  EXPECT_FALSE(platform::enterFullScreen(1001, 701));
  ASSERT_TRUE(platform::enterFullScreen(1024, 768));
  open(1024, 768);
  EXPECT_TRUE(platform::isFullScreen());
  EXPECT_FALSE(platform::cursorVisible());
  platform::restoreDisplay();
  EXPECT_FALSE(platform::isFullScreen());
  EXPECT_TRUE(platform::cursorVisible());
}

TEST(MessageBox, UnattendedBoxesGoToStderr) {
  for (bool unattended : {true, false}) {  // without video a box cannot block either
    platform::setUnattended(unattended);
    testing::internal::CaptureStderr();
    platform::messageBox("GLSL", "0:1(1): error: syntax error");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "GLSL: 0:1(1): error: syntax error\n");
  }
}

}  // namespace
