// Services taken from the operating system: window, GL context, keys, clock, message box,
// settings dialog, sound, fonts. The engine reaches the system only through this layer.
//
// Index:
//   clock            high-resolution counter, sleep, process start and CPU time
//   video            start/stop, whether a person can see the windows
//   display mode     full-screen request and restore, cursor
//   window           the one show window
//   GL context       compatibility-profile context on the show window, presentation
//   input            Escape test, one-message pump
//   message box      modal box, or stderr when nobody is there to close it
//
// There is one show window per process; the settings dialog (platform/dialog.h) uses its own
// short-lived window before the show window exists.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// ---------------------------------------------------------------------------------------------
// Clock

// High-resolution counter and its ticks per second.
uint64_t counter();
uint64_t counterFrequency();
// Suspends the calling thread for at least ms milliseconds.
void sleepMilliseconds(uint32_t ms);
// Milliseconds since this process was started by the system (its start time may be coarse:
// the figure then errs on the long side); -1 when the system cannot tell.
double msSinceProcessStart();
// CPU time of the whole process (every thread), user plus system, in milliseconds.
double processCpuMs();

// ---------------------------------------------------------------------------------------------
// Video

// Starts the video and event services. False with a reason when there is no display; SDL's
// offscreen (headless) driver is used only when SDL_VIDEODRIVER names it. Calling it again
// after success does nothing.
bool startVideo(std::string& error);
// Destroys what is left of the window and context and stops the video services.
void stopVideo();
// True when windows are shown to a person: a real display, not SDL's offscreen or dummy driver.
bool hasVisibleDisplay();
// Offline runs (frames to files, benchmarks) call this before startVideo: frames are drawn on a
// surface nobody sees unless the user chose a video driver; showWindow keeps a visible window
// where there is a display. Systems whose windows are always real ignore it.
void prepareOfflineVideo(bool showWindow);

// ---------------------------------------------------------------------------------------------
// Display mode

// Asks for full screen at width x height and 32 bits per pixel for the show window. True when
// the display offers exactly that mode; the change itself happens when the window is created
// (createWindow), and only when it succeeds is the cursor hidden.
bool enterFullScreen(int width, int height);
// Leaves full screen when the window took it (back to the desktop mode) and shows the cursor
// once more. Safe to call in windowed mode and without a window.
void restoreDisplay();
// True while the show window holds a full-screen mode.
bool isFullScreen();
// Cursor visibility: one call hides or shows it.
void showCursor(bool visible);
// Current visibility of the cursor.
bool cursorVisible();

// ---------------------------------------------------------------------------------------------
// Window

// Creates the show window: borderless, top-most, at (0, 0), width x height, raised and given
// the keyboard focus, able to take a GL context. A pending full-screen request is applied here;
// a refused mode change leaves the window at its size at (0, 0) and the cursor visible.
bool createWindow(int width, int height, std::string& error);
void destroyWindow();
bool hasWindow();
// Size of the window's drawable area in pixels (0 x 0 without a window).
void windowSize(int& width, int& height);

// ---------------------------------------------------------------------------------------------
// GL context

// What the context really got.
struct GlContextInfo {
  bool compatibility = false;  // compatibility profile (never core)
  bool doubleBuffered = false;
  int depthBits = 0;
  bool depthFallback = false;  // 32 depth bits were refused and 24 were taken instead
};

// Creates the OpenGL context on the show window and makes it current: compatibility profile,
// double buffer, 8 bits per colour channel, no alpha, 32 depth bits (24 when the driver refuses
// 32), no stencil, no accumulation buffer, no swap-interval wait.
bool createGlContext(std::string& error);
// Deletes the context (made current once more first). Safe without one.
void destroyGlContext();
bool hasGlContext();
GlContextInfo glContextInfo();
// Presents the back buffer of the show window.
void swapBuffers();
// Address of an OpenGL entry point of the current context, or null.
void* glProcAddress(const char* name);

// ---------------------------------------------------------------------------------------------
// Input

// True when Escape is down now or was pressed since the previous call; each press is reported
// once. Reads the system's pending input itself, so a press made while nobody pumped messages
// (loading) is still seen.
bool escapePressed();
// Queues an Escape key press as the keyboard would; lets tests press Escape at a chosen moment.
void injectEscapePress();

enum class Message { None, Dispatched, Quit };
// Takes at most one message from the queue and dispatches it. Quit: the system asked the
// program to end (window closed, interrupt signal).
Message takeMessage();
// Key codes of takeMessage(key): printable keys as their lower-case ASCII character, Escape as
// 27, and these for keys without a character.
constexpr int kKeyLeft = 0x101;
constexpr int kKeyRight = 0x102;
constexpr int kKeyUp = 0x103;
constexpr int kKeyDown = 0x104;
constexpr int kKeyHome = 0x105;
// Like takeMessage(); a key press that it takes sets key to its code (0 for any other message).
Message takeMessage(int& key);

// ---------------------------------------------------------------------------------------------
// Message box

// Unattended runs (tests, offline rendering, scripted runs) never block on a box.
void setUnattended(bool unattended);
bool unattended();
// Shows a modal message box; with no visible display or when unattended, writes
// "title: text" to stderr instead.
void messageBox(const std::string& title, const std::string& text);

}  // namespace platform
