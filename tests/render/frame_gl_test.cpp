// Frame state on a real context: no scene draws nothing, the projection carried between frames,
// clears, the fade, the glow and echo caps, lights, the state each pass leaves (materials, cull
// and polygon modes, particles, glow, echo, text), Repeat copies, GLSL builds and their logs, the
// water time, and drawing without shader support.
#include <cstring>

#include "gl_harness.h"
#include "mesh/mesh.h"
#include "platform/gl.h"
#include "platform/platform.h"

namespace render::test {
namespace {

using glimmer::MeshObject;
using glimmer::MeshOp;

uint8_t op(MeshOp o) { return static_cast<uint8_t>(o); }

std::array<float, 16> projectionMatrix() {
  std::array<float, 16> m{};
  glGetFloatv(GL_PROJECTION_MATRIX, m.data());
  return m;
}

std::array<float, 16> perspective(double fovy, double aspect) {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  gluPerspective(fovy, aspect, 0.01, 100.0);
  const auto m = projectionMatrix();
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  return m;
}

void expectNear(const std::array<float, 16>& a, const std::array<float, 16>& b) {
  for (size_t i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], 1e-5f) << "element " << i;
}

class FrameGlTest : public GlSceneTest {
 protected:
  MeshObject* sphere(float r, float red) {
    return addMeshFor([=](MeshObject& m) {
      addTrack(m.tracksA, op(MeshOp::SetColours), {40, 40, 40, red, 200, 200, 0, 0, 0, 10});
      addTrack(m.tracksB, op(MeshOp::Sphere), {16, 8, 0, r * 32});
      addTrack(m.tracksB, op(MeshOp::Normals), {1});
    });
  }
  std::array<uint8_t, 4> pixel(const std::vector<uint8_t>& f, int x, int y) {
    const size_t i = (static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)) * 4;
    return {f[i], f[i + 1], f[i + 2], f[i + 3]};
  }
};

TEST_F(FrameGlTest, WithoutASceneNothingIsClearedOrDrawn) {
  addScene();
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
  glViewport(0, 0, kWidth, kHeight);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  for (int32_t index : {-1, 1, 57}) {
    glimmer::timeline->currentScene = index;
    const auto frame = renderAt(0.0f);
    EXPECT_EQ(gState.activeScene, nullptr);
    EXPECT_EQ(pixel(frame, 10, 10), (std::array<uint8_t, 4>{255, 0, 0, 255}))
        << "scene index " << index;
  }
}

TEST_F(FrameGlTest, ProjectionCarriesOverAndAspectAloneDoesNotRebuildIt) {
  SceneObject* s = addScene();
  s->precalc();
  renderAt(0.0f);
  EXPECT_EQ(gState.appliedFov, 70.0f);
  EXPECT_EQ(gState.defaultFov, 70.0f);
  const auto carried = perspective(70.0 * 4.0 / 3.0, 4.0 / 3.0);
  expectNear(projectionMatrix(), carried);

  s->aspect = 2.0f;  // same field of view: the 4:3 projection of the last end2D() stays
  applyCamera(*s);
  expectNear(projectionMatrix(), carried);

  s->fov = 50.0f;  // a new field of view builds fov x aspect with the scene's aspect
  applyCamera(*s);
  expectNear(projectionMatrix(), perspective(static_cast<double>(50.0f * 2.0f), 2.0));
  EXPECT_EQ(gState.appliedFov, 50.0f);

  setDefaultProjection(0.0f);
  EXPECT_EQ(gState.defaultFov, 50.0f);
  expectNear(projectionMatrix(), perspective(50.0 * 4.0 / 3.0, 4.0 / 3.0));
}

TEST_F(FrameGlTest, DepthOnlyClearStillClearsColourAfterTheCopyPass) {
  SceneObject* s = addScene();
  addTrack(s->tracksA, kSetClear, {0, 0, 0, 0, 256, 0, 0});
  s->precalc();
  glClearColor(0.0f, 0.0f, 1.0f, 1.0f);  // the colour set last before the frame
  const auto frame = renderAt(0.0f);
  EXPECT_EQ(pixel(frame, 5, 5), (std::array<uint8_t, 4>{0, 0, 255, 255}));

  addTrack(s->tracksA, kSetClear, {1, 0, 0, 0, 0, 0, 1});  // clear with the (default) fog colour
  s->precalc();
  const auto fogged = renderAt(0.0f);
  const auto p = pixel(fogged, 5, 5);
  EXPECT_NEAR(p[0], 128, 1);
  EXPECT_NEAR(p[1], 128, 1);
  EXPECT_NEAR(p[2], 128, 1);
}

