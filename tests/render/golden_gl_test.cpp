// Whole frames of small test scenes compared with golden images: fog modes, glow, echo rings,
// layers, text and fade, a custom viewport, the four GLSL programs, cull modes, polygon modes,
// repeats, parents and particles.
#include "gl_harness.h"
#include "platform/gl.h"

namespace render::test {
namespace {

using glimmer::MeshObject;
using glimmer::MeshOp;

uint8_t op(MeshOp o) { return static_cast<uint8_t>(o); }

// A smooth-shaded sphere of radius r (units) at (x, y, z) with a diffuse colour.
void sphere(MeshObject& m, float r, float x, float y, float z, float red, float green, float blue,
            int segments = 16) {
  addTrack(m.tracksA, op(MeshOp::SetTransform), {x * 32, y * 32, z * 32});
  addTrack(m.tracksA, op(MeshOp::SetColours), {40, 40, 40, red, green, blue, 200, 200, 200, 30});
  addTrack(m.tracksB, op(MeshOp::Sphere), {float(segments), float(segments) / 2, 0, r * 32});
  addTrack(m.tracksB, op(MeshOp::Normals), {1});
}

// Checks one pixel (x from the left, row from the top) against a colour worked out by hand,
// within a tolerance of 2 for the 8-bit rounding of the blend stages; the golden image is then
// not the only witness of the frame.
void expectPixel(const std::vector<uint8_t>& f, int x, int row, std::array<int, 3> rgb) {
  const size_t i = (static_cast<size_t>(row) * kWidth + static_cast<size_t>(x)) * 4;
  for (size_t c = 0; c < 3; ++c)
    EXPECT_NEAR(f[i + c], rgb[c], 2) << "pixel " << x << "," << row << " channel " << c;
}

class GoldenTest : public GlSceneTest {
 protected:
  // Scene 0 looking from (0, 0, 5) at the origin, one light, a black clear.
  SceneObject* standardScene() {
    SceneObject* s = addScene();
    addTrack(s->tracksA, kSetCamera, {0, 0, 100, 0, 0, 0, 0});
    addTrack(s->tracksA, kSetClear, {1, 0, 0, 0, 0, 0, 0});
    addLight(2, 3, 4);
    return s;
  }

