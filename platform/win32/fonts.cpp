// Font services on Win32: GDI fonts by family name, glyph coverage from the glyph-outline
// service, text drawn with TextOut into a DIB section, and the code pages through the system's
// converter.
#include "platform/fonts.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <utility>

namespace platform {

namespace {

// A memory device context shared by every font (main thread only).
HDC memoryDc() {
  static HDC dc = CreateCompatibleDC(nullptr);
  return dc;
}

int CALLBACK familyFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool familyInstalled(const std::string& family) {
  LOGFONTA query{};
  query.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(query.lfFaceName, family.c_str(), LF_FACESIZE);
  bool found = false;
  EnumFontFamiliesExA(memoryDc(), &query, familyFound, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

std::wstring toWide(std::u32string_view text) {
  std::wstring wide;
  wide.reserve(text.size());
  for (char32_t c : text) wide.push_back(c <= 0xFFFF ? static_cast<wchar_t>(c) : L'\xFFFD');
  return wide;
}

}  // namespace

bool findFontFace(const std::string& family, int weight, FontFace& out) {
  static std::map<std::pair<std::string, int>, FontFace> cache;
  const auto key = std::make_pair(family, weight);
  if (auto it = cache.find(key); it != cache.end()) {
    out = it->second;
    return true;
  }
  // GDI's font mapper substitutes for a missing family by itself when the font is created.
  FontFace face;
  face.family = family;
  face.weight = weight > 0 ? weight : kFontWeightNormal;
  face.style = face.weight >= 600 ? "Bold" : "Regular";
  face.exact = familyInstalled(family);
  cache.emplace(key, face);
  out = face;
  return true;
}

struct Font::Impl {
  HFONT font = nullptr;
  ~Impl() {
    if (font) DeleteObject(font);
  }
  // Selects the font into the shared memory context.
  HDC select() const {
    HDC dc = memoryDc();
    SelectObject(dc, font);
    return dc;
  }
};

Font::Font(std::unique_ptr<Impl> impl, const FontFace& face, const FontMetrics& m)
    : impl_(std::move(impl)), face_(face), metrics_(m) {}

Font::~Font() = default;

std::unique_ptr<Font> Font::open(const FontFace& face, int height) {
  auto impl = std::make_unique<Impl>();
  impl->font = CreateFontA(height, 0, 0, 0, face.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, face.family.c_str());
  if (!impl->font) return nullptr;
  HDC dc = impl->select();
  TEXTMETRICA tm{};
  if (!GetTextMetricsA(dc, &tm)) return nullptr;
  FontMetrics m;
  m.ascent = tm.tmAscent;
  m.descent = tm.tmDescent;
  m.cellHeight = tm.tmHeight;
  m.emPixels = static_cast<float>(tm.tmHeight - tm.tmInternalLeading);
  return std::unique_ptr<Font>(new Font(std::move(impl), face, m));
}

bool Font::glyph(char32_t code, GlyphBitmap& out) const {
  HDC dc = impl_->select();
  GLYPHMETRICS gm{};
  const UINT ch = code <= 0xFFFF ? static_cast<UINT>(code) : 0xFFFDu;
  const DWORD size = GetGlyphOutlineW(dc, ch, GGO_GRAY8_BITMAP, &gm, 0, nullptr, &kIdentity);
  if (size == GDI_ERROR) return false;
  out.advance = gm.gmCellIncX;
  out.left = gm.gmptGlyphOrigin.x;
  out.top = gm.gmptGlyphOrigin.y;
  out.width = out.rows = 0;
  out.coverage.clear();
  if (size == 0) return true;  // a blank glyph (space)
  std::vector<uint8_t> bits(size);
  if (GetGlyphOutlineW(dc, ch, GGO_GRAY8_BITMAP, &gm, size, bits.data(), &kIdentity) == GDI_ERROR)
    return false;
  out.width = static_cast<int>(gm.gmBlackBoxX);
  out.rows = static_cast<int>(gm.gmBlackBoxY);
  const size_t pitch = (static_cast<size_t>(out.width) + 3) & ~size_t{3};  // rows are DWORD-aligned
  if (pitch * static_cast<size_t>(out.rows) > bits.size()) return false;
  out.coverage.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.rows), 0);
  // GGO_GRAY8_BITMAP has 65 levels, 0 to 64.
  for (int r = 0; r < out.rows; ++r)
    for (int c = 0; c < out.width; ++c)
      out.coverage[static_cast<size_t>(r * out.width + c)] = static_cast<uint8_t>(
          std::min(64, static_cast<int>(bits[static_cast<size_t>(r) * pitch + c])) * 255 / 64);
  return true;
}

int Font::advance(char32_t code) const {
  HDC dc = impl_->select();
  GLYPHMETRICS gm{};
  const UINT ch = code <= 0xFFFF ? static_cast<UINT>(code) : 0xFFFDu;
  if (GetGlyphOutlineW(dc, ch, GGO_METRICS, &gm, 0, nullptr, &kIdentity) == GDI_ERROR) return 0;
  return gm.gmCellIncX;
}

int Font::textWidth(std::u32string_view text) const {
  int w = 0;
  for (char32_t c : text) w += advance(c);
  return w;
}

// The text is drawn white on black with TextOut into a 32-bit DIB section the size of its cell,
// and the DIB's coverage is composed over the buffer.
int Font::drawText(std::u32string_view text, int x, int y, uint8_t* buffer, int width, int height,
                   ptrdiff_t stride) const {
  const int textW = textWidth(text);
  const int cellW = textW + metrics_.cellHeight;  // room for overhanging glyphs
  const int cellH = metrics_.cellHeight;
  if (text.empty() || cellW <= 0 || cellH <= 0) return x + textW;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = cellW;
  info.bmiHeader.biHeight = -cellH;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib || !bits) return x + textW;
  HDC dc = impl_->select();
  HGDIOBJ previous = SelectObject(dc, dib);
  GdiFlush();
  std::fill_n(static_cast<uint32_t*>(bits), static_cast<size_t>(cellW) * cellH, 0u);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  SetTextAlign(dc, TA_TOP | TA_LEFT | TA_NOUPDATECP);
  const std::wstring wide = toWide(text);
  TextOutW(dc, 0, 0, wide.c_str(), static_cast<int>(wide.size()));
  GdiFlush();
  const auto* pixels = static_cast<const uint32_t*>(bits);
  for (int r = 0; r < cellH; ++r) {
    const int row = y + r;
    if (row < 0 || row >= height) continue;
    uint8_t* dst = buffer + static_cast<ptrdiff_t>(row) * stride;
    for (int c = 0; c < cellW; ++c) {
      const int px = x + c;
      if (px < 0 || px >= width) continue;
      const int a = static_cast<int>((pixels[static_cast<size_t>(r) * cellW + c] >> 8) & 0xFF);
      if (a == 0) continue;
      const int d = dst[px];
      dst[px] = static_cast<uint8_t>(d + a - (d * a + 127) / 255);
    }
  }
  SelectObject(dc, previous);
  DeleteObject(dib);
  return x + textW;
}

// ---------------------------------------------------------------------------------------------
// Code pages

char32_t codePageChar(uint8_t byte, CodePage page) {
  if (byte < 0x80) return byte;
  const UINT cp = page == CodePage::Windows1251 ? 1251 : 1252;
  const char in = static_cast<char>(byte);
  wchar_t out = 0;
  if (MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, &in, 1, &out, 1) != 1) return 0xFFFD;
  // Bytes the code page leaves undefined come back as C1 control characters.
  if (out >= 0x80 && out <= 0x9F) return 0xFFFD;
  return out;
}

std::u32string decodeCodePage(std::string_view bytes, CodePage page) {
  std::u32string out;
  out.reserve(bytes.size());
  for (char c : bytes) out.push_back(codePageChar(static_cast<uint8_t>(c), page));
  return out;
}

}  // namespace platform
