// Filters: operators that rewrite the texture in place (blur, invert, rotozoom, twirl,
// brightness/contrast, tint, emboss, normal map) and the two samplers of the geometric ones.
//
// Index: samplers, Blur (kernel, packed and reference passes), point filters, geometric filters.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "texgen/internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace glimmer::texgen {

namespace {

void copyToWork(const TexturePixel* img) {
  std::memcpy(workImage, img, static_cast<size_t>(textureGeometry.texBytes));
}

// Four bytes of a pixel spread into four 16-bit lanes of a 64-bit word.
inline uint64_t spread(uint32_t p) {
  uint64_t v = p;
  v = (v | v << 16) & 0x0000FFFF0000FFFFull;
  v = (v | v << 8) & 0x00FF00FF00FF00FFull;
  return v;
}

inline uint32_t gather(uint64_t v) {
  v &= 0x00FF00FF00FF00FFull;
  v = (v | v >> 8) & 0x0000FFFF0000FFFFull;
  v = (v | v >> 16) & 0x00000000FFFFFFFFull;
  return static_cast<uint32_t>(v);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Samplers

TexturePixel sampleNearest(const TexturePixel* img, float u, float v) {
  const int32_t size = textureGeometry.texSize;
  int32_t x = truncF(u);
  int32_t y = truncF(v);
  if (x >= 0 && x < size && y >= 0 && y < size) return img[y * size + x];
  switch (textureGeometry.edgeMode) {
    case 0: {
      const uint32_t mask = u32(size) - 1;
      x = static_cast<int32_t>(u32(x) & mask);
      y = static_cast<int32_t>(u32(y) & mask);
      break;
    }
    case 1:
      x = std::clamp(x, 0, size - 1);
      y = std::clamp(y, 0, size - 1);
      break;
    case 2: {
      // |c|, then modulo 2 * size, then reflected back; computed in 64 bits so that the most
      // negative coordinate has an absolute value.
      auto mirror = [size](int32_t c) {
        int64_t m = std::abs(int64_t{c});
        if (m >= size) {
          m %= 2 * int64_t{size};
          if (m >= size) m = 2 * int64_t{size} - 1 - m;
        }
        return static_cast<int32_t>(m);
      };
      x = mirror(x);
      y = mirror(y);
      break;
    }
    default:
      return 0;
  }
  return img[y * size + x];
}

TexturePixel sampleBilinear(const TexturePixel* img, float u, float v) {
  const int32_t size = textureGeometry.texSize;
  const auto fsize = static_cast<float>(size);
  // Multiplying by texInvSize equals dividing by the power-of-two edge length exactly.
  const float inv = textureGeometry.texInvSize;
  // Coordinates already inside the image skip the reduction, which would leave them unchanged.
  if (!(u >= 0.0f && u < fsize)) {
    u = u - static_cast<float>(truncF(u * inv)) * fsize;
    if (u < 0.0f) u += fsize;
  }
  if (!(v >= 0.0f && v < fsize)) {
    v = v - static_cast<float>(truncF(v * inv)) * fsize;
    if (v < 0.0f) v += fsize;
  }
  // A coordinate that rounds onto the far edge (a tiny negative value plus size) or is not a
  // number wraps to 0, so the sample never leaves the image.
  if (!(u >= 0.0f && u < fsize)) u = 0.0f;
  if (!(v >= 0.0f && v < fsize)) v = 0.0f;
  const int32_t ix = truncF(u), iy = truncF(v);
  const int32_t nx = ix == size - 1 ? 0 : ix + 1;
  const int32_t ny = iy == size - 1 ? 0 : iy + 1;
  const auto fx = static_cast<uint64_t>(truncF((u - static_cast<float>(ix)) * 256.0f));
  const auto fy = static_cast<uint64_t>(truncF((v - static_cast<float>(iy)) * 256.0f));
  // Four 16-bit lanes per pixel: each product is at most 255 * 256 and each weighted pair sums
  // below 65536, so no lane carries into the next.
  const uint64_t p00 = spread(img[iy * size + ix]), p10 = spread(img[iy * size + nx]);
  const uint64_t p01 = spread(img[ny * size + ix]), p11 = spread(img[ny * size + nx]);
  const uint64_t top = ((p00 * (256 - fx) + p10 * fx) >> 8) & 0x00FF00FF00FF00FFull;
  const uint64_t bottom = ((p01 * (256 - fx) + p11 * fx) >> 8) & 0x00FF00FF00FF00FFull;
  return gather((top * (256 - fy) + bottom * fy) >> 8);
}

// ---------------------------------------------------------------------------------------------
// Blur

// Taps are limited to 0..257: the product of a tap and a channel then always fits the 16-bit
// lanes (a negative gain gives black, a gain far above 16 on a tiny kernel saturates to white).
constexpr int32_t kMaxBlurTap = 257;

void blur(TexturePixel* img, const TextureParams& p) {
  const int64_t r = int64_t{truncF(p[0])} * textureGeometry.texSize / 256;
  if (r == 0) return;
  const int32_t g = truncF(p[3]);
  const double sigma = static_cast<double>(r) / 8.0;
  float sum = 0.0f;
  for (int i = 0; i < kBlurTableSize; ++i) {
    const double t = (i - 64) / sigma;
    blurKernel[i] = static_cast<float>(std::exp(-t * t / 2.0));
    sum += blurKernel[i];
  }
  for (float& w : blurKernel) w /= sum;
  int hw = 64;
  float a = 0.0f;
  while (a < 1.0f / 510.0f && hw > 1) {
    a += 2.0f * (hw == 64 ? blurKernel[0] : blurKernel[64 + hw]);
    --hw;
  }
  float kept = 0.0f;
  for (int i = 64 - hw; i < 64 + hw; ++i) kept += blurKernel[i];
  for (int i = 64 - hw; i < 64 + hw; ++i) blurKernel[i] /= kept;
  for (int k = 0; k < 2 * hw; ++k)
    blurTaps[k] =
        std::clamp(truncD(static_cast<double>(blurKernel[64 - hw + k]) * 16.0 * g), 0, kMaxBlurTap);
  blurPasses(img, hw);
}

void blurPassesReference(TexturePixel* img, int hw) {
  const int32_t size = textureGeometry.texSize;
  const uint32_t mask = u32(size) - 1;
  auto pass = [&](const TexturePixel* src, TexturePixel* dst, bool vertical) {
    for (int32_t y = 0; y < size; ++y) {
      for (int32_t x = 0; x < size; ++x) {
        uint32_t out = 0;
        for (int sh = 0; sh < 32; sh += 8) {
          uint32_t acc = 0;
          for (int k = 0; k < 2 * hw; ++k) {
            const uint32_t sx = vertical ? u32(x) : (u32(x - hw + k) & mask);
            const uint32_t sy = vertical ? (u32(y - hw + k) & mask) : u32(y);
            const uint32_t c = (src[sy * u32(size) + sx] >> sh) & 0xFF;
            acc = std::min<uint32_t>(acc + ((c * u32(blurTaps[k])) & 0xFFFF), 0xFFFF);
          }
          out |= (acc >> 8) << sh;
        }
        dst[y * size + x] = out;
      }
    }
  };
  pass(img, workImage, false);
  pass(workImage, img, true);
}

#if defined(__SSE2__)
void blurPasses(TexturePixel* img, int hw) {
  const int32_t size = textureGeometry.texSize;
  const uint32_t mask = u32(size) - 1;
  const int taps = 2 * hw;
  const __m128i zero = _mm_setzero_si128();
  __m128i tap[kBlurTableSize];
  for (int k = 0; k < taps; ++k) tap[k] = _mm_set1_epi16(static_cast<short>(blurTaps[k]));
  // Sixteen-bit lanes, two pixels per register: products fit (taps <= 257), sums saturate.
  auto two = [&](const TexturePixel* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
  };
  auto store = [&](TexturePixel* p, __m128i acc) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(_mm_srli_epi16(acc, 8), zero));
  };
  // Four pixels per step where the edge allows it: two registers of 16-bit lanes.
  auto four = [&](const TexturePixel* const* src, int32_t x, TexturePixel* p, bool rowsGiven) {
    __m128i lo = zero, hi = zero;
    for (int k = 0; k < taps; ++k) {
      const TexturePixel* q = rowsGiven ? src[k] + x : src[0] + x + k;
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
      lo = _mm_adds_epu16(lo, _mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), tap[k]));
      hi = _mm_adds_epu16(hi, _mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), tap[k]));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p),
                     _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8)));
  };
  const int32_t step4 = size >= 4 ? size : 0;
  // Horizontal: each row extended by hw wrapped pixels on the left and hw on the right.
  static TexturePixel ext[kMaxTextureSize + kBlurTableSize + 4];
  for (int32_t y = 0; y < size; ++y) {
    const TexturePixel* row = img + static_cast<ptrdiff_t>(y) * size;
    for (int32_t i = 0; i < size + taps; ++i) ext[i] = row[u32(i - hw) & mask];
    TexturePixel* out = workImage + static_cast<ptrdiff_t>(y) * size;
    const TexturePixel* extRow[1] = {ext};
    for (int32_t x = 0; x < step4; x += 4) four(extRow, x, out + x, false);
    for (int32_t x = step4; x < size; x += 2) {
      __m128i acc = zero;
      for (int k = 0; k < taps; ++k)
        acc = _mm_adds_epu16(acc, _mm_mullo_epi16(two(ext + x + k), tap[k]));
      store(out + x, acc);
    }
  }
  // Vertical: rows y - hw .. y + hw - 1, wrapped.
  const TexturePixel* rows[kBlurTableSize];
  for (int32_t y = 0; y < size; ++y) {
    for (int k = 0; k < taps; ++k)
      rows[k] = workImage + static_cast<ptrdiff_t>(u32(y - hw + k) & mask) * size;
    TexturePixel* out = img + static_cast<ptrdiff_t>(y) * size;
    for (int32_t x = 0; x < step4; x += 4) four(rows, x, out + x, true);
    for (int32_t x = step4; x < size; x += 2) {
      __m128i acc = zero;
      for (int k = 0; k < taps; ++k)
        acc = _mm_adds_epu16(acc, _mm_mullo_epi16(two(rows[k] + x), tap[k]));
      store(out + x, acc);
    }
  }
}
#else
void blurPasses(TexturePixel* img, int hw) { blurPassesReference(img, hw); }
#endif

