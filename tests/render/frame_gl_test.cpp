// Frame state on a real context: no scene draws nothing, the projection carried between frames,
// the clear, lights, shared geometry, outline text, the state materials and meshes leave, Repeat
// copies and drawing without shader support. The screen passes' state: with their golden frames.
#include "gl_harness.h"

namespace render::test {
namespace {

using Rgba = std::array<uint8_t, 4>;

// Pixels brighter than the black clear in columns x0 to x1 of the frame.
size_t litPixels(const Frame& f, int x0, int x1) {
  size_t n = 0;
  for (size_t i = 0, x = 0; i < f.size(); i += 4, x = (x + 1) % kWidth)
    n += int(x) >= x0 && int(x) < x1 && f[i] + f[i + 1] + f[i + 2] > 60;
  return n;
}

using FrameGlTest = GlSceneTest;

// Without a scene (an index out of range) nothing is cleared or drawn; a scene whose clear is off
// still clears the colour, with the colour set last before the frame, after the copy pass.
TEST_F(FrameGlTest, ClearWithoutASceneAndWithTheSceneClearOff) {
  SceneObject* s = addScene();
  addTrack(s->tracksA, kSetClear, {0, 0, 0, 0, 256, 0, 0});
  s->precalc();
  const Rgba red{255, 0, 0, 255}, blue{0, 0, 255, 255};
  for (auto [index, rgba] : {std::pair{-1, red}, {1, red}, {57, red}, {0, blue}}) {
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glimmer::timeline->currentScene = index;
    EXPECT_EQ(pixelAt(renderAt(0.0f), 10, 10), rgba) << "scene " << index;
    EXPECT_EQ(gState.activeScene == nullptr, index != 0) << "scene " << index;
  }
}

// The fields of view last applied and of the default projection, and the x and y scales of the
// projection matrix: cot(fovy / 2) / aspect and cot(fovy / 2).
void expectProjection(float applied, float byDefault, float xScale, float yScale) {
  float m[16] = {};
  glGetFloatv(GL_PROJECTION_MATRIX, m);
  EXPECT_EQ(std::pair(gState.appliedFov, gState.defaultFov), std::pair(applied, byDefault));
  EXPECT_NEAR(m[0], xScale, 1e-4f);
  EXPECT_NEAR(m[5], yScale, 1e-4f);
}

TEST_F(FrameGlTest, ProjectionCarriesOverAndAspectAloneDoesNotRebuildIt) {
  SceneObject* s = addScene();
  s->precalc();
  renderAt(0.0f);
  expectProjection(70.0f, 70.0f, 0.70759f, 0.94345f);  // the 4:3 default: fovy 70 x 4/3 = 93.33
  s->aspect = 2.0f;  // same field of view: the 4:3 projection of the last end2D() stays
  applyCamera(*s);
  expectProjection(70.0f, 70.0f, 0.70759f, 0.94345f);
  s->fov = 50.0f;  // a new field of view builds fovy = fov x aspect = 100 with aspect 2
  applyCamera(*s);
  expectProjection(50.0f, 70.0f, 0.41955f, 0.83910f);
  setDefaultProjection(0.0f);  // 0 keeps the last field of view: fovy 50 x 4/3 = 66.67
  expectProjection(50.0f, 50.0f, 1.14032f, 1.52043f);
}

// GL lights are numbered by list position among the first seven; an inactive light leaves its
// GL light off and its number alone, and GL light 7 is never touched.
TEST_F(FrameGlTest, LightPassNumbersByPositionAndLeavesLightSevenAlone) {
  std::vector<LightObject*> lights;
  for (int i = 0; i < 9; ++i) lights.push_back(addLight(0, 1, 0));
  for (LightObject* l : lights) l->lightIndex = 99;
  lights[2]->startTime = 5.0f;
  glEnable(GL_LIGHT7);
  glEnable(GL_LIGHT2);
  glimmer::timeline->time = 1.0f;
  applyLights();
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(lights[size_t(i)]->lightIndex, i == 2 || i >= 7 ? 99 : i) << "light " << i;
    EXPECT_TRUE(i > 7 || on(GLenum(GL_LIGHT0 + i)) == (i != 2)) << "light " << i;
  }
}

TEST_F(FrameGlTest, SharedGeometryIsDrawnWithTheSharingMeshPlacement) {
  standardScene()->precalc();
  MeshObject* source = addSphere(0.5f, {0, 0, 0}, {255, 200, 200});
  source->startTime = source->endTime = 500.0f;  // never active itself
  addMesh({{MeshOp::SetTransform, {-1.2f * 32, 0, 0}}, {MeshOp::ShareGeometry, {0}}}, {});
  const auto frame = renderAt(1.0f);
  EXPECT_GT(litPixels(frame, 0, kWidth / 2), 200u) << "the shared sphere shows on the left";
  EXPECT_EQ(litPixels(frame, kWidth / 2 + 20, kWidth), 0u) << "nothing at the source's place";
}

TEST_F(FrameGlTest, OutlineTextDrawsItsWholeString) {
  // A fresh registry per string: a scene looking at the text from z = 3 and one light.
  auto litPixelsOf = [&](const char* text) -> size_t {
    glimmer::destroyRegistry();
    glimmer::createRegistry();
    addScene()->eye = {0, 0, 3};
    addLight(0, 0, 4);
    MeshObject* m = addMesh({{MeshOp::SetTransform, {-2.5f * 32, -0.3f * 32, 0}},
                             {MeshOp::SetColours, {80, 80, 80, 255, 255, 255, 0, 0, 0, 10}}},
                            {{MeshOp::Text, {0.2f * 32}, text}});
    return m->text.listsCreated ? litPixels(renderAt(1.0f), 0, kWidth) : 0;
  };
  const size_t single = litPixelsOf("I");
  if (single == 0) GTEST_SKIP() << "no outline font on this machine";
  EXPECT_GT(single, 50u);
  EXPECT_GT(litPixelsOf("II"), single + single / 2) << "the last character is drawn too";
}

// The state each blend mode of a material leaves: mode 3 carries over whatever the previous
// material set; the depth mask follows depthWrite and endMaterial turns it back on.
TEST_F(FrameGlTest, MaterialsLeaveBlendAlphaTestAndDepthMask) {
  // clang-format off
  const std::tuple<int, bool, bool, bool> rows[] = {  // mode, depthWrite: blend, alpha test
      {2, true, true, true}, {3, true, true, true}, {0, false, false, false},
      {3, true, false, false}, {1, true, false, true}, {3, false, false, true}};
  // clang-format on
  for (const auto& [mode, depthWrite, blend, alphaTest] : rows) {
    glimmer::Material m;
    m.blendMode = mode;
    m.depthWrite = depthWrite;
    applyMaterial(m);
    EXPECT_EQ((std::array<bool, 3>{on(GL_BLEND), on(GL_ALPHA_TEST),
                                   state(GL_DEPTH_WRITEMASK) == GL_TRUE}),
              (std::array<bool, 3>{blend, alphaTest, depthWrite}))
        << "mode " << mode;
    if (mode == 2) {
      EXPECT_EQ(blendFunc(), (std::array<float, 2>{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}));
      EXPECT_EQ(state(GL_ALPHA_TEST_FUNC), GL_GREATER);
      EXPECT_EQ(state(GL_ALPHA_TEST_REF), 0.0f);
    }
    endMaterial(m);
    EXPECT_EQ(state(GL_DEPTH_WRITEMASK), GL_TRUE);
  }
}

// What a drawn mesh leaves: cull modes 2 and 3 end on back-face culling; polygon mode and line
// width go back to fill and 1 after every mesh, while smoothing and point size stay.
TEST_F(FrameGlTest, MeshesLeaveCullingPolygonModeAndLineWidth) {
  // cull, polygon mode, width or point size, smoothing: line smooth, point smooth, point size
  const std::tuple<float, float, float, float, bool, bool, float> rows[] = {
      {3, 1, 4, 1, true, false, 1}, {2, 2, 6, 1, false, true, 6}, {1, 1, 3, 0, false, false, 1}};
  addScene()->precalc();
  for (const auto& [cull, mode, width, smooth, lineSmooth, pointSmooth, pointSize] : rows) {
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_POINT_SMOOTH);
    glPointSize(1.0f);
    MeshObject* m = addMesh({{MeshOp::SetRenderState, {0, 0, 0, 1, 0, 0, cull}},
                             {MeshOp::PolygonMode, {mode, 0, 0, width, 0, 0, smooth}}},
                            {{MeshOp::Sphere, {8, 4, 0, 32}}});
    glCullFace(GL_FRONT);
    drawMesh(*m);
    SCOPED_TRACE(cull);
    EXPECT_EQ(state(GL_POLYGON_MODE, 0), GL_FILL);
    EXPECT_EQ(state(GL_POLYGON_MODE, 1), GL_FILL);
    EXPECT_EQ(state(GL_LINE_WIDTH), 1.0f);
    EXPECT_TRUE(cull == 1 || (on(GL_CULL_FACE) && state(GL_CULL_FACE_MODE) == GL_BACK));
    EXPECT_EQ(on(GL_LINE_SMOOTH), lineSmooth);
    EXPECT_EQ(on(GL_POINT_SMOOTH), pointSmooth);
    EXPECT_EQ(state(GL_POINT_SIZE), pointSize);
  }
}