TEST_F(FrameGlTest, FadeOfFullAlphaCoversTheFrameAndZeroDrawsNothing) {
  SceneObject* s = addScene();
  addLight(0, 2, 3);
  sphere(1.0f, 255);
  addTrack(s->tracksA, kSetCamera, {0, 0, 96, 0, 0, 0});
  s->precalc();
  renderAt(0.0f);  // the first frame builds the scene's projection; later ones carry 4:3
  const auto plain = renderAt(0.0f);
  addTrack(s->tracksA, kSetFade, {0, 0, 0, 256, 0, 0});
  s->precalc();
  EXPECT_EQ(renderAt(0.0f), plain);
  addTrack(s->tracksA, kSetFade, {100, 0, 0, 0, 256, 0});
  s->precalc();
  const auto covered = renderAt(0.0f);
  for (int y = 0; y < kHeight; y += 17)
    for (int x = 0; x < kWidth; x += 13)
      ASSERT_EQ(pixel(covered, x, y), (std::array<uint8_t, 4>{0, 255, 0, 255}));
}

// A hostile glow pass count or echo copy count (10^9: gigabytes of copies if gathered) draws
// exactly what the caps draw.
TEST_F(FrameGlTest, GlowPassesAndEchoCopiesStopAtTheirCaps) {
  SceneObject* s = addScene();
  addLight(1, 2, 3);
  sphere(1.0f, 180);
  addTrack(s->tracksA, kSetCamera, {0, 0, 96, 0, 0, 0, 10});
  glimmer::Track* glow = addTrack(s->tracksA, kSetGlow, {5, 1e9f, 0, 128, 128, 128});
  glimmer::Track* echo = addTrack(s->tracksA, kEchoRing, {10, 1e9f, 0, 80, 80, 80});
  s->precalc();
  renderAt(3.0f);
  const auto hostile = renderAt(3.0f);
  glow->params[1] = static_cast<float>(kMaxGlowPasses);
  echo->params[1] = static_cast<float>(kMaxEchoCopies);
  EXPECT_EQ(renderAt(3.0f), hostile);
}

TEST_F(FrameGlTest, LightPassNumbersByPositionAndLeavesLightSevenAlone) {
  for (int i = 0; i < 8; ++i) addLight(0, 1, 0);
  auto* third = static_cast<LightObject*>(glimmer::registryEntity(glimmer::Category::Light, 2));
  third->startTime = 5.0f;
  glEnable(GL_LIGHT7);
  glEnable(GL_LIGHT2);
  glimmer::timeline->time = 1.0f;
  applyLights();
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(glIsEnabled(GL_LIGHT0 + i) == GL_TRUE, i != 2) << "light " << i;
  EXPECT_TRUE(glIsEnabled(GL_LIGHT7));
  glDisable(GL_LIGHT7);
  float diffuse[4] = {};
  glGetLightfv(GL_LIGHT3, GL_DIFFUSE, diffuse);
  EXPECT_FLOAT_EQ(diffuse[0], 0.7f);
}

// Pixels brighter than the black clear in a rectangle of the frame.
size_t litPixels(const std::vector<uint8_t>& f, int x0, int y0, int x1, int y1) {
  size_t n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const size_t i = (static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)) * 4;
      if (f[i] + f[i + 1] + f[i + 2] > 60) ++n;
    }
  return n;
}

TEST_F(FrameGlTest, SharedGeometryIsDrawnWithTheSharingMeshPlacement) {
  SceneObject* s = addScene();
  addTrack(s->tracksA, kSetCamera, {0, 0, 96, 0, 0, 0});
  addTrack(s->tracksA, kSetClear, {1});
  s->precalc();
  addLight(0, 0, 4);
  MeshObject* source = sphere(0.5f, 255);
  source->startTime = source->endTime = 500.0f;  // never active itself
  addMeshFor([](MeshObject& m) {
    addTrack(m.tracksA, op(MeshOp::SetTransform), {-1.2f * 32, 0, 0});
    addTrack(m.tracksA, op(MeshOp::ShareGeometry), {0});
  });
  const auto frame = renderAt(1.0f);
  EXPECT_GT(litPixels(frame, 0, 0, kWidth / 2, kHeight), 200u)
      << "the shared sphere shows on the left";
  EXPECT_EQ(litPixels(frame, kWidth / 2 + 20, 0, kWidth, kHeight), 0u)
      << "nothing at the source's own place";
}