// ---------------------------------------------------------------------------------------------
// Point filters

void invert(TexturePixel* img) {
  const int32_t n = textureGeometry.texPixels;
  for (int32_t i = 0; i < n; ++i) img[i] = ~img[i];
}

void brightnessContrast(TexturePixel* img, const TextureParams& p) {
  const int32_t n = textureGeometry.texPixels;
  const int64_t b = int64_t{truncF(p[0])} - 128;
  int64_t c = 255 - int64_t{truncF(p[3])};
  if (c == 0) c = 1;
  c *= 2;
  uint32_t sum[3] = {0, 0, 0};  // blue, green, red; unsigned 32-bit as the mean is defined
  for (int32_t i = 0; i < n; ++i)
    for (int ch = 0; ch < 3; ++ch) sum[ch] += (img[i] >> (8 * ch)) & 0xFF;
  int64_t mean[3];
  for (int ch = 0; ch < 3; ++ch) mean[ch] = sum[ch] >> (2 * textureGeometry.texShift);
  for (int32_t i = 0; i < n; ++i) {
    uint32_t out[3];
    for (int ch = 0; ch < 3; ++ch) {
      const int64_t v = (img[i] >> (8 * ch)) & 0xFF;
      const int64_t r = (v + b - mean[ch]) * 128 / c + mean[ch];
      out[ch] = static_cast<uint32_t>(std::clamp<int64_t>(r, 0, 255));
    }
    const uint32_t alpha = (out[0] + out[1] + out[2]) / 3;
    img[i] = alpha << 24 | out[2] << 16 | out[1] << 8 | out[0];
  }
}

