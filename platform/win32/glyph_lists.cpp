// Glyph display lists on Win32, made by WGL from a GDI font selected into the show window's
// device context: wglUseFontBitmapsA for bitmap glyphs, wglUseFontOutlinesA for filled, extruded
// outline glyphs.
//
// Outline text is drawn by calling these lists at draw time only; it never becomes part of a
// mesh's vertex pools or its vertex buffers. So the lists can come straight from WGL, and the
// triangles that glyph_outline.cpp builds from GDI's native outlines are not needed for it.
#include "platform/glyph_lists.h"

#include <windows.h>

#include <vector>

#include "platform/gl.h"
#include "platform/win32/window_dc.h"

namespace platform {

namespace {

// The font of the request, selected into dc; the previously selected font is put back and the
// created one deleted when this goes out of scope (display lists keep what they were made from).
class SelectedFont {
 public:
  SelectedFont(HDC dc, const GlyphFont& f) : dc_(dc) {
    font_ = CreateFontA(f.height, 0, 0, 0, f.weight, FALSE, FALSE, FALSE,
                        static_cast<DWORD>(f.charSet), static_cast<DWORD>(f.outputPrecision),
                        CLIP_DEFAULT_PRECIS, static_cast<DWORD>(f.quality), 0, f.face);
    if (font_) previous_ = SelectObject(dc_, font_);
  }
  ~SelectedFont() {
    if (!font_) return;
    SelectObject(dc_, previous_);
    DeleteObject(font_);
  }
  SelectedFont(const SelectedFont&) = delete;
  SelectedFont& operator=(const SelectedFont&) = delete;
  explicit operator bool() const { return font_ != nullptr; }

 private:
  HDC dc_;
  HFONT font_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

}  // namespace

bool buildBitmapGlyphLists(const GlyphFont& font, int first, int count, uint32_t listBase,
                           FontFace* face) {
  HDC dc = win32::windowDeviceContext();
  if (!dc || listBase == 0 || first < 0 || count <= 0) return false;
  SelectedFont selected(dc, font);
  if (!selected) return false;
  if (face) {
    // The family the font mapper really chose (a substitute when the face is not installed).
    char family[LF_FACESIZE] = {};
    GetTextFaceA(dc, LF_FACESIZE, family);
    *face = FontFace{};
    face->family = family;
    face->weight = font.weight;
    face->exact = face->family == font.face;
  }
  const auto f = static_cast<DWORD>(first), n = static_cast<DWORD>(count);
  // Some drivers refuse the very first call of a process with a spurious error; the second one
  // then succeeds.
  return wglUseFontBitmapsA(dc, f, n, listBase) || wglUseFontBitmapsA(dc, f, n, listBase);
}

bool buildOutlineGlyphLists(const GlyphFont& font, int first, int count, float deviation,
                            float depth, uint32_t listBase, std::string& error) {
  HDC dc = win32::windowDeviceContext();
  if (!dc) {
    error = "no window device context for the outline glyphs";
    return false;
  }
  if (listBase == 0 || first < 0 || count <= 0) return true;
  SelectedFont selected(dc, font);
  if (!selected) {
    error = std::string("no font could be created for '") + font.face + "'";
    return false;
  }
  // Filled by the conversion; nothing reads it.
  std::vector<GLYPHMETRICSFLOAT> metrics(static_cast<size_t>(count));
  if (!wglUseFontOutlinesA(dc, static_cast<DWORD>(first), static_cast<DWORD>(count), listBase,
                           deviation, depth, WGL_FONT_POLYGONS, metrics.data())) {
    error = std::string("the outline glyphs of '") + font.face + "' could not be made (error " +
            std::to_string(GetLastError()) + ")";
    return false;
  }
  return true;
}

}  // namespace platform
