// Blend modes 0-11, byte by byte, with expected pixels worked out by hand from each mode's rule.
#include "tests/texgen/test_util.h"

namespace glimmer::testing {
namespace {

using Blend = TexgenTest;
using M = BlendMode;

constexpr TexturePixel grey(uint32_t v) { return v * 0x01010101u; }

TEST_F(Blend, Modes) {
  const struct {
    TexturePixel d, s;
    int mode;
    TexturePixel expected;
  } rows[] = {
      {0, 0x12345678u, int(M::Or), 0x12345678u},
      {0xF0F0F0F0u, 0x0F0F0FFFu, int(M::Or), 0xFFFFFFFFu},
      {0xFF00FF00u, 0xFFFF0000u, int(M::Xor), 0x00FFFF00u},
      {0xFF00FF00u, 0xFFFF0000u, int(M::And), 0xFF000000u},
      {grey(200), grey(100), int(M::Add), grey(255)},  // saturates
      {0x01020304u, 0x10203040u, int(M::Add), 0x11223344u},
      {grey(100), grey(200), int(M::Subtract), 0},
      {0x10203040u, 0x01020304u, int(M::Subtract), 0x0F1E2D3Cu},
      {grey(255), grey(0), int(M::Average), grey(127)},  // truncated
      {0x01FF0203u, 0x03010205u, int(M::Average), 0x02800204u},
      {0x12345678u, 0xFF000000u, int(M::Minimum), 0x12000000u},
      {0x12345678u, 0x00FF0000u, int(M::Maximum), 0x12FF5678u},
      {0x12345678u, grey(255), int(M::Multiply), 0x12345678u},  // d * s / 255
      {grey(128), grey(128), int(M::Multiply), grey(64)},
      {0x12345678u, 0, int(M::Screen), 0x12345678u},
      {grey(128), grey(128), int(M::Screen), grey(192)},  // 255 - 127 * 127 / 255
      {0, grey(77), int(M::Burn), 0},                     // d = 0 unchanged
      {grey(128), grey(192), int(M::Burn), grey(130)},    // 255 - 63 * 255 / 128
      {grey(10), grey(200), int(M::Burn), 0},             // at least 0
      {grey(255), grey(3), int(M::Dodge), grey(255)},     // d = 255 unchanged
      {grey(128), grey(64), int(M::Dodge), grey(128)},    // 64 * 255 / 127
      {grey(200), grey(100), int(M::Dodge), grey(255)},   // at most 255
      // Outside what a generator drew the picture is 0: Add keeps, And clears, Average halves.
      {0x80FF4020u, 0, int(M::Add), 0x80FF4020u},
      {0x80FF4020u, 0, int(M::And), 0},
      {0x80FF4020u, 0, int(M::Average), 0x407F2010u},
      // Unknown modes keep the destination.
      {0x01020304u, ~0u, 12, 0x01020304u},
      {0x01020304u, ~0u, 255, 0x01020304u},
  };
  for (const auto& r : rows) {
    // 16 x 16 so the vector path and its tail both run.
    setTextureGeometry(16);
    std::vector<TexturePixel> d(256, r.d), s(256, r.s);
    combineImages(d.data(), s.data(), static_cast<uint8_t>(r.mode));
    EXPECT_EQ(d, std::vector<TexturePixel>(256, r.expected)) << "mode " << r.mode << " d " << r.d;
  }
}

}  // namespace
}  // namespace glimmer::testing
