// PNG output: 8-bit RGBA with alpha kept and rows in the order given.
#define STB_IMAGE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "texgen/texgen.h"

namespace {

TEST(PngWrite, RoundTripKeepsAlphaAndRowOrder) {
  const int w = 3, h = 2;
  const std::vector<uint8_t> rgba = {1,  2,  3,  0,  4,  5,  6,  128, 7,  8,  9,  255,
                                     10, 11, 12, 13, 14, 15, 16, 17,  18, 19, 20, 21};
  const auto path = std::filesystem::temp_directory_path() / "glimmer_png_test.png";
  ASSERT_TRUE(glimmer::writePngRgba(path.c_str(), w, h, rgba.data()));
  int rw = 0, rh = 0, n = 0;
  stbi_uc* back = stbi_load(path.c_str(), &rw, &rh, &n, 4);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(rw, w);
  EXPECT_EQ(rh, h);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(std::vector<uint8_t>(back, back + w * h * 4), rgba);
  stbi_image_free(back);
  std::filesystem::remove(path);
  EXPECT_FALSE(glimmer::writePngRgba("/nonexistent-dir/x.png", w, h, rgba.data()));
  EXPECT_FALSE(glimmer::writePngRgba(path.c_str(), 0, h, rgba.data()));
}

}  // namespace
