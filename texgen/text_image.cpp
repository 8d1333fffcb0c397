// RenderText and LoadPackImage: the two drawing operators whose picture comes from outside the
// generator's arithmetic (the font engine, the stored image of the mesh pack).
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "platform/fonts.h"
#include "texgen/internal.h"

namespace glimmer {

namespace {

constexpr size_t kTgaHeaderBytes = 18;
// Cell heights beyond this are limited to it: glyphs far larger than any texture would only
// cost memory and time, and are clipped to the image anyway.
constexpr int32_t kMaxTextCellHeight = 2048;
// Pen positions are clamped to +-2^24 pixels: 511 glyphs at the largest cell height span far
// less, so text placed beyond that cannot reach any image and clamping changes no pixel, while
// the font engine's pen arithmetic stays clear of integer overflow.
constexpr int32_t kMaxTextOffset = 1 << 24;

uint16_t readU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// The text face ("Times New Roman" or its metric-compatible substitute) opened at a height;
// fonts stay open for the run, one per height used.
const platform::Font* textFont(int32_t height) {
  static std::map<int32_t, std::unique_ptr<platform::Font>> fonts;
  if (auto it = fonts.find(height); it != fonts.end()) return it->second.get();
  platform::FontFace face;
  std::unique_ptr<platform::Font> font;
  if (platform::findFontFace("Times New Roman", platform::kFontWeightNormal, face))
    font = platform::Font::open(face, height);
  const platform::Font* raw = font.get();
  fonts.emplace(height, std::move(font));
  return raw;
}

}  // namespace

std::string packImageProblem(std::span<const uint8_t> payload, size_t* offset) {
  auto fail = [&](size_t at, std::string why) {
    if (offset) *offset = at;
    return why;
  };
  if (payload.size() < kTgaHeaderBytes)
    return fail(payload.size(),
                "TGA header needs 18 bytes but the entry has " + std::to_string(payload.size()));
  const uint8_t* p = payload.data();
  const uint32_t w = readU16(p + 12), h = readU16(p + 14);
  if (p[16] != 32)
    return fail(
        16, "TGA image has " + std::to_string(p[16]) + " bits per pixel; only 32 can be loaded");
  const uint64_t need = kTgaHeaderBytes + uint64_t{w} * h * 4;
  if (need > payload.size())
    return fail(payload.size(), "TGA pixels of " + std::to_string(w) + " x " + std::to_string(h) +
                                    " need " + std::to_string(need) + " bytes but the entry has " +
                                    std::to_string(payload.size()));
  return {};
}

namespace texgen {

// The image is copied only when the entry holds every pixel its header promises; a truncated
// entry draws nothing rather than part of a picture.
void loadPackImage(TexturePixel* img, const char* name) {
  if (!name) return;
  const std::span<const uint8_t> payload = findPackEntry(name);
  if (!payload.data() || !packImageProblem(payload).empty()) return;
  const uint8_t* p = payload.data();
  const uint32_t w = readU16(p + 12), h = readU16(p + 14);
  const auto size = static_cast<uint32_t>(textureGeometry.texSize);
  const uint32_t cols = std::min(w, size), rows = std::min(h, size);
  const uint8_t* src = p + kTgaHeaderBytes;
  for (uint32_t r = 0; r < rows; ++r) {
    std::memcpy(img + r * size, src, size_t{cols} * 4);
    src += size_t{w} * 4;
  }
}

// Text is placed in 256ths of the edge like every other operator's positions: at 256 x 256 the
// cell's top edge is row p1 - 1 and the glyphs extend toward row 0 (the bitmap is drawn top-down
// and read back bottom row first); other edge lengths scale position and height with the image.
// A height of 0 takes the font's default cell height, a negative one is a character height.
void renderText(TexturePixel* img, const TextureParams& p, const char* name) {
  if (!name) return;
  const int32_t size = textureGeometry.texSize;
  const float k = static_cast<float>(size) / 256.0f;
  const int32_t x = std::clamp(roundToInt(k * p[0]), -kMaxTextOffset, kMaxTextOffset);
  const int32_t y = size - std::clamp(roundToInt(k * p[1]), -kMaxTextOffset, kMaxTextOffset);
  const int32_t h = std::clamp(roundToInt(k * p[3]), -kMaxTextCellHeight, kMaxTextCellHeight);
  const platform::Font* font = textFont(h);
  if (!font) return;
  const std::string_view bytes(name, strnlen(name, kMaxTextBytes));
  const std::u32string text = platform::decodeCodePage(bytes, platform::CodePage::Windows1251);
  static uint8_t coverage[kMaxTexturePixels];
  std::memset(coverage, 0, static_cast<size_t>(textureGeometry.texPixels));
  // Drawn top-down with a negative stride from the last row, so image row 0 is the bitmap's
  // bottom row, as the bottom-up read-back gives it.
  font->drawText(text, x, y, coverage + static_cast<ptrdiff_t>(size - 1) * size, size, size, -size);
  // White on black: every colour byte is the coverage, and alpha their average (the same).
  for (int32_t i = 0; i < textureGeometry.texPixels; ++i) img[i] = coverage[i] * 0x01010101u;
}

}  // namespace texgen

}  // namespace glimmer
