// Pure geometry of the frame: camera up vector, glow and echo-ring copies, the scene viewport,
// the mesh sort, the overlay font height and glyph bitmaps. No OpenGL here, so tests run it
// without a window.
#include <algorithm>
#include <cmath>

#include "render/internal.h"

namespace render {

namespace {
constexpr float kPi = 3.14159f;
}

Vec3f cameraUpVector(float roll) {
  const float r = roll * kPi * 2.0f / 360.0f;
  return {std::sin(r), std::cos(r), 0.0f};
}

int32_t glowPassCount(int32_t passes) { return std::clamp(passes, 0, kMaxGlowPasses); }

GlowCopy glowCopy(int32_t i, int32_t passes, float amount, const Colour& glowColour, int width) {
  const float t = static_cast<float>(i) / static_cast<float>(passes);
  GlowCopy c;
  c.offset = t * amount * static_cast<float>(width) * 0.02f;
  for (int k = 0; k < 3; ++k)
    c.colour[static_cast<size_t>(k)] = glowColour[static_cast<size_t>(k)] * (1.0f - t);
  return c;
}

int32_t echoCopyCount(float copies) {
  return std::clamp(glimmer::toInt(copies), 0, kMaxEchoCopies);
}

std::array<float, 2> echoOffset(int32_t i, int32_t n, float radius) {
  const float a = (static_cast<float>(i) / static_cast<float>(n) * 360.0f * kPi * 2.0f) / 360.0f;
  return {radius * std::cos(a), radius * std::sin(a)};
}

ViewportRect sceneViewport(const SceneObject& scene, int width, int height) {
  const float sx = static_cast<float>(width) / 100.0f;
  const float sy = static_cast<float>(height) / 100.0f;
  return {glimmer::toInt(sx * scene.viewportX), glimmer::toInt(sy * scene.viewportY),
          glimmer::toInt(sx * scene.viewportWidth), glimmer::toInt(sy * scene.viewportHeight)};
}

float distance3(const Vec3f& a, const Vec3f& b) {
  const float dx = b[0] - a[0], dy = b[1] - a[1], dz = b[2] - a[2];
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

void sortByDistance(std::vector<SortEntry>& entries, bool farthestFirst) {
  bool swapped = true;
  while (swapped) {
    swapped = false;
    for (size_t i = 0; i + 1 < entries.size(); ++i) {
      const float a = entries[i].distance, b = entries[i + 1].distance;
      if (farthestFirst ? (a < b) : (a > b)) {
        std::swap(entries[i], entries[i + 1]);
        swapped = true;
      }
    }
  }
}

int overlayFontHeight(int width) {
  return glimmer::toInt(static_cast<float>(width) / 640.0f * 64.0f);
}

}  // namespace render
