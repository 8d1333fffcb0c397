// The renderer on a real context: golden frames of small test scenes (fog, glow, echo rings,
// layers, text and fade, a custom viewport, the GLSL programs, cull and polygon modes, repeats,
// parents, particles), each with a pixel worked out by hand and several with the GL state their
// pass leaves; then frame state: no scene, the projection carried between frames, the clear,
// lights, shared geometry, outline text, material and mesh state, Repeat copies, no shaders.
#include <cmath>
#include <cstdlib>

#include "gl_harness.h"
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

namespace render::test {
namespace {

// A checkerboard texel of cells x cells squares, colour a where x and y cells differ in parity.
uint32_t checkerPixel(int x, int y, int cells, uint32_t a, uint32_t b) {
  return (((x / cells) + (y / cells)) & 1) ? a : b;
}

// A normal map of round bumps, 4 x 4 across the texture, with full gloss in alpha.
uint32_t bumpPixel(int x, int y, int size) {
  const float cell = float(size) / 4.0f, fx = std::fmod(float(x), cell) / cell * 2.0f - 1.0f,
              fy = std::fmod(float(y), cell) / cell * 2.0f - 1.0f;
  const float k = fx * fx + fy * fy < 0.8f ? 0.7f : 0.0f, nx = fx * k, ny = fy * k;
  const float nz = std::sqrt(std::max(0.0f, 1.0f - nx * nx - ny * ny));
  auto enc = [](float v) { return static_cast<uint32_t>(std::lround((v * 0.5f + 0.5f) * 255.0f)); };
  return 0xFF000000u | (enc(nx) << 16) | (enc(ny) << 8) | enc(nz);
}

// A soft white disc whose alpha falls off towards the edge.
uint32_t blobPixel(int x, int y, int size) {
  const float h = float(size) / 2.0f, dx = (float(x) + 0.5f - h) / h,
              dy = (float(y) + 0.5f - h) / h;
  const float a = std::max(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
  return (static_cast<uint32_t>(std::lround(a * 255.0f)) << 24) | 0x00FFFFFFu;
}

class GoldenTest : public GlSceneTest {
 protected:
  // Renders scene s at time t and checks pixel x of a row from the top against a colour worked
  // out by hand (within 2, the 8-bit rounding of the blend stages), then the frame against
  // tests/golden/<name>.png: every channel within 8 except in at most 0.5 % of the pixels (edge
  // rasterisation differs between Mesa releases); a differing frame goes to <name>.actual.png.
  // GLIMMER_REGENERATE_GOLDEN=1 (tests/golden/regenerate.sh) writes it as the golden instead.
  void expectGolden(SceneObject* s, const std::string& name, int x, int row, std::array<int, 3> rgb,
                    float t = 1.0f) {
    s->precalc();
    const Frame frame = renderAt(t);
    for (size_t c = 0; c < 3; ++c) EXPECT_NEAR(pixelAt(frame, x, row)[c], rgb[c], 2) << name << c;
    const char* dir = std::getenv("GLIMMER_GOLDEN_DIR");
    const std::string path = std::string(dir ? dir : GLIMMER_GOLDEN_DIR) + "/" + name + ".png";
    if (const char* r = std::getenv("GLIMMER_REGENERATE_GOLDEN"); r && std::string(r) == "1") {
      EXPECT_TRUE(glimmer::writePngRgba(path.c_str(), kWidth, kHeight, frame.data())) << path;
      return;
    }
    int w = 0, h = 0, n = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> golden(stbi_load(path.c_str(), &w, &h, &n, 4),
                                                     stbi_image_free);
    ASSERT_TRUE(golden && w == kWidth && h == kHeight) << "no 320 x 240 image in " << path;
    auto off = [&](size_t c) { return std::abs(int(golden.get()[c]) - int(frame[c])) > 8; };
    size_t outliers = 0;
    for (size_t i = 0; i < frame.size(); i += 4) outliers += off(i) || off(i + 1) || off(i + 2);
    if (outliers <= frame.size() / 4 / 200) return;
    glimmer::writePngRgba((name + ".actual.png").c_str(), kWidth, kHeight, frame.data());
    ADD_FAILURE() << name << ": " << outliers << " pixels differ by more than 8; the frame is "
                  << name << ".actual.png in the working directory";
  }
};

TEST_F(GoldenTest, FogModes) {
  const std::tuple<const char*, float, float> cases[] = {
      {"fog_linear", 0, 0}, {"fog_exp", 1, 15}, {"fog_exp2", 2, 12}};
  for (const auto& [name, mode, density] : cases) {
    glimmer::destroyRegistry();
    glimmer::createRegistry();
    SceneObject* s = standardScene();
    addTrack(s->tracksA, kSetCamera, {0, 32, 128, 0, 0, -128, 0});
    for (int i = 0; i < 5; ++i)  // five spheres receding from the camera
      addSphere(0.6f, {-2.0f + float(i), 0.0f, -2.0f * float(i)}, {230, 200, 120});
    addTrack(s->tracksA, kSetFog, {mode, 0, 0, 128, 150, 200, 64, 384, 0, density});
    addTrack(s->tracksA, kSetClear, {1, 0, 0, 0, 0, 0, 1});  // clear with the fog colour
    gState.appliedFov = 0.0f;
    // No sphere reaches the top-left corner: the clear with the fog colour (128, 150, 200)/256
    // in 8 bits, 255 x 0.5, 255 x 0.586, 255 x 0.781.
    expectGolden(s, name, 0, 0, {128, 149, 199});
  }
}

// Besides the images: the blend functions the glow (one minus source colour, one) and an echo
// ring (source colour, one) leave, and hostile copy counts (10^9: gigabytes of copies if they
// were gathered) drawing exactly what the caps draw.
TEST_F(GoldenTest, GlowAndEchoRing) {
  SceneObject* s = standardScene();
  addSphere(1.0f, {0, 0, 0}, {255, 240, 200});
  glimmer::Track* glow = addTrack(s->tracksA, kSetGlow, {4, 4, 0, 200, 120, 60});
  // The glow adds copies of the frame scaled by (1 - source colour): black stays black.
  expectGolden(s, "glow", 2, 2, {0, 0, 0});
  EXPECT_EQ(blendFunc(), (std::array<float, 2>{GL_ONE_MINUS_SRC_COLOR, GL_ONE}));
  EXPECT_FALSE(on(GL_BLEND));  // end2D
  glow->params[1] = 1e9f;
  const Frame hostileGlow = renderAt(1.0f);
  glow->params[1] = static_cast<float>(kMaxGlowPasses);
  EXPECT_EQ(renderAt(1.0f), hostileGlow);

  addTrack(s->tracksA, kSetGlow, {0});  // glow off
  glimmer::Track* echo = addTrack(s->tracksA, kEchoRing, {12, 6, 0, 100, 100, 255});
  addTrack(s->tracksA, kEchoRing, {30, 0.5f, 0, 255, 0, 0});  // fewer than one copy: nothing
  expectGolden(s, "echo_ring", 2, 2, {0, 0, 0});  // copies of black, (source colour, one): black
  EXPECT_EQ(blendFunc(), (std::array<float, 2>{GL_SRC_COLOR, GL_ONE}));
  echo->params[1] = 1e9f;
  const Frame hostileEcho = renderAt(1.0f);
  echo->params[1] = static_cast<float>(kMaxEchoCopies);
  EXPECT_EQ(renderAt(1.0f), hostileEcho);
}

TEST_F(GoldenTest, LayersAndFade) {
  addTexture(64, [](int x, int y) { return checkerPixel(x, y, 8, 0xFFFFFFFFu, 0xFF2040A0u); });
  addTexture(64, [](int x, int y) { return blobPixel(x, y, 64); });
  SceneObject* s = standardScene();
  addSphere(1.2f, {0.5f, 0, 0}, {120, 220, 120});
  addTrack(s->tracksA, kSetLayer, {0, 220, 0, 5, 55, 0, 35, 40, 0, 255, 255, 255});
  addTrack(s->tracksA, kSetLayer, {1, 255, 0, 20, 45, 0, 30, 40, 0, 255, 60, 60});  // later: on top
  addTrack(s->tracksA, kSetLayer, {7, 255, 0, 0, 0, 0, 100, 100, 0, 0, 0, 0});      // no texture 7
  // A disabled layer is not drawn; a text without a name prints nothing.
  addTrack(s->tracksA, kSetLayer, {0, 255, 0, 50, 5, 0, 40, 40, 0, 255, 255, 255}, nullptr, false);
  addTrack(s->tracksA, kDrawText, {60, 80, 0, 128, 256, 256});
  addTrack(s->tracksA, kSetFade, {25, 0, 0, 0, 0, 200});
  // Pixel (20, 220 from the bottom) lies in layer 0 only (x 16-128, y 132-228): texel (2.3,
  // 58.7) of the checker, cell (0, 7), white. Alpha 220/255 over black gives 220; the fade
  // (0, 0, 200/256, alpha 0.25) then gives 0.75 x 220 = 165 and 165 + 0.25 x 199.2 = 215.
  expectGolden(s, "layers_fade", 20, 19, {165, 165, 215});
}

TEST_F(GoldenTest, ScreenText) {
  SceneObject* s = standardScene();
  addSphere(0.8f, {0, 0, 0}, {200, 200, 200});
  addTrack(s->tracksA, kDrawText, {5, 70, 0, 256, 230, 60}, "Glimmer 42");
  addTrack(s->tracksA, kDrawText, {10, 10, 0, 80, 200, 256}, "a\001b\200c~");  // 1, 128 skipped
  // The golden text was drawn with this face; another draws other pixels, so on a machine without
  // it the frame is only checked for the text below. (The first frame is compared: later ones
  // carry the 4:3 projection of the frame before.)
  ASSERT_NE(gState.overlayFont, nullptr);
  const std::string& face = gState.overlayFont->faceFile;
  const bool goldenFace = face.substr(face.find_last_of('/') + 1) == "DejaVuSansCondensed-Bold.ttf";
  if (goldenFace) expectGolden(s, "text", 2, 2, {0, 0, 0});  // above both lines: the black clear
  s->precalc();
  const Frame frame = renderAt(1.0f);
  size_t yellow = 0;
  for (size_t p = 0; p < frame.size(); p += 4)
    yellow += frame[p] > 200 && frame[p + 1] > 180 && frame[p + 2] < 100;
  EXPECT_GT(yellow, 300u) << "the first text line was not drawn";
  begin2D();  // printText leaves texturing, alpha test, depth test and blending off
  glEnable(GL_ALPHA_TEST);
  glEnable(GL_DEPTH_TEST);
  printText(10, 10, "A");
  for (GLenum cap : {GL_TEXTURE_2D, GL_ALPHA_TEST, GL_DEPTH_TEST, GL_BLEND})
    EXPECT_FALSE(on(cap)) << cap;
  end2D();
  if (!goldenFace)
    GTEST_SKIP() << "golden text made with DejaVuSansCondensed-Bold.ttf, not " << face;
}

TEST_F(GoldenTest, CustomViewportSqueezesGlowNotLayers) {
  addTexture(32, [](int x, int y) { return checkerPixel(x, y, 4, 0xFF603020u, 0xFF302010u); });
  SceneObject* s = standardScene();
  addSphere(1.5f, {0, 0, 0}, {200, 200, 255});
  addTrack(s->tracksA, kSetViewport, {1, 0, 0, 25, 20, 0, 50, 60, 0, 50, 1.33f});
  addTrack(s->tracksA, kSetGlow, {3, 3, 0, 100, 180, 100});
  addTrack(s->tracksA, kSetBackgroundLayer, {0, 255, 0, 0, 0, 0, 100, 100, 0, 255, 255, 255});
  addTrack(s->tracksA, kSetLayer, {0, 255, 0, 80, 80, 0, 18, 18, 0, 255, 255, 255});
  // The last layer covers x 256-313.6, y 192-235.2 from the bottom over the full screen, 7.2
  // pixels per 4-texel cell; the centre of pixel (259, 44 from the top), (259.5, 195.5), reads
  // texels (1.9, 2.6) of the 32-texel checker: cell (0, 0) on both sides of the linear filter,
  // 0xFF302010, opaque.
  expectGolden(s, "viewport", 259, 44, {0x30, 0x20, 0x10});
}

// The four built-in programs, the bump ones (2 to 4) with tangents at attribute locations 10 and
// 11; all of them compile and link without a log, while a shader that fails shows its log.
TEST_F(GoldenTest, FourPrograms) {
  if (!glext::shadersAvailable) GTEST_SKIP() << "no shader support";
  addTexture(128, [](int x, int y) { return checkerPixel(x, y, 16, 0xFFE0C080u, 0xFF4060C0u); });
  addTexture(128, [](int x, int y) { return bumpPixel(x, y, 128); });
  SceneObject* s = standardScene();
  ::testing::internal::CaptureStderr();
  MeshObject* water = nullptr;  // the last, blended (render state {0, 0, 0, 1} is the default)
  for (int p = 1; p <= 4; ++p)
    water = addSphere(0.7f, {-2.4f + 1.6f * float(p - 1), 0, 0}, {230, 230, 230}, 24,
                      {{MeshOp::SetTextures, {0, 0, 0, 1}},
                       {MeshOp::SetShader, {float(p)}},
                       {MeshOp::SetRenderState, {p == 4 ? 2.0f : 0.0f, 0, 0, 1}}});
  std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(log.find("GLSL compile log"), std::string::npos) << log;
  expectGolden(s, "programs", 160, 2, {0, 0, 0}, 2.5f);  // above the spheres: the black clear
  // The water program (pair 4, blended) gets the mesh's update time in its uniform "time".
  auto getUniform = entry<PFNGLGETUNIFORMFVARBPROC>("glGetUniformfvARB");
  const GLhandleARB program = water->material.program.programObject;
  float time = 0.0f;
  getUniform(program, glext::glGetUniformLocationARB(program, "time"), &time);
  EXPECT_EQ(time, 2.5f);
  const GLhandleARB bad = glext::glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
  const GLcharARB* source = "void main() { gl_FragColor = vec4(undefinedName); }";
  glext::glShaderSourceARB(bad, 1, &source, nullptr);
  glext::glCompileShaderARB(bad);
  ::testing::internal::CaptureStderr();
  showCompileLog(bad);
  log = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("GLSL compile log"), std::string::npos) << log;
  EXPECT_NE(log.find("undefinedName"), std::string::npos) << log;
}

TEST_F(GoldenTest, CullModes) {
  SceneObject* s = standardScene();
  const float colours[4][3] = {{255, 80, 80}, {80, 255, 80}, {80, 80, 255}, {255, 255, 80}};
  for (int c = 0; c < 4; ++c)
    addMesh({{MeshOp::SetTransform, {(-2.4f + 1.6f * float(c)) * 32, 0, 0, 40, 0, 0}},
             {MeshOp::SetColours,
              {90, 90, 90, colours[c][0], colours[c][1], colours[c][2], 0, 0, 0, 10}},
             {MeshOp::SetRenderState, {0, 0, 0, 1, 0, 0, float(c)}}},
            {{MeshOp::Tube, {16, 1, 0, 0.6f * 32, 0, 0, 1.2f * 32}}, {MeshOp::Normals, {0}}});
  // An unknown cull mode draws nothing: the sphere at (0, 1.5, 0), seen from z = 3.125, would
  // cover the screen around (160, 65 from the top).
  addSphere(0.5f, {0, 1.5f, 0}, {255, 255, 255}, 16,
            {{MeshOp::SetRenderState, {0, 0, 0, 1, 0, 0, 4}}});
  expectGolden(s, "cull_modes", 160, 65, {0, 0, 0});
}

TEST_F(GoldenTest, PolygonModesRepeatsAndParents) {
  SceneObject* s = standardScene();
  addSphere(0.6f, {-1.8f, 1, 0}, {255, 200, 100}, 12, {{MeshOp::PolygonMode, {1, 0, 0, 2}}});
  addSphere(0.6f, {1.8f, 1, 0}, {100, 200, 255}, 12,
            {{MeshOp::PolygonMode, {2, 0, 0, 4}}, {MeshOp::Lighting, {0}}});
  addSphere(0.25f, {-2.6f, -1, 0}, {255, 255, 255}, 8,
            {{MeshOp::Repeat, {4, 0, 0, 0.45f * 32, 0, 0, 0, 0, 20, -10}},
             {MeshOp::Repeat, {3, 0, 0, 0, 32}, nullptr, false}});  // disabled: no copies
  addMesh({{MeshOp::SetTransform, {1.2f * 32, -1.0f * 32, 0, 0, 0, 40}},
           {MeshOp::SetColours, {60, 60, 60, 200, 200, 200, 0, 0, 0, 10}}},
          {{MeshOp::Grid, {1, 1, 0, 1.0f * 32, 0.3f * 32}}, {MeshOp::Normals, {0}}});
  addSphere(0.2f, {0.9f, 0, 0}, {255, 60, 200}, 8, {{MeshOp::SetParent, {3}}});
  // Two meshes that name each other as parent: drawing must still end.
  addSphere(0.15f, {0, -1.8f, 0}, {255, 255, 0}, 8, {{MeshOp::SetParent, {6}}});
  addSphere(0.15f, {0.5f, 0, 0}, {0, 255, 255}, 8, {{MeshOp::SetParent, {5}}});
  for (auto* n = (*glimmer::entityRegistry)[glimmer::Category::Mesh].first(); n; n = n->next)
    n->value->applyTracksA();
  expectGolden(s, "drawing_tracks", 2, 2, {0, 0, 0});  // the black clear in the corner
}

TEST_F(GoldenTest, ParticlesAfterNinetySteps) {
  addTexture(32, [](int x, int y) { return blobPixel(x, y, 32); });
  SceneObject* s = standardScene();
  addSphere(0.4f, {0, -1.2f, 0}, {90, 90, 90});
  auto* p = add(glimmer::Category::Particle, new ParticleObject());
  addTrack(p->tracksA, kSetEmitter, {0, -0.8f * 32, 0, 0.2f, 0, 0, 20});
  addTrack(p->tracksA, kSetParticleTexture, {0});
  addTrack(p->tracksA, kSetGravity, {0, -5, 0, 1});
  addTrack(p->tracksA, kSetParticles, {150, 0, 0, 25, 6, 0, 4, 16, 16, 255, 160, 60});
  p->precalc();
  for (int f = 1; f <= 90; ++f) p->update(float(f) / 60.0f, 1.0f / 60.0f);
  // Particles rise from below the centre: the black clear in the corner.
  expectGolden(s, "particles", 2, 2, {0, 0, 0}, 1.5f);
  // The particle pass adds (source alpha, one) with alpha and depth testing, lighting off and
  // the depth mask restored.
  glDepthMask(GL_TRUE);
  glDisable(GL_ALPHA_TEST);
  glEnable(GL_LIGHTING);
  drawParticleSystems();
  EXPECT_EQ(blendFunc(), (std::array<float, 2>{GL_SRC_ALPHA, GL_ONE}));
  for (GLenum cap : {GL_BLEND, GL_ALPHA_TEST, GL_DEPTH_TEST}) EXPECT_TRUE(on(cap)) << cap;
  EXPECT_FALSE(on(GL_LIGHTING));
  EXPECT_EQ(state(GL_DEPTH_WRITEMASK), GL_TRUE);
}

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
  const std::array<uint8_t, 4> red{255, 0, 0, 255}, blue{0, 0, 255, 255};
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
  EXPECT_EQ(std::pair(gState.appliedFov, gState.defaultFov), std::pair(applied, byDefault));
  EXPECT_NEAR(state(GL_PROJECTION_MATRIX, 0), xScale, 1e-4f);
  EXPECT_NEAR(state(GL_PROJECTION_MATRIX, 5), yScale, 1e-4f);
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
  // mode, depthWrite: blend, alpha test
  const std::tuple<int, bool, bool, bool> rows[] = {
      {2, true, true, true},   {3, true, true, true},  {0, false, false, false},
      {3, true, false, false}, {1, true, false, true}, {3, false, false, true}};
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
  EXPECT_TRUE(m->material.shaderEnabled && m->material.program.programObject == 0u);
  EXPECT_GT(pixelAt(renderAt(0.0f), kWidth / 2, kHeight / 2)[0], 60) << "the mesh is drawn";
  glimmer::destroyRegistry();  // the mesh goes while the entry points are still cleared
  glimmer::createRegistry();
  glext::loadShadingLanguageEntryPoints();
  glext::shadersAvailable = shaders;
}

}  // namespace
}  // namespace render::test
