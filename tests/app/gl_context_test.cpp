// The show's GL context on a real driver: required extensions, entry points, initial state, and
// the one-line failure when a required extension is missing.
#include <gtest/gtest.h>

#include <cstdlib>

#include "gl_fixture.h"

namespace {

class GlContext : public apptest::GlTest {
  void TearDown() override {
    unsetenv("GLIMMER_HIDE_EXTENSIONS");
    GlTest::TearDown();
  }
};

TEST_F(GlContext, LoadsEveryEntryPointAndSetsTheInitialRenderState) {
  if (!open(640, 480)) return;
  EXPECT_TRUE(platform::glContextInfo().compatibility);
  EXPECT_GE(platform::glContextInfo().depthBits, 24);
  ASSERT_TRUE(glext::shadersAvailable) << "llvmpipe offers GL_ARB_shading_language_100";
  namespace e = glext;
  // clang-format off
  const void* entryPoints[] = {
      (void*)e::glActiveTextureARB, (void*)e::glClientActiveTextureARB,
      (void*)e::glMultiTexCoord2fARB, (void*)e::glDeleteBuffersARB, (void*)e::glGenBuffersARB,
      (void*)e::glBindBufferARB, (void*)e::glBufferDataARB, (void*)e::glDrawRangeElementsEXT,
      (void*)e::glShaderSourceARB, (void*)e::glCreateShaderObjectARB,
      (void*)e::glCreateProgramObjectARB, (void*)e::glDeleteObjectARB,
      (void*)e::glCompileShaderARB, (void*)e::glAttachObjectARB, (void*)e::glLinkProgramARB,
      (void*)e::glValidateProgramARB, (void*)e::glUseProgramObjectARB,
      (void*)e::glGetObjectParameterivARB, (void*)e::glGetUniformLocationARB,
      (void*)e::glGetInfoLogARB, (void*)e::glUniform1iARB, (void*)e::glVertexAttribPointerARB,
      (void*)e::glEnableVertexAttribArrayARB, (void*)e::glDisableVertexAttribArrayARB,
      (void*)e::glBindAttribLocationARB};
  // clang-format on
  for (size_t i = 0; i < std::size(entryPoints); ++i) EXPECT_NE(entryPoints[i], nullptr) << i;

  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ((std::vector<float>(clear, clear + 4)), (std::vector<float>{0.9f, 0.87f, 0.86f, 1}));
  const std::pair<GLenum, GLint> state[] = {
      {GL_LIGHT_MODEL_COLOR_CONTROL_EXT, GL_SEPARATE_SPECULAR_COLOR_EXT},
      {GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST},
      {GL_FOG_HINT, GL_DONT_CARE},
      {GL_DEPTH_FUNC, GL_LEQUAL},
      {GL_FRONT_FACE, GL_CCW},
      {GL_CULL_FACE_MODE, GL_BACK},
      {GL_DEPTH_TEST, GL_FALSE},
      {GL_LIGHTING, GL_FALSE},
      {GL_CULL_FACE, GL_TRUE}};
  for (const auto& [name, value] : state) {
    GLint v = -1;
    glGetIntegerv(name, &v);
    EXPECT_EQ(v, value) << std::hex << name;
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // Whole names of the driver's list only.
  EXPECT_TRUE(app::hasExtension("GL_ARB_multitexture"));
  for (const char* name : {"GL_ARB_multi", "ARB_multitexture", "GL_glimmer_no_such_extension"})
    EXPECT_FALSE(app::hasExtension(name)) << name;
}

TEST_F(GlContext, AMissingRequiredExtensionFailsNamingTheFirstOneMissing) {
  if (!open(640, 480, false)) return;
  const struct {
    const char* hidden;
    const char* named;  // the first missing in the tested order: multitexture, cube map,
                        // vertex buffers, separate specular colour
  } rows[] = {
      {"GL_EXT_separate_specular_color,GL_ARB_texture_cube_map", "GL_ARB_texture_cube_map"},
      {"GL_ARB_multitexture", "GL_ARB_multitexture"},
      {"GL_ARB_texture_cube_map", "GL_ARB_texture_cube_map"},
      {"GL_ARB_vertex_buffer_object", "GL_ARB_vertex_buffer_object"},
      {"GL_EXT_separate_specular_color", "GL_EXT_separate_specular_color"},
  };
  for (const auto& r : rows) {
    setenv("GLIMMER_HIDE_EXTENSIONS", r.hidden, 1);
    EXPECT_FALSE(createContext()) << r.hidden;
    EXPECT_NE(failure_.find(r.named), std::string::npos) << failure_;
    EXPECT_EQ(failure_.find('\n'), std::string::npos) << "one line: " << failure_;
    // In the first row multitexture was tested and loaded before the failure.
    if (&r == rows) {
      EXPECT_NE(glext::glActiveTextureARB, nullptr);
    }
  }
  // Without the shading language the context still starts.
  setenv("GLIMMER_HIDE_EXTENSIONS", "GL_ARB_shading_language_100", 1);
  EXPECT_TRUE(createContext()) << failure_;
  EXPECT_FALSE(glext::shadersAvailable);
}

}  // namespace