TEST_F(FrameGlTest, OutlineTextDrawsItsWholeString) {
  // A fresh registry per string: a scene looking at the text from z = 3 and one light.
  auto textMesh = [&](const char* text) {
    glimmer::destroyRegistry();
    glimmer::createRegistry();
    addScene()->eye = {0, 0, 3};
    addLight(0, 0, 4);
    return addMeshFor([text](MeshObject& m) {
      addTrack(m.tracksA, op(MeshOp::SetTransform), {-2.5f * 32, -0.3f * 32, 0});
      addTrack(m.tracksA, op(MeshOp::SetColours), {80, 80, 80, 255, 255, 255, 0, 0, 0, 10});
      addTrack(m.tracksB, op(MeshOp::Text), {0.2f * 32}, text);
    });
  };
  MeshObject* one = textMesh("I");
  if (!one->text.listsCreated) GTEST_SKIP() << "no outline font on this machine";
  const size_t single = litPixels(renderAt(1.0f), 0, 0, kWidth, kHeight);
  textMesh("II");
  const size_t twice = litPixels(renderAt(1.0f), 0, 0, kWidth, kHeight);
  EXPECT_GT(single, 50u);
  EXPECT_GT(twice, single + single / 2) << "the last character is drawn too";
}

bool on(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }
GLint intState(GLenum name) {
  GLint v[2] = {};
  glGetIntegerv(name, v);
  return v[0];
}
float floatState(GLenum name) {
  GLfloat v[2] = {};
  glGetFloatv(name, v);
  return v[0];
}

// The state each blend mode of a material leaves: mode 3 carries over whatever the previous
// material set; the depth mask follows depthWrite and endMaterial turns it back on.
TEST_F(FrameGlTest, MaterialsLeaveBlendAlphaTestAndDepthMask) {
  const struct {
    int mode;
    bool depthWrite;
    bool blend, alphaTest;
  } rows[] = {{2, true, true, true},   {3, true, true, true},  {0, false, false, false},
              {3, true, false, false}, {1, true, false, true}, {3, false, false, true}};
  for (const auto& r : rows) {
    glimmer::Material m;
    m.blendMode = r.mode;
    m.depthWrite = r.depthWrite;
    applyMaterial(m);
    EXPECT_EQ(on(GL_BLEND), r.blend) << "mode " << r.mode;
    EXPECT_EQ(on(GL_ALPHA_TEST), r.alphaTest) << "mode " << r.mode;
    EXPECT_EQ(intState(GL_DEPTH_WRITEMASK), r.depthWrite ? GL_TRUE : GL_FALSE) << "mode " << r.mode;
    if (r.mode == 2) {
      EXPECT_EQ(intState(GL_BLEND_SRC), GL_SRC_ALPHA);
      EXPECT_EQ(intState(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
      EXPECT_EQ(intState(GL_ALPHA_TEST_FUNC), GL_GREATER);
      EXPECT_EQ(floatState(GL_ALPHA_TEST_REF), 0.0f);
    }
    endMaterial(m);
    EXPECT_EQ(intState(GL_DEPTH_WRITEMASK), GL_TRUE);
  }
}

// What a drawn mesh leaves: cull modes 2 and 3 end on back-face culling; polygon mode and line
// width go back to fill and 1 after every mesh, while smoothing and point size stay.
TEST_F(FrameGlTest, MeshesLeaveCullingPolygonModeAndLineWidth) {
  const struct {
    std::initializer_list<float> renderState, polygonMode;
    bool lineSmooth, pointSmooth;
    float pointSize;
  } rows[] = {
      {{0, 0, 0, 1, 0, 0, 3}, {1, 0, 0, 4, 0, 0, 1}, true, false, 1},
      {{0, 0, 0, 1, 0, 0, 2}, {2, 0, 0, 6, 0, 0, 1}, false, true, 6},
      {{0, 0, 0, 1, 0, 0, 1}, {1, 0, 0, 3}, false, false, 1},
  };
  addScene()->precalc();
  for (const auto& r : rows) {
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_POINT_SMOOTH);
    glPointSize(1.0f);
    MeshObject* m = addMeshFor([&](MeshObject& mesh) {
      addTrack(mesh.tracksA, op(MeshOp::SetRenderState), r.renderState);
      addTrack(mesh.tracksA, op(MeshOp::PolygonMode), r.polygonMode);
      addTrack(mesh.tracksB, op(MeshOp::Sphere), {8, 4, 0, 32});
    });
    glCullFace(GL_FRONT);
    drawMesh(*m);
    GLint modes[2] = {};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_FILL);
    EXPECT_EQ(modes[1], GL_FILL);
    EXPECT_EQ(floatState(GL_LINE_WIDTH), 1.0f);
    EXPECT_TRUE(on(GL_CULL_FACE) || r.renderState.begin()[6] == 1);
    EXPECT_TRUE(r.renderState.begin()[6] == 1 || intState(GL_CULL_FACE_MODE) == GL_BACK);
    EXPECT_EQ(on(GL_LINE_SMOOTH), r.lineSmooth);
    EXPECT_EQ(on(GL_POINT_SMOOTH), r.pointSmooth);
    EXPECT_EQ(floatState(GL_POINT_SIZE), r.pointSize);
  }
}