// Repeat 8 draws the mesh 9 times: once in place and 8 copies (here stepping nowhere, so each
// copy passes the LEQUAL depth test again); a disabled Repeat adds none. An occlusion query
// counts the samples one frame writes.
TEST_F(FrameGlTest, RepeatEightDrawsNineTimes) {
  auto gen = entry<PFNGLGENQUERIESPROC>("glGenQueries");
  auto begin = entry<PFNGLBEGINQUERYPROC>("glBeginQuery");
  auto end = entry<PFNGLENDQUERYPROC>("glEndQuery");
  auto get = entry<PFNGLGETQUERYOBJECTUIVPROC>("glGetQueryObjectuiv");
  if (!gen || !begin || !end || !get) GTEST_SKIP() << "no occlusion queries";
  auto samplesOfFrame = [&] {
    GLuint q = 0, n = 0;
    gen(1, &q);
    begin(GL_SAMPLES_PASSED, q);
    renderAt(0.0f);
    end(GL_SAMPLES_PASSED);
    get(q, GL_QUERY_RESULT, &n);
    return n;
  };
  standardScene()->precalc();
  MeshObject* m = addMesh({{MeshOp::Repeat, {0}}}, {{MeshOp::Sphere, {8, 4, 0, 32}}});
  glimmer::Track* repeat = m->tracksA.first()->value;
  renderAt(0.0f);
  const GLuint once = samplesOfFrame();
  ASSERT_GT(once, 0u);
  repeat->params[0] = 8;
  EXPECT_EQ(samplesOfFrame(), 9 * once);
  repeat->word &= ~glimmer::kEnabledBit;
  EXPECT_EQ(samplesOfFrame(), once);
}

// Without shader support (every shader entry point null, so any use of one would crash) a mesh
// that asks for a program is drawn with its fixed-function material.
TEST_F(FrameGlTest, WithoutShaderSupportProgramsAreIgnored) {
  standardScene()->precalc();
  const bool shaders = glext::shadersAvailable;
  glext::clearEntryPoints();
  glext::loadMultitextureEntryPoints();
  glext::loadVertexBufferEntryPoints();
  MeshObject* m = addSphere(1.0f, {0, 0, 0}, {255, 255, 255}, 16, {{MeshOp::SetShader, {3}}});
  EXPECT_TRUE(m->material.shaderEnabled);
  EXPECT_EQ(m->material.program.programObject, 0u);
  EXPECT_GT(pixelAt(renderAt(0.0f), kWidth / 2, kHeight / 2)[0], 60) << "the mesh is drawn";
  glimmer::destroyRegistry();  // the mesh goes while the entry points are still cleared
  glimmer::createRegistry();
  glext::loadShadingLanguageEntryPoints();
  glext::shadersAvailable = shaders;
}

}  // namespace
}  // namespace render::test
