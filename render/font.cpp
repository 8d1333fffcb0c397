// The bitmap font for screen text: one bitmap display list per character 32..127, made by the
// platform's glyph lists from the "Impact" face at a height that follows the screen width.
#include <cstring>

#include "platform/gl.h"
#include "platform/glyph_lists.h"
#include "render/internal.h"

namespace render {

bool BitmapFont::create(int width) {
  destroy();
  listBase = glGenLists(kFontCharCount);
  if (listBase == 0) return false;
  const platform::GlyphFont font{
      "Impact", -overlayFontHeight(width), platform::kFontWeightNormal, 1, 4, 4};
  platform::FontFace face;
  if (!platform::buildBitmapGlyphLists(font, kFontFirstChar, kFontCharCount, listBase, &face)) {
    destroy();
    return false;
  }
  faceName = face.family;
  faceFile = face.path;
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
  if (gState.overlayFont && gState.overlayFont->listBase != 0 && !printable.empty()) {
    glListBase(gState.overlayFont->listBase - kFontFirstChar);
    glCallLists(static_cast<GLsizei>(printable.size()), GL_UNSIGNED_BYTE, printable.data());
  }
  glPopMatrix();
  glPopAttrib();
}

void releaseStatusFont() { gState.statusFont.reset(); }

void drawStatusLine(const char* text) {
  if (!text) return;
  if (!gState.statusFont) {
    // The overlay font's face at a quarter of its size, for status lines.
    gState.statusFont = std::make_unique<BitmapFont>();
    gState.statusFont->create(gState.screenWidth / 4);
  }
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  pushPixelProjection();
  selectTextureUnits(false, false);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_FOG);
  glDisable(GL_ALPHA_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  const float band = static_cast<float>(overlayFontHeight(gState.screenWidth / 4)) * 1.5f;
  glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
  glBegin(GL_QUADS);
  glVertex2f(0.0f, 0.0f);
  glVertex2f(static_cast<float>(gState.screenWidth), 0.0f);
  glVertex2f(static_cast<float>(gState.screenWidth), band);
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
  if (gState.statusFont->listBase != 0 && !printable.empty()) {
    glListBase(gState.statusFont->listBase - kFontFirstChar);
    glCallLists(static_cast<GLsizei>(printable.size()), GL_UNSIGNED_BYTE, printable.data());
  }
  popPixelProjection();
  glPopAttrib();
}

}  // namespace render