void tint(TexturePixel* img, const TextureParams& p) {
  const uint32_t fr = (u32(truncF(p[0])) + 128u) & 0xFF;
  const uint32_t fg = (u32(truncF(p[1])) + 128u) & 0xFF;
  const uint32_t fb = (u32(truncF(p[2])) + 128u) & 0xFF;
  const uint32_t fa = (fr + fg + fb) / 3;
  const uint32_t f[4] = {fb, fg, fr, fa};  // in byte order: blue, green, red, alpha
  const int32_t n = textureGeometry.texPixels;
  for (int32_t i = 0; i < n; ++i) {
    uint32_t out = 0;
    for (int ch = 0; ch < 4; ++ch) {
      const uint32_t v = (img[i] >> (8 * ch)) & 0xFF;
      out |= std::min<uint32_t>(255, (v * f[ch]) >> 7) << (8 * ch);
    }
    img[i] = out;
  }
}

void emboss(TexturePixel* img) {
  copyToWork(img);
  const int32_t size = textureGeometry.texSize;
  const TexturePixel* s = workImage;
  for (int32_t y = 0; y < size; ++y) {
    const int32_t yu = std::max(y - 1, 0), yd = std::min(y + 1, size - 1);
    for (int32_t x = 0; x < size; ++x) {
      const int32_t xl = std::max(x - 1, 0), xr = std::min(x + 1, size - 1);
      const TexturePixel l0 = s[y * size + xl], l1 = s[yu * size + xl], l2 = s[yd * size + xl];
      const TexturePixel r0 = s[y * size + xr], r1 = s[yu * size + xr], r2 = s[yd * size + xr];
      uint32_t out = 0;
      for (int sh = 0; sh < 32; sh += 8) {
        auto c = [sh](TexturePixel px) { return static_cast<int32_t>((px >> sh) & 0xFF); };
        const int32_t v = 128 - c(l0) - c(l1) - c(l2) + c(r0) + c(r1) + c(r2);
        out |= u32(std::clamp(v, 0, 255)) << sh;
      }
      img[y * size + x] = out;
    }
  }
}

