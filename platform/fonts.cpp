// Font services on Linux: fontconfig finds faces, FreeType rasterises them, glibc iconv decodes
// the Windows code pages.
#include "platform/fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_SYNTHESIS_H
#include <iconv.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <map>
#include <utility>

namespace platform {

namespace {

// ---------------------------------------------------------------------------------------------
// Face lookup

struct Candidate {
  const char* family;
  int weight;      // minimum OpenType weight the face must have (0: any)
  bool condensed;  // the face must be narrower than normal
};

// Substitutes chosen on purpose for the Windows families the show names.
struct Substitution {
  const char* windowsFamily;
  bool serif;
  std::array<Candidate, 4> candidates;
};

constexpr Substitution kSubstitutions[] = {
    {"Times New Roman",
     true,
     {{{"Liberation Serif", 0, false},
       {"Tinos", 0, false},
       {"Nimbus Roman", 0, false},
       {"DejaVu Serif", 0, false}}}},
    {"Arial",
     false,
     {{{"Liberation Sans", 0, false},
       {"Arimo", 0, false},
       {"Nimbus Sans", 0, false},
       {"DejaVu Sans", 0, false}}}},
    {"Arial Black",
     false,
     {{{"Liberation Sans", kFontWeightBold, false},
       {"DejaVu Sans", kFontWeightBold, false},
       {"Nimbus Sans", kFontWeightBold, false},
       {"Arimo", kFontWeightBold, false}}}},
    {"Impact",
     false,
     {{{"Liberation Sans Narrow", kFontWeightBold, false},
       {"DejaVu Sans", kFontWeightBold, true},
       {"Nimbus Sans Narrow", kFontWeightBold, false},
       {"Liberation Sans", kFontWeightBold, false}}}},
};

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (std::tolower(ca) != std::tolower(cb)) return false;
  }
  return true;
}

// Initialises fontconfig once; its caches are released at exit so that leak checkers see a
// clean process.
bool initFontconfig() {
  static const bool ok = [] {
    if (FcInit() != FcTrue) return false;
    std::atexit([] { FcFini(); });
    return true;
  }();
  return ok;
}

// Asks fontconfig for its best face for a family, weight and width; fills out from the answer.
// The answer's family names (a face may carry several) are returned in families.
bool matchFace(const char* family, int weight, bool condensed, FontFace& out,
               std::vector<std::string>& families) {
  FcPattern* pat = FcPatternCreate();
  if (!pat) return false;
  FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pat, FC_WEIGHT,
                      FcWeightFromOpenType(weight > 0 ? weight : kFontWeightNormal));
  FcPatternAddInteger(pat, FC_SLANT, FC_SLANT_ROMAN);
  if (condensed) FcPatternAddInteger(pat, FC_WIDTH, FC_WIDTH_CONDENSED);
  FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pat, &result);
  FcPatternDestroy(pat);
  if (!match) return false;
  bool ok = false;
  FcChar8* file = nullptr;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
    ok = true;
    out.path = reinterpret_cast<const char*>(file);
    int index = 0;
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    out.index = index;
    families.clear();
    FcChar8* s = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &s) == FcResultMatch; ++i)
      families.emplace_back(reinterpret_cast<const char*>(s));
    out.family = families.empty() ? std::string() : families.front();
    out.style.clear();
    if (FcPatternGetString(match, FC_STYLE, 0, &s) == FcResultMatch)
      out.style = reinterpret_cast<const char*>(s);
    int w = FC_WEIGHT_REGULAR;
    FcPatternGetInteger(match, FC_WEIGHT, 0, &w);
    out.weight = FcWeightToOpenType(w);
    int width = FC_WIDTH_NORMAL;
    FcPatternGetInteger(match, FC_WIDTH, 0, &width);
    // A condensed face is required to be narrower than normal when asked for.
    if (condensed && width >= FC_WIDTH_NORMAL) ok = false;
  }
  FcPatternDestroy(match);
  return ok;
}

bool hasFamily(const std::vector<std::string>& families, std::string_view wanted) {
  return std::any_of(families.begin(), families.end(),
                     [&](const std::string& f) { return sameName(f, wanted); });
}

