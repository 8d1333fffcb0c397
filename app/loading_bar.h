// The loading progress bar drawn before each entity's precalculation.
#pragma once

#include <array>
#include <cstdint>

namespace app {

struct BarPoint {
  int32_t x = 0;
  int32_t y = 0;
};

// Integer vertices of one loading-bar frame in window pixels (origin bottom-left, y up).
struct LoadingBarGeometry {
  int32_t length = 0;               // L: fill length in pixels
  std::array<BarPoint, 4> outline;  // line loop
  std::array<BarPoint, 4> fill;     // quad: two dark lower corners, then two orange upper ones
};

// The bar's vertices for a window of width x height at percent (not clamped): a 400 x 300
// virtual frame scaled to the window, every coordinate computed in float32 and truncated.
LoadingBarGeometry loadingBarGeometry(int32_t width, int32_t height, int32_t percent);

// Draws the bar into the back buffer of a width x height window without presenting it. Leaves
// both matrix stacks as it found them.
void paintLoadingBar(int32_t width, int32_t height, int32_t percent);

// Draws the bar at screenWidth x screenHeight and presents it at once.
void drawLoadingBar(int32_t percent);

}  // namespace app
