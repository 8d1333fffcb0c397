// Operators of the texture generator, the samplers and the random source. Shared by the files
// of texgen/ and by its tests; other folders use texgen.h.
#pragma once

#include <cmath>
#include <limits>

#include "texgen/texgen.h"

namespace glimmer::texgen {

// The single-precision pi the operators use.
constexpr float kPiSingle = 3.14159f;

inline uint32_t u32(int32_t v) { return static_cast<uint32_t>(v); }

// Truncation toward zero of a double, saturating like toInt.
inline int32_t truncD(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483648.0) return std::numeric_limits<int32_t>::max();
  if (x <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(x);
}

// toInt for hot loops: the same truncation toward zero (NaN gives 0, out-of-range values
// saturate), inline.
inline int32_t truncF(float x) {
  if (x >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
  if (x <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
  if (x != x) return 0;
  return static_cast<int32_t>(x);
}

// roundToInt for hot loops: nearest integer, ties to even. Below 2^22 in magnitude, adding and
// subtracting 1.5 * 2^23 rounds in the FPU's nearest-even mode; larger values take the library.
inline int32_t roundF(float x) {
  if (std::fabs(x) < 4194304.0f) {
    const float t = x + 12582912.0f;  // exact in single precision (SSE arithmetic)
    return static_cast<int32_t>(t - 12582912.0f);
  }
  return roundToInt(x);
}

// A parameter in 256ths of the edge as a pixel coordinate: the unsigned 32-bit pattern shifted
// left by texShift, then right by 8 (negative values become very large coordinates).
inline uint32_t to256ths(int32_t c) {
  return (static_cast<uint32_t>(c) << textureGeometry.texShift) >> 8;
}

// Next value of the 15-bit generator: textureSeed = (textureSeed * 15625 + 1) & 0x7FFF, returned
// divided by 32678 (so slightly above 1 at most).
float textureRandom();

// Generators: draw into img (workImage, already cleared).
void fill(TexturePixel* img, const TextureParams& p);
void rectangle(TexturePixel* img, const TextureParams& p);
void circle(TexturePixel* img, const TextureParams& p);
void checker(TexturePixel* img, const TextureParams& p);
void waves(TexturePixel* img, const TextureParams& p);
void noise(TexturePixel* img, const TextureParams& p);
void dots(TexturePixel* img, const TextureParams& p);
void fractalNoise(TexturePixel* img, const TextureParams& p);
void radialGlow(TexturePixel* img, const TextureParams& p);
// Draws the string name (Windows-1251 bytes) as white anti-aliased text; null draws nothing.
void renderText(TexturePixel* img, const TextureParams& p, const char* name);
// Copies the 32-bit TGA pack entry called name; nothing when it is missing or unreadable.
void loadPackImage(TexturePixel* img, const char* name);

// Filters: rewrite img in place (workImage serves as their source copy).
void blur(TexturePixel* img, const TextureParams& p);
void invert(TexturePixel* img);
void rotoZoom(TexturePixel* img, const TextureParams& p);
void twirl(TexturePixel* img, const TextureParams& p);
void brightnessContrast(TexturePixel* img, const TextureParams& p);
void tint(TexturePixel* img, const TextureParams& p);
void emboss(TexturePixel* img);
void normalMap(TexturePixel* img, const TextureParams& p);

// Nearest pixel of a texSize x texSize image at (u, v) with edgeMode outside the image.
TexturePixel sampleNearest(const TexturePixel* img, float u, float v);
// 8.8 fixed-point bilinear blend of four pixels; always wraps.
TexturePixel sampleBilinear(const TexturePixel* img, float u, float v);

// The two blur passes on one image: the packed (SSE2) version and a plain per-channel one that
// defines the result; both give the same pixels.
void blurPasses(TexturePixel* img, int hw);
void blurPassesReference(TexturePixel* img, int hw);

}  // namespace glimmer::texgen
