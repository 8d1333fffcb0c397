// OpenGL for the engine: the 1.1 API, GLU, and the extension entry points the show loads at
// start-up. The entry points live in namespace glext so they never clash with the symbols that
// the system's GL library exports under the same names.
#pragma once

#define GL_GLEXT_LEGACY 1
#include <GL/gl.h>
#undef GL_GLEXT_LEGACY
#include <GL/glext.h>
#include <GL/glu.h>

namespace glext {

// GL_ARB_multitexture
extern PFNGLACTIVETEXTUREARBPROC glActiveTextureARB;
extern PFNGLCLIENTACTIVETEXTUREARBPROC glClientActiveTextureARB;
extern PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB;
// GL_ARB_vertex_buffer_object (and the range drawing entry loaded with it)
extern PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB;
extern PFNGLGENBUFFERSARBPROC glGenBuffersARB;
extern PFNGLBINDBUFFERARBPROC glBindBufferARB;
extern PFNGLBUFFERDATAARBPROC glBufferDataARB;
extern PFNGLDRAWRANGEELEMENTSEXTPROC glDrawRangeElementsEXT;
// GL_ARB_shading_language_100 (with the shader-object entry points)
extern PFNGLSHADERSOURCEARBPROC glShaderSourceARB;
extern PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB;
extern PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB;
extern PFNGLDELETEOBJECTARBPROC glDeleteObjectARB;
extern PFNGLCOMPILESHADERARBPROC glCompileShaderARB;
extern PFNGLATTACHOBJECTARBPROC glAttachObjectARB;
extern PFNGLLINKPROGRAMARBPROC glLinkProgramARB;
extern PFNGLVALIDATEPROGRAMARBPROC glValidateProgramARB;
extern PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB;
extern PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB;
extern PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB;
extern PFNGLGETINFOLOGARBPROC glGetInfoLogARB;
extern PFNGLUNIFORM1IARBPROC glUniform1iARB;
extern PFNGLVERTEXATTRIBPOINTERARBPROC glVertexAttribPointerARB;
extern PFNGLENABLEVERTEXATTRIBARRAYARBPROC glEnableVertexAttribArrayARB;
extern PFNGLDISABLEVERTEXATTRIBARRAYARBPROC glDisableVertexAttribArrayARB;
extern PFNGLBINDATTRIBLOCATIONARBPROC glBindAttribLocationARB;

// True when GL_ARB_shading_language_100 is present and its entry points were loaded; the
// renderer and the loading bar test it before they touch shader programs.
extern bool shadersAvailable;

// Loaders of the three groups above, through the platform's entry-point lookup on the current
// context. An entry point the driver does not return is stored as null; the extension test
// made before loading is what guarantees them.
void loadMultitextureEntryPoints();
void loadVertexBufferEntryPoints();
void loadShadingLanguageEntryPoints();
// Sets every entry point back to null and clears shadersAvailable.
void clearEntryPoints();

}  // namespace glext
