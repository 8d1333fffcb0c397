// Outline glyphs on Linux: FreeType gives the contours of each character, they are flattened to
// polylines, GLU tessellates the filled area (non-zero winding, as TrueType fills), and the front
// face, back face and side walls are emitted as triangles with normals.
#include "platform/glyph_outline.h"

#include <GL/glu.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>

#include "platform/fonts.h"

namespace platform {

namespace {

struct Point {
  double x = 0.0;
  double y = 0.0;
};
using Contour = std::vector<Point>;

// Collects flattened contours while FreeType walks an outline (coordinates in font units).
struct Flattener {
  std::vector<Contour> contours;
  Point pen;
  double tolerance = 1.0;  // font units

  void lineTo(Point p) {
    Contour& c = contours.back();
    if (c.empty() || c.back().x != p.x || c.back().y != p.y) c.push_back(p);
  }
  // Segments for a curve whose control polygon bends by d: the chord error of n pieces is d / n^2.
  int pieces(double d) const {
    const double n = std::ceil(std::sqrt(d / tolerance));
    return static_cast<int>(std::clamp(n, 1.0, 64.0));
  }
};

Point toPoint(const FT_Vector* v) { return {static_cast<double>(v->x), static_cast<double>(v->y)}; }

int moveTo(const FT_Vector* to, void* user) {
  auto* f = static_cast<Flattener*>(user);
  f->contours.emplace_back();
  f->pen = toPoint(to);
  f->lineTo(f->pen);
  return 0;
}

int lineTo(const FT_Vector* to, void* user) {
  auto* f = static_cast<Flattener*>(user);
  f->pen = toPoint(to);
  f->lineTo(f->pen);
  return 0;
}

int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
  auto* f = static_cast<Flattener*>(user);
  const Point p0 = f->pen, p1 = toPoint(control), p2 = toPoint(to);
  const double d = std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y) / 4.0;
  const int n = f->pieces(d);
  for (int i = 1; i <= n; ++i) {
    const double t = static_cast<double>(i) / n, s = 1.0 - t;
    f->lineTo({s * s * p0.x + 2 * s * t * p1.x + t * t * p2.x, s * s * p0.y + 2 * s * t * p1.y + t * t * p2.y});
  }
  f->pen = p2;
  return 0;
}

int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto* f = static_cast<Flattener*>(user);
  const Point p0 = f->pen, p1 = toPoint(c1), p2 = toPoint(c2), p3 = toPoint(to);
  const double d = 0.75 * std::max(std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                                   std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y));
  const int n = f->pieces(d);
  for (int i = 1; i <= n; ++i) {
    const double t = static_cast<double>(i) / n, s = 1.0 - t;
    const double a = s * s * s, b = 3 * s * s * t, c = 3 * s * t * t, e = t * t * t;
    f->lineTo({a * p0.x + b * p1.x + c * p2.x + e * p3.x, a * p0.y + b * p1.y + c * p2.y + e * p3.y});
  }
  f->pen = p3;
  return 0;
}

// GLU tessellation state for one glyph: output triangles in the XY plane.
struct Tessellation {
  std::deque<std::array<double, 3>> vertices;  // stable addresses for GLU's vertex data
  std::vector<Point> triangles;                // three per triangle
  bool failed = false;
};

void GLAPIENTRY tessBegin(GLenum, void*) {}
void GLAPIENTRY tessEnd(void*) {}
void GLAPIENTRY tessEdgeFlag(GLboolean, void*) {}  // its presence makes GLU emit plain triangles
void GLAPIENTRY tessVertex(void* vertex, void* user) {
  const auto* v = static_cast<const double*>(vertex);
  static_cast<Tessellation*>(user)->triangles.push_back({v[0], v[1]});
}
void GLAPIENTRY tessCombine(GLdouble coords[3], void*[4], GLfloat[4], void** out, void* user) {
  auto* t = static_cast<Tessellation*>(user);
  t->vertices.push_back({coords[0], coords[1], coords[2]});
  *out = t->vertices.back().data();
}
void GLAPIENTRY tessError(GLenum, void* user) { static_cast<Tessellation*>(user)->failed = true; }

template <typename F>
_GLUfuncptr glu(F f) {
  return reinterpret_cast<_GLUfuncptr>(f);
}

