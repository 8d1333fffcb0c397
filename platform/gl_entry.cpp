// Storage of the extension entry points declared in gl.h, and their loaders.
#include "platform/gl.h"
#include "platform/platform.h"

namespace glext {

PFNGLACTIVETEXTUREARBPROC glActiveTextureARB = nullptr;
PFNGLCLIENTACTIVETEXTUREARBPROC glClientActiveTextureARB = nullptr;
PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB = nullptr;
PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB = nullptr;
PFNGLGENBUFFERSARBPROC glGenBuffersARB = nullptr;
PFNGLBINDBUFFERARBPROC glBindBufferARB = nullptr;
PFNGLBUFFERDATAARBPROC glBufferDataARB = nullptr;
PFNGLDRAWRANGEELEMENTSEXTPROC glDrawRangeElementsEXT = nullptr;
PFNGLSHADERSOURCEARBPROC glShaderSourceARB = nullptr;
PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB = nullptr;
PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB = nullptr;
PFNGLDELETEOBJECTARBPROC glDeleteObjectARB = nullptr;
PFNGLCOMPILESHADERARBPROC glCompileShaderARB = nullptr;
PFNGLATTACHOBJECTARBPROC glAttachObjectARB = nullptr;
PFNGLLINKPROGRAMARBPROC glLinkProgramARB = nullptr;
PFNGLVALIDATEPROGRAMARBPROC glValidateProgramARB = nullptr;
PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB = nullptr;
PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB = nullptr;
PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB = nullptr;
PFNGLGETINFOLOGARBPROC glGetInfoLogARB = nullptr;
PFNGLUNIFORM1IARBPROC glUniform1iARB = nullptr;
PFNGLVERTEXATTRIBPOINTERARBPROC glVertexAttribPointerARB = nullptr;
PFNGLENABLEVERTEXATTRIBARRAYARBPROC glEnableVertexAttribArrayARB = nullptr;
PFNGLDISABLEVERTEXATTRIBARRAYARBPROC glDisableVertexAttribArrayARB = nullptr;
PFNGLBINDATTRIBLOCATIONARBPROC glBindAttribLocationARB = nullptr;

bool shadersAvailable = false;

namespace {
template <typename F>
void load(F& pointer, const char* name) {
  pointer = reinterpret_cast<F>(platform::glProcAddress(name));
}
template <typename F>
void unload(F& pointer) {
  pointer = nullptr;
}
}  // namespace

#define GLIMMER_LOAD(name) load(name, #name)

void loadMultitextureEntryPoints() {
  GLIMMER_LOAD(glActiveTextureARB);
  GLIMMER_LOAD(glClientActiveTextureARB);
  GLIMMER_LOAD(glMultiTexCoord2fARB);
}

void loadVertexBufferEntryPoints() {
  GLIMMER_LOAD(glDeleteBuffersARB);
  GLIMMER_LOAD(glGenBuffersARB);
  GLIMMER_LOAD(glBindBufferARB);
  GLIMMER_LOAD(glBufferDataARB);
  GLIMMER_LOAD(glDrawRangeElementsEXT);
}

void loadShadingLanguageEntryPoints() {
  GLIMMER_LOAD(glShaderSourceARB);
  GLIMMER_LOAD(glCreateShaderObjectARB);
  GLIMMER_LOAD(glCreateProgramObjectARB);
  GLIMMER_LOAD(glDeleteObjectARB);
  GLIMMER_LOAD(glCompileShaderARB);
  GLIMMER_LOAD(glAttachObjectARB);
  GLIMMER_LOAD(glLinkProgramARB);
  GLIMMER_LOAD(glValidateProgramARB);
  GLIMMER_LOAD(glUseProgramObjectARB);
  GLIMMER_LOAD(glGetObjectParameterivARB);
  GLIMMER_LOAD(glGetUniformLocationARB);
  GLIMMER_LOAD(glGetInfoLogARB);
  GLIMMER_LOAD(glUniform1iARB);
  GLIMMER_LOAD(glVertexAttribPointerARB);
  GLIMMER_LOAD(glEnableVertexAttribArrayARB);
  GLIMMER_LOAD(glDisableVertexAttribArrayARB);
  GLIMMER_LOAD(glBindAttribLocationARB);
}

#undef GLIMMER_LOAD

void clearEntryPoints() {
  unload(glActiveTextureARB);
  unload(glClientActiveTextureARB);
  unload(glMultiTexCoord2fARB);
  unload(glDeleteBuffersARB);
  unload(glGenBuffersARB);
  unload(glBindBufferARB);
  unload(glBufferDataARB);
  unload(glDrawRangeElementsEXT);
  unload(glShaderSourceARB);
  unload(glCreateShaderObjectARB);
  unload(glCreateProgramObjectARB);
  unload(glDeleteObjectARB);
  unload(glCompileShaderARB);
  unload(glAttachObjectARB);
  unload(glLinkProgramARB);
  unload(glValidateProgramARB);
  unload(glUseProgramObjectARB);
  unload(glGetObjectParameterivARB);
  unload(glGetUniformLocationARB);
  unload(glGetInfoLogARB);
  unload(glUniform1iARB);
  unload(glVertexAttribPointerARB);
  unload(glEnableVertexAttribArrayARB);
  unload(glDisableVertexAttribArrayARB);
  unload(glBindAttribLocationARB);
  shadersAvailable = false;
}

}  // namespace glext
