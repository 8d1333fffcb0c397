// Outline text: the glyph triangles of character codes 0-254 that the Text command hands to the
// renderer's display-list hook.
#include "mesh/internal.h"

namespace glimmer {

namespace {

GlyphSource gGlyphSource = nullptr;

bool platformGlyphs(float depth, std::vector<platform::OutlineGlyph>& glyphs, std::string& error) {
  return platform::buildOutlineGlyphs("Arial Black", 0, kGlyphCodeCount, kGlyphDeviation, depth,
                                      glyphs, error);
}

}  // namespace

void setGlyphSource(GlyphSource source) { gGlyphSource = source; }

namespace meshops {

bool buildGlyphs(float depth, std::vector<platform::OutlineGlyph>& glyphs, std::string& error) {
  // Several text meshes usually share one depth: keep the last set rather than tessellate again.
  static GlyphSource cachedSource = nullptr;
  static float cachedDepth = 0.0f;
  static std::vector<platform::OutlineGlyph> cached;
  GlyphSource source = gGlyphSource ? gGlyphSource : platformGlyphs;
  if (cached.empty() || cachedSource != source || cachedDepth != depth) {
    std::vector<platform::OutlineGlyph> built;
    if (!source(depth, built, error)) return false;
    built.resize(kGlyphCodeCount);
    cached = std::move(built);
    cachedSource = source;
    cachedDepth = depth;
  }
  glyphs = cached;
  return true;
}

}  // namespace meshops

}  // namespace glimmer