void normalMap(TexturePixel* img, const TextureParams& p) {
  const auto k = static_cast<float>(p[0] / 10.0);
  copyToWork(img);
  const int32_t size = textureGeometry.texSize;
  const uint32_t mask = u32(size) - 1;
  const TexturePixel* s = workImage;
  auto height = [](TexturePixel px) { return static_cast<float>(px & 0xFF) / 255.0f; };
  for (int32_t y = 0; y < size; ++y) {
    const int32_t yn = static_cast<int32_t>(u32(y + 1) & mask);
    for (int32_t x = 0; x < size; ++x) {
      const int32_t xn = static_cast<int32_t>(u32(x + 1) & mask);
      const TexturePixel src = s[y * size + x];
      const float h = height(src);
      const float hx = height(s[y * size + xn]);
      const float hy = height(s[yn * size + x]);
      const float dx = (h - hx) * k;
      const float dy = (h - hy) * k;
      const float n = std::sqrt(dx * dx + dy * dy + 1.0f);
      const uint32_t g = u32(truncF(dy / n * 127.0f + 128.0f)) & 0xFF;
      const uint32_t r = (255u - u32(truncF(-dx / n * 127.0f + 128.0f))) & 0xFF;
      const uint32_t b = u32(truncF(1.0f / n * 127.0f + 128.0f)) & 0xFF;
      img[y * size + x] = (src & 0xFF000000u) | r << 16 | g << 8 | b;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Geometric filters

void rotoZoom(TexturePixel* img, const TextureParams& p) {
  const int32_t size = textureGeometry.texSize;
  const auto dx = static_cast<int32_t>(int64_t{truncF(p[0])} * size / 256);
  const auto dy = static_cast<int32_t>(int64_t{truncF(p[1])} * size / 256);
  const int64_t a = int64_t{truncF(p[6])} + 128;
  int64_t z = int64_t{truncF(p[3])} + 64;
  if (z == 0) z = 1;
  copyToWork(img);
  const auto s = static_cast<float>(static_cast<double>(z) / 64.0);
  const float theta = static_cast<float>(128 - a) / 128.0f * kPiSingle;
  float c = std::cos(theta) * s;
  float sn = std::sin(theta) * s;
  if (a == 0) {
    c = -s;
    sn = 0.0f;
  }
  const auto cx = static_cast<float>(int64_t{size} - dx);
  const auto cy = static_cast<float>(int64_t{size} - dy);
  const int32_t h = size / 2;
  const bool smooth = textureGeometry.smoothFlag != 0;
  TexturePixel* out = img;
  for (int32_t j = -h; j < h; ++j) {
    const auto fj = static_cast<float>(j);
    for (int32_t i = -h; i < h; ++i) {
      const auto fi = static_cast<float>(i);
      const float u = fi * c - fj * sn + cx;
      const float v = fi * sn + fj * c + cy;
      *out++ = smooth ? sampleBilinear(workImage, u, v) : sampleNearest(workImage, u, v);
    }
  }
}

// Squared distances below this share their twist through a per-command cache.
constexpr uint64_t kTwirlMemo = 2 * uint64_t{kMaxTexturePixels};

// The twist angle is applied as a rotation of (i, j) by phi, which is d*cos(atan2(j, i) + phi)
// written without the round trip through the angle: with no twist the source position is
// exactly the output position.
void twirl(TexturePixel* img, const TextureParams& p) {
  const int32_t r0 = truncF(p[6]);
  if (r0 == 0) return;
  // A radius that becomes 0 pixels on a small texture leaves the image unchanged too, instead of
  // dividing by zero.
  const uint32_t radius = to256ths(r0);
  if (radius == 0) return;
  copyToWork(img);
  const int32_t size = textureGeometry.texSize;
  const int64_t h = size / 2;
  const int64_t cxo = 128 - int64_t{truncF(p[0])};
  const int64_t cyo = 128 - int64_t{truncF(p[1])};
  const float k = static_cast<float>(128 - int64_t{truncF(p[3])}) / 32.0f;
  const auto fr = static_cast<float>(radius);
  const uint64_t r2 = uint64_t{radius} * radius;
  // Outside the radius m = R and the twist is k * (1 + cos(pi)).
  const float outerPhi = k * (1.0f + std::cos(kPiSingle));
  const float outerC = std::cos(outerPhi), outerS = std::sin(outerPhi);
  // The twist depends on the squared distance only, an integer: pixels at the same distance
  // share one evaluation, kept for this command under a fresh stamp.
  static float memoC[kTwirlMemo], memoS[kTwirlMemo];
  static uint32_t memoStamp[kTwirlMemo];
  static uint32_t stamp = 0;
  if (++stamp == 0) {
    std::fill(memoStamp, memoStamp + kTwirlMemo, 0u);
    stamp = 1;
  }
  auto twist = [&](uint64_t d2, float& c, float& s) {
    const auto d = static_cast<float>(std::sqrt(static_cast<double>(d2)));
    const float phi = k * (1.0f + std::cos(kPiSingle * std::min(d, fr) / fr));
    c = std::cos(phi);
    s = std::sin(phi);
  };
  const auto offX = static_cast<float>(h - cxo);
  const auto offY = static_cast<float>(h - cyo);
  const bool smooth = textureGeometry.smoothFlag != 0;
  TexturePixel* out = img;
  for (int64_t j = cyo - h; j < cyo + h; ++j) {
    const auto fj = static_cast<float>(j);
    for (int64_t i = cxo - h; i < cxo + h; ++i) {
      const auto fi = static_cast<float>(i);
      // Each square stays below 2^63 and their sum below 2^64, whatever the centre offset.
      const uint64_t d2 = static_cast<uint64_t>(i * i) + static_cast<uint64_t>(j * j);
      float pc = outerC, ps = outerS;
      if (d2 < r2) {
        if (d2 < kTwirlMemo) {
          const auto m = static_cast<size_t>(d2);
          if (memoStamp[m] != stamp) {
            twist(d2, memoC[m], memoS[m]);
            memoStamp[m] = stamp;
          }
          pc = memoC[m];
          ps = memoS[m];
        } else {
          twist(d2, pc, ps);
        }
      }
      const float u = fi * pc - fj * ps + offX;
      const float v = fj * pc + fi * ps + offY;
      *out++ = smooth ? sampleBilinear(workImage, u, v) : sampleNearest(workImage, u, v);
    }
  }
}

}  // namespace glimmer::texgen
