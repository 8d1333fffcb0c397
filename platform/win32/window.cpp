// The show window, its display mode, the WGL context on it, and the keyboard and message
// services, on Win32: a top-most pop-up window of the system's "static" class (no window class or
// window procedure of our own), a pixel format and rendering context through WGL, Escape through
// the asynchronous key state.
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "platform/gl.h"
#include "platform/platform.h"

namespace platform {

namespace {

constexpr int kPreferredDepthBits = 32;

struct VideoState {
  bool started = false;
  HINSTANCE instance = nullptr;
  HWND window = nullptr;
  HDC deviceContext = nullptr;
  HGLRC context = nullptr;
  HMODULE openglLibrary = nullptr;
  bool fullScreenRequested = false;
  DEVMODEA requestedMode{};
  bool fullScreenActive = false;
  bool cursorHidden = false;
  GlContextInfo info;
  bool unattended = false;
};

VideoState gVideo;

// The show is a GUI program, which has no console of its own. Started from a command prompt,
// its output for authors (--help, --bench figures, failure lines) goes to that prompt's console,
// unless it was redirected to a file or pipe. Runs before main.
struct ParentConsole {
  ParentConsole() {
    auto valid = [](HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; };
    const bool out = valid(GetStdHandle(STD_OUTPUT_HANDLE));
    const bool err = valid(GetStdHandle(STD_ERROR_HANDLE));
    if ((out && err) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (!out && std::freopen("CONOUT$", "w", stdout) == nullptr) return;
    if (!err) (void)std::freopen("CONOUT$", "w", stderr);
  }
};
ParentConsole gParentConsole;
// Set by injectEscapePress; read and cleared with the key state by escapePressed.
std::atomic<bool> gEscapeLatch{false};

// The pixel-format request: draw to window, OpenGL, double buffer; RGBA with 32 colour bits and
// no alpha; 32 depth bits, no stencil, no accumulation, no auxiliary buffers, main plane.
PIXELFORMATDESCRIPTOR pixelFormatRequest() {
  PIXELFORMATDESCRIPTOR pfd{};
  pfd.nSize = sizeof(PIXELFORMATDESCRIPTOR);
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 32;
  pfd.cDepthBits = kPreferredDepthBits;
  pfd.iLayerType = PFD_MAIN_PLANE;
  return pfd;
}

// Chooses the pixel format for the request. The system's choice may carry alpha bits that were
// not asked for; the frame copies would then take the window's alpha instead of opaque 1, so a
// format without alpha and with at least as many depth bits is preferred when one exists.
int choosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR& request) {
  const int chosen = ChoosePixelFormat(dc, &request);
  if (chosen == 0) return 0;
  PIXELFORMATDESCRIPTOR pfd{};
  const int count = DescribePixelFormat(dc, chosen, sizeof pfd, &pfd);
  if (pfd.cAlphaBits == 0) return chosen;
  const int chosenDepth = pfd.cDepthBits;
  const DWORD needed = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  int best = chosen;
  int bestDepth = -1;
  for (int i = 1; i <= count; ++i) {
    if (!DescribePixelFormat(dc, i, sizeof pfd, &pfd)) continue;
    if ((pfd.dwFlags & needed) != needed || (pfd.dwFlags & PFD_GENERIC_FORMAT) ||
        pfd.iPixelType != PFD_TYPE_RGBA || pfd.cAlphaBits != 0 || pfd.cColorBits < 24 ||
        pfd.cRedBits != 8 || pfd.cStencilBits != 0 || pfd.cAccumBits != 0)
      continue;
    const int depth = pfd.cDepthBits > kPreferredDepthBits ? 0 : pfd.cDepthBits;
    if (depth >= chosenDepth && depth > bestDepth) {
      best = i;
      bestDepth = depth;
    }
  }
  return best;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Video

bool startVideo(std::string&) {
  if (gVideo.started) return true;
  gVideo.instance = GetModuleHandleA(nullptr);
  gVideo.started = true;
  return true;
}

void stopVideo() {
  if (!gVideo.started) return;
  destroyGlContext();
  destroyWindow();
  gVideo.started = false;
  gVideo.fullScreenRequested = false;
}

bool hasVisibleDisplay() { return gVideo.started; }

void prepareOfflineVideo(bool) {}

// ---------------------------------------------------------------------------------------------
// Display mode

bool enterFullScreen(int width, int height) {
  gVideo.fullScreenRequested = false;
  if (!gVideo.started || width <= 0 || height <= 0) return false;
  DEVMODEA mode{};
  mode.dmSize = sizeof(DEVMODEA);
  mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
  mode.dmBitsPerPel = 32;
  mode.dmPelsWidth = static_cast<DWORD>(width);
  mode.dmPelsHeight = static_cast<DWORD>(height);
  if (ChangeDisplaySettingsA(&mode, CDS_TEST) != DISP_CHANGE_SUCCESSFUL) return false;
  gVideo.requestedMode = mode;
  gVideo.fullScreenRequested = true;
  return true;
}

// Back to the mode stored in the registry, in windowed mode too (it changes nothing then).
void restoreDisplay() {
  ChangeDisplaySettingsA(nullptr, 0);
  gVideo.fullScreenActive = false;
  gVideo.fullScreenRequested = false;
  showCursor(true);
}

bool isFullScreen() { return gVideo.fullScreenActive; }

void showCursor(bool visible) {
  if (visible == !gVideo.cursorHidden) return;
  ShowCursor(visible ? TRUE : FALSE);
  gVideo.cursorHidden = !visible;
}

bool cursorVisible() { return gVideo.started && !gVideo.cursorHidden; }

// ---------------------------------------------------------------------------------------------
// Window

bool createWindow(int width, int height, std::string& error) {
  if (!gVideo.started && !startVideo(error)) return false;
  if (gVideo.window) {
    error = "the show window already exists";
    return false;
  }
  gVideo.fullScreenActive = false;
  if (gVideo.fullScreenRequested &&
      ChangeDisplaySettingsA(&gVideo.requestedMode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL)
    gVideo.fullScreenActive = true;
  gVideo.window = CreateWindowExA(WS_EX_TOPMOST, "static", "", WS_POPUP | WS_VISIBLE, 0, 0, width,
                                  height, nullptr, nullptr, gVideo.instance, nullptr);
  if (!gVideo.window) {
    error = "CreateWindowEx failed with error " + std::to_string(GetLastError());
    return false;
  }
  SetForegroundWindow(gVideo.window);
  ShowWindow(gVideo.window, SW_SHOW);
  SetFocus(gVideo.window);
  if (gVideo.fullScreenActive) showCursor(false);
  // Presses made before the window existed (in the settings dialog) do not end the show.
  GetAsyncKeyState(VK_ESCAPE);
  gEscapeLatch.store(false);
  return true;
}

void destroyWindow() {
  if (gVideo.window) DestroyWindow(gVideo.window);
  gVideo.window = nullptr;
  gVideo.fullScreenActive = false;
}

bool hasWindow() { return gVideo.window != nullptr; }

void windowSize(int& width, int& height) {
  width = height = 0;
  RECT r;
  if (gVideo.window && GetClientRect(gVideo.window, &r)) {
    width = r.right - r.left;
    height = r.bottom - r.top;
  }
}

// ---------------------------------------------------------------------------------------------
// GL context

bool createGlContext(std::string& error) {
  if (!gVideo.window) {
    error = "no window";
    return false;
  }
  if (gVideo.context) return true;
  gVideo.deviceContext = GetDC(gVideo.window);
  if (!gVideo.deviceContext) {
    error = "the window has no device context";
    return false;
  }
  const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();
  const int format = choosePixelFormat(gVideo.deviceContext, request);
  if (format == 0) {
    error = "no pixel format fits";
    return false;
  }
  if (!SetPixelFormat(gVideo.deviceContext, format, &request)) {
    error = "the pixel format cannot be set";
    return false;
  }
  gVideo.context = wglCreateContext(gVideo.deviceContext);
  if (!gVideo.context) {
    error = "wglCreateContext failed";
    return false;
  }
  if (!wglMakeCurrent(gVideo.deviceContext, gVideo.context)) {
    error = "wglMakeCurrent failed";
    return false;
  }
  // No wait for the vertical retrace when the driver offers the choice.
  using SwapInterval = BOOL(WINAPI*)(int);
  if (auto swapInterval = reinterpret_cast<SwapInterval>(glProcAddress("wglSwapIntervalEXT")))
    swapInterval(0);

  PIXELFORMATDESCRIPTOR got{};
  DescribePixelFormat(gVideo.deviceContext, format, sizeof got, &got);
  GlContextInfo info;
  info.compatibility = true;  // wglCreateContext gives the compatibility profile
  info.doubleBuffered = (got.dwFlags & PFD_DOUBLEBUFFER) != 0;
  info.depthBits = got.cDepthBits;
  info.depthFallback = got.cDepthBits < kPreferredDepthBits;
  gVideo.info = info;
  return true;
}

void destroyGlContext() {
  if (gVideo.context) {
    wglMakeCurrent(gVideo.deviceContext, gVideo.context);
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(gVideo.context);
    gVideo.context = nullptr;
  }
  if (gVideo.deviceContext) ReleaseDC(gVideo.window, gVideo.deviceContext);
  gVideo.deviceContext = nullptr;
}

bool hasGlContext() { return gVideo.context != nullptr; }

GlContextInfo glContextInfo() { return gVideo.info; }

void swapBuffers() {
  if (gVideo.deviceContext) SwapBuffers(gVideo.deviceContext);
}

// wglGetProcAddress answers for extension entry points only; the OpenGL 1.1 functions are
// exported by opengl32 itself.
void* glProcAddress(const char* name) {
  if (PROC p = wglGetProcAddress(name)) {
    const auto v = reinterpret_cast<intptr_t>(p);
    if (v < -1 || v > 3) return reinterpret_cast<void*>(p);
  }
  if (!gVideo.openglLibrary) gVideo.openglLibrary = GetModuleHandleA("opengl32.dll");
  if (!gVideo.openglLibrary) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(gVideo.openglLibrary, name));
}

// ---------------------------------------------------------------------------------------------
// Input

bool escapePressed() {
  if (!gVideo.started) return false;
  // Bit 15: down now; bit 0: pressed since the previous call.
  const SHORT state = GetAsyncKeyState(VK_ESCAPE);
  const bool latched = gEscapeLatch.exchange(false);
  return (state & 0x8001) != 0 || latched;
}

void injectEscapePress() {
  if (gVideo.started) gEscapeLatch.store(true);
}

Message takeMessage() {
  int key = 0;
  return takeMessage(key);
}

Message takeMessage(int& key) {
  key = 0;
  if (!gVideo.started) return Message::None;
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return Message::None;
  if (msg.message == WM_QUIT) return Message::Quit;
  // Keys without a character come as key-down messages; printable ones as the character that
  // TranslateMessage posts next, lower-cased as the SDL backend reports them.
  if (msg.message == WM_KEYDOWN) {
    switch (msg.wParam) {
      case VK_LEFT:
        key = kKeyLeft;
        break;
      case VK_RIGHT:
        key = kKeyRight;
        break;
      case VK_UP:
        key = kKeyUp;
        break;
      case VK_DOWN:
        key = kKeyDown;
        break;
      case VK_HOME:
        key = kKeyHome;
        break;
      case VK_ESCAPE:
        key = 27;
        break;
      default:
        break;
    }
  } else if (msg.message == WM_CHAR && msg.wParam < 128 && msg.wParam != 27) {
    const int c = static_cast<int>(msg.wParam);
    key = (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  // The static class closes its window itself (Alt+F4): that ends the show like Escape.
  if (gVideo.window && !IsWindow(gVideo.window)) {
    gVideo.window = nullptr;
    return Message::Quit;
  }
  return Message::Dispatched;
}

// ---------------------------------------------------------------------------------------------
// Message box

void setUnattended(bool unattended) { gVideo.unattended = unattended; }
bool unattended() { return gVideo.unattended; }

void messageBox(const std::string& title, const std::string& text) {
  if (!gVideo.unattended &&
      MessageBoxA(gVideo.window, text.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION) != 0)
    return;
  std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  std::fflush(stderr);
}

}  // namespace platform
