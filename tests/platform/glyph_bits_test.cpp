// The overlay font's glyph bitmaps as glBitmap takes them.
#include <gtest/gtest.h>

#include "platform/glyph_lists.h"

namespace platform {
namespace {

TEST(GlyphBits, RunBottomUpWithByteRows) {
  // A 10 x 3 glyph: top row full, middle row only column 9, bottom row only column 0.
  std::vector<uint8_t> cov(30, 0);
  for (int c = 0; c < 10; ++c) cov[static_cast<size_t>(c)] = 255;
  cov[10 + 9] = 200;
  cov[20 + 0] = 128;
  cov[20 + 1] = 127;  // below the threshold
  const GlyphBits g = glyphToBits(GlyphBitmap{10, 3, 2, 7, 12, cov});
  EXPECT_EQ(g.width, 10);
  EXPECT_EQ(g.rows, 3);
  EXPECT_EQ(g.xorig, -2.0f);
  EXPECT_EQ(g.yorig, -4.0f);  // the bottom row lies 4 pixels above the baseline
  EXPECT_EQ(g.advance, 12.0f);
  ASSERT_EQ(g.bits.size(), 6u);
  EXPECT_EQ(g.bits[0], 0x80);  // bottom row first
  EXPECT_EQ(g.bits[1], 0x00);
  EXPECT_EQ(g.bits[2], 0x00);
  EXPECT_EQ(g.bits[3], 0x40);
  EXPECT_EQ(g.bits[4], 0xFF);
  EXPECT_EQ(g.bits[5], 0xC0);
  const GlyphBits space = glyphToBits(GlyphBitmap{0, 0, 0, 0, 17, {}});
  EXPECT_TRUE(space.bits.empty());
  EXPECT_EQ(space.advance, 17.0f);
  const GlyphBits shortData = glyphToBits(GlyphBitmap{4, 4, 0, 0, 5, std::vector<uint8_t>(3, 255)});
  EXPECT_TRUE(shortData.bits.empty());  // coverage shorter than width x rows is refused
}

}  // namespace
}  // namespace platform
