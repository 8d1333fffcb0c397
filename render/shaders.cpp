// The four built-in GLSL programs (textured per-pixel lighting, bump mapping, bump-mapped
// reflection, water) and the build and release of a mesh's own program objects.
//
// Each source is one line whose statements are separated by tabs. The names that tie them to the
// rest of the renderer: attributes "mTangent" (generic attribute 10) and "mBinormal" (11),
// samplers "tex0" (unit 0) and "tex1" (unit 1), and the water's uniform "time".
#include <cstring>
#include <string>

#include "mesh/mesh.h"
#include "platform/gl.h"
#include "render/internal.h"

namespace render {

namespace {

// Pair 1: textured per-pixel lighting with light 0; the diffuse term is not clamped, so faces
// turned away from the light darken below the ambient colour.
const char kLightingVertex[] =
    "varying vec3 viewVec;\tvarying vec3 normalVec;\tvarying vec3 lightVec;\t"
    "void main() {\tvec4 m = gl_ModelViewMatrix * gl_Vertex;\tviewVec = -m.xyz;\t"
    "normalVec = gl_NormalMatrix * gl_Normal;\tlightVec = gl_LightSource[0].position.xyz - m.xyz;\t"
    "gl_TexCoord[0] = gl_MultiTexCoord0;\tgl_Position = gl_ModelViewProjectionMatrix * "
    "gl_Vertex;\t}";
const char kLightingFragment[] =
    "uniform sampler2D tex0;\tvarying vec3 viewVec;\tvarying vec3 normalVec;\tvarying vec3 "
    "lightVec;\t"
    "void main() {\tvec3 N = normalize(normalVec);\tvec3 L = normalize(lightVec);\tvec3 V = "
    "normalize(viewVec);\t"
    "vec3 R = normalize(reflect(-L, N));\tvec4 diffuse = dot(N, L) * gl_FrontMaterial.diffuse;\t"
    "vec4 specular = pow(max(dot(R, V), 0.0), gl_FrontMaterial.shininess) * "
    "gl_FrontMaterial.specular;\t"
    "vec4 base = texture2D(tex0, gl_TexCoord[0].st);\t"
    "gl_FragColor = vec4((gl_FrontMaterial.ambient + base * diffuse + specular).rgb, base.a);\t}";

// Pairs 2 and 3 share the vertex stage: view and light vectors in the tangent frame.
const char kBumpVertex[] =
    "attribute vec3 mTangent;\tattribute vec3 mBinormal;\tvarying vec3 viewVec;\tvarying vec3 "
    "lightVec;\t"
    "void main() {\tvec4 m = gl_ModelViewMatrix * gl_Vertex;\t"
    "mat3 tbn = gl_NormalMatrix * mat3(mTangent, mBinormal, gl_Normal);\t"
    "viewVec = m.xyz * tbn;\tlightVec = (gl_LightSource[0].position.xyz - m.xyz) * tbn;\t"
    "gl_TexCoord[0] = gl_MultiTexCoord0;\tgl_Position = gl_ModelViewProjectionMatrix * "
    "gl_Vertex;\t}";
// Pair 2: bump mapping; tex1 holds the normal map with a gloss factor in alpha.
const char kBumpFragment[] =
    "uniform sampler2D tex0;\tuniform sampler2D tex1;\tvarying vec3 viewVec;\tvarying vec3 "
    "lightVec;\t"
    "void main() {\tvec3 L = normalize(lightVec);\tvec3 V = normalize(viewVec);\t"
    "vec4 t2 = texture2D(tex1, gl_TexCoord[0].st);\tvec3 bump = normalize(t2.rgb * 2.0 - 1.0);\t"
    "vec4 base = texture2D(tex0, gl_TexCoord[0].st);\tfloat diffuse = dot(L, bump);\t"
    "float specular = pow(clamp(dot(reflect(V, bump), L), 0.0, 1.0), gl_FrontMaterial.shininess) * "
    "t2.a;\t"
    "vec4 colour = gl_FrontMaterial.ambient + base * gl_FrontMaterial.diffuse * diffuse + "
    "gl_FrontMaterial.specular * specular;\tgl_FragColor = vec4(colour.rgb, base.a);\t}";
// Pair 3: as pair 2, the base colour looked up along the reflected view vector.
const char kReflectFragment[] =
    "uniform sampler2D tex0;\tuniform sampler2D tex1;\tvarying vec3 viewVec;\tvarying vec3 "
    "lightVec;\t"
    "void main() {\tvec3 L = normalize(lightVec);\tvec3 V = normalize(viewVec);\t"
    "vec4 t2 = texture2D(tex1, gl_TexCoord[0].st);\tvec3 bump = normalize(t2.rgb * 2.0 - 1.0);\t"
    "vec3 r = reflect(V, bump);\tvec4 base = texture2D(tex0, r.xy);\tfloat diffuse = dot(L, "
    "bump);\t"
    "float specular = pow(clamp(dot(r, L), 0.0, 1.0), gl_FrontMaterial.shininess) * t2.a;\t"
    "vec4 colour = gl_FrontMaterial.ambient + base * gl_FrontMaterial.diffuse * diffuse + "
    "gl_FrontMaterial.specular * specular;\tgl_FragColor = vec4(colour.rgb, base.a);\t}";

// Pair 4: water. Three scrolling samples of the normal map perturb the reflected view vector;
// the opacity grows at grazing angles and is scaled by the first sample's alpha.
const char kWaterVertex[] =
    "attribute vec3 mTangent;\tattribute vec3 mBinormal;\tvarying vec3 viewVec;\t"
    "void main() {\tvec4 m = gl_ModelViewMatrix * gl_Vertex;\t"
    "mat3 tbn = gl_NormalMatrix * mat3(mTangent, mBinormal, gl_Normal);\tviewVec = (-m.xyz) * "
    "tbn;\t"
    "gl_TexCoord[0] = gl_MultiTexCoord0;\tgl_Position = gl_ModelViewProjectionMatrix * "
    "gl_Vertex;\t}";
const char kWaterFragment[] =
    "uniform sampler2D tex0;\tuniform sampler2D tex1;\tuniform float time;\tvarying vec3 viewVec;\t"
    "void main() {\tfloat t = time * 0.04;\tvec3 V = normalize(viewVec);\tvec2 tc = "
    "gl_TexCoord[0].st;\t"
    "vec4 t2 = texture2D(tex1, tc + t);\tvec4 t3 = texture2D(tex1, tc * 3.3 - t);\t"
    "vec4 t4 = texture2D(tex1, tc * 8.8 + t);\t"
    "vec3 bump = 0.5 * (t2.rgb * 2.0 - 1.0) + 0.3 * (t3.rgb * 2.0 - 1.0) + 0.3 * (t4.rgb * 2.0 - "
    "1.0);\t"
    "vec4 colour = texture2D(tex0, reflect(-V, bump).xy);\t"
    "colour.a = (1.25 - abs(dot(bump, V))) * t2.a;\tgl_FragColor = colour;\t}";

constexpr int kTangentAttribute = 10;
constexpr int kBinormalAttribute = 11;
constexpr int kLogSize = 1024;

}  // namespace

ShaderSources builtInSources(int32_t pair) {
  switch (pair) {
    case 1:
      return {kLightingVertex, kLightingFragment};
    case 2:
      return {kBumpVertex, kBumpFragment};
    case 3:
      return {kBumpVertex, kReflectFragment};
    case 4:
      return {kWaterVertex, kWaterFragment};
    default:
      return {};
  }
}

void showCompileLog(uint32_t shader) {
  GLint status = 0;
  glext::glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &status);
  char log[kLogSize] = {};
  GLsizei length = 0;
  glext::glGetInfoLogARB(shader, kLogSize, &length, log);
  log[kLogSize - 1] = '\0';
  if (log[0] != '\0') showMessage("GLSL compile log", log);
}

