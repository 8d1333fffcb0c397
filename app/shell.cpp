// The show's life: command line, settings dialog, start-up, main loop and teardown.
#include "app/shell.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/dialog.h"
#include "app/gl_context.h"
#include "app/offline.h"
#include "app/review.h"
#include "platform/platform.h"
#include "render/render.h"

namespace app {

namespace {

void printFailure(const std::string& line) { std::fprintf(stderr, "glimmer: %s\n", line.c_str()); }

bool envSet(const char* name) {
  const char* v = std::getenv(name);
  return v && *v && std::string(v) != "0";
}

// One pass at a time, never sleeping: Escape stops the timeline; a pending message is taken
// and the pass ends; otherwise the frame step runs and a frame is drawn and presented.
void runMainLoop(const Options& options) {
  glimmer::TimelineObject& t = *glimmer::timeline;
  while (t.running) {
    if (platform::escapePressed()) t.stop();
    const platform::Message message = platform::takeMessage();
    if (message == platform::Message::Quit) {
      // The system asked the program to end (window closed, interrupt): end like Escape.
      t.stop();
      continue;
    }
    if (message == platform::Message::Dispatched) continue;
    t.step();
    if (options.until && t.time > *options.until) t.stop();
    render::renderFrame();
    platform::swapBuffers();
    ++showFrames;
  }
}

}  // namespace

bool openShowWindow(std::string& failure) {
  std::string error;
  if (!platform::startVideo(error)) {
    failure = "cannot open a window: " + error;
    return false;
  }
  if (fullScreen) platform::enterFullScreen(screenWidth, screenHeight);
  if (!platform::createWindow(screenWidth, screenHeight, error)) {
    failure = "cannot create the window: " + error;
    return false;
  }
  return createGLContext(failure);
}

void closeShow() {
  destroyGLContext();
  delete glimmer::timeline;
  glimmer::timeline = nullptr;
  glimmer::destroyRegistry();
  platform::restoreDisplay();
  platform::destroyWindow();
  platform::stopVideo();
}

int runShow(const Options& options) {
  if (options.width > 0) {
    screenWidth = options.width;
    screenHeight = options.height;
  }
  fullScreen = options.fullScreen;

  if (!options.noDialog) {
    DialogSettings settings{screenWidth, screenHeight, fullScreen};
    const int result = showSettingsDialog(settings);
    if (result == 0) {
      platform::stopVideo();
      return kExitOk;
    }
    // Run, or a dialog that could not be created: carry on with the settings as they are.
    screenWidth = settings.width;
    screenHeight = settings.height;
    fullScreen = settings.fullScreen;
  }

  std::string failure;
  if (!openShowWindow(failure)) {
    printFailure(failure);
    // Nothing is torn down (the process ends right after), but a changed display mode is
    // given back.
    platform::restoreDisplay();
    return kExitFailure;
  }
  if (!loadContent(options, true, failure)) {
    printFailure(failure);
    closeShow();
    return kExitFailure;
  }
  startMusic(options);
  glimmer::timeline->clock.reset();
  glimmer::timeline->start();
  // The instant demo time 0 began on the monotonic clock, for lining the heard music up with it.
  if (envSet("GLIMMER_REPORT_START"))
    std::fprintf(
        stderr, "glimmer: demo time 0 at %.6f s\n",
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count());

  runMainLoop(options);

  closeShow();
  if (envSet("GLIMMER_REPORT_FRAMES"))
    std::fprintf(stderr, "glimmer: %lld loading-bar frames, %lld show frames\n",
                 static_cast<long long>(loadingBarFrames), static_cast<long long>(showFrames));
  return kExitOk;
}

int runGlimmer(const std::vector<std::string>& args) {
  const ParseResult parsed = parseOptions(args);
  if (!parsed.ok) {
    std::fprintf(stderr, "glimmer: %s\n\n%s", parsed.error.c_str(), usageText().c_str());
    return kExitUsage;
  }
  const Options& options = parsed.options;
  if (options.mode == RunMode::Help) {
    std::fputs(usageText().c_str(), stdout);
    return kExitOk;
  }
  if (options.mode == RunMode::Version) {
    std::fputs(versionText().c_str(), stdout);
    return kExitOk;
  }

  glimmer::setCounterSource({platform::counter, platform::counterFrequency});
  // Runs that nobody watches (offline, scripted: any option that skips the dialog) must never
  // stop on a message box.
  platform::setUnattended(options.offline() || options.noDialog || options.until.has_value() ||
                          envSet("GLIMMER_UNATTENDED"));

  // Review mode reads (and compiles) its files itself and watches them.
  if (options.mode == RunMode::Review) return runReview(options);

  std::string failure;
  if (!readResourceFiles(options, failure)) {
    printFailure(failure);
    return kExitFailure;
  }
  if (options.offline()) return runOffline(options);
  return runShow(options);
}

}  // namespace app
