// The show window's device context, for the GDI services that draw into the window's OpenGL
// context (glyph display lists).
#pragma once

#include <windows.h>

namespace platform::win32 {

// The device context the OpenGL context was made on; null before createGlContext succeeded and
// after destroyGlContext.
HDC windowDeviceContext();

}  // namespace platform::win32
