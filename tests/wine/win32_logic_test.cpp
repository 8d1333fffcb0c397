// The system-independent parts of the Win32 platform layer, checked on every build host: how
// dialog messages reach the settings procedure, the reader of native glyph outlines, and the
// play-position arithmetic of the looping sound ring.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "platform/ring_position.h"
#include "platform/win32/dialog_logic.h"
#include "platform/win32/native_outline.h"

namespace {

using platform::DialogMessage;
namespace win32 = platform::win32;

// ---------------------------------------------------------------------------------------------
// Dialog messages. Numbers from the system's message list: WM_CLOSE 0x0010, WM_INITDIALOG
// 0x0110, WM_COMMAND 0x0111 (word parameter: control id low, notification code high),
// WM_KEYDOWN 0x0100, WM_TIMER 0x0113.

TEST(Win32DialogMessages, TranslationAndProcedureResult) {
  // Run (1001), Exit (1003), Escape's cancel (2); focus notification (6) in the high word, or a
  // Win64 word parameter's upper half, which is dropped.
  using M = DialogMessage;
  // clang-format off
  const std::tuple<uint32_t, uint64_t, bool, DialogMessage, uint32_t> rows[] = {
      {0x0110, 0, true, M::Init, 0}, {0x0111, 1001, true, M::Command, 1001},
      {0x0111, 1003, true, M::Command, 1003}, {0x0111, 2, true, M::Command, 2},
      {0x0111, (6u << 16) | 1001, true, M::Command, 0x603E9},
      {0x0111, 0xFFFFFFFF00000000ull | 1001, true, M::Command, 1001},
      {0x0010, 0, true, M::Close, 0}, {0x0100, 0x1B, false, M::Init, 0},
      {0x0113, 1, false, M::Init, 0}};
  // clang-format on
  for (const auto& [message, wordParam, relevant, as, word] : rows) {
    const win32::Translated t = win32::translateDialogMessage(message, wordParam);
    EXPECT_EQ(t.relevant, relevant) << std::hex << message;
    if (!relevant) continue;
    EXPECT_EQ(t.message, as) << std::hex << message;
    EXPECT_EQ(t.wordParam, word) << std::hex << message << " " << wordParam;
  }
  // 0 after initialising (focus left to the system), 1 only for the command that ran the show.
  const std::tuple<uint32_t, platform::DialogReply, intptr_t> results[] = {
      {0x0110, {false, 0}, 0}, {0x0111, {true, 1}, 1}, {0x0111, {true, 0}, 0},
      {0x0111, {false, 0}, 0}, {0x0010, {true, 0}, 0}, {0x0100, {false, 0}, 0},
  };
  for (const auto& [message, reply, expected] : results)
    EXPECT_EQ(win32::dialogProcedureResult(win32::translateDialogMessage(message, 1001), reply),
              expected)
        << std::hex << message;
}

// ---------------------------------------------------------------------------------------------
// Native outlines, built by hand: polygon header = size (4), type 24 (4), start point (8);
// curve = type (2), count (2), points (8 each); a point is two 16.16 numbers, fraction first.

using Points = std::vector<std::pair<double, double>>;

struct Outline {
  std::vector<uint8_t> bytes;
  void u16(uint32_t v) { bytes.insert(bytes.end(), {uint8_t(v), uint8_t(v >> 8)}); }
  void u32(uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); }
  void point(double x, double y) {
    u32(uint32_t(int32_t(x * 65536))), u32(uint32_t(int32_t(y * 65536)));
  }
  Outline& polygon(double x, double y, uint16_t type, const Points& points) {
    const auto n = uint16_t(points.size());
    u32(16 + 4 + 8u * n), u32(24), point(x, y), u16(type), u16(n);
    for (auto [px, py] : points) point(px, py);
    return *this;
  }
};

Points flatten(const std::vector<uint8_t>& bytes, double tolerance, size_t contour,
               std::string& error) {
  platform::outline::Flattener flat;
  flat.tolerance = tolerance;
  Points out;
  if (!win32::readNativeOutline(bytes, flat, error)) return out;
  if (contour < flat.contours.size())
    for (const auto& p : flat.contours[contour]) out.push_back({p.x, p.y});
  return out;
}

