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
// Removes them again (before the context goes away), so later uploads stay on the CPU.
void removeGpuHooks();

// Creates the resources the renderer shares across frames (the overlay font on the window of
// screenWidth x screenHeight) and resets the carried projection state. Needs a current context.
// Without an installed font the show still runs and its screen text stays empty.
bool createRenderResources(int screenWidth, int screenHeight);
// Deletes the overlay font and removes the GPU hooks, so that entities destroyed after the
// context never call OpenGL.
void destroyRenderResources();

// Enables or disables 2D texturing on texture units 0 and 1.
void selectTextureUnits(bool unit0, bool unit1);

// Draws one frame of the scene the timeline names and flushes it. Does not present it: the
// caller swaps. With no current scene nothing is drawn or cleared. Needs the show's GL context
// (asserted).
void renderFrame();

// Draws one line of text with the overlay font on a dark band along the bottom of the frame
// just rendered, for tools that show their state over the show (review mode). Every GL state
// it touches is restored, so the next frame renders exactly as if it had not been drawn.
void drawStatusLine(const char* text);

// Puts the particle emission random state back to its start value (start of a run, tests).
void resetParticleRandom();

}  // namespace render
