// Glyph triangles compiled into display lists; shared by every system.
#include "platform/gl.h"
#include "platform/glyph_lists.h"

namespace platform {

void compileOutlineGlyphLists(std::span<const OutlineGlyph> glyphs, uint32_t listBase) {
  if (listBase == 0) return;
  for (size_t k = 0; k < glyphs.size(); ++k) {
    const OutlineGlyph& g = glyphs[k];
    glNewList(listBase + static_cast<GLuint>(k), GL_COMPILE);
    glBegin(GL_TRIANGLES);
    for (size_t v = 0; v + 6 <= g.vertices.size(); v += 6) {
      glNormal3f(g.vertices[v + 3], g.vertices[v + 4], g.vertices[v + 5]);
      glVertex3f(g.vertices[v], g.vertices[v + 1], g.vertices[v + 2]);
    }
    glEnd();
    glTranslatef(g.advanceX, g.advanceY, 0.0f);
    glEndList();
  }
}

}  // namespace platform
