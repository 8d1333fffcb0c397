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

namespace {
// The overlay font's face at a quarter of its size, for status lines; made on first use.
BitmapFont* statusFont = nullptr;
}  // namespace

void releaseStatusFont() {
  delete statusFont;
  statusFont = nullptr;
}

void drawStatusLine(const char* text) {
  if (!text) return;
  if (!statusFont) {
    statusFont = new BitmapFont();
    statusFont->create(screenWidth / 4);
  }
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0.0, screenWidth, 0.0, screenHeight, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  selectTextureUnits(false, false);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_FOG);
  glDisable(GL_ALPHA_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  const float band = static_cast<float>(overlayFontHeight(screenWidth / 4)) * 1.5f;
  glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
  glBegin(GL_QUADS);
  glVertex2f(0.0f, 0.0f);
  glVertex2f(static_cast<float>(screenWidth), 0.0f);
  glVertex2f(static_cast<float>(screenWidth), band);
  glVertex2f(0.0f, band);
  glEnd();
  glDisable(GL_BLEND);
  glColor3f(1.0f, 1.0f, 1.0f);
  glRasterPos2f(6.0f, band * 0.3f);
  std::string printable;
  for (const char* c = text; *c; ++c) {
    const auto code = static_cast<unsigned char>(*c);
    if (code >= kFontFirstChar && code < kFontFirstChar + kFontCharCount) printable.push_back(*c);
  }
  if (statusFont->listBase != 0 && !printable.empty()) {
    glListBase(statusFont->listBase - kFontFirstChar);
    glCallLists(static_cast<GLsizei>(printable.size()), GL_UNSIGNED_BYTE, printable.data());
  }
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopAttrib();
}

}  // namespace render
