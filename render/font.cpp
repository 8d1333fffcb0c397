// The bitmap font for screen text: one glBitmap display list per character 32..127, rendered by
// the platform's font services from the "Impact" face at a height that follows the screen width.
#include <cstring>

#include "platform/fonts.h"
#include "platform/gl.h"
#include "render/internal.h"

namespace render {

BitmapFont* overlayFont = nullptr;

bool BitmapFont::create(int width) {
  destroy();
  platform::FontFace face;
  if (!platform::findFontFace("Impact", platform::kFontWeightNormal, face)) return false;
  auto font = platform::Font::open(face, -overlayFontHeight(width));
  if (!font) return false;
  faceName = face.family;
  faceFile = face.path;
  listBase = glGenLists(kFontCharCount);
  if (listBase == 0) return false;
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int i = 0; i < kFontCharCount; ++i) {
    platform::GlyphBitmap bitmap;
    GlyphBits bits;
    if (font->glyph(static_cast<char32_t>(kFontFirstChar + i), bitmap))
      bits = glyphToBits(bitmap.width, bitmap.rows, bitmap.left, bitmap.top, bitmap.advance,
                         bitmap.coverage);
    // A glyph without pixels (the space) still needs a bitmap call that moves the raster
    // position; some drivers drop a call with no data, so it gets one blank pixel.
    static const GLubyte kBlank[1] = {0};
    const bool blank = bits.bits.empty();
    glNewList(listBase + static_cast<GLuint>(i), GL_COMPILE);
    glBitmap(blank ? 1 : bits.width, blank ? 1 : bits.rows, bits.xorig, bits.yorig, bits.advance,
             0.0f, blank ? kBlank : bits.bits.data());
    glEndList();
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  return true;
}

void BitmapFont::destroy() {
  if (listBase != 0) glDeleteLists(listBase, kFontCharCount);
  listBase = 0;
}

void printText(float x, float y, const char* text) {
  if (!text) return;
  selectTextureUnits(false, false);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -1.0f);
  glRasterPos2f(x, y);
  // Only codes that have a glyph list of this font are called: any other code would name a
  // display list that belongs to someone else.
  std::string printable;
  for (const char* c = text; *c; ++c) {
    const auto code = static_cast<unsigned char>(*c);
    if (code >= kFontFirstChar && code < kFontFirstChar + kFontCharCount) printable.push_back(*c);
  }
  glPushAttrib(GL_LIST_BIT);
  if (overlayFont && overlayFont->listBase != 0 && !printable.empty()) {
    glListBase(overlayFont->listBase - kFontFirstChar);
    glCallLists(static_cast<GLsizei>(printable.size()), GL_UNSIGNED_BYTE, printable.data());
  }
  glPopMatrix();
  glPopAttrib();
}

}  // namespace render
