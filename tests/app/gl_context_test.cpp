// The show's GL context on a real driver: required extensions, entry points, initial state, and
// the one-line failure when a required extension is missing.
#include <gtest/gtest.h>

#include <cstdlib>

#include "gl_fixture.h"

namespace {

class GlContext : public apptest::GlTest {};

TEST_F(GlContext, LoadsEveryEntryPointOfThePresentExtensions) {
  openContext(640, 480);
  if (!opened_) return;
  EXPECT_TRUE(platform::glContextInfo().compatibility);
  EXPECT_GE(platform::glContextInfo().depthBits, 24);
  EXPECT_NE(glext::glActiveTextureARB, nullptr);
  EXPECT_NE(glext::glClientActiveTextureARB, nullptr);
  EXPECT_NE(glext::glMultiTexCoord2fARB, nullptr);
  EXPECT_NE(glext::glDeleteBuffersARB, nullptr);
  EXPECT_NE(glext::glGenBuffersARB, nullptr);
  EXPECT_NE(glext::glBindBufferARB, nullptr);
  EXPECT_NE(glext::glBufferDataARB, nullptr);
  EXPECT_NE(glext::glDrawRangeElementsEXT, nullptr);
  ASSERT_TRUE(glext::shadersAvailable) << "llvmpipe offers GL_ARB_shading_language_100";
  EXPECT_NE(glext::glShaderSourceARB, nullptr);
  EXPECT_NE(glext::glCreateShaderObjectARB, nullptr);
  EXPECT_NE(glext::glCreateProgramObjectARB, nullptr);
  EXPECT_NE(glext::glDeleteObjectARB, nullptr);
  EXPECT_NE(glext::glCompileShaderARB, nullptr);
  EXPECT_NE(glext::glAttachObjectARB, nullptr);
  EXPECT_NE(glext::glLinkProgramARB, nullptr);
  EXPECT_NE(glext::glValidateProgramARB, nullptr);
  EXPECT_NE(glext::glUseProgramObjectARB, nullptr);
  EXPECT_NE(glext::glGetObjectParameterivARB, nullptr);
  EXPECT_NE(glext::glGetUniformLocationARB, nullptr);
  EXPECT_NE(glext::glGetInfoLogARB, nullptr);
  EXPECT_NE(glext::glUniform1iARB, nullptr);
  EXPECT_NE(glext::glVertexAttribPointerARB, nullptr);
  EXPECT_NE(glext::glEnableVertexAttribArrayARB, nullptr);
  EXPECT_NE(glext::glDisableVertexAttribArrayARB, nullptr);
  EXPECT_NE(glext::glBindAttribLocationARB, nullptr);
}

TEST_F(GlContext, SetsTheInitialRenderState) {
  openContext(640, 480);
  if (!opened_) return;
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_FLOAT_EQ(clear[0], 0.9f);
  EXPECT_FLOAT_EQ(clear[1], 0.87f);
  EXPECT_FLOAT_EQ(clear[2], 0.86f);
  EXPECT_FLOAT_EQ(clear[3], 1.0f);
  GLint v = 0;
  glGetIntegerv(GL_LIGHT_MODEL_COLOR_CONTROL_EXT, &v);
  EXPECT_EQ(v, GL_SEPARATE_SPECULAR_COLOR_EXT);
  glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &v);
  EXPECT_EQ(v, GL_NICEST);
  glGetIntegerv(GL_FOG_HINT, &v);
  EXPECT_EQ(v, GL_DONT_CARE);
  glGetIntegerv(GL_DEPTH_FUNC, &v);
  EXPECT_EQ(v, GL_LEQUAL);
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  glGetIntegerv(GL_FRONT_FACE, &v);
  EXPECT_EQ(v, GL_CCW);
  glGetIntegerv(GL_CULL_FACE_MODE, &v);
  EXPECT_EQ(v, GL_BACK);
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GlContext, HasExtensionMatchesWholeNamesOfTheDriversList) {
  openContext(640, 480);
  if (!opened_) return;
  EXPECT_TRUE(app::hasExtension("GL_ARB_multitexture"));
  EXPECT_FALSE(app::hasExtension("GL_ARB_multi"));
  EXPECT_FALSE(app::hasExtension("ARB_multitexture"));
  EXPECT_FALSE(app::hasExtension("GL_glimmer_no_such_extension"));
}

// Opens the window only; the test creates the context itself.
class GlContextFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver && std::string(driver) == "offscreen") unsetenv("DISPLAY");
    std::string error;
    if (!platform::startVideo(error)) GTEST_SKIP() << error;
    if (!platform::createWindow(640, 480, error)) GTEST_SKIP() << error;
  }
  void TearDown() override {
    unsetenv("GLIMMER_HIDE_EXTENSIONS");
    app::destroyGLContext();
    platform::stopVideo();
  }
};

TEST_F(GlContextFailure, AMissingRequiredExtensionFailsNamingIt) {
  for (const char* name : {"GL_ARB_multitexture", "GL_ARB_texture_cube_map",
                           "GL_ARB_vertex_buffer_object", "GL_EXT_separate_specular_color"}) {
    setenv("GLIMMER_HIDE_EXTENSIONS", name, 1);
    std::string failure;
    EXPECT_FALSE(app::createGLContext(failure)) << name;
    EXPECT_NE(failure.find(name), std::string::npos) << failure;
    EXPECT_EQ(failure.find('\n'), std::string::npos) << "one line";
  }
}

TEST_F(GlContextFailure, TheTestedOrderStopsAtTheFirstMissingExtension) {
  setenv("GLIMMER_HIDE_EXTENSIONS", "GL_EXT_separate_specular_color,GL_ARB_texture_cube_map", 1);
  std::string failure;
  EXPECT_FALSE(app::createGLContext(failure));
  EXPECT_NE(failure.find("GL_ARB_texture_cube_map"), std::string::npos) << failure;
  // Multitexture was tested and loaded before the failure; the buffer group was not reached.
  EXPECT_NE(glext::glActiveTextureARB, nullptr);
}

TEST_F(GlContextFailure, WithoutTheShadingLanguageTheContextStillStarts) {
  setenv("GLIMMER_HIDE_EXTENSIONS", "GL_ARB_shading_language_100", 1);
  std::string failure;
  EXPECT_TRUE(app::createGLContext(failure)) << failure;
  EXPECT_FALSE(glext::shadersAvailable);
}

}  // namespace
