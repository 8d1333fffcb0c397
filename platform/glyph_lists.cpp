// Glyph display lists on Linux: bitmap glyphs rendered by FreeType (fonts.h) and drawn with
// glBitmap, outline glyphs tessellated from FreeType's contours (glyph_outline.h) and compiled as
// triangles.
#include "platform/glyph_lists.h"

#include <vector>

#include "platform/gl.h"

namespace platform {

GlyphBits glyphToBits(const GlyphBitmap& glyph) {
  GlyphBits g;
  g.advance = static_cast<float>(glyph.advance);
  const int width = glyph.width, rows = glyph.rows;
  if (width <= 0 || rows <= 0 ||
      glyph.coverage.size() < static_cast<size_t>(width) * static_cast<size_t>(rows))
    return g;
  g.width = width;
  g.rows = rows;
  g.xorig = static_cast<float>(-glyph.left);
  g.yorig = static_cast<float>(rows - glyph.top);
  const size_t stride = (static_cast<size_t>(width) + 7) / 8;
  g.bits.assign(stride * static_cast<size_t>(rows), 0);
  for (int r = 0; r < rows; ++r) {
    // glBitmap rows run from the bottom up; coverage rows from the top down.
    uint8_t* out = g.bits.data() + stride * static_cast<size_t>(rows - 1 - r);
    const uint8_t* in = glyph.coverage.data() + static_cast<size_t>(r) * static_cast<size_t>(width);
    for (int c = 0; c < width; ++c)
      if (in[c] >= 128) out[c / 8] |= static_cast<uint8_t>(0x80u >> (c % 8));
  }
  return g;
}

bool buildBitmapGlyphLists(const GlyphFont& font, int first, int count, uint32_t listBase,
                           FontFace* face) {
  FontFace found;
  if (listBase == 0 || !findFontFace(font.face, font.weight, found)) return false;
  auto opened = Font::open(found, font.height);
  if (!opened) return false;
  if (face) *face = found;
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int i = 0; i < count; ++i) {
    GlyphBitmap bitmap;
    GlyphBits bits;
    const int code = first + i;
    if (code >= 0 && code <= 255 && opened->glyph(static_cast<char32_t>(code), bitmap))
      bits = glyphToBits(bitmap);
    // A glyph without pixels (the space) still needs a bitmap call that moves the raster
    // position; some drivers drop a call with no data, so it gets one blank pixel.
    static const GLubyte kBlank[1] = {0};
    const bool blank = bits.bits.empty();
    glNewList(listBase + static_cast<GLuint>(i), GL_COMPILE);
    glBitmap(blank ? 1 : bits.width, blank ? 1 : bits.rows, bits.xorig, bits.yorig, bits.advance,
             0.0f, blank ? kBlank : bits.bits.data());
    glEndList();
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  return true;
}

bool buildOutlineGlyphLists(const GlyphFont& font, int first, int count, float deviation,
                            float depth, uint32_t listBase, std::string& error) {
  // Several text meshes usually share one font and depth: keep the last set of triangles rather
  // than tessellate again.
  struct Key {
    std::string face;
    int weight = 0, first = 0, count = 0;
    float deviation = 0.0f, depth = 0.0f;
    bool operator==(const Key&) const = default;
  };
  static Key cachedKey;
  static std::vector<OutlineGlyph> cached;
  static bool cachedOk = false;
  static std::string cachedError;
  const Key key{font.face, font.weight, first, count, deviation, depth};
  if (cached.empty() || !(cachedKey == key)) {
    // Outlines come in the face's em square, so the height does not matter; the outline builder
    // looks up the bold face, the weight every outline font of the show asks for.
    cachedError.clear();
    cachedOk = buildOutlineGlyphs(font.face, first, count, deviation, depth, cached, cachedError);
    cached.resize(static_cast<size_t>(count > 0 ? count : 0));
    cachedKey = key;
  }
  if (!cachedOk) error = cachedError;
  compileOutlineGlyphLists(cached, listBase);
  return cachedOk;
}

}  // namespace platform
