// PNG output: 8-bit RGBA with alpha kept and rows in the order given.
#define STB_IMAGE_IMPLEMENTATION
#include <gtest/gtest.h>
#include <stb_image.h>

#include <filesystem>
#include <vector>

#include "texgen/texgen.h"

namespace {

TEST(PngWrite, RoundTripKeepsAlphaAndRowOrder) {
  const std::vector<uint8_t> rgba = {1,  2,  3,  0,  4,  5,  6,  128, 7,  8,  9,  255,  // 3 x 2
                                     10, 11, 12, 13, 14, 15, 16, 17,  18, 19, 20, 21};
  const auto path = std::filesystem::temp_directory_path() / "glimmer_png_test.png";
  ASSERT_TRUE(glimmer::writePngRgba(path.c_str(), 3, 2, rgba.data()));
  int w = 0, h = 0, n = 0;
  stbi_uc* back = stbi_load(path.c_str(), &w, &h, &n, 4);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(std::vector<int>({w, h, n}), std::vector<int>({3, 2, 4}));
  EXPECT_EQ(std::vector<uint8_t>(back, back + 24), rgba);
  stbi_image_free(back);
  std::filesystem::remove(path);
  EXPECT_FALSE(glimmer::writePngRgba("/nonexistent-dir/x.png", 3, 2, rgba.data()));
  EXPECT_FALSE(glimmer::writePngRgba(path.c_str(), 0, 2, rgba.data()));
}

}  // namespace
