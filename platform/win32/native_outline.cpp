// Reader of the system's native glyph outline format.
#include "platform/win32/native_outline.h"

namespace platform::win32 {

namespace {

uint32_t u32(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
         static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

uint16_t u16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

// A point of two 16.16 fixed-point numbers (fraction word first, then the signed integer word).
outline::Point point(std::span<const uint8_t> b, size_t at) {
  const auto x = static_cast<int32_t>(u32(b, at));
  const auto y = static_cast<int32_t>(u32(b, at + 4));
  return {x / 65536.0, y / 65536.0};
}

bool fail(std::string& error, size_t offset, const std::string& what) {
  error = "glyph outline, offset " + std::to_string(offset) + ": " + what;
  return false;
}

}  // namespace

bool readNativeOutline(std::span<const uint8_t> bytes, outline::Flattener& flat,
                       std::string& error) {
  constexpr size_t kHeaderBytes = 16;      // size, type, start point
  constexpr size_t kCurveHeaderBytes = 4;  // type, point count
  constexpr size_t kPointBytes = 8;
  size_t at = 0;
  while (at < bytes.size()) {
    if (bytes.size() - at < kHeaderBytes) return fail(error, at, "polygon header cut short");
    const uint32_t size = u32(bytes, at);
    if (u32(bytes, at + 4) != kPolygonType) return fail(error, at + 4, "not a polygon header");
    if (size < kHeaderBytes || size > bytes.size() - at)
      return fail(error, at, "polygon size " + std::to_string(size) + " does not fit");
    const size_t end = at + size;
    flat.moveTo(point(bytes, at + 8));
    size_t c = at + kHeaderBytes;
    while (c < end) {
      if (end - c < kCurveHeaderBytes) return fail(error, c, "curve header cut short");
      const uint16_t type = u16(bytes, c);
      const size_t count = u16(bytes, c + 2);
      if (count == 0) return fail(error, c + 2, "curve without points");
      if (count > (end - c - kCurveHeaderBytes) / kPointBytes)
        return fail(error, c + 2, "curve of " + std::to_string(count) + " points does not fit");
      const size_t p = c + kCurveHeaderBytes;
      auto pt = [&](size_t i) { return point(bytes, p + i * kPointBytes); };
      switch (type) {
        case kPrimLine:
          for (size_t i = 0; i < count; ++i) flat.lineTo(pt(i));
          break;
        case kPrimQSpline:
          // Off-curve points; between two of them lies an implied on-curve point halfway; the
          // last point is on the curve.
          for (size_t i = 0; i + 1 < count; ++i) {
            const outline::Point control = pt(i);
            outline::Point to = pt(i + 1);
            if (i + 2 < count) to = {(control.x + to.x) / 2, (control.y + to.y) / 2};
            flat.conicTo(control, to);
          }
          if (count == 1) flat.lineTo(pt(0));
          break;
        case kPrimCSpline:
          if (count % 3 != 0)
            return fail(error, c + 2, "cubic curve point count not a multiple of 3");
          for (size_t i = 0; i + 2 < count; i += 3) flat.cubicTo(pt(i), pt(i + 1), pt(i + 2));
          break;
        default:
          return fail(error, c, "unknown curve type " + std::to_string(type));
      }
      c = p + count * kPointBytes;
    }
    at = end;
  }
  flat.closeContours();
  return true;
}

}  // namespace platform::win32