// Samples that reach the frame buffer while one frame renders (an occlusion query).
GLuint samplesOfFrame(GlSceneTest& t, float time) {
  auto gen = reinterpret_cast<PFNGLGENQUERIESPROC>(platform::glProcAddress("glGenQueries"));
  auto begin = reinterpret_cast<PFNGLBEGINQUERYPROC>(platform::glProcAddress("glBeginQuery"));
  auto end = reinterpret_cast<PFNGLENDQUERYPROC>(platform::glProcAddress("glEndQuery"));
  auto get =
      reinterpret_cast<PFNGLGETQUERYOBJECTUIVPROC>(platform::glProcAddress("glGetQueryObjectuiv"));
  if (!gen || !begin || !end || !get) return 0;
  GLuint q = 0, n = 0;
  gen(1, &q);
  begin(GL_SAMPLES_PASSED, q);
  t.renderAt(time);
  end(GL_SAMPLES_PASSED);
  get(q, GL_QUERY_RESULT, &n);
  return n;
}

// Repeat 8 draws the mesh 9 times: once in place and 8 copies (here stepping nowhere, so each
// copy passes the LEQUAL depth test again). Repeat 0 and a disabled Repeat add none.
TEST_F(FrameGlTest, RepeatEightDrawsNineTimes) {
  SceneObject* s = addScene();
  addTrack(s->tracksA, kSetCamera, {0, 0, 96, 0, 0, 0});
  s->precalc();
  glimmer::Track* repeat = nullptr;
  addMeshFor([&](MeshObject& m) {
    repeat = addTrack(m.tracksA, op(MeshOp::Repeat), {0});
    addTrack(m.tracksB, op(MeshOp::Sphere), {8, 4, 0, 32});
  });
  renderAt(0.0f);
  const GLuint once = samplesOfFrame(*this, 0.0f);
  if (once == 0) GTEST_SKIP() << "no occlusion queries";
  repeat->params[0] = 8;
  EXPECT_EQ(samplesOfFrame(*this, 0.0f), 9 * once);
  repeat->word &= ~glimmer::kEnabledBit;
  EXPECT_EQ(samplesOfFrame(*this, 0.0f), once);
}