bool lookupFace(const std::string& family, int weight, FontFace& out) {
  if (!initFontconfig()) return false;
  const int want = weight > 0 ? weight : kFontWeightNormal;
  std::vector<std::string> families;
  FontFace face;
  // 1. The family itself, when installed.
  if (matchFace(family.c_str(), want, false, face, families) && hasFamily(families, family)) {
    face.exact = true;
    face.family = family;
    face.synthBold = want >= 600 && face.weight < 600;
    out = face;
    return true;
  }
  // 2. The chosen substitutes, in order; each must be the family asked for and heavy enough.
  bool serif = false;
  for (const Substitution& sub : kSubstitutions) {
    if (!sameName(sub.windowsFamily, family)) continue;
    serif = sub.serif;
    for (const Candidate& c : sub.candidates) {
      const int cw = std::max(c.weight, want);
      if (!matchFace(c.family, cw, c.condensed, face, families)) continue;
      if (!hasFamily(families, c.family)) continue;
      if (c.weight > 0 && face.weight < c.weight - 50) continue;
      face.exact = false;
      face.synthBold = want >= 600 && face.weight < 600;
      out = face;
      return true;
    }
  }
  // 3. A generic face of the right kind: whatever fontconfig prefers.
  if (matchFace(serif ? "serif" : "sans-serif", want, false, face, families)) {
    face.exact = false;
    face.synthBold = want >= 600 && face.weight < 600;
    out = face;
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// FreeType

FT_Library freetype() {
  static FT_Library lib = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) l = nullptr;
    return l;
  }();
  return lib;
}

}  // namespace

bool findFontFace(const std::string& family, int weight, FontFace& out) {
  static std::map<std::pair<std::string, int>, FontFace> cache;
  const auto key = std::make_pair(family, weight);
  if (auto it = cache.find(key); it != cache.end()) {
    out = it->second;
    return true;
  }
  FontFace face;
  if (!lookupFace(family, weight, face)) return false;
  cache.emplace(key, face);
  out = face;
  return true;
}

struct Font::Impl {
  FT_Face face = nullptr;
  bool embolden = false;
  ~Impl() {
    if (face) FT_Done_Face(face);
  }
};

Font::Font(std::unique_ptr<Impl> impl, const FontFace& face, const FontMetrics& m)
    : impl_(std::move(impl)), face_(face), metrics_(m) {}

Font::~Font() = default;

std::unique_ptr<Font> Font::open(const FontFace& face, int height) {
  FT_Library lib = freetype();
  if (!lib) return nullptr;
  auto impl = std::make_unique<Impl>();
  if (FT_New_Face(lib, face.path.c_str(), face.index, &impl->face) != 0) {
    impl->face = nullptr;
    return nullptr;
  }
  FT_Face f = impl->face;
  if (!FT_IS_SCALABLE(f) || f->units_per_EM == 0) return nullptr;
  FT_Select_Charmap(f, FT_ENCODING_UNICODE);
  impl->embolden = face.synthBold;

  // The cell is what GDI calls the font height: the Windows ascent plus descent of the OS/2
  // table, or the horizontal header's when the face has no OS/2 table.
  double asc = f->ascender;
  double desc = -f->descender;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
  if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    asc = os2->usWinAscent;
    desc = os2->usWinDescent;
  }
  if (asc + desc <= 0) {
    asc = f->units_per_EM * 0.8;
    desc = f->units_per_EM * 0.2;
  }
  const double upem = f->units_per_EM;
  double em;
  FontMetrics m;
  if (height < 0) {
    em = -static_cast<double>(height);
    m.cellHeight = static_cast<int>(std::lround(em * (asc + desc) / upem));
  } else {
    m.cellHeight = height > 0 ? height : kDefaultFontCellHeight;
    em = m.cellHeight * upem / (asc + desc);
  }
  // GDI scales to a whole number of pixels per em.
  em = std::max(1.0, std::round(em));
  m.emPixels = static_cast<float>(em);
  m.ascent = static_cast<int>(std::lround(asc * em / upem));
  if (height < 0) m.cellHeight = static_cast<int>(std::lround((asc + desc) * em / upem));
  m.descent = m.cellHeight - m.ascent;
  if (FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(em)) != 0) return nullptr;
  return std::unique_ptr<Font>(new Font(std::move(impl), face, m));
}

