// The show's OpenGL context: creation on the show window, the required extensions and their
// entry points, the initial render state, the shared render resources, and teardown.
#pragma once

#include <string>

namespace app {

// Whole-word test: true when name is one of the space-separated words of list (never a prefix
// of a longer word). A null list has no words.
bool extensionListHas(const char* list, const char* name);

// True when the current context's extension string holds name as a whole word, and the
// GLIMMER_HIDE_EXTENSIONS environment variable (a test hook: names separated by spaces or
// commas) does not hide it.
bool hasExtension(const char* name);

// Creates the context on the show window, tests the required extensions in their fixed order
// (loading each group's entry points after its test), tests the shading-language extension,
// sets the initial render state and creates the shared frame-copy texture and overlay font.
// On failure returns false with one line saying what is missing; nothing is released then.
bool createGLContext(std::string& failure);

// Deletes the overlay font, the frame-copy texture and the context, in that order.
void destroyGLContext();

// Clear colour, separate specular colour, hints, depth function, culling: the state every
// pass starts from.
void setInitialRenderState();

}  // namespace app
