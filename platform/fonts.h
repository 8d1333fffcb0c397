// Font services: faces found by Windows family name, text coverage, single glyph bitmaps and the
// single-byte code pages the show's strings are written in.
//
// Heights follow the Windows convention so that callers can pass the values they would give to
// a GDI font: a positive height is the cell height (ascent + descent, the line the font occupies),
// a negative height is the character height (the em size), and 0 asks for the default height.
//
// Everything here runs on the main thread only (one process-wide FreeType library, one face cache).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

constexpr int kFontWeightNormal = 400;
constexpr int kFontWeightBold = 700;
constexpr int kFontWeightBlack = 900;
// Cell height used when a height of 0 is asked for (what GDI's font mapper gives a 12 pt font).
constexpr int kDefaultFontCellHeight = 16;

// A font file and the face inside it that fontconfig chose.
struct FontFace {
  std::string path;                // font file
  int index = 0;                   // face index inside the file (collections hold several)
  std::string family;              // family name of that face, as fontconfig reports it
  std::string style;               // style name ("Regular", "Bold", "Condensed Bold" ...)
  int weight = kFontWeightNormal;  // OpenType weight class (400 normal, 700 bold, 900 black)
  bool exact = false;              // true when the requested family itself is installed
  bool synthBold = false;          // true when bold was asked for but the face is not bold
};

// Finds the face for a Windows family name at a weight (OpenType scale, 0 means normal).
// When the family is installed it is used; otherwise a substitute is chosen on purpose, not by
// whatever fontconfig returns first: "Times New Roman" -> Liberation Serif (metric compatible),
// "Arial" -> Liberation Sans, "Arial Black" -> a bold sans (Liberation Sans Bold, DejaVu Sans
// Bold), "Impact" -> a condensed bold sans (Liberation Sans Narrow Bold, DejaVu Sans Condensed
// Bold, Nimbus Sans Narrow Bold); any other family falls back to fontconfig's best match.
// Returns false only when no font at all is installed. Results are cached per (family, weight).
bool findFontFace(const std::string& family, int weight, FontFace& out);

// Vertical metrics of an opened font, in whole pixels.
struct FontMetrics {
  int ascent = 0;      // baseline to the top of the cell
  int descent = 0;     // baseline to the bottom of the cell (positive)
  int cellHeight = 0;  // ascent + descent
  float emPixels = 0;  // the em size the glyphs are scaled to
};

// One glyph rendered as 8-bit anti-aliased coverage (0 outside, 255 fully inside).
struct GlyphBitmap {
  int width = 0;                  // columns of coverage
  int rows = 0;                   // rows of coverage, top row first
  int left = 0;                   // pen position to the first column (pixels, right positive)
  int top = 0;                    // baseline to the first row (pixels, up positive)
  int advance = 0;                // pen advance in whole pixels (hinted, as GDI advances the pen)
  std::vector<uint8_t> coverage;  // width * rows bytes, row-major, top row first
};

// A face opened at a pixel height. Move-only; owns its FreeType face.
class Font {
 public:
  // Opens the face at a Windows-style height (see the top of this header); null when the file
  // cannot be opened or has no scalable outlines.
  static std::unique_ptr<Font> open(const FontFace& face, int height);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  const FontMetrics& metrics() const { return metrics_; }
  const FontFace& face() const { return face_; }

  // Renders one character (a Unicode code point); a missing character gives the face's
  // .notdef glyph. Returns false only when FreeType fails.
  bool glyph(char32_t code, GlyphBitmap& out) const;
  // Pen advance of one character in whole pixels.
  int advance(char32_t code) const;
  // Advance of a whole string in pixels (no kerning, as GDI's TextOut).
  int textWidth(std::u32string_view text) const;

  // Draws a string as white-on-black coverage into an 8-bit buffer of width x height whose rows
  // are stride bytes apart (a negative stride draws bottom-up). (x, y) is the top-left corner of
  // the text cell, y growing downward. Glyphs are composed as anti-aliased white over what is
  // there already (c = d + a - d*a/255), everything outside the buffer is clipped. Returns the
  // pen position after the last character.
  int drawText(std::u32string_view text, int x, int y, uint8_t* buffer, int width, int height,
               ptrdiff_t stride) const;

 private:
  struct Impl;
  Font(std::unique_ptr<Impl> impl, const FontFace& face, const FontMetrics& m);
  std::unique_ptr<Impl> impl_;
  FontFace face_;
  FontMetrics metrics_;
};

// Single-byte code pages used by the show's strings.
enum class CodePage { Windows1251, Windows1252 };

// Decodes bytes of a Windows code page into Unicode code points (through glibc iconv). A byte
// that the code page leaves undefined becomes U+FFFD; the result has one code point per byte.
std::u32string decodeCodePage(std::string_view bytes, CodePage page);
// The code point of one byte (U+FFFD when undefined).
char32_t codePageChar(uint8_t byte, CodePage page);

}  // namespace platform
