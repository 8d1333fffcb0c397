// Glyph display lists made by the system's font services: bitmap glyphs for screen text and
// filled, extruded outline glyphs for 3D text. Each call fills display lists the caller has
// reserved (glGenLists) in the current OpenGL context; on systems whose fonts belong to a device
// context the show window's is used, so the window and its context must exist.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/fonts.h"
#include "platform/glyph_outline.h"

namespace platform {

// A font as the system's font mapper is asked for it: the fields of a GDI font request that the
// show sets (width, escapement and orientation 0, not italic, underlined or struck out, default
// clipping, pitch and family 0). height follows the convention of fonts.h.
struct GlyphFont {
  const char* face = "";
  int height = 0;
  int weight = kFontWeightNormal;
  int charSet = 1;          // 0 ANSI, 1 the system's default
  int outputPrecision = 4;  // 4: TrueType preferred
  int quality = 4;          // 4: anti-aliased
};

// One glyph as a 1-bit bitmap for glBitmap: rows bottom first, each row padded to a byte.
struct GlyphBits {
  int width = 0;
  int rows = 0;
  float xorig = 0.0f;  // origin from the bitmap's lower-left corner
  float yorig = 0.0f;
  float advance = 0.0f;
  std::vector<uint8_t> bits;
};
// Converts 8-bit coverage (top row first) into the 1-bit form, set where coverage >= 128.
GlyphBits glyphToBits(const GlyphBitmap& glyph);

// Bitmap glyphs of the single-byte codes first ... first + count - 1: list listBase + k draws the
// glyph of code first + k with glBitmap at the current raster position, in the current colour,
// and moves the raster position by the glyph's advance. A glyph without pixels (the space) still
// moves it. face, when given, receives the face really used (path empty where the system keeps
// its font files to itself). False when no font can be opened; the lists then stay empty.
bool buildBitmapGlyphLists(const GlyphFont& font, int first, int count, uint32_t listBase,
                           FontFace* face = nullptr);

// Outline glyphs of the single-byte codes first ... first + count - 1 (Windows-1252 "ANSI"):
// list listBase + k draws the glyph of code first + k as filled polygons with normals in em units
// (1.0 = the face's em square), the front face at z = 0 facing +Z, extruded to z = -depth, then
// moves the modelview origin by the glyph's advance along +X. Curves are flattened to within
// `deviation` em. Codes the font lacks give lists that only move. False with error set when no
// font can be opened or a glyph cannot be built; the other lists are still filled.
bool buildOutlineGlyphLists(const GlyphFont& font, int first, int count, float deviation,
                            float depth, uint32_t listBase, std::string& error);

// Compiles glyph triangles into lists listBase ... listBase + glyphs.size() - 1: GL_TRIANGLES
// over each glyph's vertices (glNormal3f then glVertex3f per vertex), then
// glTranslatef(advanceX, advanceY, 0).
void compileOutlineGlyphLists(std::span<const OutlineGlyph> glyphs, uint32_t listBase);

}  // namespace platform
