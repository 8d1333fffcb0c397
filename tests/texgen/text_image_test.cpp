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

TEST_F(TextImage, NoNameDrawsNothing) {
  auto img = patternImage(256);
  const auto orig = img;
  run(img, 256, textWord(), {10, 100, 0, 40});
  EXPECT_EQ(img, orig);
}

TEST_F(TextImage, CellHangsDownFromRowP1) {
  std::vector<TexturePixel> img;
  run(img, 256, textWord(), {20, 100, 0, 40}, "Hello");
  const InkBox b = ink(img, 256);
  ASSERT_GT(b.pixels, 100);
  EXPECT_LE(b.maxRow, 99);        // the cell's top edge is row p1 - 1
  EXPECT_GE(b.minRow, 100 - 40);  // and it is 40 rows tall toward row 0
  EXPECT_GE(b.minCol, 20);
  EXPECT_LT(b.maxCol, 20 + 5 * 40);
  for (TexturePixel p : img) {
    const uint8_t c = channel(p, 0);
    ASSERT_EQ(p, c * 0x01010101u);  // white on black: alpha equals the grey level
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

TEST_F(TextImage, OutsideRowsLeaveNothing) {
  std::vector<TexturePixel> img;
  run(img, 256, textWord(), {10, 0, 0, 40}, "Below");
  EXPECT_EQ(ink(img, 256).pixels, 0);
  img.clear();
  run(img, 256, textWord(), {10, 256, 0, 60}, "Top");
  const InkBox b = ink(img, 256);
  EXPECT_GT(b.pixels, 0);
  EXPECT_LE(b.maxRow, 255);
  EXPECT_GE(b.minRow, 256 - 60);
}

// Found by fuzzing the scene precalculation: a position of 1e30 rounds to INT32_MAX and the pen
// then overflowed while advancing. Text far off the image in any direction draws nothing.
TEST_F(TextImage, PositionsFarOffTheImageDrawNothing) {
  for (float x : {1e30f, -1e30f, 3e9f, 10.0f}) {
    for (float y : {1e30f, -1e30f, -3e9f, 100.0f}) {
      if (x == 10.0f && y == 100.0f) continue;
      std::vector<TexturePixel> img;
      run(img, 256, textWord(), {x, y, 0, 40}, "Wide text far away");
      EXPECT_EQ(ink(img, 256).pixels, 0) << x << ", " << y;
    }
  }
}

TEST_F(TextImage, CyrillicBytesAreWindows1251) {
  // 0xC0 is CYRILLIC CAPITAL A, drawn like the Latin A in the same face.
  std::vector<TexturePixel> cyr, lat;
  run(cyr, 256, textWord(), {30, 150, 0, 50}, "\xC0\xC2\xCE");
  run(lat, 256, textWord(), {30, 150, 0, 50}, "ABO");
  EXPECT_GT(ink(cyr, 256).pixels, 100);
  EXPECT_EQ(cyr, lat);
  std::vector<TexturePixel> other;
  run(other, 256, textWord(), {30, 150, 0, 50}, "\xC1\xC3\xC4");  // B-with-tail, Ge, De
  EXPECT_NE(other, lat);
}

TEST_F(TextImage, DefaultHeightWhenZero) {
  std::vector<TexturePixel> img;
  run(img, 256, textWord(), {0, 128, 0, 0}, "default");
  const InkBox b = ink(img, 256);
  EXPECT_GT(b.pixels, 20);
  EXPECT_GE(b.minRow, 128 - platform::kDefaultFontCellHeight);
}

TEST_F(TextImage, ScalesWithEdgeLength) {
  std::vector<TexturePixel> img;
  run(img, 512, textWord(), {20, 100, 0, 40}, "Hi");  // on 512: rows below 200, 80 tall
  const InkBox b = ink(img, 512);
  EXPECT_LE(b.maxRow, 199);
  EXPECT_GE(b.minRow, 120);
  EXPECT_GE(b.minCol, 40);
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

TEST_F(PackImage, LargeImageIsCutToLowerLeftQuarter) {
  const auto pack = tgaPack("stone.tga", 512, 512, 32);
  meshPackData = pack;
  std::vector<TexturePixel> img;
  run(img, 256, commandWord(TextureOp::LoadPackImage), {}, "stone.tga");
  EXPECT_EQ(img[0], 0xFF000000u);
  EXPECT_EQ(img[255], 0xFF0000FFu);
  EXPECT_EQ(img[255 * 256 + 7], 0xFF0FF007u);
}

TEST_F(PackImage, SmallImageLeavesRestClear) {
  const auto pack = tgaPack("s", 3, 2, 32);
  meshPackData = pack;
  std::vector<TexturePixel> img;
  run(img, 4, commandWord(TextureOp::LoadPackImage), {}, "s");
  EXPECT_EQ(img, (std::vector<TexturePixel>{0xFF000000u, 0xFF000001u, 0xFF000002u, 0, 0xFF001000u,
                                            0xFF001001u, 0xFF001002u, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(PackImage, UnreadableEntriesDrawNothing) {
  std::vector<TexturePixel> img;
  auto pack = tgaPack("rgb", 4, 4, 24);
  meshPackData = pack;
  run(img, 4, commandWord(TextureOp::LoadPackImage), {}, "rgb");
  EXPECT_EQ(ink(img, 4).pixels, 0);
  run(img, 4, commandWord(TextureOp::LoadPackImage), {}, "missing");
  run(img, 4, commandWord(TextureOp::LoadPackImage), {});
  EXPECT_EQ(ink(img, 4).pixels, 0);
  pack = tgaPack("cut", 4, 4, 32, 1);  // one byte short of its pixels
  meshPackData = pack;
  run(img, 4, commandWord(TextureOp::LoadPackImage), {}, "cut");
  EXPECT_EQ(ink(img, 4).pixels, 0);
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
