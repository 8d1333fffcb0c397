// combineImages: the blend modes that merge a drawn picture or a layer into a texture.
//
// Modes 5 and 9-11 are arithmetic blends whose scaling is ours to choose. Each keeps its result
// in 0-255 and treats 255 as 1.0:
//   5  Multiply  d*s/255, rounded to nearest (white keeps d, black clears it)
//   9  Screen    255 - (255-d)*(255-s)/255, rounded (black keeps d, white gives white)
//   10 Burn      d = 0: unchanged; else max(0, 255 - (255-s)*255/d), truncated
//   11 Dodge     d = 255: unchanged; else min(255, s*255/(255-d)), truncated
// Modes 12-255 leave the destination unchanged.
#include <algorithm>

#include "texgen/internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace glimmer {

namespace {

// d*s/255 rounded to nearest, exact for all bytes.
inline uint32_t mul255(uint32_t d, uint32_t s) {
  const uint32_t t = d * s + 128;
  return (t + (t >> 8)) >> 8;
}

inline uint32_t blendChannel(uint32_t d, uint32_t s, uint8_t mode) {
  switch (mode) {
    case 5:
      return mul255(d, s);
    case 9:
      return 255 - mul255(255 - d, 255 - s);
    case 10:
      if (d == 0) return d;
      return 255 - std::min<uint32_t>(255, (255 - s) * 255 / d);
    case 11:
      if (d == 255) return d;
      return std::min<uint32_t>(255, s * 255 / (255 - d));
    default:
      return d;
  }
}

// Floor average of every byte pair, through the carry-free sum a&b + ((a^b)>>1).
inline uint32_t averageBytes(uint32_t d, uint32_t s) {
  return (d & s) + (((d ^ s) & 0xFEFEFEFEu) >> 1);
}

template <typename F>
void perChannel(TexturePixel* dst, const TexturePixel* src, int32_t n, F f) {
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t d = dst[i];
    const uint32_t s = src[i];
    uint32_t r = 0;
    for (int sh = 0; sh < 32; sh += 8) r |= f((d >> sh) & 0xFF, (s >> sh) & 0xFF) << sh;
    dst[i] = r;
  }
}

#if defined(__SSE2__)
// Packed byte blends, four pixels at a time (texPixels is always a multiple of 4).
template <typename F>
void packed(TexturePixel* dst, const TexturePixel* src, int32_t n, F f) {
  for (int32_t i = 0; i < n; i += 4) {
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), f(d, s));
  }
}
#endif

}  // namespace

void combineImages(TexturePixel* dst, const TexturePixel* src, uint8_t mode) {
  const int32_t n = textureGeometry.texPixels;
  switch (mode) {
    case 0:
      for (int32_t i = 0; i < n; ++i) dst[i] |= src[i];
      return;
    case 1:
      for (int32_t i = 0; i < n; ++i) dst[i] ^= src[i];
      return;
    case 2:
      for (int32_t i = 0; i < n; ++i) dst[i] &= src[i];
      return;
#if defined(__SSE2__)
    case 3:
      packed(dst, src, n, [](__m128i d, __m128i s) { return _mm_adds_epu8(d, s); });
      return;
    case 4:
      packed(dst, src, n, [](__m128i d, __m128i s) { return _mm_subs_epu8(d, s); });
      return;
    case 7:
      packed(dst, src, n, [](__m128i d, __m128i s) { return _mm_min_epu8(d, s); });
      return;
    case 8:
      packed(dst, src, n, [](__m128i d, __m128i s) { return _mm_max_epu8(d, s); });
      return;
#else
    case 3:
      perChannel(dst, src, n,
                 [](uint32_t d, uint32_t s) { return std::min<uint32_t>(d + s, 255); });
      return;
    case 4:
      perChannel(dst, src, n, [](uint32_t d, uint32_t s) { return d > s ? d - s : 0; });
      return;
    case 7:
      perChannel(dst, src, n, [](uint32_t d, uint32_t s) { return std::min(d, s); });
      return;
    case 8:
      perChannel(dst, src, n, [](uint32_t d, uint32_t s) { return std::max(d, s); });
      return;
#endif
    case 6:
      for (int32_t i = 0; i < n; ++i) dst[i] = averageBytes(dst[i], src[i]);
      return;
    case 5:
    case 9:
    case 10:
    case 11:
      perChannel(dst, src, n, [mode](uint32_t d, uint32_t s) { return blendChannel(d, s, mode); });
      return;
    default:
      return;
  }
}

}  // namespace glimmer
