// RenderText placement and coverage, LoadPackImage and its TGA checks, PNG output.
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include <cstring>
#include <filesystem>

#include "platform/fonts.h"
#include "tests/texgen/test_util.h"

namespace glimmer::testing {
namespace {

using TextImage = TexgenTest;

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
  constexpr int kAny = 1 << 30, kCell = platform::kDefaultFontCellHeight;
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
    for (TexturePixel p : img) ASSERT_EQ(p, channel(p, 0) * 0x01010101u);  // white, alpha = grey
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
// huge cell height is limited and still draws within the image.
TEST_F(TextImage, PositionsFarOffTheImageDrawNothing) {
  P img;
  for (float x : {1e30f, -1e30f, 3e9f, 10.0f})
    for (float y : {1e30f, -1e30f, -3e9f, 100.0f}) {
      if (x == 10.0f && y == 100.0f) continue;
      run(img, 256, kText, {x, y, 0, 40}, "Wide text far away");
      EXPECT_EQ(countNonZero(img), 0) << x << ", " << y;
    }
  run(img, 64, kText, {0, 256, 0, 1e9f}, "I");
  EXPECT_LE(ink(img, 64).maxRow, 63);
}

TEST_F(TextImage, CyrillicBytesAreWindows1251) {
  // 0xC0 0xC2 0xCE are CYRILLIC A, VE, O, drawn like the Latin A, B, O in the same face.
  P cyr, lat, other;
  run(cyr, 256, kText, {30, 150, 0, 50}, "\xC0\xC2\xCE");
  run(lat, 256, kText, {30, 150, 0, 50}, "ABO");
  run(other, 256, kText, {30, 150, 0, 50}, "\xC1\xC3\xC4");  // Be, Ge, De
  EXPECT_GT(countNonZero(cyr), 100);
  EXPECT_EQ(cyr, lat);
  EXPECT_NE(other, lat);
}

// A pack with one TGA entry; pixel (col, row) of the stored image is 0xFF000000 | row << 12 | col.
std::vector<uint8_t> tgaPack(const char* name, int w, int h, int bpp, size_t cut = 0) {
  std::vector<uint8_t> tga = {0,
                              0,
                              2,
                              0,
                              0,
                              0,
                              0,
                              0,
                              0,
                              0,
                              0,
                              0,
                              uint8_t(w),
                              uint8_t(w >> 8),
                              uint8_t(h),
                              uint8_t(h >> 8),
                              uint8_t(bpp),
                              0};
  for (uint32_t r = 0; r < uint32_t(h); ++r)
    for (uint32_t c = 0; c < uint32_t(w); ++c)
      for (int k = 0; k < 4; ++k) tga.push_back(uint8_t((0xFF000000u | r << 12 | c) >> (8 * k)));
  tga.resize(tga.size() - cut);
  std::vector<uint8_t> pack(name, name + std::strlen(name) + 1);
  for (int k = 0; k < 4; ++k) pack.push_back(uint8_t(tga.size() >> (8 * k)));
  pack.insert(pack.end(), tga.begin(), tga.end());
  return pack;
}

TEST_F(TextImage, PackEntriesLoadOrDrawNothing) {
  // clang-format off
  const struct { std::vector<uint8_t> pack; const char* name; int size, nonZero;
                 std::vector<std::pair<int, TexturePixel>> pixels; } rows[] = {
      // A 512 x 512 image on 256 is cut to its lower-left quarter (stored rows 0-255).
      {tgaPack("stone.tga", 512, 512, 32), "stone.tga", 256, 65536,
       {{0, 0xFF000000u}, {255, 0xFF0000FFu}, {255 * 256 + 7, 0xFF0FF007u}}},
      // 3 x 2 on 4 x 4: stored row 0 is image row 0; the rest stays clear.
      {tgaPack("s", 3, 2, 32), "s", 4, 6, {{0, 0xFF000000u}, {2, 0xFF000002u}, {4, 0xFF001000u},
                                           {6, 0xFF001002u}, {3, 0}, {8, 0}}},
      {tgaPack("rgb", 4, 4, 24), "rgb", 4, 0, {}}, {tgaPack("rgb", 4, 4, 32), "missing", 4, 0, {}},
      {tgaPack("rgb", 4, 4, 32), nullptr, 4, 0, {}},
      {tgaPack("cut", 4, 4, 32, 1), "cut", 4, 0, {}}};  // one byte short of its pixels
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
  const struct { size_t bytes; uint8_t wh, bpp; const char* kind; size_t offset; } rows[] = {
      {10, 0, 0, "18 bytes", 10}, {18, 0, 24, "24 bits", 16}, {18, 1, 32, "need 22 bytes", 18},
      {22, 1, 32, "", 99}};
  // clang-format on
  for (const auto& r : rows) {
    std::vector<uint8_t> p(r.bytes, 0);
    if (r.bytes > 16) p[12] = p[14] = r.wh, p[16] = r.bpp;
    size_t off = 99;
    const std::string problem = packImageProblem(p, &off);
    EXPECT_EQ(problem.empty(), !*r.kind) << problem;
    EXPECT_NE(problem.find(r.kind), std::string::npos) << problem;
    EXPECT_EQ(off, r.offset) << r.kind;
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

}  // namespace
}  // namespace glimmer::testing