// Fills the contours with non-zero winding; triangles come back in font units.
bool tessellate(const std::vector<Contour>& contours, std::vector<Point>& triangles) {
  GLUtesselator* tess = gluNewTess();
  if (!tess) return false;
  Tessellation state;
  gluTessCallback(tess, GLU_TESS_BEGIN_DATA, glu(tessBegin));
  gluTessCallback(tess, GLU_TESS_END_DATA, glu(tessEnd));
  gluTessCallback(tess, GLU_TESS_VERTEX_DATA, glu(tessVertex));
  gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, glu(tessEdgeFlag));
  gluTessCallback(tess, GLU_TESS_COMBINE_DATA, glu(tessCombine));
  gluTessCallback(tess, GLU_TESS_ERROR_DATA, glu(tessError));
  gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
  gluTessNormal(tess, 0.0, 0.0, 1.0);
  gluTessBeginPolygon(tess, &state);
  for (const Contour& c : contours) {
    if (c.size() < 3) continue;
    gluTessBeginContour(tess);
    for (const Point& p : c) {
      state.vertices.push_back({p.x, p.y, 0.0});
      gluTessVertex(tess, state.vertices.back().data(), state.vertices.back().data());
    }
    gluTessEndContour(tess);
  }
  gluTessEndPolygon(tess);
  gluDeleteTess(tess);
  triangles = std::move(state.triangles);
  return !state.failed;
}

// Appends one triangle, turned so that it runs counter-clockwise seen from the side `normal`
// points to.
void emit(OutlineGlyph& g, std::array<std::array<float, 3>, 3> p, std::array<float, 3> normal) {
  const float ux = p[1][0] - p[0][0], uy = p[1][1] - p[0][1], uz = p[1][2] - p[0][2];
  const float vx = p[2][0] - p[0][0], vy = p[2][1] - p[0][1], vz = p[2][2] - p[0][2];
  const float cx = uy * vz - uz * vy, cy = uz * vx - ux * vz, cz = ux * vy - uy * vx;
  if (cx * normal[0] + cy * normal[1] + cz * normal[2] < 0.0f) std::swap(p[1], p[2]);
  for (const auto& v : p) g.vertices.insert(g.vertices.end(), {v[0], v[1], v[2], normal[0], normal[1], normal[2]});
}

void closeContours(std::vector<Contour>& contours) {
  for (Contour& c : contours)
    while (c.size() > 1 && c.front().x == c.back().x && c.front().y == c.back().y) c.pop_back();
}

bool buildGlyph(FT_Face face, char32_t code, double scale, float depth, double tolerance, bool embolden,
                OutlineGlyph& g) {
  g = OutlineGlyph{};
  if (code < 0x20 || code == 0xFFFD) return true;  // control and undefined codes draw nothing
  const FT_UInt index = FT_Get_Char_Index(face, code);
  if (index == 0) return true;
  if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) != 0) return false;
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
  closeContours(flat.contours);

  std::vector<Point> tris;
  if (!tessellate(flat.contours, tris)) return false;
  const auto at = [scale](Point p, float z) {
    return std::array<float, 3>{static_cast<float>(p.x * scale), static_cast<float>(p.y * scale), z};
  };
  for (size_t i = 0; i + 2 < tris.size(); i += 3) {
    emit(g, {at(tris[i], 0.0f), at(tris[i + 1], 0.0f), at(tris[i + 2], 0.0f)}, {0.0f, 0.0f, 1.0f});
    emit(g, {at(tris[i], -depth), at(tris[i + 1], -depth), at(tris[i + 2], -depth)}, {0.0f, 0.0f, -1.0f});
  }
  if (depth == 0.0f) return true;
  for (const Contour& c : flat.contours) {
    if (c.size() < 2) continue;
    for (size_t i = 0; i < c.size(); ++i) {
      const Point a = c[i], b = c[(i + 1) % c.size()];
      const double dx = b.x - a.x, dy = b.y - a.y;
      const double len = std::hypot(dx, dy);
      if (len == 0.0) continue;
      // Filled area lies right of the direction of travel in TrueType order, left otherwise.
      const double nx = truetypeOrder ? -dy / len : dy / len;
      const double ny = truetypeOrder ? dx / len : -dx / len;
      const std::array<float, 3> n{static_cast<float>(nx), static_cast<float>(ny), 0.0f};
      emit(g, {at(a, 0.0f), at(b, 0.0f), at(b, -depth)}, n);
      emit(g, {at(a, 0.0f), at(b, -depth), at(a, -depth)}, n);
    }
  }
  return true;
}

}  // namespace

bool buildOutlineGlyphs(const std::string& faceName, int first, int count, float deviation, float depth,
                        std::vector<OutlineGlyph>& glyphs, std::string& error) {
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
    if (!buildGlyph(face, ch, scale, depth, tolerance, found.synthBold, glyphs[static_cast<size_t>(k)])) {
      error = "glyph " + std::to_string(code) + " of " + found.path + " could not be built";
      ok = false;
    }
  }
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  return ok;
}

}  // namespace platform
