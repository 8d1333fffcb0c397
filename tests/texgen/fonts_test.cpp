// Font services: chosen substitutes, glyph metrics, string coverage and code pages.
#include "platform/fonts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using platform::CodePage;
using platform::Font;
using platform::FontFace;

// Each family is itself, or a substitute of the same kind (serif or sans, weight, width).
TEST(FontFaces, SubstitutesKeepTheKindOfFace) {
  // clang-format off
  const struct { const char* family; int weight; bool real; int minWeight, maxWeight;
                 std::vector<std::string> substitutes; } rows[] = {  // no substitutes: any
      {"Times New Roman", 400, true, 0, 599,
       {"Liberation Serif", "Tinos", "Nimbus Roman", "DejaVu Serif"}},
      {"Arial Black", 700, true, 650, 1000,
       {"Liberation Sans", "DejaVu Sans", "Nimbus Sans", "Arimo"}},
      {"Impact", 400, true, 650, 1000, {}},  // a condensed or narrow bold sans
      {"No Such Family 12345", 0, false, 0, 1000, {}}};
  // clang-format on
  for (const auto& r : rows) {
    FontFace f;
    ASSERT_TRUE(platform::findFontFace(r.family, r.weight, f)) << r.family;
    EXPECT_FALSE(f.path.empty());
    EXPECT_TRUE(r.real || !f.exact) << r.family;
    if (f.exact) continue;
    const auto& s = r.substitutes;
    EXPECT_TRUE(s.empty() || std::find(s.begin(), s.end(), f.family) != s.end()) << f.family;
    EXPECT_TRUE(f.weight >= r.minWeight && f.weight <= r.maxWeight) << r.family << ": " << f.style;
  }
}

// A positive height is the cell (ascent + descent, leading included), a negative one the em.
// Glyphs carry full coverage somewhere and an advance; a space has an advance and no bitmap.
TEST(Fonts, HeightsFollowGdiConventionAndGlyphsHaveInk) {
  FontFace f;
  ASSERT_TRUE(platform::findFontFace("Times New Roman", 400, f));
  auto cell = Font::open(f, 40), em = Font::open(f, -64), def = Font::open(f, 0);
  ASSERT_TRUE(cell && em && def);
  EXPECT_EQ(cell->metrics().cellHeight, 40);
  EXPECT_EQ(cell->metrics().ascent + cell->metrics().descent, 40);
  EXPECT_LT(cell->metrics().emPixels, 40.0f);
  EXPECT_FLOAT_EQ(em->metrics().emPixels, 64.0f);
  EXPECT_GT(em->metrics().cellHeight, 64);
  EXPECT_EQ(def->metrics().cellHeight, platform::kDefaultFontCellHeight);
  platform::GlyphBitmap g;
  ASSERT_TRUE(em->glyph(U'H', g));
  EXPECT_TRUE(g.width > 10 && g.rows > 30 && g.top > 30 && g.advance > g.width / 2);
  EXPECT_EQ(g.coverage.size(), static_cast<size_t>(g.width * g.rows));
  EXPECT_EQ(*std::max_element(g.coverage.begin(), g.coverage.end()), 255);
  ASSERT_TRUE(em->glyph(U' ', g));
  EXPECT_TRUE(g.width * g.rows == 0 && g.advance > 0);
  // Where drawText puts the ink (inside the cell, clipped at the edges) is checked through
  // RenderText (TextImage.InkBoxes, TextImage.PositionsFarOffTheImageDrawNothing).
}

// Expected characters read off the public charts of code pages 1251 and 1252.
TEST(CodePages, Windows1251And1252) {
  const CodePage cyr = CodePage::Windows1251, west = CodePage::Windows1252;
  // clang-format off
  const struct { uint8_t byte; CodePage page; char32_t expected; } rows[] = {
      {0x41, cyr, U'A'}, {0xC0, cyr, U'\u0410'}, {0xFF, cyr, U'\u044F'}, {0xA8, cyr, U'\u0401'},
      {0xB9, cyr, U'\u2116'}, {0x98, cyr, U'\uFFFD'}, {0xE9, west, U'\u00E9'},
      {0x80, west, U'\u20AC'}};
  // clang-format on
  for (const auto& r : rows)
    EXPECT_EQ(platform::codePageChar(r.byte, r.page), r.expected) << int(r.byte);
  EXPECT_EQ(platform::decodeCodePage("\xCF\xF0\xE8\xE2\xE5\xF2!", cyr),
            U"\u041F\u0440\u0438\u0432\u0435\u0442!");
}

}  // namespace
