// Outline text from an installed glyph source: the glyph triangles of character codes 0-254 that
// the Text command hands to the renderer's display-list hook.
#include "mesh/internal.h"

namespace glimmer {

namespace {

GlyphSource gGlyphSource = nullptr;

}  // namespace

void setGlyphSource(GlyphSource source) { gGlyphSource = source; }

namespace meshops {

bool hasGlyphSource() { return gGlyphSource != nullptr; }

bool buildGlyphs(float depth, std::vector<platform::OutlineGlyph>& glyphs, std::string& error) {
  glyphs.clear();
  if (!gGlyphSource) {
    error = "no glyph source";
    return false;
  }
  if (!gGlyphSource(depth, glyphs, error)) return false;
  glyphs.resize(kGlyphCodeCount);
  return true;
}

}  // namespace meshops

}  // namespace glimmer