// The screen passes' blend state: particles add (source alpha, one) with alpha testing, depth
// testing on and the depth mask restored; the glow blends (one minus source colour, one), an
// echo ring (source colour, one); printed text leaves texturing, alpha test, depth test and
// blending off.
TEST_F(FrameGlTest, ScreenPassesLeaveTheirBlendState) {
  SceneObject* s = addScene();
  addTrack(s->tracksA, kSetCamera, {0, 0, 96, 0, 0, 0});
  addLight(1, 2, 3);
  sphere(1.0f, 200);
  glimmer::Track* glow = addTrack(s->tracksA, kSetGlow, {5, 4, 0, 128, 128, 128});
  s->precalc();
  renderAt(0.0f);
  EXPECT_EQ(intState(GL_BLEND_SRC), GL_ONE_MINUS_SRC_COLOR);
  EXPECT_EQ(intState(GL_BLEND_DST), GL_ONE);
  EXPECT_FALSE(on(GL_BLEND));  // end2D
  glow->params[0] = 0;
  addTrack(s->tracksA, kEchoRing, {10, 3, 0, 80, 80, 80});
  s->precalc();
  renderAt(0.0f);
  EXPECT_EQ(intState(GL_BLEND_SRC), GL_SRC_COLOR);
  EXPECT_EQ(intState(GL_BLEND_DST), GL_ONE);

  auto* p = new ParticleObject();
  p->endTime = 1000.0f;
  (*glimmer::entityRegistry)[glimmer::Category::Particle].append(p);
  glimmer::timeline->time = 0.0f;
  glDepthMask(GL_TRUE);
  glDisable(GL_ALPHA_TEST);
  glEnable(GL_LIGHTING);
  drawParticleSystems();
  EXPECT_EQ(intState(GL_BLEND_SRC), GL_SRC_ALPHA);
  EXPECT_EQ(intState(GL_BLEND_DST), GL_ONE);
  EXPECT_TRUE(on(GL_BLEND));
  EXPECT_TRUE(on(GL_ALPHA_TEST));
  EXPECT_TRUE(on(GL_DEPTH_TEST));
  EXPECT_FALSE(on(GL_LIGHTING));
  EXPECT_EQ(intState(GL_DEPTH_WRITEMASK), GL_TRUE);

  begin2D();
  glEnable(GL_ALPHA_TEST);
  glEnable(GL_DEPTH_TEST);
  printText(10, 10, "A");
  for (GLenum cap : {GL_TEXTURE_2D, GL_ALPHA_TEST, GL_DEPTH_TEST, GL_BLEND})
    EXPECT_FALSE(on(cap)) << cap;
  end2D();
}

class ShaderGlTest : public FrameGlTest {
 protected:
  void SetUp() override {
    FrameGlTest::SetUp();
    if (!IsSkipped() && !glext::shadersAvailable) GTEST_SKIP() << "no shader support";
  }
};

TEST_F(ShaderGlTest, TheFourProgramsCompileAndLinkWithoutALog) {
  for (int pair = 1; pair <= 4; ++pair) {
    SCOPED_TRACE(pair);
    glimmer::ShaderProgram program;
    program.sourcePair = pair;
    ::testing::internal::CaptureStderr();
    buildProgram(program);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(log.find("GLSL compile log"), std::string::npos) << log;
    ASSERT_NE(program.programObject, 0u);
    GLint ok = 0;
    glext::glGetObjectParameterivARB(program.vertexShader, GL_OBJECT_COMPILE_STATUS_ARB, &ok);
    EXPECT_EQ(ok, 1);
    glext::glGetObjectParameterivARB(program.fragmentShader, GL_OBJECT_COMPILE_STATUS_ARB, &ok);
    EXPECT_EQ(ok, 1);
    glext::glGetObjectParameterivARB(program.programObject, GL_OBJECT_LINK_STATUS_ARB, &ok);
    EXPECT_EQ(ok, 1);
    if (pair >= 2) {
      auto getAttrib = reinterpret_cast<PFNGLGETATTRIBLOCATIONARBPROC>(
          platform::glProcAddress("glGetAttribLocationARB"));
      ASSERT_NE(getAttrib, nullptr);
      EXPECT_EQ(getAttrib(program.programObject, "mTangent"), 10);
      EXPECT_EQ(getAttrib(program.programObject, "mBinormal"), 11);
    }
    releaseProgram(program);
    EXPECT_EQ(program.programObject, 0u);
    glext::glUseProgramObjectARB(0);
  }
}

TEST_F(ShaderGlTest, ANonEmptyCompileLogIsShownUnderItsCaption) {
  const GLhandleARB shader = glext::glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
  const GLcharARB* source = "void main() { gl_FragColor = vec4(undefinedName); }";
  glext::glShaderSourceARB(shader, 1, &source, nullptr);
  glext::glCompileShaderARB(shader);
  ::testing::internal::CaptureStderr();
  showCompileLog(shader);
  const std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("GLSL compile log"), std::string::npos) << log;
  EXPECT_NE(log.find("undefinedName"), std::string::npos) << log;
  glext::glDeleteObjectARB(shader);
}

TEST_F(ShaderGlTest, SelectingTheSameProgramTwiceBuildsOnce) {
  MeshObject* m = sphere(1.0f, 200);
  m->material.setShaderChoice(2);
  const uint32_t first = m->material.program.programObject;
  EXPECT_NE(first, 0u);
  m->material.setShaderChoice(2);
  EXPECT_EQ(m->material.program.programObject, first);
  m->material.setShaderChoice(0);
  EXPECT_FALSE(m->material.shaderEnabled);
  m->material.setShaderChoice(2);
  EXPECT_NE(m->material.program.programObject, 0u);
  EXPECT_TRUE(m->material.shaderEnabled);
  glext::glUseProgramObjectARB(0);
}

