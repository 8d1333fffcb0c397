// Outline glyph meshes from flattened contours, shared by the systems' glyph builders.
#include "platform/outline_mesh.h"

#if defined(_WIN32)
#include <windows.h>  // GLU's calling convention and types on Windows
#endif
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>

#if defined(_WIN32)
#ifndef GLAPIENTRY
#define GLAPIENTRY APIENTRY
#endif
#endif

namespace platform::outline {

void Flattener::add(Point p) {
  Contour& c = contours.back();
  if (c.empty() || c.back().x != p.x || c.back().y != p.y) c.push_back(p);
}

int Flattener::pieces(double d) const {
  const double n = std::ceil(std::sqrt(d / tolerance));
  return static_cast<int>(std::clamp(n, 1.0, 64.0));
}

void Flattener::moveTo(Point p) {
  contours.emplace_back();
  pen = p;
  add(p);
}

void Flattener::lineTo(Point p) {
  pen = p;
  add(p);
}

void Flattener::conicTo(Point p1, Point p2) {
  const Point p0 = pen;
  const double d = std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y) / 4.0;
  const int n = pieces(d);
  for (int i = 1; i <= n; ++i) {
    const double t = static_cast<double>(i) / n, s = 1.0 - t;
    add({s * s * p0.x + 2 * s * t * p1.x + t * t * p2.x,
         s * s * p0.y + 2 * s * t * p1.y + t * t * p2.y});
  }
  pen = p2;
}

void Flattener::cubicTo(Point p1, Point p2, Point p3) {
  const Point p0 = pen;
  const double d = 0.75 * std::max(std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                                   std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y));
  const int n = pieces(d);
  for (int i = 1; i <= n; ++i) {
    const double t = static_cast<double>(i) / n, s = 1.0 - t;
    const double a = s * s * s, b = 3 * s * s * t, c = 3 * s * t * t, e = t * t * t;
    add({a * p0.x + b * p1.x + c * p2.x + e * p3.x, a * p0.y + b * p1.y + c * p2.y + e * p3.y});
  }
  pen = p3;
}

void Flattener::closeContours() {
  for (Contour& c : contours)
    while (c.size() > 1 && c.front().x == c.back().x && c.front().y == c.back().y) c.pop_back();
}

namespace {

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
void GLAPIENTRY tessCombine(GLdouble coords[3], void* [4], GLfloat[4], void** out, void* user) {
  auto* t = static_cast<Tessellation*>(user);
  t->vertices.push_back({coords[0], coords[1], coords[2]});
  *out = t->vertices.back().data();
}
void GLAPIENTRY tessError(GLenum, void* user) { static_cast<Tessellation*>(user)->failed = true; }

#if defined(_WIN32)
using GluCallback = void(CALLBACK*)();
#else
using GluCallback = _GLUfuncptr;
#endif

template <typename F>
GluCallback glu(F f) {
  return reinterpret_cast<GluCallback>(f);
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
  for (const auto& v : p)
    g.vertices.insert(g.vertices.end(), {v[0], v[1], v[2], normal[0], normal[1], normal[2]});
}

}  // namespace

bool buildGlyphMesh(const std::vector<Contour>& contours, bool truetypeOrder, double scale,
                    float depth, OutlineGlyph& g) {
  std::vector<Point> tris;
  if (!tessellate(contours, tris)) return false;
  const auto at = [scale](Point p, float z) {
    return std::array<float, 3>{static_cast<float>(p.x * scale), static_cast<float>(p.y * scale),
                                z};
  };
  for (size_t i = 0; i + 2 < tris.size(); i += 3) {
    emit(g, {at(tris[i], 0.0f), at(tris[i + 1], 0.0f), at(tris[i + 2], 0.0f)}, {0.0f, 0.0f, 1.0f});
    emit(g, {at(tris[i], -depth), at(tris[i + 1], -depth), at(tris[i + 2], -depth)},
         {0.0f, 0.0f, -1.0f});
  }
  if (depth == 0.0f) return true;
  for (const Contour& c : contours) {
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

}  // namespace platform::outline
