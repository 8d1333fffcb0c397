// Rendering: frame composition, scenes and lights, materials and shader programs, mesh drawing,
// particle systems and screen text. Everything here runs on the main thread with the GL context
// current.
#pragma once

#include "scene/scene.h"

namespace render {

// Creates the entity of a rendering category (light, scene, particle system); null otherwise.
glimmer::SceneEntity* createEntity(glimmer::Category category);

// Installs the texture and mesh GPU hooks so that upload()/release() reach OpenGL.
void installGpuHooks();

// Creates the resources the renderer shares across frames (the overlay font on the window of
// screenWidth x screenHeight). Needs a current context.
bool createRenderResources(int screenWidth, int screenHeight);
void destroyRenderResources();

// Enables or disables 2D texturing on texture units 0 and 1.
void selectTextureUnits(bool unit0, bool unit1);

// Draws one frame of the scene the timeline names. Does not present it: the caller swaps.
void renderFrame();

}  // namespace render
