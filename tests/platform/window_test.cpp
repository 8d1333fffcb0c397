// The show window, its display mode and its input: the Escape latch, the one-message pump, the
// full-screen request and its restore, and the GL context's pixel format.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/gl.h"
#include "platform/platform.h"

namespace {

bool offscreen() {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  return driver && std::string(driver) == "offscreen";
}

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    if (offscreen()) unsetenv("DISPLAY");
    std::string error;
    if (!platform::startVideo(error)) GTEST_SKIP() << "no video driver: " << error;
  }
  void TearDown() override { platform::stopVideo(); }
  void open(int w = 640, int h = 480) {
    std::string error;
    ASSERT_TRUE(platform::createWindow(w, h, error)) << error;
    // Let the system's own window messages (shown, exposed, focus) go by.
    while (platform::takeMessage() != platform::Message::None) {
    }
  }
  static void pushKey(SDL_EventType type, SDL_Scancode code) {
    SDL_Event e{};
    e.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = code;
    e.key.keysym.sym = SDL_GetKeyFromScancode(code);
    SDL_PushEvent(&e);
  }
  static void pushUser() {
    SDL_Event e{};
    e.type = SDL_USEREVENT;
    SDL_PushEvent(&e);
  }
};

TEST_F(Window, EscapeIsReportedOncePerPressEvenWhenNobodyPumped) {
  open();
  EXPECT_FALSE(platform::escapePressed());
  pushKey(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE);
  pushKey(SDL_KEYUP, SDL_SCANCODE_ESCAPE);
  // Pressed and released before the query: still reported, then forgotten.
  EXPECT_TRUE(platform::escapePressed());
  EXPECT_FALSE(platform::escapePressed());
  // Other keys are not Escape.
  pushKey(SDL_KEYDOWN, SDL_SCANCODE_SPACE);
  EXPECT_FALSE(platform::escapePressed());
}

TEST_F(Window, AnEscapePressMadeBeforeTheShowWindowDoesNotCount) {
  pushKey(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE);
  SDL_PumpEvents();
  open();
  EXPECT_FALSE(platform::escapePressed());
}

TEST_F(Window, TakeMessageTakesAtMostOne) {
  open();
  EXPECT_EQ(platform::takeMessage(), platform::Message::None);
  pushUser();
  pushUser();
  EXPECT_EQ(platform::takeMessage(), platform::Message::Dispatched);
  EXPECT_EQ(platform::takeMessage(), platform::Message::Dispatched);
  EXPECT_EQ(platform::takeMessage(), platform::Message::None);
}

TEST_F(Window, QuitAndWindowCloseAreReportedAsQuit) {
  open();
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  for (Uint32 id = 1; id < 16 && !e.window.windowID; ++id)
    if (SDL_GetWindowFromID(id)) e.window.windowID = id;
  SDL_PushEvent(&e);
  EXPECT_EQ(platform::takeMessage(), platform::Message::Quit);
  // (After a quit message SDL drops further window events, so the quit comes last.)
  e = {};
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
  EXPECT_EQ(platform::takeMessage(), platform::Message::Quit);
}

TEST_F(Window, TheWindowHasTheChosenSizeAndACompatibilityContext) {
  open(800, 600);
  int w = 0, h = 0;
  platform::windowSize(w, h);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  std::string error;
  ASSERT_TRUE(platform::createGlContext(error)) << error;
  const platform::GlContextInfo info = platform::glContextInfo();
  EXPECT_TRUE(info.compatibility);
  EXPECT_GE(info.depthBits, 24);
  EXPECT_NE(glGetString(GL_EXTENSIONS), nullptr);
  // SDL's offscreen driver draws into a single-buffered surface; a real window is double
  // buffered.
  if (!offscreen()) {
    EXPECT_TRUE(info.doubleBuffered);
  }
  EXPECT_NE(platform::glProcAddress("glActiveTextureARB"), nullptr);
  glext::loadMultitextureEntryPoints();
  EXPECT_NE(glext::glActiveTextureARB, nullptr);
  glext::clearEntryPoints();
  EXPECT_EQ(glext::glActiveTextureARB, nullptr);
}

TEST_F(Window, AWindowedRunKeepsTheCursorAndRestoreShowsItAgain) {
  open();
  EXPECT_FALSE(platform::isFullScreen());
  platform::restoreDisplay();
  EXPECT_TRUE(platform::cursorVisible());
}

TEST_F(Window, AModeTheDisplayDoesNotOfferIsRefusedAndTheWindowStaysWindowed) {
  // SDL's offscreen driver pretends to offer any mode.
  if (!platform::hasVisibleDisplay()) GTEST_SKIP() << "needs a real display (Xvfb)";
  EXPECT_FALSE(platform::enterFullScreen(1001, 701));
  open(320, 240);
  EXPECT_FALSE(platform::isFullScreen());
  EXPECT_TRUE(platform::cursorVisible());
}

// The Xvfb run gives a 1024 x 768 screen, so that mode exists.
TEST_F(Window, FullScreenAtTheDisplaysModeHidesTheCursorUntilRestored) {
  if (!platform::hasVisibleDisplay()) GTEST_SKIP() << "needs a real display (Xvfb)";
  SDL_DisplayMode mode{};
  ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &mode), 0);
  if (mode.w != 1024 || mode.h != 768) GTEST_SKIP() << "display is not 1024 x 768";
  ASSERT_TRUE(platform::enterFullScreen(1024, 768));
  open(1024, 768);
  EXPECT_TRUE(platform::isFullScreen());
  EXPECT_FALSE(platform::cursorVisible());
  platform::restoreDisplay();
  EXPECT_FALSE(platform::isFullScreen());
  EXPECT_TRUE(platform::cursorVisible());
}

TEST(MessageBox, UnattendedBoxesGoToStderr) {
  platform::setUnattended(true);
  testing::internal::CaptureStderr();
  platform::messageBox("GLSL", "0:1(1): error: syntax error");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "GLSL: 0:1(1): error: syntax error\n");
  platform::setUnattended(false);
  // Without video (no display at all) a box cannot block either.
  testing::internal::CaptureStderr();
  platform::messageBox("t", "x");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "t: x\n");
}

TEST(Clock, CounterRunsForwardAtItsFrequency) {
  EXPECT_GT(platform::counterFrequency(), 0u);
  const uint64_t a = platform::counter();
  platform::sleepMilliseconds(2);
  EXPECT_GT(platform::counter(), a);
}

}  // namespace
