// Outline glyphs: filled, extruded character shapes as triangle lists, built from the face the
// font lookup chooses. The renderer turns each glyph into one display list.
#pragma once

#include <string>
#include <vector>

namespace platform {

// One glyph as GL_TRIANGLES: per vertex x, y, z, nx, ny, nz; three vertices per triangle, each
// counter-clockwise seen from the side its normal points to. The front face lies at z = 0 facing
// +Z, the back face at z = -depth facing -Z, side walls join them with outward normals. Units are
// the em square (1.0 = the face's em height). After drawing, the pen moves by the advance.
struct OutlineGlyph {
  std::vector<float> vertices;
  float advanceX = 0.0f;
  float advanceY = 0.0f;
  int triangleCount() const { return static_cast<int>(vertices.size() / 18); }
};

// Builds the glyphs of single-byte character codes first ... first + count - 1 (Windows-1252
// "ANSI" codes mapped to Unicode) of the face found for faceName. Curves are flattened to within
// `deviation` em; contours are tessellated with the non-zero winding rule. Codes the face lacks
// get an empty glyph with the face's advance for them (0 when none). Returns false with error set
// when no face can be opened.
bool buildOutlineGlyphs(const std::string& faceName, int first, int count, float deviation,
                        float depth, std::vector<OutlineGlyph>& glyphs, std::string& error);

}  // namespace platform
