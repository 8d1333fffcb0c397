// Generators: operators that draw a picture into the cleared workImage (flat colour, rectangle,
// circle, checker, waves, hash noise, dots, fractal value noise, radial glow).
//
// Colours are packed by shifting each integer into its channel and OR-ing without masks, so an
// out-of-range value spills into the neighbouring channel; positions and extents are in 256ths
// of the edge (to256ths). Both are part of what the command lists rely on.
#include <algorithm>
#include <cmath>
#include <limits>

#include "texgen/internal.h"

namespace glimmer::texgen {

namespace {

// Nearest int32 of a double, ties to even, saturating.
int32_t roundD(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (x <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(std::nearbyint(x));
}

// Alpha the truncated average of p6-p8 (summed in single precision), red p6, green p7, blue p8.
TexturePixel averageAlphaColour(const TextureParams& p) {
  const float sum = p[6] + p[7] + p[8];
  const int32_t a = truncD(static_cast<double>(sum) / 3.0);
  return u32(a) << 24 | u32(truncF(p[6])) << 16 | u32(truncF(p[7])) << 8 | u32(truncF(p[8]));
}

// One step of the sine-fed hash sequence of Noise and Dots.
inline int32_t hashStep(int32_t s, int64_t c) {
  s = roundD(std::sin(static_cast<double>(c)) * static_cast<double>(s));
  return static_cast<int32_t>(u32(s) * 20021u + 1u);
}

}  // namespace

float textureRandom() {
  textureSeed = static_cast<int32_t>((u32(textureSeed) * 15625u + 1u) & 0x7FFFu);
  return static_cast<float>(textureSeed / 32678.0);
}

void fill(TexturePixel* img, const TextureParams& p) {
  const TexturePixel c = u32(truncF(p[3])) << 24 | u32(truncF(p[0])) << 16 |
                         u32(truncF(p[1])) << 8 | u32(truncF(p[2]));
  std::fill(img, img + textureGeometry.texPixels, c);
}

void rectangle(TexturePixel* img, const TextureParams& p) {
  const uint32_t size = u32(textureGeometry.texSize);
  const TexturePixel c = u32(truncF(p[6])) << 24 | u32(truncF(p[6])) << 16 |
                         u32(truncF(p[7])) << 8 | u32(truncF(p[8]));
  uint32_t h = to256ths(static_cast<int32_t>(u32(truncF(p[4])) + 1u));
  if (h == 0) return;
  const uint32_t y0 = to256ths(truncF(p[1]));
  if (y0 >= size) return;
  if (y0 + h >= size) h = size - y0;
  uint32_t w = to256ths(static_cast<int32_t>(u32(truncF(p[3])) + 1u));
  if (w == 0) return;
  const uint32_t x0 = to256ths(truncF(p[0]));
  if (x0 >= size) return;
  if (x0 + w >= size) w = size - x0;
  for (uint32_t y = y0; y < y0 + h; ++y) std::fill_n(img + y * size + x0, w, c);
}

void circle(TexturePixel* img, const TextureParams& p) {
  const int64_t size = textureGeometry.texSize;
  const float sum = p[6] + p[7] + p[8];
  const int32_t a = truncD(static_cast<double>(sum) / 3.0);
  const TexturePixel c = averageAlphaColour(p);
  const int64_t r = to256ths(truncF(p[3]));
  if (r == 0) return;
  const int64_t cx = to256ths(truncF(p[0]));
  const int64_t cy = to256ths(truncF(p[1]));
  const int64_t x0 = std::max<int64_t>(cx - r, 0), x1 = std::min<int64_t>(cx + r, size);
  const int64_t y0 = std::max<int64_t>(cy - r, 0), y1 = std::min<int64_t>(cy + r, size);
  const int64_t r2 = r * r;
  const int64_t rim2 = (r - 1) * (r - 1);
  const bool smooth = textureGeometry.smoothFlag != 0;
  for (int64_t y = y0; y < y1; ++y) {
    for (int64_t x = x0; x < x1; ++x) {
      const int64_t d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      if (d2 >= r2) continue;
      TexturePixel& px = img[y * size + x];
      px = c;
      if (smooth && d2 > rim2) {
        // The rim fades every channel toward the edge; f lies in (0, 1].
        const float f =
            static_cast<float>(r) - static_cast<float>(std::sqrt(static_cast<double>(d2)));
        px = u32(roundF(static_cast<float>(a) * f)) << 24 | u32(roundF(p[6] * f)) << 16 |
             u32(roundF(p[7] * f)) << 8 | u32(roundF(p[8] * f));
      }
    }
  }
}

void checker(TexturePixel* img, const TextureParams& p) {
  const uint32_t size = u32(textureGeometry.texSize);
  const uint32_t cw = std::clamp<uint32_t>(to256ths(truncF(p[0])), 1, size);
  const uint32_t ch = std::clamp<uint32_t>(to256ths(truncF(p[1])), 1, size);
  for (uint32_t y = 0; y < size; ++y) {
    const uint32_t cy = y / ch;
    for (uint32_t x = 0; x < size; ++x) img[y * size + x] = ((x / cw + cy) & 1) ? 0xFFFFFFFFu : 0u;
  }
}

void waves(TexturePixel* img, const TextureParams& p) {
  const int32_t size = textureGeometry.texSize;
  const float inv = textureGeometry.texInvSize;
  const float phx = 2.0f * kPiSingle * p[0] * inv;
  const float phy = 2.0f * kPiSingle * p[1] * inv;
  const auto k = static_cast<float>(M_PI * 0.0625 * static_cast<double>(inv));
  // The horizontal term depends on the column only: one cosine per column, one per row.
  static double columnTerm[kMaxTextureSize];
  for (int32_t x = 0; x < size; ++x) {
    const float ax = static_cast<float>(x + 1) * k * p[3] + phx;
    columnTerm[x] = 0.25 * std::cos(static_cast<double>(ax));
  }
  for (int32_t y = 0; y < size; ++y) {
    const float ay = static_cast<float>(y + 1) * k * p[4] + phy;
    const auto vy = static_cast<float>(0.5 + 0.25 * std::cos(static_cast<double>(ay)));
    TexturePixel* row = img + static_cast<ptrdiff_t>(y) * size;
    for (int32_t x = 0; x < size; ++x) {
      const auto v = static_cast<float>(vy + columnTerm[x]);
      const uint32_t r = u32(roundF(v * p[6]));
      const uint32_t g = u32(roundF(v * p[7]));
      const uint32_t b = u32(roundF(v * p[8]));
      row[x] = r << 24 | r << 16 | g << 8 | b;
    }
  }
}

void noise(TexturePixel* img, const TextureParams& p) {
  int32_t s = truncF(p[0]);
  const uint32_t cr = u32(truncF(p[3])), cg = u32(truncF(p[4])), cb = u32(truncF(p[5]));
  const int32_t n = textureGeometry.texPixels;
  for (int32_t i = 0; i < n; ++i) {
    s = hashStep(s, n - i);
    const uint32_t v = u32(s) & 0xFF;
    const uint32_t r = ((v * cr) >> 8) & 0xFF;
    const uint32_t g = ((v * cg) >> 8) & 0xFF;
    const uint32_t b = (v * cb) >> 8;
    const uint32_t px = r << 16 | g << 8 | b;
    img[i] = (px & 0x00FFFFFFu) | ((px >> 16) & 0xFF) << 24;  // alpha takes the red byte
  }
}

// Largest number of dots drawn: a huge count would only hang the generator (and overflow the
// count * 8 of the formula), so it is capped far above anything a texture needs.
constexpr int64_t kMaxDots = int64_t{1} << 24;

void dots(TexturePixel* img, const TextureParams& p) {
  const int64_t m = std::min<int64_t>(int64_t{truncF(p[0])} * 8, kMaxDots);
  if (m <= 0) return;
  int32_t s = truncF(p[3]);
  const TexturePixel c = averageAlphaColour(p);
  const uint32_t mask = u32(textureGeometry.texPixels) - 1;
  for (int64_t k = m; k >= 1; --k) {
    s = hashStep(s, k);
    img[u32(s) & mask] = c;
  }
}

// Out-of-lattice samples (zoom below 64, and the neighbour of the last row and column) read the
// lattice wrapped around, and positions left of or above the lattice use the floor of their
// coordinate, so the noise continues periodically instead of extrapolating: inside the lattice
// this is exactly the truncation of the formula.
void fractalNoise(TexturePixel* img, const TextureParams& p) {
  const int32_t size = textureGeometry.texSize;
  const int32_t n = textureGeometry.texPixels;
  const uint32_t mask = u32(size) - 1;
  int32_t z = truncF(p[0]);
  if (z == 0) z = 1;
  for (int32_t i = 0; i < n; ++i)
    noiseLattice[i] =
        static_cast<uint8_t>((truncF(static_cast<float>(textureRandom() * 256.0)) + 47) & 0xFF);

  constexpr int kOctaves = 6;
  const float c = static_cast<float>(size / 2);
  // Per octave and coordinate: lattice index (wrapped) and fraction. Rows and columns share them.
  static uint32_t idx[kOctaves][kMaxTextureSize];
  static float frac[kOctaves][kMaxTextureSize];
  float weight[kOctaves];
  for (int o = 0; o < kOctaves; ++o) {
    const int32_t octave = 1 << o;
    const auto zoom = static_cast<float>(static_cast<double>(int64_t{octave} * z) / 64.0);
    weight[o] = static_cast<float>((octave + 2) / 64.0);
    for (int32_t x = 0; x < size; ++x) {
      const float f = static_cast<float>(x - size / 2) / zoom + c;
      int32_t ix = truncF(f);
      if (f < static_cast<float>(ix)) --ix;
      idx[o][x] = u32(ix) & mask;
      frac[o][x] = f - static_cast<float>(ix);
    }
  }
  for (int32_t y = 0; y < size; ++y) {
    for (int32_t x = 0; x < size; ++x) {
      float acc = 0.0f;
      for (int o = 0; o < kOctaves; ++o) {
        const uint32_t ix = idx[o][x], iy = idx[o][y];
        const uint32_t nx = (ix + 1) & mask, ny = (iy + 1) & mask;
        const float tx = frac[o][x], ty = frac[o][y];
        const float a = noiseLattice[(iy << textureGeometry.texShift) + ix];
        const float b = noiseLattice[(iy << textureGeometry.texShift) + nx];
        const float d = noiseLattice[(ny << textureGeometry.texShift) + ix];
        const float e = noiseLattice[(ny << textureGeometry.texShift) + nx];
        const auto top = static_cast<float>(truncF(a * (1.0f - tx) + b * tx) & 0xFF);
        const auto bottom = static_cast<float>(truncF(d * (1.0f - tx) + e * tx) & 0xFF);
        const int32_t v = truncF(top * (1.0f - ty) + bottom * ty);
        acc = acc + static_cast<float>(v) * weight[o];
      }
      const uint32_t g = u32(std::min(truncF(acc), 255));
      img[y * size + x] += g << 24 | g << 16 | g << 8 | g;
    }
  }
}

void radialGlow(TexturePixel* img, const TextureParams& p) {
  const int32_t size = textureGeometry.texSize;
  const int32_t h = size / 2;
  const auto hh = static_cast<float>(h * h);
  const auto k = static_cast<float>(p[3] / 100.0);
  for (int32_t y = 0; y < size; ++y) {
    for (int32_t x = 0; x < size; ++x) {
      const int32_t d2 = (y - h) * (y - h) + (x - h) * (x - h);
      const float f = std::clamp(1.0f - (static_cast<float>(d2) / hh) * k, 0.0f, 1.0f);
      img[y * size + x] =
          u32(truncF(p[0] * f)) << 16 | u32(truncF(p[1] * f)) << 8 | u32(truncF(p[2] * f));
    }
  }
}

}  // namespace glimmer::texgen
