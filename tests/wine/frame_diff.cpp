// Compares two frames of the same size: prints the mean absolute difference over all channels
// (in levels of 255) and the share of pixels whose largest channel difference exceeds a
// threshold, and exits 0 when both are within the given limits, 1 when not, 2 on bad input.
//
//   frame_diff A.png B.png [MAX_MEAN [MAX_PERCENT [THRESHOLD]]]   (defaults 2, 1, 16)
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

struct Image {
  int width = 0, height = 0;
  std::unique_ptr<unsigned char, void (*)(void*)> pixels{nullptr, stbi_image_free};
};

bool load(const char* path, Image& image) {
  int channels = 0;
  image.pixels.reset(stbi_load(path, &image.width, &image.height, &channels, 3));
  if (!image.pixels) {
    std::fprintf(stderr, "frame_diff: %s: %s\n", path, stbi_failure_reason());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: frame_diff A.png B.png [MAX_MEAN [MAX_PERCENT [THRESHOLD]]]\n");
    return 2;
  }
  const double maxMean = argc > 3 ? std::atof(argv[3]) : 2.0;
  const double maxPercent = argc > 4 ? std::atof(argv[4]) : 1.0;
  const int threshold = argc > 5 ? std::atoi(argv[5]) : 16;
  Image a, b;
  if (!load(argv[1], a) || !load(argv[2], b)) return 2;
  if (a.width != b.width || a.height != b.height) {
    std::fprintf(stderr, "frame_diff: sizes differ: %dx%d and %dx%d\n", a.width, a.height, b.width,
                 b.height);
    return 2;
  }
  const size_t pixels = static_cast<size_t>(a.width) * static_cast<size_t>(a.height);
  uint64_t sum = 0;
  size_t off = 0;
  for (size_t i = 0; i < pixels; ++i) {
    int worst = 0;
    for (size_t c = 0; c < 3; ++c) {
      const int d = std::abs(a.pixels.get()[i * 3 + c] - b.pixels.get()[i * 3 + c]);
      sum += static_cast<uint64_t>(d);
      worst = std::max(worst, d);
    }
    if (worst > threshold) ++off;
  }
  const double mean = static_cast<double>(sum) / static_cast<double>(pixels * 3);
  const double percent = 100.0 * static_cast<double>(off) / static_cast<double>(pixels);
  std::printf("mean %.3f levels, %.3f %% of pixels off by more than %d\n", mean, percent,
              threshold);
  return mean <= maxMean && percent <= maxPercent ? 0 : 1;
}
