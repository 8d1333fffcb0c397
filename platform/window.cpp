// The show window, its display mode, the GL context on it, and the keyboard and message services,
// on SDL2.
#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/gl.h"
#include "platform/platform.h"

namespace platform {

namespace {

constexpr int kPreferredDepthBits = 32;
constexpr int kFallbackDepthBits = 24;

struct VideoState {
  bool started = false;
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  int width = 0;
  int height = 0;
  int depthBits = kPreferredDepthBits;
  bool fullScreenRequested = false;
  SDL_DisplayMode requestedMode{};
  bool fullScreenActive = false;
  GlContextInfo info;
  bool unattended = false;
};

VideoState gVideo;
// Set by the event watch whenever an Escape key-down event enters SDL's queue.
std::atomic<bool> gEscapeLatch{false};

int SDLCALL watchEscape(void*, SDL_Event* event) {
  if (event->type == SDL_KEYDOWN && event->key.keysym.scancode == SDL_SCANCODE_ESCAPE)
    gEscapeLatch.store(true);
  return 1;
}

// GL attributes must be set before the window exists: on X11 they pick the window's visual.
void setGlAttributes(int depthBits) {
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, 0);
}

// Opens the window with the current GL attributes and applies a pending full-screen request.
SDL_Window* openWindow(int width, int height) {
  const Uint32 flags =
      SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_HIDDEN;
  SDL_Window* w = SDL_CreateWindow("", 0, 0, width, height, flags);
  if (!w) return nullptr;
  gVideo.fullScreenActive = false;
  if (gVideo.fullScreenRequested) {
    if (SDL_SetWindowDisplayMode(w, &gVideo.requestedMode) == 0 &&
        SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN) == 0) {
      gVideo.fullScreenActive = true;
    } else {
      SDL_SetWindowFullscreen(w, 0);
      SDL_SetWindowPosition(w, 0, 0);
    }
  }
  SDL_ShowWindow(w);
  SDL_RaiseWindow(w);
  return w;
}

void closeWindow() {
  if (gVideo.window) SDL_DestroyWindow(gVideo.window);
  gVideo.window = nullptr;
  gVideo.fullScreenActive = false;
}

bool driverIs(const char* name) {
  const char* d = SDL_GetCurrentVideoDriver();
  return d && std::strcmp(d, name) == 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Video

bool startVideo(std::string& error) {
  if (gVideo.started) return true;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    error = SDL_GetError();
    return false;
  }
  // Without a display SDL quietly falls back to its offscreen driver, which would play the show
  // to nobody; that driver is used only when asked for by name.
  const char* requested = std::getenv("SDL_VIDEODRIVER");
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
      !(requested && std::strstr(requested, driver))) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    error = "no display (set SDL_VIDEODRIVER=offscreen to run without one)";
    return false;
  }
  SDL_AddEventWatch(watchEscape, nullptr);
  gVideo.started = true;
  return true;
}

void stopVideo() {
  if (!gVideo.started) return;
  destroyGlContext();
  closeWindow();
  SDL_DelEventWatch(watchEscape, nullptr);
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  gVideo.started = false;
  gVideo.fullScreenRequested = false;
}

bool hasVisibleDisplay() {
  if (!gVideo.started) return false;
  const char* d = SDL_GetCurrentVideoDriver();
  return d && std::strcmp(d, "offscreen") != 0 && std::strcmp(d, "dummy") != 0;
}

// ---------------------------------------------------------------------------------------------
// Display mode

bool enterFullScreen(int width, int height) {
  gVideo.fullScreenRequested = false;
  if (!gVideo.started || width <= 0 || height <= 0) return false;
  SDL_DisplayMode want{};
  want.format = SDL_PIXELFORMAT_RGB888;
  want.w = width;
  want.h = height;
  SDL_DisplayMode got{};
  if (!SDL_GetClosestDisplayMode(0, &want, &got)) return false;
  if (got.w != width || got.h != height || SDL_BYTESPERPIXEL(got.format) != 4) return false;
  gVideo.requestedMode = got;
  gVideo.fullScreenRequested = true;
  return true;
}

void restoreDisplay() {
  if (gVideo.window && gVideo.fullScreenActive) SDL_SetWindowFullscreen(gVideo.window, 0);
  gVideo.fullScreenActive = false;
  gVideo.fullScreenRequested = false;
  showCursor(true);
}

bool isFullScreen() { return gVideo.fullScreenActive; }