TEST(Win32NativeOutline, ContoursAndBadBytes) {
  const std::tuple<const char*, uint16_t, Points, double, Points> rows[] = {
      // Expected points worked out by hand: the quadratic from (0,0) over (5,10) to (10,0) bends
      // by |p0 - 2 p1 + p2| / 4 = 5, so a tolerance of 5 keeps one piece and 1.25 two, split at
      // t = 1/2: (0.25*0 + 0.5*5 + 0.25*10, 0.5*10) = (5, 5). Between two off-curve points of a
      // B-spline lies an implied on-curve point halfway: (0,10),(10,10) -> (5,10).
      // clang-format off
      {"square of lines, closing point dropped", 1, {{0, 10}, {10, 10}, {10, 0}, {0, 0}}, 1,
       {{0, 0}, {0, 10}, {10, 10}, {10, 0}}},
      {"fractions", 1, {{1.5, -2.25}}, 1, {{0, 0}, {1.5, -2.25}}},
      {"quadratic, one piece", 2, {{5, 10}, {10, 0}}, 5, {{0, 0}, {10, 0}}},
      {"quadratic, two pieces", 2, {{5, 10}, {10, 0}}, 1.25, {{0, 0}, {5, 5}, {10, 0}}},
      {"B-spline, implied point", 2, {{0, 10}, {10, 10}, {10, 0}}, 100, {{0, 0}, {5, 10}, {10, 0}}},
      {"cubic, one piece", 3, {{0, 10}, {10, 10}, {10, 0}}, 1000, {{0, 0}, {10, 0}}},
      // clang-format on
  };
  std::string error;
  for (const auto& [name, type, points, tolerance, expected] : rows)
    EXPECT_EQ(flatten(Outline().polygon(0, 0, type, points).bytes, tolerance, 0, error), expected)
        << name << ": " << error;
  // Two polygons give two contours.
  const Outline two =
      Outline().polygon(0, 0, 1, {{0, 4}, {4, 4}}).polygon(1, 1, 1, {{2, 1}, {2, 2}});
  EXPECT_EQ(flatten(two.bytes, 1, 1, error), (Points{{1, 1}, {2, 1}, {2, 2}})) << error;

  const Outline good = Outline().polygon(0, 0, 1, {{0, 4}});  // 16 + 4 + 8 = 28 bytes
  auto patched = [&](size_t offset, uint8_t with) {
    std::vector<uint8_t> b = good.bytes;
    b[offset] = with;
    return b;
  };
  // Each error's offset, worked out from the layout, and its kind: a header cut short; sizes 29
  // (past the end) and 8 (below a header); 2 points run past the polygon; a cubic of one point.
  // clang-format off
  const std::pair<std::vector<uint8_t>, const char*> bad[] = {
      {{good.bytes.begin(), good.bytes.begin() + 10}, "0: polygon header cut short"},
      {patched(4, 25), "4: not a polygon header"}, {patched(16, 7), "16: unknown curve type 7"},
      {patched(0, 29), "0: polygon size 29"}, {patched(0, 8), "0: polygon size 8"},
      {patched(18, 0), "18: curve without points"}, {patched(18, 2), "18: curve of 2 points"},
      {patched(16, 3), "18: cubic curve"}};
  // clang-format on
  for (const auto& [bytes, message] : bad) {
    error.clear();
    flatten(bytes, 1, 0, error);
    EXPECT_EQ(error.rfind("glyph outline, offset " + std::string(message), 0), 0u) << error;
  }
}

// ---------------------------------------------------------------------------------------------
// Ring position: a 1000-byte ring at 1000 frames per second, 4 bytes a frame, so the clock
// moves 4 bytes a millisecond once the device is lost.

TEST(RingPosition, DeviceCounterClockAndWrap) {
  // Steps: bytes the device played, device stopped, now in ms -> position, lost.
  using Step = std::tuple<uint64_t, bool, uint64_t, uint32_t, bool>;
  const std::tuple<const char*, uint32_t, int, std::vector<Step>> rows[] = {
      // clang-format off
      {"device moving, then stalled past 500 ms", 1000, 1000,
       {{400, false, 10, 400, false},
        {1200, false, 20, 200, false},    // 1200 mod 1000
        {1200, false, 520, 200, false},   // still 500 ms: not yet lost
        {1200, false, 521, 200, true},    // lost where it stopped
        {1200, false, 621, 600, true},    // 1200 + 100 ms * 4 = 1600
        {5000, false, 622, 604, true}}},  // the device's counter no longer counts
      {"device stopped at once", 1000, 1000,
       {{800, true, 5, 800, true}, {800, false, 55, 0, true}}},  // 800 + 50 * 4 = 1000
      {"no device at 44100 Hz, 10 ms = 441 frames = 1764 bytes", 4096, 44100,
       {{0, true, 0, 0, true}, {0, true, 10, 1764, true}}},
      {"ring size rounded down to whole frames", 1003, 1000, {{1001, false, 1, 1, false}}},
      // clang-format on
  };
  for (const auto& [name, ringBytes, rate, steps] : rows) {
    platform::RingPosition ring;
    ring.start(ringBytes, rate, 0);
    for (const auto& [played, stopped, nowMs, position, lost] : steps) {
      EXPECT_EQ(ring.update(played, stopped, nowMs), position) << name << " @" << nowMs;
      EXPECT_EQ(ring.lost(), lost) << name << " @" << nowMs;
    }
  }
  // A wrapping counter extended to 64 bits: previous, counter, bits -> extended.
  const std::tuple<uint64_t, uint64_t, int, uint64_t> wraps[] = {
      // clang-format off
      {0, 100, 32, 100}, {100, 100, 32, 100},               // no movement
      {0xFFFFFF00ull, 0x10, 32, 0x100000010ull},            // wrapped once
      {0x100000010ull, 0x20, 32, 0x100000020ull},           // after the wrap
      {0x2FFFFFFF0ull, 0xFFFFFFF8ull, 32, 0x2FFFFFFF8ull},  // third lap
      {0xFFF0, 0x0005, 16, 0x10005}, {5, 3, 64, 3},         // a full-width counter is taken as is
      // clang-format on
  };
  for (const auto& [previous, counter, bits, expected] : wraps)
    EXPECT_EQ(platform::RingPosition::extend(previous, counter, bits), expected)
        << std::hex << previous << " " << counter;
}

}  // namespace
