// RenderText and the font services under it, LoadPackImage and its TGA checks, PNG output.
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include <cstring>
#include <filesystem>

#include "platform/fonts.h"
#include "tests/texgen/test_util.h"

namespace glimmer::testing {
namespace {

using TextImage = TexgenTest;
using namespace platform;

struct InkBox {
  int minRow = 1 << 30, maxRow = -1, minCol = 1 << 30, maxCol = -1, pixels = 0;
};

InkBox ink(const P& img, int size) {
  InkBox b;
  for (int i = 0; i < size * size; ++i)
    if (img[size_t(i)]) {
      const int y = i / size, x = i % size;
      b = {std::min(b.minRow, y), std::max(b.maxRow, y), std::min(b.minCol, x),
           std::max(b.maxCol, x), b.pixels + 1};
    }
  return b;
}

const uint32_t kText = commandWord(TextureOp::RenderText, static_cast<uint8_t>(BlendMode::Add));

// Where the ink of a string lands: the cell hangs down from row p1 (p0, p1, p3 in 256ths of
// the edge, so doubled on 512); rows outside the image leave nothing.
TEST_F(TextImage, InkBoxes) {
  constexpr int kAny = 1 << 30, kCell = kDefaultFontCellHeight;
  // clang-format off
  const struct { const char* text; int size; float x, y, height; int minPixels, maxPixels;
                 int minRow, maxRow, minCol, maxCol; } rows[] = {
      {nullptr, 256, 10, 100, 40, 0, 0, 0, 0, 0, 0}, {"Below", 256, 10, 0, 40, 0, 0, 0, 0, 0, 0},
      {"Hello", 256, 20, 100, 40, 101, kAny, 60, 99, 20, 219},
      {"Top", 256, 10, 256, 60, 1, kAny, 196, 255, 10, 255},
      {"Hi", 512, 20, 100, 40, 1, kAny, 120, 199, 40, 511},
      {"default", 256, 0, 128, 0, 21, kAny, 128 - kCell, 127, 0, 255}};
  // clang-format on
  for (const auto& r : rows) {
    P img;
    run(img, r.size, kText, {r.x, r.y, 0, r.height}, r.text);
    const InkBox b = ink(img, r.size);
    SCOPED_TRACE(r.text ? r.text : "null");
    EXPECT_TRUE(b.pixels >= r.minPixels && b.pixels <= r.maxPixels) << b.pixels;
    if (b.pixels == 0) continue;
    EXPECT_TRUE(b.minRow >= r.minRow && b.maxRow <= r.maxRow) << b.minRow << "-" << b.maxRow;
    EXPECT_TRUE(b.minCol >= r.minCol && b.maxCol <= r.maxCol) << b.minCol << "-" << b.maxCol;
    for (TexturePixel p : img) ASSERT_EQ(p, (p & 0xFF) * 0x01010101u);  // white, alpha = grey
  }
}

TEST_F(TextImage, TextReadsUprightWithRowZeroAtTheBottom) {
  P img;
  run(img, 256, kText, {50, 200, 0, 120}, "T");
  const InkBox b = ink(img, 256);
  ASSERT_GT(b.pixels, 0);
  auto width = [&](int row) {
    return 256 - std::count(&img[size_t(row * 256)], &img[size_t(row * 256 + 256)], 0u);
  };
  // The bar of the T lies at the highest rows (nearest p1), the stem and its serif below it.
  EXPECT_GT(width(b.maxRow - 2), 3 * width((b.minRow + b.maxRow) / 2));
  EXPECT_GT(width(b.maxRow - 2), width(b.minRow + 1));
}

// Found by fuzzing the scene precalculation: a position of 1e30 rounds to INT32_MAX and the pen
// then overflowed while advancing. Text far off the image in any direction draws nothing; a
// huge cell height is limited (the sanitizer builds catch an overflow there).
TEST_F(TextImage, PositionsFarOffTheImageDrawNothing) {
  P img;
  for (float x : {1e30f, -1e30f, 3e9f, 10.0f})
    for (float y : {1e30f, -1e30f, -3e9f, 100.0f}) {
      if (x == 10.0f && y == 100.0f) continue;
      run(img, 256, kText, {x, y, 0, 40}, "Wide text far away");
      EXPECT_EQ(countNonZero(img), 0) << x << ", " << y;
    }
  run(img, 64, kText, {0, 256, 0, 1e9f}, "I");
}

TEST_F(TextImage, CyrillicBytesAreWindows1251) {
  // 0xC0 0xC2 0xCE are CYRILLIC A, VE, O, drawn like the Latin A, B, O in the same face.
  P cyr, lat;
  run(cyr, 256, kText, {30, 150, 0, 50}, "\xC0\xC2\xCE");
  run(lat, 256, kText, {30, 150, 0, 50}, "ABO");
  EXPECT_GT(countNonZero(cyr), 100);
  EXPECT_EQ(cyr, lat);
}

// A 32-bit TGA image (18-byte header: type 2 at byte 2, width and height at 12 and 14, bits per
// pixel at 16) whose pixel (col, row) is 0xFF000000 | row << 12 | col, less its last `cut` bytes.
std::vector<uint8_t> tga(int w, int h, int bpp, size_t cut = 0) {
  std::vector<uint8_t> t(18, 0);
  t[2] = 2, t[12] = uint8_t(w), t[13] = uint8_t(w >> 8), t[14] = uint8_t(h);
  t[15] = uint8_t(h >> 8), t[16] = uint8_t(bpp);
  for (uint32_t r = 0; r < uint32_t(h); ++r)
    for (uint32_t c = 0; c < uint32_t(w); ++c)
      for (int k = 0; k < 4; ++k) t.push_back(uint8_t((0xFF000000u | r << 12 | c) >> (8 * k)));
  t.resize(t.size() - cut);
  return t;
}

// A pack of one entry: the name, its terminator, the 32-bit size and the payload.
std::vector<uint8_t> pack(const char* name, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> p(name, name + std::strlen(name) + 1);
  for (int k = 0; k < 4; ++k) p.push_back(uint8_t(payload.size() >> (8 * k)));
  p.insert(p.end(), payload.begin(), payload.end());
  return p;
}

TEST_F(TextImage, PackEntriesLoadOrDrawNothing) {
  // clang-format off
  const struct { std::vector<uint8_t> pack; const char* name; int size, nonZero;
                 std::vector<std::pair<int, TexturePixel>> pixels; } rows[] = {
      // A 512 x 512 image on 256 is cut to its lower-left quarter (stored rows 0-255).
      {pack("stone.tga", tga(512, 512, 32)), "stone.tga", 256, 65536,
       {{0, 0xFF000000u}, {255, 0xFF0000FFu}, {255 * 256 + 7, 0xFF0FF007u}}},
      // 3 x 2 on 4 x 4: stored row 0 is image row 0; the rest stays clear.
      {pack("s", tga(3, 2, 32)), "s", 4, 6, {{0, 0xFF000000u}, {2, 0xFF000002u}, {4, 0xFF001000u},
                                            {6, 0xFF001002u}, {3, 0}, {8, 0}}},
      // 24 bits, a missing entry, no name, one byte short of its pixels: nothing drawn.
      {pack("rgb", tga(4, 4, 24)), "rgb", 4, 0, {}}, {pack("a", tga(4, 4, 32)), "b", 4, 0, {}},
      {pack("a", tga(4, 4, 32)), nullptr, 4, 0, {}}, {pack("c", tga(4, 4, 32, 1)), "c", 4, 0, {}}};
  // clang-format on
  for (const auto& r : rows) {
    meshPackData = r.pack;
    P img;
    run(img, r.size, commandWord(TextureOp::LoadPackImage), {}, r.name);
    SCOPED_TRACE(r.name ? r.name : "no name");
    EXPECT_EQ(countNonZero(img), r.nonZero);
    for (const auto& [i, v] : r.pixels) EXPECT_EQ(img[size_t(i)], v) << i;
  }
  meshPackData = {};
}

// Each refusal names its kind and the offset: a short header at its end, a pixel size other than
// 32 bits at byte 16, pixels missing at the end of the entry (1 x 1 x 4 bytes needs 22).
TEST(PackImageCheck, ReportsOffsets) {
  // clang-format off
  const struct { std::vector<uint8_t> payload; const char* kind; size_t offset; } rows[] = {
      {tga(0, 0, 0, 8), "18 bytes", 10}, {tga(0, 0, 24), "24 bits", 16},
      {tga(1, 1, 32, 4), "need 22 bytes", 18}, {tga(1, 1, 32), "", 99}};
  // clang-format on
  for (const auto& [payload, kind, offset] : rows) {
    size_t off = 99;
    const std::string problem = packImageProblem(payload, &off);
    EXPECT_TRUE(*kind ? problem.find(kind) != std::string::npos : problem.empty()) << problem;
    EXPECT_EQ(off, offset) << kind;
  }
}

// PNG output: 8-bit RGBA with alpha kept and rows in the order given.
TEST(PngWrite, RoundTripKeepsAlphaAndRowOrder) {
  const std::vector<uint8_t> rgba = {1,  2,  3,  0,  4,  5,  6,  128, 7,  8,  9,  255,  // 3 x 2
                                     10, 11, 12, 13, 14, 15, 16, 17,  18, 19, 20, 21};
  const auto path = std::filesystem::temp_directory_path() / "glimmer_png_test.png";
  ASSERT_TRUE(writePngRgba(path.c_str(), 3, 2, rgba.data()));
  int w = 0, h = 0, n = 0;
  stbi_uc* back = stbi_load(path.c_str(), &w, &h, &n, 4);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(std::vector<int>({w, h, n}), std::vector<int>({3, 2, 4}));
  EXPECT_EQ(std::vector<uint8_t>(back, back + 24), rgba);
  stbi_image_free(back);
  std::filesystem::remove(path);
  EXPECT_FALSE(writePngRgba("/nonexistent-dir/x.png", 3, 2, rgba.data()));
  EXPECT_FALSE(writePngRgba(path.c_str(), 0, 2, rgba.data()));
}

// Each family is itself, or a substitute of the same kind (serif or sans, weight, width); a
// made-up family is never found exactly.
TEST(FontFaces, SubstitutesKeepTheKindOfFace) {
  using Names = std::vector<std::string>;
  const Names serif = {"Liberation Serif", "Tinos", "Nimbus Roman", "DejaVu Serif"};
  const Names sans = {"Liberation Sans", "DejaVu Sans", "Nimbus Sans", "Arimo"};
  // clang-format off
  const struct { const char* family; int weight, minWeight, maxWeight; Names kind; } rows[] = {
      {"Times New Roman", 400, 0, 599, serif}, {"Arial Black", 700, 650, 1000, sans},
      {"Impact", 400, 650, 1000, {}},  // a condensed or narrow bold sans
      {"No Such Family 12345", 400, 0, 1000, {}}};  // no substitutes named: any
  // clang-format on
  for (const auto& r : rows) {
    FontFace f;
    ASSERT_TRUE(findFontFace(r.family, r.weight, f) && !f.path.empty()) << r.family;
    EXPECT_FALSE(f.exact && std::string_view(r.family).starts_with("No Such")) << r.family;
    if (f.exact) continue;
    EXPECT_TRUE(r.kind.empty() || std::find(r.kind.begin(), r.kind.end(), f.family) != r.kind.end())
        << f.family;
    EXPECT_TRUE(f.weight >= r.minWeight && f.weight <= r.maxWeight) << r.family << ": " << f.style;
  }
}

// A positive height is the cell (ascent + descent, leading included), a negative one the em.
// Glyphs carry full coverage somewhere and an advance; a space has an advance and no bitmap.
TEST(Fonts, HeightsFollowGdiConventionAndGlyphsHaveInk) {
  FontFace f;
  ASSERT_TRUE(findFontFace("Times New Roman", 400, f));
  auto cell = Font::open(f, 40), em = Font::open(f, -64), def = Font::open(f, 0);
  ASSERT_TRUE(cell && em && def);
  const FontMetrics &c = cell->metrics(), &e = em->metrics();
  EXPECT_TRUE(c.cellHeight == 40 && c.ascent + c.descent == 40 && c.emPixels < 40) << c.emPixels;
  EXPECT_TRUE(e.emPixels == 64 && e.cellHeight > 64) << e.emPixels << " " << e.cellHeight;
  EXPECT_EQ(def->metrics().cellHeight, kDefaultFontCellHeight);
  GlyphBitmap g;
  ASSERT_TRUE(em->glyph(U'H', g));
  EXPECT_TRUE(g.width > 10 && g.rows > 30 && g.top > 30 && g.advance > g.width / 2);
  EXPECT_EQ(*std::max_element(g.coverage.begin(), g.coverage.end()), 255);
  ASSERT_TRUE(em->glyph(U' ', g));
  EXPECT_TRUE(g.width * g.rows == 0 && g.advance > 0);
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
  for (const auto& r : rows) EXPECT_EQ(codePageChar(r.byte, r.page), r.expected) << int(r.byte);
  EXPECT_EQ(decodeCodePage("\xCF\xF0\xE8\xE2\xE5\xF2!", cyr),
            U"\u041F\u0440\u0438\u0432\u0435\u0442!");
}

}  // namespace
}  // namespace glimmer::testing