void showCursor(bool visible) {
  if (gVideo.started) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

bool cursorVisible() { return gVideo.started && SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE; }

// ---------------------------------------------------------------------------------------------
// Window

bool createWindow(int width, int height, std::string& error) {
  if (!gVideo.started && !startVideo(error)) return false;
  if (gVideo.window) {
    error = "the show window already exists";
    return false;
  }
  gVideo.width = width;
  gVideo.height = height;
  gVideo.depthBits = kPreferredDepthBits;
  setGlAttributes(gVideo.depthBits);
  gVideo.window = openWindow(width, height);
  if (!gVideo.window) {
    // Some X servers offer no visual with 32 depth bits at all.
    gVideo.depthBits = kFallbackDepthBits;
    setGlAttributes(gVideo.depthBits);
    gVideo.window = openWindow(width, height);
  }
  if (!gVideo.window) {
    error = SDL_GetError();
    return false;
  }
  if (gVideo.fullScreenActive) showCursor(false);
  // Presses made in an earlier window (the settings dialog) do not end the show.
  SDL_PumpEvents();
  gEscapeLatch.store(false);
  return true;
}

void destroyWindow() { closeWindow(); }

bool hasWindow() { return gVideo.window != nullptr; }

void windowSize(int& width, int& height) {
  width = height = 0;
  if (gVideo.window) SDL_GL_GetDrawableSize(gVideo.window, &width, &height);
}

// ---------------------------------------------------------------------------------------------
// GL context

bool createGlContext(std::string& error) {
  if (!gVideo.window) {
    error = "no window";
    return false;
  }
  if (gVideo.context) return true;
  gVideo.context = SDL_GL_CreateContext(gVideo.window);
  if (!gVideo.context && gVideo.depthBits == kPreferredDepthBits) {
    // The visual or config was accepted but the context was not: try again with 24 depth bits
    // on a fresh window, since the window's pixel format cannot change once set.
    const bool wanted = gVideo.fullScreenActive;
    closeWindow();
    gVideo.fullScreenRequested = wanted;
    gVideo.depthBits = kFallbackDepthBits;
    setGlAttributes(gVideo.depthBits);
    gVideo.window = openWindow(gVideo.width, gVideo.height);
    if (gVideo.window) gVideo.context = SDL_GL_CreateContext(gVideo.window);
  }
  if (!gVideo.context) {
    error = SDL_GetError();
    return false;
  }
  if (SDL_GL_MakeCurrent(gVideo.window, gVideo.context) != 0) {
    error = SDL_GetError();
    return false;
  }
  SDL_GL_SetSwapInterval(0);

  GlContextInfo info;
  int value = 0;
  info.doubleBuffered = SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &value) == 0 && value != 0;
  value = 0;
  SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &value);
  info.depthBits = value;
  info.depthFallback = gVideo.depthBits != kPreferredDepthBits;
  // A core profile has neither the extension string nor immediate mode; refuse it.
  GLint major = 0;
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  if (version) major = version[0] - '0';
  info.compatibility = true;
  if (major >= 3) {
    GLint mask = 0;
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
    info.compatibility = (mask & GL_CONTEXT_CORE_PROFILE_BIT) == 0;
  }
  gVideo.info = info;
  if (!info.compatibility) {
    error = "the driver gave a core-profile context";
    return false;
  }
  return true;
}

void destroyGlContext() {
  if (!gVideo.context) return;
  if (gVideo.window) SDL_GL_MakeCurrent(gVideo.window, gVideo.context);
  SDL_GL_MakeCurrent(gVideo.window, nullptr);
  SDL_GL_DeleteContext(gVideo.context);
  gVideo.context = nullptr;
}

bool hasGlContext() { return gVideo.context != nullptr; }

GlContextInfo glContextInfo() { return gVideo.info; }

void swapBuffers() {
  if (gVideo.window) SDL_GL_SwapWindow(gVideo.window);
}

void* glProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

// ---------------------------------------------------------------------------------------------
// Input

bool escapePressed() {
  if (!gVideo.started) return false;
  SDL_PumpEvents();
  const Uint8* keys = SDL_GetKeyboardState(nullptr);
  const bool down = keys && keys[SDL_SCANCODE_ESCAPE];
  const bool latched = gEscapeLatch.exchange(false);
  return down || latched;
}

void injectEscapePress() {
  if (!gVideo.started) return;
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.state = SDL_PRESSED;
  event.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
  event.key.keysym.sym = SDLK_ESCAPE;
  SDL_PushEvent(&event);
}

Message takeMessage() {
  int key = 0;
  return takeMessage(key);
}

Message takeMessage(int& key) {
  key = 0;
  if (!gVideo.started) return Message::None;
  // Pump and peek rather than SDL_PollEvent, which ends each poll cycle with a "nothing" even
  // when events arrived during the cycle.
  SDL_PumpEvents();
  SDL_Event event;
  if (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) <= 0)
    return Message::None;
  if (event.type == SDL_QUIT) return Message::Quit;
  if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)
    return Message::Quit;
  if (event.type == SDL_KEYDOWN) {
    const SDL_Keycode sym = event.key.keysym.sym;
    switch (sym) {
      case SDLK_LEFT:
        key = kKeyLeft;
        break;
      case SDLK_RIGHT:
        key = kKeyRight;
        break;
      case SDLK_UP:
        key = kKeyUp;
        break;
      case SDLK_DOWN:
        key = kKeyDown;
        break;
      case SDLK_HOME:
        key = kKeyHome;
        break;
      default:
        if (sym >= 0 && sym < 128) key = static_cast<int>(sym);
        break;
    }
  }
  return Message::Dispatched;
}

// ---------------------------------------------------------------------------------------------
// Message box

void setUnattended(bool unattended) { gVideo.unattended = unattended; }
bool unattended() { return gVideo.unattended; }

void messageBox(const std::string& title, const std::string& text) {
  if (!gVideo.unattended && hasVisibleDisplay() && !driverIs("offscreen") &&
      SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title.c_str(), text.c_str(),
                               gVideo.window) == 0)
    return;
  std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

}  // namespace platform
