// Font services: chosen substitutes, glyph metrics, string coverage and code pages.
#include "platform/fonts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using platform::CodePage;
using platform::Font;
using platform::FontFace;

bool oneOf(const std::string& s, std::initializer_list<const char*> names) {
  return std::any_of(names.begin(), names.end(), [&](const char* n) { return s == n; });
}

// Each family is itself, or a substitute of the same kind (serif or sans, weight, width).
TEST(FontFaces, SubstitutesKeepTheKindOfFace) {
  const struct {
    const char* family;
    int weight;
    std::initializer_list<const char*> substitutes;  // empty: any
    int minWeight, maxWeight;
  } rows[] = {
      {"Times New Roman",
       platform::kFontWeightNormal,
       {"Liberation Serif", "Tinos", "Nimbus Roman", "DejaVu Serif"},
       0,
       599},
      {"Arial Black",
       platform::kFontWeightBold,
       {"Liberation Sans", "DejaVu Sans", "Nimbus Sans", "Arimo"},
       650,
       1000},
      // Impact: a condensed or narrow bold sans.
      {"Impact", platform::kFontWeightNormal, {}, 650, 1000},
      {"No Such Family 12345", 0, {}, 0, 1000},
  };
  for (const auto& r : rows) {
    FontFace f;
    ASSERT_TRUE(platform::findFontFace(r.family, r.weight, f)) << r.family;
    EXPECT_FALSE(f.path.empty());
    if (f.exact) continue;
    EXPECT_TRUE(r.substitutes.size() == 0 || oneOf(f.family, r.substitutes))
        << r.family << ": " << f.family;
    EXPECT_GE(f.weight, r.minWeight) << r.family << ": " << f.style;
    EXPECT_LE(f.weight, r.maxWeight) << r.family << ": " << f.style;
  }
  FontFace f;
  platform::findFontFace("No Such Family 12345", 0, f);
  EXPECT_FALSE(f.exact);
}

TEST(Fonts, HeightsFollowGdiConvention) {
  FontFace f;
  ASSERT_TRUE(platform::findFontFace("Times New Roman", 400, f));
  auto cell = Font::open(f, 40);
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->metrics().cellHeight, 40);
  EXPECT_EQ(cell->metrics().ascent + cell->metrics().descent, 40);
  EXPECT_LT(cell->metrics().emPixels, 40.0f);  // the cell includes the internal leading
  auto em = Font::open(f, -40);
  ASSERT_TRUE(em);
  EXPECT_FLOAT_EQ(em->metrics().emPixels, 40.0f);
  EXPECT_GT(em->metrics().cellHeight, 40);
  auto def = Font::open(f, 0);
  ASSERT_TRUE(def);
  EXPECT_EQ(def->metrics().cellHeight, platform::kDefaultFontCellHeight);
}

TEST(Fonts, GlyphBitmapAndStringCoverage) {
  FontFace f;
  ASSERT_TRUE(platform::findFontFace("Impact", 400, f));
  auto font = Font::open(f, -64);
  ASSERT_TRUE(font);
  platform::GlyphBitmap g;
  ASSERT_TRUE(font->glyph(U'H', g));
  EXPECT_GT(g.width, 10);
  EXPECT_GT(g.rows, 30);
  EXPECT_GT(g.top, 30);
  EXPECT_GT(g.advance, g.width / 2);
  EXPECT_EQ(g.coverage.size(), static_cast<size_t>(g.width * g.rows));
  EXPECT_EQ(*std::max_element(g.coverage.begin(), g.coverage.end()), 255);
  ASSERT_TRUE(font->glyph(U' ', g));
  EXPECT_EQ(g.width * g.rows, 0);
  EXPECT_GT(g.advance, 0);

  std::vector<uint8_t> buf(200 * 100, 0);
  const int end = font->drawText(U"HI", 5, 10, buf.data(), 200, 100, 200);
  EXPECT_EQ(end, 5 + font->textWidth(U"HI"));
  int inked = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x)
      if (buf[static_cast<size_t>(y * 200 + x)]) {
        ++inked;
        ASSERT_GE(y, 10);
        ASSERT_LT(y, 10 + font->metrics().cellHeight);
      }
  EXPECT_GT(inked, 200);
  // Clipping: drawing far outside touches nothing.
  std::vector<uint8_t> none(64, 0);
  font->drawText(U"HI", -500, -500, none.data(), 8, 8, 8);
  EXPECT_TRUE(std::all_of(none.begin(), none.end(), [](uint8_t c) { return c == 0; }));
}

TEST(CodePages, Windows1251And1252) {
  const struct {
    uint8_t byte;
    CodePage page;
    char32_t expected;
  } rows[] = {{0x41, CodePage::Windows1251, U'A'},      {0xC0, CodePage::Windows1251, U'\u0410'},
              {0xFF, CodePage::Windows1251, U'\u044F'}, {0xA8, CodePage::Windows1251, U'\u0401'},
              {0xB9, CodePage::Windows1251, U'\u2116'}, {0x98, CodePage::Windows1251, U'\uFFFD'},
              {0xE9, CodePage::Windows1252, U'\u00E9'}, {0x80, CodePage::Windows1252, U'\u20AC'}};
  for (const auto& r : rows)
    EXPECT_EQ(platform::codePageChar(r.byte, r.page), r.expected) << int(r.byte);
  EXPECT_EQ(platform::decodeCodePage("\xCF\xF0\xE8\xE2\xE5\xF2!", CodePage::Windows1251),
            U"\u041F\u0440\u0438\u0432\u0435\u0442!");
}

}  // namespace