TEST_F(ShaderGlTest, TheWaterProgramGetsTheMeshUpdateTime) {
  addTexture(32, [](int x, int y) { return checkerPixel(x, y, 4, 0xFFFFFFFFu, 0xFF000000u); });
  SceneObject* s = addScene();
  s->precalc();
  MeshObject* m = addMeshFor([](MeshObject& mesh) {
    addTrack(mesh.tracksA, op(MeshOp::SetTextures), {0, 0, 0, 0});
    addTrack(mesh.tracksA, op(MeshOp::SetShader), {4});
    addTrack(mesh.tracksB, op(MeshOp::Grid), {2, 2, 0, 64, 64});
  });
  renderAt(7.25f);
  EXPECT_EQ(m->material.program.time, 7.25f);
  glext::glUseProgramObjectARB(m->material.program.programObject);
  auto getUniform =
      reinterpret_cast<PFNGLGETUNIFORMFVARBPROC>(platform::glProcAddress("glGetUniformfvARB"));
  ASSERT_NE(getUniform, nullptr);
  float value = 0.0f;
  getUniform(m->material.program.programObject,
             glext::glGetUniformLocationARB(m->material.program.programObject, "time"), &value);
  EXPECT_EQ(value, 7.25f);
  glext::glUseProgramObjectARB(0);
}

// The shader entry points, saved and cleared so that any use of them would crash.
struct ShaderEntryPoints {
  PFNGLCREATEPROGRAMOBJECTARBPROC create = glext::glCreateProgramObjectARB;
  PFNGLUSEPROGRAMOBJECTARBPROC use = glext::glUseProgramObjectARB;
  PFNGLVERTEXATTRIBPOINTERARBPROC attrib = glext::glVertexAttribPointerARB;
  PFNGLENABLEVERTEXATTRIBARRAYARBPROC enable = glext::glEnableVertexAttribArrayARB;
  PFNGLDISABLEVERTEXATTRIBARRAYARBPROC disable = glext::glDisableVertexAttribArrayARB;
  PFNGLDELETEOBJECTARBPROC remove = glext::glDeleteObjectARB;
  bool available = glext::shadersAvailable;
  ShaderEntryPoints() {
    glext::glCreateProgramObjectARB = nullptr;
    glext::glUseProgramObjectARB = nullptr;
    glext::glVertexAttribPointerARB = nullptr;
    glext::glEnableVertexAttribArrayARB = nullptr;
    glext::glDisableVertexAttribArrayARB = nullptr;
    glext::glDeleteObjectARB = nullptr;
    glext::shadersAvailable = false;
  }
  ~ShaderEntryPoints() {
    glext::glCreateProgramObjectARB = create;
    glext::glUseProgramObjectARB = use;
    glext::glVertexAttribPointerARB = attrib;
    glext::glEnableVertexAttribArrayARB = enable;
    glext::glDisableVertexAttribArrayARB = disable;
    glext::glDeleteObjectARB = remove;
    glext::shadersAvailable = available;
  }
};

TEST_F(FrameGlTest, WithoutShaderSupportProgramsAreIgnored) {
  SceneObject* s = addScene();
  addTrack(s->tracksA, kSetCamera, {0, 0, 96, 0, 0, 0});
  s->precalc();
  addLight(0, 2, 3);
  {
    ShaderEntryPoints cleared;
    MeshObject* m = addMeshFor([](MeshObject& mesh) {
      addTrack(mesh.tracksA, op(MeshOp::SetShader), {3});
      addTrack(mesh.tracksA, op(MeshOp::SetColours), {40, 40, 40, 255, 255, 255, 0, 0, 0, 10});
      addTrack(mesh.tracksB, op(MeshOp::Sphere), {16, 8, 0, 32});
      addTrack(mesh.tracksB, op(MeshOp::Normals), {1});
    });
    EXPECT_TRUE(m->material.shaderEnabled);
    EXPECT_EQ(m->material.program.programObject, 0u);
    const auto frame = renderAt(0.0f);
    const auto centre = pixel(frame, kWidth / 2, kHeight / 2);
    EXPECT_GT(centre[0], 60) << "the mesh is drawn with the fixed-function material";
    glimmer::destroyRegistry();  // the mesh goes while the entry points are still cleared
    glimmer::createRegistry();
  }
}

}  // namespace
}  // namespace render::test
