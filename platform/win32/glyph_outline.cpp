// Outline glyphs on Win32 (placeholder until the GDI outline path lands).
#include "platform/glyph_outline.h"

namespace platform {

bool buildOutlineGlyphs(const std::string& faceName, int, int count, float, float,
                        std::vector<OutlineGlyph>& glyphs, std::string& error) {
  glyphs.assign(static_cast<size_t>(count > 0 ? count : 0), OutlineGlyph{});
  error = "no outline glyphs for '" + faceName + "'";
  return false;
}

}  // namespace platform
