// Creating and tearing down the show's OpenGL context.
#include "app/gl_context.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/shell.h"
#include "platform/gl.h"
#include "platform/platform.h"
#include "render/render.h"

namespace app {

bool extensionListHas(const char* list, const char* name) {
  if (!list || !name) return false;
  const size_t n = std::strlen(name);
  const char* p = list;
  for (;;) {
    if (std::strncmp(p, name, n) == 0 && (p[n] == '\0' || p[n] == ' ')) return true;
    p = std::strchr(p, ' ');
    if (!p) return false;
    ++p;
  }
}

namespace {

// Names listed in GLIMMER_HIDE_EXTENSIONS are treated as absent, so that the start-up failure
// path can be exercised on a driver that has every extension.
bool hiddenForTesting(const char* name) {
  const char* hidden = std::getenv("GLIMMER_HIDE_EXTENSIONS");
  if (!hidden || !*hidden) return false;
  std::string words(hidden);
  for (char& c : words)
    if (c == ',' || c == '\t' || c == ';') c = ' ';
  return extensionListHas(words.c_str(), name);
}

}  // namespace

bool hasExtension(const char* name) {
  const char* list = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  if (!list) return false;
  if (hiddenForTesting(name)) return false;
  return extensionListHas(list, name);
}

void setInitialRenderState() {
  glClearColor(0.9f, 0.87f, 0.86f, 1.0f);
  glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL_EXT, GL_SEPARATE_SPECULAR_COLOR_EXT);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glHint(GL_FOG_HINT, GL_DONT_CARE);
  glDepthFunc(GL_LEQUAL);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glFrontFace(GL_CCW);
  glCullFace(GL_BACK);
  glEnable(GL_CULL_FACE);
}

bool createGLContext(std::string& failure) {
  std::string error;
  if (!platform::createGlContext(error)) {
    failure = "cannot create the OpenGL context: " + error;
    return false;
  }
  auto missing = [&](const char* name) {
    failure = std::string("the OpenGL driver lacks the required extension ") + name;
    return false;
  };
  if (!hasExtension("GL_ARB_multitexture")) return missing("GL_ARB_multitexture");
  glext::loadMultitextureEntryPoints();
  if (!hasExtension("GL_ARB_texture_cube_map")) return missing("GL_ARB_texture_cube_map");
  if (!hasExtension("GL_ARB_vertex_buffer_object")) return missing("GL_ARB_vertex_buffer_object");
  glext::loadVertexBufferEntryPoints();
  if (!hasExtension("GL_EXT_separate_specular_color"))
    return missing("GL_EXT_separate_specular_color");
  if (hasExtension("GL_ARB_shading_language_100")) {
    glext::loadShadingLanguageEntryPoints();
    glext::shadersAvailable = true;
  } else {
    glext::shadersAvailable = false;
  }

  setInitialRenderState();

  // Textures and meshes reach OpenGL through hooks the renderer installs; the frame-copy
  // texture below is the first upload.
  render::installGpuHooks();
  createFrameCopyTexture();
  if (!render::createRenderResources(screenWidth, screenHeight)) {
    failure = "cannot create the overlay font";
    return false;
  }
  return true;
}

void destroyGLContext() {
  render::destroyRenderResources();
  destroyFrameCopyTexture();
  // Entities deleted after this point must not reach a context that no longer exists.
  render::removeGpuHooks();
  platform::destroyGlContext();
}

}  // namespace app
