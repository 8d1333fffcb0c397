// Outline glyphs on Linux: FreeType gives the contours of each character, they are flattened to
// polylines, GLU tessellates the filled area (non-zero winding, as TrueType fills), and the front
// face, back face and side walls are emitted as triangles with normals.
#include "platform/glyph_outline.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>

#include "platform/fonts.h"
#include "platform/outline_mesh.h"

namespace platform {

namespace {

using outline::Flattener;
using outline::Point;

Point toPoint(const FT_Vector* v) { return {static_cast<double>(v->x), static_cast<double>(v->y)}; }

int moveTo(const FT_Vector* to, void* user) {
  static_cast<Flattener*>(user)->moveTo(toPoint(to));
  return 0;
}

int lineTo(const FT_Vector* to, void* user) {
  static_cast<Flattener*>(user)->lineTo(toPoint(to));
  return 0;
}

int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
  static_cast<Flattener*>(user)->conicTo(toPoint(control), toPoint(to));
  return 0;
}

int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  static_cast<Flattener*>(user)->cubicTo(toPoint(c1), toPoint(c2), toPoint(to));
  return 0;
}

bool buildGlyph(FT_Face face, char32_t code, double scale, float depth, double tolerance,
                bool embolden, OutlineGlyph& g) {
  g = OutlineGlyph{};
  if (code < 0x20 || code == 0xFFFD) return true;  // control and undefined codes draw nothing
  const FT_UInt index = FT_Get_Char_Index(face, code);
  if (index == 0) return true;
  if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) != 0)
    return false;
  FT_GlyphSlot slot = face->glyph;
  g.advanceX = static_cast<float>(slot->advance.x * scale);
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return true;
  FT_Outline& outline = slot->outline;
  if (embolden) {
    const FT_Pos strength = face->units_per_EM / 16;
    FT_Outline_EmboldenXY(&outline, strength, strength);
    g.advanceX += static_cast<float>(strength * scale);
  }
  const bool truetypeOrder = FT_Outline_Get_Orientation(&outline) == FT_ORIENTATION_TRUETYPE;
  Flattener flat;
  flat.tolerance = tolerance;
  FT_Outline_Funcs funcs{};
  funcs.move_to = moveTo;
  funcs.line_to = lineTo;
  funcs.conic_to = conicTo;
  funcs.cubic_to = cubicTo;
  if (FT_Outline_Decompose(&outline, &funcs, &flat) != 0) return false;
  flat.closeContours();
  return outline::buildGlyphMesh(flat.contours, truetypeOrder, scale, depth, g);
}

}  // namespace

bool buildOutlineGlyphs(const std::string& faceName, int first, int count, float deviation,
                        float depth, std::vector<OutlineGlyph>& glyphs, std::string& error) {
  glyphs.assign(static_cast<size_t>(std::max(count, 0)), OutlineGlyph{});
  FontFace found;
  if (!findFontFace(faceName, kFontWeightBold, found)) {
    error = "no font is installed for '" + faceName + "'";
    return false;
  }
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib) != 0) {
    error = "FreeType could not be initialised";
    return false;
  }
  FT_Face face = nullptr;
  if (FT_New_Face(lib, found.path.c_str(), found.index, &face) != 0 || !FT_IS_SCALABLE(face) ||
      face->units_per_EM == 0) {
    error = "cannot open outlines of " + found.path;
    if (face) FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return false;
  }
  FT_Select_Charmap(face, FT_ENCODING_UNICODE);
  const double scale = 1.0 / face->units_per_EM;
  const double tolerance = std::max(static_cast<double>(deviation), 1e-6) * face->units_per_EM;
  bool ok = true;
  for (int k = 0; k < count; ++k) {
    const int code = first + k;
    if (code < 0 || code > 255) continue;
    const char32_t ch = codePageChar(static_cast<uint8_t>(code), CodePage::Windows1252);
    if (!buildGlyph(face, ch, scale, depth, tolerance, found.synthBold,
                    glyphs[static_cast<size_t>(k)])) {
      error = "glyph " + std::to_string(code) + " of " + found.path + " could not be built";
      ok = false;
    }
  }
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  return ok;
}

}  // namespace platform