  // Five spheres receding from the camera.
  void fogScene(SceneObject& s) {
    addTrack(s.tracksA, kSetCamera, {0, 32, 128, 0, 0, -128, 0});
    for (int i = 0; i < 5; ++i)
      addMeshFor([i](MeshObject& m) {
        sphere(m, 0.6f, -2.0f + float(i), 0.0f, -2.0f * float(i), 230, 200, 120);
      });
  }
};

TEST_F(GoldenTest, FogModes) {
  struct Case {
    const char* name;
    float mode;
    float density;
  } cases[] = {{"fog_linear", 0, 0}, {"fog_exp", 1, 15}, {"fog_exp2", 2, 12}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    glimmer::destroyRegistry();
    glimmer::createRegistry();
    SceneObject* s = standardScene();
    fogScene(*s);
    addTrack(s->tracksA, kSetFog, {c.mode, 0, 0, 128, 150, 200, 64, 384, 0, c.density});
    addTrack(s->tracksA, kSetClear, {1, 0, 0, 0, 0, 0, 1});  // clear with the fog colour
    s->precalc();
    gState.appliedFov = 0.0f;
    const auto frame = renderAt(1.0f);
    EXPECT_TRUE(matchesGolden(c.name, frame));
    // No sphere reaches the top-left corner: the clear with the fog colour (128, 150, 200)/256
    // in 8 bits, 255 x 0.5, 255 x 0.586, 255 x 0.781.
    expectPixel(frame, 0, 0, {128, 149, 199});
  }
}

TEST_F(GoldenTest, GlowAndEchoRing) {
  SceneObject* s = standardScene();
  addMeshFor([](MeshObject& m) { sphere(m, 1.0f, 0, 0, 0, 255, 240, 200); });
  addTrack(s->tracksA, kSetGlow, {4, 4, 0, 200, 120, 60});
  s->precalc();
  auto frame = renderAt(1.0f);
  EXPECT_TRUE(matchesGolden("glow", frame));
  // The glow adds copies of the frame scaled by (1 - source colour): black stays black.
  expectPixel(frame, 2, 2, {0, 0, 0});

  addTrack(s->tracksA, kSetGlow, {0});
  addTrack(s->tracksA, kEchoRing, {12, 6, 0, 100, 100, 255});
  addTrack(s->tracksA, kEchoRing, {30, 0.5f, 0, 255, 0, 0});  // fewer than one copy: nothing
  s->precalc();
  frame = renderAt(1.0f);
  EXPECT_TRUE(matchesGolden("echo_ring", frame));
  expectPixel(frame, 2, 2, {0, 0, 0});  // copies of black, (source colour, one): black
}

TEST_F(GoldenTest, LayersAndFade) {
  addTexture(64, [](int x, int y) { return checkerPixel(x, y, 8, 0xFFFFFFFFu, 0xFF2040A0u); });
  addTexture(64, [](int x, int y) { return blobPixel(x, y, 64); });
  SceneObject* s = standardScene();
  addMeshFor([](MeshObject& m) { sphere(m, 1.2f, 0.5f, 0, 0, 120, 220, 120); });
  addTrack(s->tracksA, kSetLayer, {0, 220, 0, 5, 55, 0, 35, 40, 0, 255, 255, 255});
  addTrack(s->tracksA, kSetLayer, {1, 255, 0, 20, 45, 0, 30, 40, 0, 255, 60, 60});  // later: on top
  addTrack(s->tracksA, kSetLayer, {7, 255, 0, 0, 0, 0, 100, 100, 0, 0, 0, 0});      // no texture 7
  auto* off = addTrack(s->tracksA, kSetLayer, {0, 255, 0, 50, 5, 0, 40, 40, 0, 255, 255, 255});
  off->word &= ~glimmer::kEnabledBit;                           // a disabled layer is not drawn
  addTrack(s->tracksA, kDrawText, {60, 80, 0, 128, 256, 256});  // no name: prints nothing
  addTrack(s->tracksA, kSetFade, {25, 0, 0, 0, 0, 200});
  s->precalc();
  const auto frame = renderAt(1.0f);
  EXPECT_TRUE(matchesGolden("layers_fade", frame));
  // Pixel (20, 220 from the bottom) lies in layer 0 only (x 16-128, y 132-228): texel (2.3,
  // 58.7) of the checker, cell (0, 7), white. Alpha 220/255 over black gives 220; the fade
  // (0, 0, 200/256, alpha 0.25) then gives 0.75 x 220 = 165 and 165 + 0.25 x 199.2 = 215.
  expectPixel(frame, 20, 19, {165, 165, 215});
}

// The face the golden text was rendered with; another face on another machine draws other
// pixels, so the comparison is skipped there (the text itself is still drawn and checked for
// coverage).
constexpr const char* kGoldenFontFile = "DejaVuSansCondensed-Bold.ttf";

TEST_F(GoldenTest, ScreenText) {
  SceneObject* s = standardScene();
  addMeshFor([](MeshObject& m) { sphere(m, 0.8f, 0, 0, 0, 200, 200, 200); });
  addTrack(s->tracksA, kDrawText, {5, 70, 0, 256, 230, 60}, "Glimmer 42");
  addTrack(s->tracksA, kDrawText, {10, 10, 0, 80, 200, 256},
           "a\x01"
           "b\x80"
           "c~");  // codes outside 32..127 skipped
  s->precalc();
  const std::vector<uint8_t> frame = renderAt(1.0f);
  size_t yellow = 0;
  for (size_t p = 0; p < frame.size(); p += 4)
    if (frame[p] > 200 && frame[p + 1] > 180 && frame[p + 2] < 100) ++yellow;
  EXPECT_GT(yellow, 300u) << "the first text line was not drawn";
  ASSERT_NE(gState.overlayFont, nullptr);
  const std::string file =
      gState.overlayFont->faceFile.substr(gState.overlayFont->faceFile.find_last_of('/') + 1);
  if (file != kGoldenFontFile)
    GTEST_SKIP() << "golden text made with " << kGoldenFontFile << ", this machine uses " << file;
  EXPECT_TRUE(matchesGolden("text", frame));
  expectPixel(frame, 2, 2, {0, 0, 0});  // above both lines of text: the black clear
}

TEST_F(GoldenTest, CustomViewportSqueezesGlowNotLayers) {
  addTexture(32, [](int x, int y) { return checkerPixel(x, y, 4, 0xFF603020u, 0xFF302010u); });
  SceneObject* s = standardScene();
  addMeshFor([](MeshObject& m) { sphere(m, 1.5f, 0, 0, 0, 200, 200, 255); });
  addTrack(s->tracksA, kSetViewport, {1, 0, 0, 25, 20, 0, 50, 60, 0, 50, 1.33f});
  addTrack(s->tracksA, kSetGlow, {3, 3, 0, 100, 180, 100});
  addTrack(s->tracksA, kSetBackgroundLayer, {0, 255, 0, 0, 0, 0, 100, 100, 0, 255, 255, 255});
  addTrack(s->tracksA, kSetLayer, {0, 255, 0, 80, 80, 0, 18, 18, 0, 255, 255, 255});
  s->precalc();
  const auto frame = renderAt(1.0f);
  EXPECT_TRUE(matchesGolden("viewport", frame));
  // The last layer covers x 256-313.6, y 192-235.2 from the bottom over the full screen, 7.2
  // pixels per 4-texel cell; the centre of pixel (259, 44 from the top), (259.5, 195.5), reads
  // texels (1.9, 2.6) of the 32-texel checker: cell (0, 0) on both sides of the linear filter,
  // 0xFF302010, opaque.
  expectPixel(frame, 259, 44, {0x30, 0x20, 0x10});
}

TEST_F(GoldenTest, FourPrograms) {
  if (!glext::shadersAvailable) GTEST_SKIP() << "no shader support";
  addTexture(128, [](int x, int y) { return checkerPixel(x, y, 16, 0xFFE0C080u, 0xFF4060C0u); });
  addTexture(128, [](int x, int y) { return bumpPixel(x, y, 128); });
  SceneObject* s = standardScene();
  for (int p = 1; p <= 4; ++p)
    addMeshFor([p](MeshObject& m) {
      sphere(m, 0.7f, -2.4f + 1.6f * float(p - 1), 0, 0, 230, 230, 230, 24);
      addTrack(m.tracksA, op(MeshOp::SetTextures), {0, 0, 0, 1});
      addTrack(m.tracksA, op(MeshOp::SetShader), {float(p)});
      if (p == 4) addTrack(m.tracksA, op(MeshOp::SetRenderState), {2, 0, 0, 1});
    });
  s->precalc();
  const auto frame = renderAt(2.5f);
  EXPECT_TRUE(matchesGolden("programs", frame));
  expectPixel(frame, 160, 2, {0, 0, 0});  // above the row of spheres: the black clear
}

TEST_F(GoldenTest, CullModes) {
  SceneObject* s = standardScene();
  const float colours[4][3] = {{255, 80, 80}, {80, 255, 80}, {80, 80, 255}, {255, 255, 80}};
  for (int c = 0; c < 4; ++c)
    addMeshFor([c, &colours](MeshObject& m) {
      addTrack(m.tracksA, op(MeshOp::SetTransform),
               {(-2.4f + 1.6f * float(c)) * 32, 0, 0, 40, 0, 0});
      addTrack(m.tracksA, op(MeshOp::SetColours),
               {90, 90, 90, colours[c][0], colours[c][1], colours[c][2], 0, 0, 0, 10});
      addTrack(m.tracksA, op(MeshOp::SetRenderState), {0, 0, 0, 1, 0, 0, float(c)});
      addTrack(m.tracksB, op(MeshOp::Tube), {16, 1, 0, 0.6f * 32, 0, 0, 1.2f * 32});
      addTrack(m.tracksB, op(MeshOp::Normals), {0});
    });
  addMeshFor([](MeshObject& m) {  // an unknown cull mode draws nothing
    sphere(m, 0.5f, 0, 1.5f, 0, 255, 255, 255);
    addTrack(m.tracksA, op(MeshOp::SetRenderState), {0, 0, 0, 1, 0, 0, 4});
  });
  s->precalc();
  const auto frame = renderAt(1.0f);
  EXPECT_TRUE(matchesGolden("cull_modes", frame));
  // The sphere of unknown cull mode at (0, 1.5, 0), seen from z = 3.125, would cover the
  // screen around (160, 65 from the top): nothing is drawn there.
  expectPixel(frame, 160, 65, {0, 0, 0});
}

TEST_F(GoldenTest, PolygonModesRepeatsAndParents) {
  SceneObject* s = standardScene();
  addMeshFor([](MeshObject& m) {
    sphere(m, 0.6f, -1.8f, 1.0f, 0, 255, 200, 100, 12);
    addTrack(m.tracksA, op(MeshOp::PolygonMode), {1, 0, 0, 2});
  });
  addMeshFor([](MeshObject& m) {
    sphere(m, 0.6f, 1.8f, 1.0f, 0, 100, 200, 255, 12);
    addTrack(m.tracksA, op(MeshOp::PolygonMode), {2, 0, 0, 4});
    addTrack(m.tracksA, op(MeshOp::Lighting), {0});
  });
  addMeshFor([](MeshObject& m) {
    sphere(m, 0.25f, -2.6f, -1.0f, 0, 255, 255, 255, 8);
    addTrack(m.tracksA, op(MeshOp::Repeat), {4, 0, 0, 0.45f * 32, 0, 0, 0, 0, 20, -10});
    auto* off = addTrack(m.tracksA, op(MeshOp::Repeat), {3, 0, 0, 0, 32});
    off->word &= ~glimmer::kEnabledBit;  // a disabled Repeat adds no copies
  });
  MeshObject* parent = addMeshFor([](MeshObject& m) {
    addTrack(m.tracksA, op(MeshOp::SetTransform), {1.2f * 32, -1.0f * 32, 0, 0, 0, 40});
    addTrack(m.tracksA, op(MeshOp::SetColours), {60, 60, 60, 200, 200, 200, 0, 0, 0, 10});
    addTrack(m.tracksB, op(MeshOp::Grid), {1, 1, 0, 1.0f * 32, 0.3f * 32});
    addTrack(m.tracksB, op(MeshOp::Normals), {0});
  });
  addMeshFor([](MeshObject& m) {
    sphere(m, 0.2f, 0.9f, 0, 0, 255, 60, 200, 8);
    addTrack(m.tracksA, op(MeshOp::SetParent), {3});
  });
  ASSERT_NE(parent, nullptr);
  // Two meshes that name each other as parent: drawing must still end.
  addMeshFor([](MeshObject& m) {
    sphere(m, 0.15f, 0, -1.8f, 0, 255, 255, 0, 8);
    addTrack(m.tracksA, op(MeshOp::SetParent), {6});
  });
  addMeshFor([](MeshObject& m) {
    sphere(m, 0.15f, 0.5f, 0, 0, 0, 255, 255, 8);
    addTrack(m.tracksA, op(MeshOp::SetParent), {5});
  });
  for (auto* n = (*glimmer::entityRegistry)[glimmer::Category::Mesh].first(); n; n = n->next)
    n->value->applyTracksA();
  s->precalc();
  const auto frame = renderAt(1.0f);
  EXPECT_TRUE(matchesGolden("drawing_tracks", frame));
  expectPixel(frame, 2, 2, {0, 0, 0});  // the black clear in the corner
}

TEST_F(GoldenTest, ParticlesAfterNinetySteps) {
  addTexture(32, [](int x, int y) { return blobPixel(x, y, 32); });
  SceneObject* s = standardScene();
  addMeshFor([](MeshObject& m) { sphere(m, 0.4f, 0, -1.2f, 0, 90, 90, 90); });
  auto* p = new ParticleObject();
  p->endTime = 1000.0f;
  (*glimmer::entityRegistry)[glimmer::Category::Particle].append(p);
  addTrack(p->tracksA, kSetEmitter, {0, -0.8f * 32, 0, 0.2f, 0, 0, 20});
  addTrack(p->tracksA, kSetParticleTexture, {0});
  addTrack(p->tracksA, kSetGravity, {0, -5, 0, 1});
  addTrack(p->tracksA, kSetParticles, {150, 0, 0, 25, 6, 0, 4, 16, 16, 255, 160, 60});
  p->precalc();
  s->precalc();
  for (int f = 1; f <= 90; ++f) p->update(float(f) / 60.0f, 1.0f / 60.0f);
  const auto frame = renderAt(1.5f);
  EXPECT_TRUE(matchesGolden("particles", frame));
  expectPixel(frame, 2, 2, {0, 0, 0});  // particles rise from below the centre: the black clear
}

}  // namespace
}  // namespace render::test
