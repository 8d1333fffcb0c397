// Particle systems: the shared random sequence, commands, emission, the step and re-emission.
// The random values are the 15-bit sequence x -> (x * 15625 + 1) mod 2^15 from the reset seed
// 31337303, worked out by hand: 16656, 6545, 29466, 15851, 11332, ..., each divided by 32678.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "render/internal.h"
#include "render_test_util.h"

namespace render {
namespace {

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
  EXPECT_EQ(p.emitterPosition, (Vec3f{1, 2, 3}));
  EXPECT_EQ((Colour{p.gravity[0], p.gravity[1], p.gravity[2], p.gravityScale}),
            (Colour{0, -1, 0.5f, 3}));
  EXPECT_EQ((std::array<float, 6>{p.spin, p.speed, p.fadeRate, p.size, p.spreadX, p.spreadZ}),
            (std::array<float, 6>{100, 2, 0.5f, 0.5f, 4, 8}));
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
  EXPECT_EQ(q.colour, p.colour);
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

}  // namespace
}  // namespace render