bool Font::glyph(char32_t code, GlyphBitmap& out) const {
  FT_Face f = impl_->face;
  const FT_UInt index = FT_Get_Char_Index(f, code);
  if (FT_Load_Glyph(f, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL) != 0)
    return false;
  FT_GlyphSlot slot = f->glyph;
  if (impl_->embolden) FT_GlyphSlot_Embolden(slot);
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return false;
  const FT_Bitmap& bm = slot->bitmap;
  out.width = static_cast<int>(bm.width);
  out.rows = static_cast<int>(bm.rows);
  out.left = slot->bitmap_left;
  out.top = slot->bitmap_top;
  out.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  out.coverage.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.rows), 0);
  for (int r = 0; r < out.rows; ++r) {
    const int srcRow = bm.pitch >= 0 ? r : out.rows - 1 - r;
    const uint8_t* src = bm.buffer + static_cast<ptrdiff_t>(srcRow) * std::abs(bm.pitch);
    uint8_t* dst = out.coverage.data() + static_cast<size_t>(r) * static_cast<size_t>(out.width);
    if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
      const int levels = bm.num_grays > 1 ? bm.num_grays - 1 : 255;
      for (int c = 0; c < out.width; ++c) dst[c] = static_cast<uint8_t>(src[c] * 255 / levels);
    } else if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
      for (int c = 0; c < out.width; ++c) dst[c] = (src[c >> 3] & (0x80 >> (c & 7))) ? 255 : 0;
    }
  }
  return true;
}

int Font::advance(char32_t code) const {
  FT_Face f = impl_->face;
  if (FT_Load_Glyph(f, FT_Get_Char_Index(f, code), FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0)
    return 0;
  if (impl_->embolden) FT_GlyphSlot_Embolden(f->glyph);
  return static_cast<int>((f->glyph->advance.x + 32) >> 6);
}

int Font::textWidth(std::u32string_view text) const {
  int w = 0;
  for (char32_t c : text) w += advance(c);
  return w;
}

int Font::drawText(std::u32string_view text, int x, int y, uint8_t* buffer, int width, int height,
                   ptrdiff_t stride) const {
  const int baseline = y + metrics_.ascent;
  int pen = x;
  GlyphBitmap g;
  for (char32_t c : text) {
    if (!glyph(c, g)) continue;
    const int gx = pen + g.left;
    const int gy = baseline - g.top;
    for (int r = 0; r < g.rows; ++r) {
      const int row = gy + r;
      if (row < 0 || row >= height) continue;
      uint8_t* dst = buffer + static_cast<ptrdiff_t>(row) * stride;
      const uint8_t* src =
          g.coverage.data() + static_cast<size_t>(r) * static_cast<size_t>(g.width);
      for (int col = 0; col < g.width; ++col) {
        const int px = gx + col;
        if (px < 0 || px >= width || src[col] == 0) continue;
        const int d = dst[px];
        const int a = src[col];
        dst[px] = static_cast<uint8_t>(d + a - (d * a + 127) / 255);
      }
    }
    pen += g.advance;
  }
  return pen;
}

// ---------------------------------------------------------------------------------------------
// Code pages

namespace {

using CodeTable = std::array<char32_t, 256>;

CodeTable buildTable(CodePage page) {
  CodeTable t{};
  for (int b = 0; b < 128; ++b) t[static_cast<size_t>(b)] = static_cast<char32_t>(b);
  for (int b = 128; b < 256; ++b) t[static_cast<size_t>(b)] = 0xFFFD;
  const char* name = page == CodePage::Windows1251 ? "WINDOWS-1251" : "WINDOWS-1252";
  iconv_t cd = iconv_open("UTF-32LE", name);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // Without the converter, keep at least the letters: Cyrillic A..ya, or Latin-1.
    for (int b = 0xC0; b < 256; ++b)
      t[static_cast<size_t>(b)] = page == CodePage::Windows1251
                                      ? static_cast<char32_t>(0x0410 + b - 0xC0)
                                      : static_cast<char32_t>(b);
    return t;
  }
  for (int b = 128; b < 256; ++b) {
    char in[1] = {static_cast<char>(b)};
    unsigned char outBytes[8] = {};
    char* ip = in;
    size_t il = 1;
    char* op = reinterpret_cast<char*>(outBytes);
    size_t ol = sizeof outBytes;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) && sizeof outBytes - ol == 4)
      t[static_cast<size_t>(b)] =
          static_cast<char32_t>(outBytes[0] | outBytes[1] << 8 | outBytes[2] << 16 |
                                static_cast<uint32_t>(outBytes[3]) << 24);
  }
  iconv_close(cd);
  return t;
}

const CodeTable& table(CodePage page) {
  static const CodeTable cp1251 = buildTable(CodePage::Windows1251);
  static const CodeTable cp1252 = buildTable(CodePage::Windows1252);
  return page == CodePage::Windows1251 ? cp1251 : cp1252;
}

}  // namespace

char32_t codePageChar(uint8_t byte, CodePage page) { return table(page)[byte]; }

std::u32string decodeCodePage(std::string_view bytes, CodePage page) {
  const CodeTable& t = table(page);
  std::u32string out;
  out.reserve(bytes.size());
  for (char c : bytes) out.push_back(t[static_cast<unsigned char>(c)]);
  return out;
}

}  // namespace platform
