// Outline glyphs on Win32: the glyph-outline service gives each character's native outline
// (unhinted, at a large em so the fixed-point points lose nothing), which is flattened and
// turned into front, back and side triangles like on every system. The show's outline text does
// not go through here: it draws WGL's outline glyph lists (glyph_lists.cpp); these triangles are
// for callers that need the glyphs as vertex data.
#include "platform/glyph_outline.h"

#include <windows.h>

#include <vector>

#include "platform/fonts.h"
#include "platform/outline_mesh.h"
#include "platform/win32/native_outline.h"

namespace platform {

namespace {

constexpr int kEmPixels = 2048;
const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

bool buildGlyph(HDC dc, char32_t code, float deviation, float depth, OutlineGlyph& g,
                std::string& error) {
  g = OutlineGlyph{};
  if (code < 0x20 || code == 0xFFFD) return true;  // control and undefined codes draw nothing
  const UINT ch = static_cast<UINT>(code);
  WORD index = 0;
  const wchar_t wide = static_cast<wchar_t>(code);
  if (GetGlyphIndicesW(dc, &wide, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR ||
      index == 0xFFFF)
    return true;
  GLYPHMETRICS gm{};
  const UINT format = GGO_NATIVE | GGO_UNHINTED;
  const DWORD size = GetGlyphOutlineW(dc, ch, format, &gm, 0, nullptr, &kIdentity);
  if (size == GDI_ERROR) return true;
  const double scale = 1.0 / kEmPixels;
  g.advanceX = static_cast<float>(gm.gmCellIncX * scale);
  if (size == 0) return true;  // blank glyph
  std::vector<uint8_t> bytes(size);
  if (GetGlyphOutlineW(dc, ch, format, &gm, size, bytes.data(), &kIdentity) == GDI_ERROR)
    return true;
  outline::Flattener flat;
  flat.tolerance = std::max(static_cast<double>(deviation), 1e-6) * kEmPixels;
  if (!win32::readNativeOutline(bytes, flat, error)) return false;
  // Native outlines run clockwise around filled areas (y up), the TrueType order.
  return outline::buildGlyphMesh(flat.contours, true, scale, depth, g);
}

}  // namespace

bool buildOutlineGlyphs(const std::string& faceName, int first, int count, float deviation,
                        float depth, std::vector<OutlineGlyph>& glyphs, std::string& error) {
  glyphs.assign(static_cast<size_t>(std::max(count, 0)), OutlineGlyph{});
  HFONT font = CreateFontA(-kEmPixels, 0, 0, 0, kFontWeightBold, FALSE, FALSE, FALSE, ANSI_CHARSET,
                           OUT_TT_ONLY_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, faceName.c_str());
  if (!font) {
    error = "no font is installed for '" + faceName + "'";
    return false;
  }
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, font);
  bool ok = true;
  for (int k = 0; k < count; ++k) {
    const int code = first + k;
    if (code < 0 || code > 255) continue;
    const char32_t ch = codePageChar(static_cast<uint8_t>(code), CodePage::Windows1252);
    std::string why;
    if (!buildGlyph(dc, ch, deviation, depth, glyphs[static_cast<size_t>(k)], why)) {
      error = "glyph " + std::to_string(code) + " of '" + faceName + "' could not be built" +
              (why.empty() ? std::string() : ": " + why);
      ok = false;
    }
  }
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(font);
  return ok;
}

}  // namespace platform
