// RenderText placement and coverage, LoadPackImage and its TGA checks.
#include <algorithm>
#include <cstring>

#include "platform/fonts.h"
#include "tests/texgen/test_util.h"

namespace glimmer::testing {
namespace {

using TextImage = TexgenTest;

struct InkBox {
  int minRow = 1 << 30, maxRow = -1, minCol = 1 << 30, maxCol = -1, pixels = 0;
};

InkBox ink(const std::vector<TexturePixel>& img, int size) {
  InkBox b;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      if (img[static_cast<size_t>(y * size + x)]) {
        b.minRow = std::min(b.minRow, y);
        b.maxRow = std::max(b.maxRow, y);
        b.minCol = std::min(b.minCol, x);
        b.maxCol = std::max(b.maxCol, x);
        ++b.pixels;
      }
  return b;
}

uint32_t textWord() {
  return commandWord(TextureOp::RenderText, static_cast<uint8_t>(BlendMode::Add));
}

// Where the ink of a string lands: the cell hangs down from row p1 (p0, p1, p3 in 256ths of
// the edge, so doubled on 512); rows outside the image leave nothing.
TEST_F(TextImage, InkBoxes) {
  constexpr int kAny = 1 << 30;
  const struct {
    const char* text;
    int size;
    float x, y, height;
    int minPixels, maxPixels;
    int minRow, maxRow, minCol, maxCol;
  } rows[] = {
      {nullptr, 256, 10, 100, 40, 0, 0, 0, 0, 0, 0},
      {"Hello", 256, 20, 100, 40, 101, kAny, 60, 99, 20, 219},
      {"Below", 256, 10, 0, 40, 0, 0, 0, 0, 0, 0},
      {"Top", 256, 10, 256, 60, 1, kAny, 196, 255, 10, 255},
      {"Hi", 512, 20, 100, 40, 1, kAny, 120, 199, 40, 511},
      {"default", 256, 0, 128, 0, 21, kAny, 128 - platform::kDefaultFontCellHeight, 127, 0, 255},
  };
  for (const auto& r : rows) {
    std::vector<TexturePixel> img;
    run(img, r.size, textWord(), {r.x, r.y, 0, r.height}, r.text);
    const InkBox b = ink(img, r.size);
    EXPECT_GE(b.pixels, r.minPixels) << r.text;
    EXPECT_LE(b.pixels, r.maxPixels) << r.text;
    if (b.pixels == 0) continue;
    EXPECT_GE(b.minRow, r.minRow) << r.text;
    EXPECT_LE(b.maxRow, r.maxRow) << r.text;
    EXPECT_GE(b.minCol, r.minCol) << r.text;
    EXPECT_LE(b.maxCol, r.maxCol) << r.text;
    for (TexturePixel p : img) ASSERT_EQ(p, channel(p, 0) * 0x01010101u);  // white, alpha = grey
  }
}

TEST_F(TextImage, TextReadsUprightWithRowZeroAtTheBottom) {
  std::vector<TexturePixel> img;
  run(img, 256, textWord(), {50, 200, 0, 120}, "T");
  const InkBox b = ink(img, 256);
  ASSERT_GT(b.pixels, 0);
  auto width = [&](int row) {
    int w = 0;
    for (int x = 0; x < 256; ++x) w += img[static_cast<size_t>(row * 256 + x)] != 0;
    return w;
  };
  // The bar of the T lies at the highest rows (nearest p1), the stem and its serif below it.
  EXPECT_GT(width(b.maxRow - 2), 3 * width((b.minRow + b.maxRow) / 2));
  EXPECT_GT(width(b.maxRow - 2), width(b.minRow + 1));
}

// Found by fuzzing the scene precalculation: a position of 1e30 rounds to INT32_MAX and the pen
// then overflowed while advancing. Text far off the image in any direction draws nothing; a
// huge cell height is limited and still draws within the image.
TEST_F(TextImage, PositionsFarOffTheImageDrawNothing) {
  for (float x : {1e30f, -1e30f, 3e9f, 10.0f}) {
    for (float y : {1e30f, -1e30f, -3e9f, 100.0f}) {
      if (x == 10.0f && y == 100.0f) continue;
      std::vector<TexturePixel> img;
      run(img, 256, textWord(), {x, y, 0, 40}, "Wide text far away");
      EXPECT_EQ(ink(img, 256).pixels, 0) << x << ", " << y;
    }
  }
  std::vector<TexturePixel> img;
  run(img, 64, textWord(), {0, 256, 0, 1e9f}, "I");
  EXPECT_LE(ink(img, 64).maxRow, 63);
}

TEST_F(TextImage, CyrillicBytesAreWindows1251) {
  // 0xC0 0xC2 0xCE are CYRILLIC A, VE, O, drawn like the Latin A, B, O in the same face.
  std::vector<TexturePixel> cyr, lat, other;
  run(cyr, 256, textWord(), {30, 150, 0, 50}, "\xC0\xC2\xCE");
  run(lat, 256, textWord(), {30, 150, 0, 50}, "ABO");
  run(other, 256, textWord(), {30, 150, 0, 50}, "\xC1\xC3\xC4");  // Be, Ge, De
  EXPECT_GT(ink(cyr, 256).pixels, 100);
  EXPECT_EQ(cyr, lat);
  EXPECT_NE(other, lat);
}

// A pack with one TGA entry; pixel (col, row) of the stored image is 0xFF000000 | row << 12 | col.
std::vector<uint8_t> tgaPack(const char* name, int w, int h, int bpp, size_t cut = 0) {
  std::vector<uint8_t> tga(18, 0);
  tga[2] = 2;
  tga[12] = static_cast<uint8_t>(w & 0xFF);
  tga[13] = static_cast<uint8_t>(w >> 8);
  tga[14] = static_cast<uint8_t>(h & 0xFF);
  tga[15] = static_cast<uint8_t>(h >> 8);
  tga[16] = static_cast<uint8_t>(bpp);
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c) {
      const uint32_t p = 0xFF000000u | static_cast<uint32_t>(r) << 12 | static_cast<uint32_t>(c);
      for (int k = 0; k < 4; ++k) tga.push_back(static_cast<uint8_t>(p >> (8 * k)));
    }
  tga.resize(tga.size() - cut);
  std::vector<uint8_t> pack(name, name + std::strlen(name) + 1);
  const auto n = static_cast<uint32_t>(tga.size());
  for (int k = 0; k < 4; ++k) pack.push_back(static_cast<uint8_t>(n >> (8 * k)));
  pack.insert(pack.end(), tga.begin(), tga.end());
  return pack;
}

class PackImage : public TexgenTest {
 protected:
  void TearDown() override {
    meshPackData = {};
    TexgenTest::TearDown();
  }
};

TEST_F(PackImage, EntriesLoadOrDrawNothing) {
  const std::vector<TexturePixel> small = {
      0xFF000000u, 0xFF000001u, 0xFF000002u, 0, 0xFF001000u, 0xFF001001u, 0xFF001002u, 0,
      0,           0,           0,           0, 0,           0,           0,           0};
  const struct {
    std::vector<uint8_t> pack;
    const char* name;
    int size;
    std::vector<std::pair<int, TexturePixel>> pixels;  // none: nothing drawn
  } rows[] = {
      // A 512 x 512 image on 256 is cut to its lower-left quarter (stored rows 0-255).
      {tgaPack("stone.tga", 512, 512, 32),
       "stone.tga",
       256,
       {{0, 0xFF000000u}, {255, 0xFF0000FFu}, {255 * 256 + 7, 0xFF0FF007u}}},
      {tgaPack("s", 3, 2, 32), "s", 4, {}},  // checked against `small` below
      {tgaPack("rgb", 4, 4, 24), "rgb", 4, {}},
      {tgaPack("rgb", 4, 4, 32), "missing", 4, {}},
      {tgaPack("rgb", 4, 4, 32), nullptr, 4, {}},
      {tgaPack("cut", 4, 4, 32, 1), "cut", 4, {}},  // one byte short of its pixels
  };
  for (const auto& r : rows) {
    meshPackData = r.pack;
    std::vector<TexturePixel> img;
    run(img, r.size, commandWord(TextureOp::LoadPackImage), {}, r.name);
    if (r.name && std::string(r.name) == "s") {
      EXPECT_EQ(img, small);
      continue;
    }
    if (r.pixels.empty()) {
      EXPECT_EQ(ink(img, r.size).pixels, 0) << (r.name ? r.name : "no name");
    }
    for (const auto& [i, v] : r.pixels)
      EXPECT_EQ(img[static_cast<size_t>(i)], v) << r.name << " @" << i;
  }
}

TEST(PackImageCheck, ReportsOffsets) {
  size_t off = 99;
  std::vector<uint8_t> p(10, 0);
  EXPECT_NE(packImageProblem(p, &off).find("18 bytes"), std::string::npos);
  EXPECT_EQ(off, 10u);
  p.assign(18, 0);
  p[16] = 24;
  EXPECT_NE(packImageProblem(p, &off).find("24 bits"), std::string::npos);
  EXPECT_EQ(off, 16u);
  p[16] = 32;
  p[12] = 1;
  p[14] = 1;
  EXPECT_NE(packImageProblem(p, &off).find("need 22 bytes"), std::string::npos);
  p.resize(22);
  EXPECT_EQ(packImageProblem(p), "");
}

}  // namespace
}  // namespace glimmer::testing
