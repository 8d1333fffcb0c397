// Reader of the system's native glyph outline format (what the glyph-outline service returns for
// a TrueType glyph): a sequence of polygon headers, each followed by line, quadratic B-spline and
// cubic curve records, all points in 16.16 fixed point. System-independent, so it is tested on
// every build host.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/outline_mesh.h"

namespace platform::win32 {

// Record types of the native outline format.
constexpr uint32_t kPolygonType = 24;  // TT_POLYGON_TYPE
constexpr uint16_t kPrimLine = 1;      // TT_PRIM_LINE
constexpr uint16_t kPrimQSpline = 2;   // TT_PRIM_QSPLINE
constexpr uint16_t kPrimCSpline = 3;   // TT_PRIM_CSPLINE

// Flattens every polygon of the buffer into flat's contours (one contour per polygon, closed
// back to its start point implicitly). False with error naming the byte offset when a record is
// cut short, has an unknown type or a size that does not fit.
bool readNativeOutline(std::span<const uint8_t> bytes, outline::Flattener& flat,
                       std::string& error);

}  // namespace platform::win32
