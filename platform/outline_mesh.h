// Shared by the outline-glyph builders of every system: curves flattened to polylines, the filled
// area tessellated by GLU with the non-zero winding rule, and the front face, back face and
// side walls emitted as triangles with normals.
#pragma once

#include <vector>

#include "platform/glyph_outline.h"

namespace platform::outline {

struct Point {
  double x = 0.0;
  double y = 0.0;
};
using Contour = std::vector<Point>;

// Collects flattened contours while a system's outline walker goes through a glyph.
struct Flattener {
  std::vector<Contour> contours;
  Point pen;
  double tolerance = 1.0;  // largest distance of a flattened curve from the curve, outline units

  void moveTo(Point p);
  void lineTo(Point p);
  // Quadratic curve from the pen through control c to p.
  void conicTo(Point c, Point p);
  // Cubic curve from the pen through controls c1, c2 to p.
  void cubicTo(Point c1, Point c2, Point p);
  // Drops closing points that repeat the first point of their contour.
  void closeContours();

 private:
  void add(Point p);
  // Segments for a curve whose control polygon bends by d: the chord error of n pieces is d / n^2.
  int pieces(double d) const;
};

// Fills the glyph from closed contours in outline units: front and back faces by tessellation,
// side walls when depth > 0. truetypeOrder: filled area lies right of the direction of travel
// (outer contours clockwise with y up). scale turns outline units into em units. False when the
// tessellation fails.
bool buildGlyphMesh(const std::vector<Contour>& contours, bool truetypeOrder, double scale,
                    float depth, OutlineGlyph& g);

}  // namespace platform::outline
