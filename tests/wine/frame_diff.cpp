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

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: frame_diff A.png B.png [MAX_MEAN [MAX_PERCENT [THRESHOLD]]]\n");
    return 2;
  }
  const double maxMean = argc > 3 ? std::atof(argv[3]) : 2.0;
  const double maxPercent = argc > 4 ? std::atof(argv[4]) : 1.0;
  const int threshold = argc > 5 ? std::atoi(argv[5]) : 16;
  int w[2], h[2], channels = 0;
  std::unique_ptr<unsigned char, void (*)(void*)> image[2] = {{nullptr, stbi_image_free},
                                                              {nullptr, stbi_image_free}};
  for (int i = 0; i < 2; ++i) {
    image[i].reset(stbi_load(argv[1 + i], &w[i], &h[i], &channels, 3));
    if (!image[i]) {
      std::fprintf(stderr, "frame_diff: %s: %s\n", argv[1 + i], stbi_failure_reason());
      return 2;
    }
  }
  if (w[0] != w[1] || h[0] != h[1]) {
    std::fprintf(stderr, "frame_diff: sizes differ: %dx%d and %dx%d\n", w[0], h[0], w[1], h[1]);
    return 2;
  }
  const size_t pixels = static_cast<size_t>(w[0]) * static_cast<size_t>(h[0]);
  uint64_t sum = 0;
  size_t off = 0;
  for (size_t i = 0; i < pixels * 3; i += 3) {
    int worst = 0;
    for (size_t c = i; c < i + 3; ++c) {
      const int d = std::abs(image[0].get()[c] - image[1].get()[c]);
      sum += static_cast<uint64_t>(d);
      worst = std::max(worst, d);
    }
    off += worst > threshold;
  }
  const double mean = static_cast<double>(sum) / static_cast<double>(pixels * 3);
  const double percent = 100.0 * static_cast<double>(off) / static_cast<double>(pixels);
  std::printf("mean %.3f levels, %.3f %% of pixels off by more than %d\n", mean, percent,
              threshold);
  return mean <= maxMean && percent <= maxPercent ? 0 : 1;
}