namespace {

// Deletes the three objects where non-zero and forgets their names, so that a later release
// never deletes a name the driver has handed out again.
void deleteProgramObjects(glimmer::ShaderProgram& program, bool programFirst) {
  auto drop = [](uint32_t& handle) {
    if (handle != 0) glext::glDeleteObjectARB(handle);
    handle = 0;
  };
  if (programFirst) drop(program.programObject);
  drop(program.fragmentShader);
  drop(program.vertexShader);
  if (!programFirst) drop(program.programObject);
}

}  // namespace

void buildProgram(glimmer::ShaderProgram& program) {
  if (!glext::shadersAvailable) return;  // the shader entry points are not loaded
  deleteProgramObjects(program, false);
  const ShaderSources src = builtInSources(program.sourcePair);
  if (!src.vertex || !src.fragment) return;
  program.programObject = glext::glCreateProgramObjectARB();
  program.vertexShader = glext::glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
  program.fragmentShader = glext::glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
  glext::glBindAttribLocationARB(program.programObject, kTangentAttribute, "mTangent");
  glext::glBindAttribLocationARB(program.programObject, kBinormalAttribute, "mBinormal");
  const GLcharARB* vs = src.vertex;
  const GLcharARB* fs = src.fragment;
  const GLint vsLength = static_cast<GLint>(std::strlen(src.vertex));
  const GLint fsLength = static_cast<GLint>(std::strlen(src.fragment));
  glext::glShaderSourceARB(program.vertexShader, 1, &vs, &vsLength);
  glext::glShaderSourceARB(program.fragmentShader, 1, &fs, &fsLength);
  glext::glCompileShaderARB(program.vertexShader);
  showCompileLog(program.vertexShader);
  glext::glCompileShaderARB(program.fragmentShader);
  showCompileLog(program.fragmentShader);
  glext::glAttachObjectARB(program.programObject, program.vertexShader);
  glext::glAttachObjectARB(program.programObject, program.fragmentShader);
  glext::glLinkProgramARB(program.programObject);
  glext::glValidateProgramARB(program.programObject);
  glext::glUseProgramObjectARB(program.programObject);
  glext::glUniform1iARB(glext::glGetUniformLocationARB(program.programObject, "tex0"), 0);
  glext::glUniform1iARB(glext::glGetUniformLocationARB(program.programObject, "tex1"), 1);
}

void releaseProgram(glimmer::ShaderProgram& program) {
  if (!glext::shadersAvailable) return;
  deleteProgramObjects(program, true);
}

void setProgramTime(const glimmer::ShaderProgram& program) {
  if (!glext::shadersAvailable || program.programObject == 0) return;
  const GLint location = glext::glGetUniformLocationARB(program.programObject, "time");
  if (location >= 0) setUniformFloat(location, program.time);
}

}  // namespace render
