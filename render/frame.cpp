// Placeholder frame: clears to the scene's clear colour until frame composition lands.
#include "platform/gl.h"
#include "render/render.h"

namespace render {

glimmer::SceneEntity* createEntity(glimmer::Category) { return nullptr; }
void installGpuHooks() {}
bool createRenderResources(int, int) { return true; }
void destroyRenderResources() {}

void selectTextureUnits(bool unit0, bool unit1) {
  glext::glActiveTextureARB(GL_TEXTURE1_ARB);
  if (unit1) glEnable(GL_TEXTURE_2D); else glDisable(GL_TEXTURE_2D);
  glext::glActiveTextureARB(GL_TEXTURE0_ARB);
  if (unit0) glEnable(GL_TEXTURE_2D); else glDisable(GL_TEXTURE_2D);
}

void renderFrame() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

}  // namespace render
