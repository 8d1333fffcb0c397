// Renderer logic without a GL context: scene and light commands with their scalings, the entity
// factory, particle systems, and the frame's geometry (camera up vector, glow and echo copies,
// the scene viewport, the mesh split and sort). GL light numbering: render_gl_test. The particle
// random values are the 15-bit sequence x -> (x * 15625 + 1) mod 2^15 from the reset seed 31337303,
// worked out by hand: 16656, 6545, 29466, 15851, 11332, ..., each divided by 32678.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "mesh/mesh.h"
#include "platform/gl.h"
#include "render/internal.h"
#include "render_test_util.h"

namespace render {
namespace {

using Floats = std::vector<float>;

// Positions are in 1/32 units, colours in 1/256 (layers and lights 1/255), the fade alpha, fog
// density and layer rectangle in percent.
TEST(SceneObject, CommandsScaleTheirParameters) {
  SceneObject s;
  s.applyCommand(*makeTrack(kSetCamera, {32, 64, -96, 16, 0, -320, 45}));
  EXPECT_EQ((Floats{s.eye[0], s.eye[1], s.eye[2], s.target[0], s.target[1], s.target[2], s.roll}),
            (Floats{1, 2, -3, 0.5f, 0, -10, 45}));
  s.applyCommand(*makeTrack(kSetFog, {1, 0, 0, 128, 64, 256, 16, 320, 0, 25}));
  EXPECT_EQ(s.fogColour, (Colour{0.5f, 0.25f, 1.0f, 1.0f}));
  EXPECT_EQ((Floats{s.fogStart, s.fogEnd, s.fogDensity}), (Floats{0.5f, 10, 0.25f}));
  // Mode truncated toward zero: 0 linear, 1 exp, 2 exp2, anything else off.
  for (auto [p0, mode] :
       {std::pair{1.0f, GL_EXP}, {0.9f, GL_LINEAR}, {2.0f, GL_EXP2}, {3.0f, -1}, {-1.0f, -1}}) {
    s.applyCommand(*makeTrack(kSetFog, {p0}));
    EXPECT_EQ(s.fogMode, mode) << p0;
  }
  s.applyCommand(*makeTrack(kSetClear, {0, 0, 0, 64, 128, 192, 1}));
  EXPECT_TRUE(!s.clearEnabled && s.clearWithFogColour);
  EXPECT_EQ(s.clearColour, (Colour{0.25f, 0.5f, 0.75f, 1}));
  s.applyCommand(*makeTrack(kSetClear, {NAN, 0, 0, 0, 0, 0, NAN}));
  EXPECT_TRUE(!s.clearEnabled && !s.clearWithFogColour);  // NaN is not > 0
  s.applyCommand(*makeTrack(kSetFade, {50, 0, 0, 256, 0, 128}));
  EXPECT_EQ(s.fadeColour, (Colour{1.0f, 0, 0.5f, 0.5f}));
  // Glow: passes truncated, alpha amount/100; amount 0 or less turns it off and keeps the rest.
  for (float amount : {3.0f, 0.0f, -2.0f}) {
    s.applyCommand(*makeTrack(kSetGlow, {amount, amount > 0 ? 6.9f : 9, 0, 128, 64, 32}));
    EXPECT_EQ(s.effectFlags, amount > 0 ? kGlowFlag : 0u) << amount;
    EXPECT_EQ((Floats{s.glowAmount, float(s.glowPasses), s.glowColour[0], s.glowColour[1],
                      s.glowColour[2], s.glowColour[3]}),
              (Floats{3, 6, 0.5f, 0.25f, 0.125f, 0.03f}));
  }
  // A stored layer truncates its texture index, the frame's own reading rounds it (ties to even).
  s.applyCommand(*makeTrack(kSetLayer, {2.6f, 255, 0, 10, 20, 0, 50, 25, 0, 255, 51, 0}));
  const ScreenLayer& l = s.storedLayer;
  EXPECT_EQ((Floats{float(l.textureIndex), l.x, l.y, l.width, l.height}),
            (Floats{2, 0.1f, 0.2f, 0.5f, 0.25f}));
  EXPECT_EQ(l.colour, (Colour{1.0f, 0.2f, 0.0f, 1.0f}));
  for (auto [p0, index] : {std::pair{2.6f, 3}, {2.5f, 2}, {-1.0f, -1}})
    EXPECT_EQ(layerFromTrack(*makeTrack(kSetLayer, {p0})).textureIndex, index) << p0;
  s.applyCommand(*makeTrack(kSetBackgroundLayer, {4, 128, 0, 0, 0, 0, 100, 100}));
  EXPECT_EQ((Floats{float(s.backgroundLayer.textureIndex), s.backgroundLayer.width}),
            (Floats{4, 1}));
  // DrawText and EchoRing are read by the frame renderer; they and unknown opcodes change nothing.
  SceneObject other;
  for (int op : {int{kDrawText}, int{kEchoRing}, 10, 255})
    other.applyCommand(*makeTrack(uint8_t(op), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_EQ((Floats{other.eye[2], float(other.fogMode), other.fov, float(other.effectFlags)}),
            (Floats{0, -1, 70, 0}));
}

TEST(LightObject, CommandsScaleTheirParameters) {
  LightObject l;
  l.applyCommand(*makeTrack(kSetLightPosition, {64, -32, 16}));
  l.applyCommand(*makeTrack(kSetLightColours, {255, 0, 51, 102, 255, 0, 0, 0, 255}));
  EXPECT_EQ(
      (std::array<Colour, 4>{l.position, l.ambient, l.diffuse, l.specular}),
      (std::array<Colour, 4>{{{2, -1, 0.5f, 1}, {1, 0, 0.2f, 1}, {0.4f, 1, 0, 1}, {0, 0, 1, 1}}}));
}

TEST(SceneFactory, CreatesOnlyRenderingCategories) {
  using glimmer::Category;
  std::unique_ptr<SceneEntity> l(createEntity(Category::Light)), s(createEntity(Category::Scene)),
      p(createEntity(Category::Particle)), m(createEntity(Category::Mesh));
  EXPECT_TRUE(dynamic_cast<LightObject*>(l.get()) && dynamic_cast<SceneObject*>(s.get()) &&
              dynamic_cast<ParticleObject*>(p.get()));
  EXPECT_EQ(m, nullptr);  // textures and meshes come from their own folders
}

constexpr float r(int x) { return static_cast<float>(x) / 32678.0f; }

using ParticleTest = RegistryTest;

// Emitter position /32 and spin x 10, gravity /10 with scale p3, speed and fade /10, size and
// spreads /32, colour /256; then one emission draws speed jitter, Z spread, X spread, fade
// jitter and spin, in that order.
TEST_F(ParticleTest, CommandsScaleAndSpawnDrawsFiveNumbersInOrder) {
  ParticleObject p;
  p.applyCommand(*makeTrack(kSetEmitter, {32, 64, 96, 0, 0, 0, 10}));
  p.applyCommand(*makeTrack(kSetGravity, {0, -10, 5, 3}));
  p.applyCommand(*makeTrack(kSetParticles, {20, 0, 0, 20, 5, 0, 16, 128, 256, 128, 64, 256}));
  // Position, spin, speed, fade rate and spreads are checked through the emission's values.
  EXPECT_EQ((Vec3f{p.gravity[1], p.gravityScale, p.size}), (Vec3f{-1, 3, 0.5f}));
  EXPECT_EQ(p.colour, (Colour{0.5f, 0.25f, 1, 1}));
  p.particles[3].angle = 42.0f;
  resetParticleSeed();
  p.spawn(3);
  const Particle& q = p.particles[3];
  EXPECT_EQ(q.velocity, (Vec3f{0, 2.0f + r(16656) * 1.0f, 0}));
  EXPECT_EQ(q.position,
            (Vec3f{1.0f + (0.5f - r(29466)) * 4.0f, 2.0f, 3.0f + (0.5f - r(6545)) * 8.0f}));
  EXPECT_EQ(q.acceleration, (Vec3f{0, -3, 1.5f}));
  EXPECT_EQ(q.fade, 0.5f + r(15851) * 0.25f);
  EXPECT_EQ(q.spinRate, 100.0f - r(11332) * 200.0f);
  EXPECT_EQ(q.angle, 42.0f);  // a re-emitted particle keeps its angle
}

TEST_F(ParticleTest, EmitterDirectionTurnsUpByTheAngles) {
  // (0, 1, 0) turned by the emitter angles (p3 to p5, radians about X, Y, Z): a quarter turn
  // about X points it along +Z, about Z along -X; about Y it stays. (No turn: the spawn above.)
  const std::pair<Vec3f, Vec3f> rows[] = {{{1.5707964f, 0, 0}, {0, 0, 1}},
                                          {{0, 0, 1.5707964f}, {-1, 0, 0}},
                                          {{0, 1.5707964f, 0}, {0, 1, 0}}};
  for (const auto& [a, expected] : rows) {
    ParticleObject p;
    p.applyCommand(*makeTrack(kSetEmitter, {0, 0, 0, a[0], a[1], a[2]}));
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(p.emitterDirection()[k], expected[k], 1e-6f) << a[0] << a[1] << a[2];
  }
}

TEST_F(ParticleTest, StepIntegratesVelocityFirstThenFadesAndUpdateReemits) {
  Particle q{{1, 0.5f, 0.25f, 1}, {}, {1, 0, 0}, {0, -10, 0}, 0.5f, 0.0f, 90.0f};
  EXPECT_FALSE(ParticleObject::step(q, 0.5f));
  EXPECT_EQ(q.velocity, (Vec3f{1, -5, 0}));
  EXPECT_EQ(q.position, (Vec3f{0.5f, -2.5f, 0}));
  EXPECT_EQ(q.colour, (Colour{0.75f, 0.25f, 0.0f, 0.75f}));
  EXPECT_EQ(q.angle, 45.0f);
  q.colour[3] = 0.25f;
  EXPECT_TRUE(ParticleObject::step(q, 0.5f));  // exactly 0 has run out
  q.colour[3] = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(ParticleObject::step(q, 0.0f));
  // An update re-emits a particle that ran out in the same update.
  ParticleObject p;
  p.resize(3);
  for (Particle& each : p.particles) each = Particle{{0, 0, 0, 1}, {9, 9, 9}, {}, {}, 1.0f};
  p.particles[1].colour[3] = 0.5f;  // runs out exactly at delta 0.5
  resetParticleSeed();
  p.update(0.0f, 0.5f);
  EXPECT_EQ(p.particles[0].colour[3], 0.5f);
  EXPECT_EQ(p.particles[1].colour[3], 1.0f);  // emitted anew
  EXPECT_EQ(p.particles[1].position, (Vec3f{0, 0, 0}));
  EXPECT_EQ(gState.particleSeed, 11332);  // exactly one emission: five numbers
}

// A new system emits its 20 particles twice, 5 numbers each, ending on the 200th value. The count
// is rounded and the new pool emitted with the settings before the command; the same count keeps
// the pool without drawing numbers; a negative one empties it, and an empty pool is not stepped.
// A pool larger than kMaxParticles is cut to it, every particle there and emitted.
TEST_F(ParticleTest, PoolSizesAndTextures) {
  resetParticleSeed();
  ParticleObject p;
  EXPECT_EQ(std::pair(p.particles.size(), gState.particleSeed), std::pair(size_t{20}, 20671));
  p.applyCommand(*makeTrack(kSetParticles, {5.4f, 0, 0, 40, 8, 0, 0, 0, 0, 256, 128, 0}));
  ASSERT_EQ(p.particles.size(), 5u);
  EXPECT_EQ(p.particles[0].colour, (Colour{1, 1, 1, 1}));  // emitted with the colour before
  const int32_t seed = gState.particleSeed;
  const Particle first = p.particles[0];
  p.applyCommand(*makeTrack(kSetParticles, {4.6f, 0, 0, 40}));
  EXPECT_EQ(gState.particleSeed, seed);
  EXPECT_EQ(p.particles[0].velocity, first.velocity);
  p.applyCommand(*makeTrack(kSetParticles, {-3}));
  EXPECT_TRUE(p.particles.empty());
  p.update(0.0f, 1.0f);
  EXPECT_EQ(gState.particleSeed, seed);
  for (int32_t n : {kMaxParticles + 1, INT32_MAX, kMaxParticles - 1}) {
    p.resize(n);
    EXPECT_EQ(p.particles.size(), static_cast<size_t>(std::min(n, kMaxParticles))) << n;
    EXPECT_EQ(p.count, std::min(n, kMaxParticles));
  }
  for (float index : {-1.0f, 7.0f}) {  // none, and past the end of an empty list
    p.applyCommand(*makeTrack(kSetParticleTexture, {index}));
    EXPECT_EQ(p.texture, nullptr) << index;
  }
}

TEST(CameraUp, RollTurnsTheUpVectorClockwise) {
  // (sin r, cos r, 0) with r in radians from pi = 3.14159: 90 degrees is 2.7e-6 short of a
  // quarter turn, so the y of roll 90 is about 1.3e-6, not 0.
  const std::pair<float, Vec3f> rows[] = {
      {0, {0, 1, 0}}, {90, {1, 1.3e-6f, 0}}, {180, {2.7e-6f, -1, 0}}, {-90, {-1, 1.3e-6f, 0}}};
  for (const auto& [roll, up] : rows)
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(cameraUpVector(roll)[k], up[k], 2e-7f) << roll;
}

TEST(GlowAndEcho, CopiesAndTheirCappedCounts) {
  // Glow copy i of n: t = i/n, offset t * amount * width * 0.02, colour (1 - t) * glow colour.
  // With amount 6 on 640 pixels the full offset is 76.8: copy 1 of 4 lies 19.2 out.
  const Colour c{0.5f, 1.0f, 0.25f, 0.06f};
  const std::tuple<int, float, std::array<float, 3>> glows[] = {
      {0, 0.0f, {0.5f, 1.0f, 0.25f}},
      {1, 19.2f, {0.375f, 0.75f, 0.1875f}},
      {3, 57.6f, {0.125f, 0.25f, 0.0625f}}};
  for (const auto& [i, offset, colour] : glows) {
    EXPECT_FLOAT_EQ(glowCopy(i, 4, 6.0f, c, 640).offset, offset) << i;
    EXPECT_EQ(glowCopy(i, 4, 6.0f, c, 640).colour, colour) << i;
  }
  // Echo copy i of n at angle i/n of a turn: 4 copies at 0, 90, 180 and 270 degrees.
  const std::array<float, 2> echoes[] = {{10, 0}, {0, 10}, {-10, 0}, {0, -10}};
  for (int32_t i = 0; i < 4; ++i)
    for (size_t k = 0; k < 2; ++k) EXPECT_NEAR(echoOffset(i, 4, 10.0f)[k], echoes[i][k], 1e-4f);
  // Counts: none below 1, the echo count truncated, both capped (10^9 asks for gigabytes).
  const int32_t glowCounts[][2] = {{4, 4}, {0, 0}, {-3, 0}, {1000000000, kMaxGlowPasses}};
  for (const auto& r : glowCounts) EXPECT_EQ(glowPassCount(r[0]), r[1]) << r[0];
  const float echoCounts[][2] = {{4.9f, 4}, {0.99f, 0}, {0, 0}, {-2, 0}, {1e9f, kMaxEchoCopies}};
  for (const auto& r : echoCounts) EXPECT_EQ(echoCopyCount(r[0]), r[1]) << r[0];
}

TEST(Viewport, PercentagesTruncateTowardZero) {
  SceneObject s;  // x, y, width and height in p3, p4, p6 and p7
  s.applyCommand(*makeTrack(kSetViewport, {1, 0, 0, 10, 33.3f, 0, 50, 66.7f}));
  const ViewportRect v = sceneViewport(s, 640, 480);  // 4.8 x 33.3 = 159.84, 4.8 x 66.7 = 320.16
  EXPECT_EQ((std::array<int, 4>{v.x, v.y, v.width, v.height}),
            (std::array<int, 4>{64, 159, 320, 320}));
}

glimmer::MeshObject* addMesh(float x, float y, float z, int blendMode, float start = 0.0f) {
  auto* m = new glimmer::MeshObject();
  m->translation = {x, y, z};
  m->material.blendMode = blendMode;
  m->startTime = start;
  m->endTime = 100.0f;
  (*glimmer::entityRegistry)[glimmer::Category::Mesh].append(m);
  return m;
}

// Opaque meshes nearest first, transparent (any non-zero blend mode) farthest first, equal
// distances in list order, each measured from the eye to the mesh's own translation.
TEST_F(RegistryTest, ActiveMeshesSplitByBlendModeAndSortFromTheEye) {
  auto* far = addMesh(0, 0, -10, 0);
  auto* nearMesh = addMesh(0, 0, -2, 0);
  auto* tieA = addMesh(0, 10, 0, 0);  // as far as `far`, later in the list
  auto* child = addMesh(0, 0, -1, 0);
  child->parent = addMesh(0, 0, -100, 0, 50.0f);  // an inactive parent far away
  auto* glassFar = addMesh(0, 0, -8, 2);
  auto* glassNear = addMesh(0, 3, 0, 1);
  auto* odd = addMesh(0, 0, -5, 3);
  auto* glassTie = addMesh(5, 0, 0, 1);  // as far as `odd`, later in the list
  glimmer::timeline->time = 1.0f;
  std::vector<SortEntry> opaque, transparent;
  collectMeshes({0, 0, 0}, opaque, transparent);
  auto meshes = [](const std::vector<SortEntry>& v) {
    std::vector<SceneEntity*> out;
    for (const auto& e : v) out.push_back(e.mesh);
    return out;
  };
  EXPECT_EQ(meshes(opaque), (std::vector<SceneEntity*>{child, nearMesh, far, tieA}));
  EXPECT_EQ(opaque[2].distance, 10.0f);
  EXPECT_EQ(meshes(transparent), (std::vector<SceneEntity*>{glassFar, odd, glassTie, glassNear}));
}

}  // namespace
}  // namespace render
