// The overlay font's glyph bitmaps as glBitmap takes them.
#include <gtest/gtest.h>

#include "platform/glyph_lists.h"

namespace platform {
namespace {

TEST(GlyphBits, RunBottomUpWithByteRows) {
  // A 10 x 3 glyph: top row full, middle row only column 9, bottom row only column 0 (column 1
  // at 127 is below the threshold). Rows of two bytes, bottom row first, the first column in the
  // high bit.
  const std::vector<uint8_t> cov = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255,  //
                                    0,   0,   0,   0,   0,   0,   0,   0,   0,   200,  //
                                    128, 127, 0,   0,   0,   0,   0,   0,   0,   0};
  const GlyphBits g = glyphToBits(GlyphBitmap{10, 3, 2, 7, 12, cov});
  EXPECT_EQ(
      (std::array<float, 5>{float(g.width), float(g.rows), g.xorig, g.yorig, g.advance}),
      (std::array<float, 5>{10, 3, -2, -4, 12}));  // the bottom row 4 pixels above the baseline
  EXPECT_EQ(g.bits, (std::vector<uint8_t>{0x80, 0x00, 0x00, 0x40, 0xFF, 0xC0}));
  const GlyphBits space = glyphToBits(GlyphBitmap{0, 0, 0, 0, 17, {}});  // keeps its advance
  EXPECT_EQ(std::pair(space.bits.size(), space.advance), std::pair(size_t{0}, 17.0f));
  // Coverage shorter than width x rows is refused.
  EXPECT_TRUE(glyphToBits(GlyphBitmap{4, 4, 0, 0, 5, std::vector<uint8_t>(3, 255)}).bits.empty());
}

}  // namespace
}  // namespace platform
