// Particle systems: the shared random sequence, emission maths, the step and re-emission.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "render/internal.h"
#include "render_test_util.h"

namespace render {
namespace {

// Runs the 15-bit generator on a local state, as the emission does.
int32_t nextState(int32_t s) {
  return static_cast<int32_t>((static_cast<uint32_t>(s) * 15625u + 1u) & 0x7FFFu);
}

class ParticleTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    resetParticleSeed();
  }
};

TEST_F(ParticleTest, RandomSequenceFromTheStartValue) {
  EXPECT_EQ(particleSeed, 31337303);
  EXPECT_EQ(particleRandom(), 16656.0f / 32678.0f);
  EXPECT_EQ(particleSeed, 16656);
  EXPECT_EQ(particleRandom(), 6545.0f / 32678.0f);
  EXPECT_EQ(particleRandom(), 29466.0f / 32678.0f);
  resetParticleSeed();
  EXPECT_EQ(particleRandom(), 16656.0f / 32678.0f);
}

TEST_F(ParticleTest, RandomStaysWithinTheDivisorRange) {
  float largest = 0.0f;
  for (int i = 0; i < 40000; ++i) {
    const float r = particleRandom();
    ASSERT_GE(r, 0.0f);
    largest = std::max(largest, r);
  }
  EXPECT_LE(largest, 32767.0f / 32678.0f);
  EXPECT_GT(largest, 1.0f);  // the divisor is 32678, not 32768
}

TEST_F(ParticleTest, ConstructorEmitsTwentyParticlesTwice) {
  ParticleObject p;
  EXPECT_EQ(p.count, 20);
  ASSERT_EQ(p.particles.size(), 20u);
  int32_t s = kParticleSeedStart;
  for (int i = 0; i < 20 * 10; ++i) s = nextState(s);
  EXPECT_EQ(particleSeed, s);
  for (const Particle& q : p.particles) {
    // Defaults: direction (0, 1, 0), speed 10..15, fade 1..1.5, white, no spread, no spin.
    EXPECT_EQ(q.velocity[0], 0.0f);
    EXPECT_GE(q.velocity[1], 10.0f);
    EXPECT_LE(q.velocity[1], 15.02f);
    EXPECT_GE(q.fade, 1.0f);
    EXPECT_EQ(q.colour, (Colour{1, 1, 1, 1}));
    EXPECT_EQ(q.position, (Vec3f{0, 0, 0}));
    EXPECT_EQ(q.spinRate, 0.0f);
    EXPECT_EQ(q.angle, 0.0f);
  }
}

TEST_F(ParticleTest, SpawnDrawsFiveNumbersInOrder) {
  ParticleObject p;
  p.emitterPosition = {1, 2, 3};
  p.speed = 2.0f;
  p.spreadX = 4.0f;
  p.spreadZ = 8.0f;
  p.gravity = {0, -1, 0};
  p.gravityScale = 3.0f;
  p.fadeRate = 0.5f;
  p.spin = 100.0f;
  p.colour = {0.5f, 0.25f, 1.0f, 1.0f};
  p.particles[3].angle = 42.0f;
  resetParticleSeed();
  p.spawn(3);
  const Particle& q = p.particles[3];
  const float r1 = 16656.0f / 32678.0f, r2 = 6545.0f / 32678.0f, r3 = 29466.0f / 32678.0f;
  int32_t s = 29466;
  s = nextState(s);
  const float r4 = static_cast<float>(s) / 32678.0f;
  s = nextState(s);
  const float r5 = static_cast<float>(s) / 32678.0f;
  EXPECT_EQ(particleSeed, s);
  EXPECT_EQ(q.velocity[1], 2.0f + r1 * 1.0f);
  EXPECT_EQ(q.position[2], 3.0f + (0.5f - r2) * 8.0f);
  EXPECT_EQ(q.position[0], 1.0f + (0.5f - r3) * 4.0f);
  EXPECT_EQ(q.position[1], 2.0f);
  EXPECT_EQ(q.acceleration, (Vec3f{0, -3, 0}));
  EXPECT_EQ(q.fade, 0.5f + r4 * 0.25f);
  EXPECT_EQ(q.spinRate, 100.0f - r5 * 200.0f);
  EXPECT_EQ(q.colour, p.colour);
  EXPECT_EQ(q.angle, 42.0f);  // a re-emitted particle keeps its angle
}

TEST_F(ParticleTest, EmitterDirectionIsTheSecondRotationRow) {
  ParticleObject p;
  EXPECT_EQ(p.emitterDirection(), (Vec3f{0, 1, 0}));
  p.emitterAngles = {1.5707964f, 0, 0};  // about X: +Y turns to +Z
  const Vec3f d = p.emitterDirection();
  EXPECT_NEAR(d[0], 0.0f, 1e-6f);
  EXPECT_NEAR(d[1], 0.0f, 1e-6f);
  EXPECT_NEAR(d[2], 1.0f, 1e-6f);
  p.emitterAngles = {0.3f, 0.7f, -1.1f};
  const Vec3f e = p.emitterDirection();
  EXPECT_NEAR(e[0] * e[0] + e[1] * e[1] + e[2] * e[2], 1.0f, 1e-5f);
  EXPECT_NEAR(e[0],
              std::sin(0.3f) * std::sin(0.7f) * std::cos(-1.1f) - std::cos(0.3f) * std::sin(-1.1f),
              1e-6f);
}

TEST_F(ParticleTest, NegativeSpeedEmitsBackwardsWithHalfJitter) {
  ParticleObject p;
  p.speed = -0.4f;
  p.spawnAll();
  for (const Particle& q : p.particles) {
    EXPECT_LE(q.velocity[1], -0.4f);
    EXPECT_GE(q.velocity[1], -0.6011f);
  }
}

TEST_F(ParticleTest, StepIntegratesVelocityFirstThenFades) {
  Particle q;
  q.velocity = {1, 0, 0};
  q.acceleration = {0, -10, 0};
  q.colour = {1, 0.5f, 0.25f, 1};
  q.fade = 0.5f;
  q.spinRate = 90.0f;
  EXPECT_FALSE(ParticleObject::step(q, 0.5f));
  EXPECT_EQ(q.velocity, (Vec3f{1, -5, 0}));
  EXPECT_EQ(q.position, (Vec3f{0.5f, -2.5f, 0}));
  EXPECT_EQ(q.colour, (Colour{0.75f, 0.25f, 0.0f, 0.75f}));
  EXPECT_EQ(q.angle, 45.0f);
  q.colour[3] = 0.25f;
  EXPECT_TRUE(ParticleObject::step(q, 0.5f));  // exactly 0 has run out
  q.colour[3] = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(ParticleObject::step(q, 0.0f));
  Particle immortal;
  immortal.fade = 0.0f;
  for (int i = 0; i < 100; ++i) EXPECT_FALSE(ParticleObject::step(immortal, 1.0f));
}

TEST_F(ParticleTest, FadeRateBoundsTheLifetime) {
  ParticleObject p;
  p.fadeRate = 0.08f;
  p.spawnAll();
  for (const Particle& q : p.particles) {
    EXPECT_GE(q.fade, 0.08f);
    EXPECT_LE(q.fade, 0.08f * 1.5f * 1.0028f);
  }
}

// A pool larger than kMaxParticles is cut to it: the particles are there and every one emitted.
TEST_F(ParticleTest, PoolSizeIsCappedAtTheParticleLimit) {
  ParticleObject p;
  p.resize(kMaxParticles + 1);
  EXPECT_EQ(p.count, kMaxParticles);
  EXPECT_EQ(p.particles.size(), static_cast<size_t>(kMaxParticles));
  p.resize(INT32_MAX);
  EXPECT_EQ(p.count, kMaxParticles);
  EXPECT_EQ(p.particles.size(), static_cast<size_t>(kMaxParticles));
  p.resize(kMaxParticles - 1);
  EXPECT_EQ(p.particles.size(), static_cast<size_t>(kMaxParticles - 1));
}

TEST_F(ParticleTest, UpdateReemitsFadedParticlesInTheSameUpdate) {
  ParticleObject p;
  p.resize(3);
  p.fadeRate = 1.0f;
  for (Particle& q : p.particles) {
    q.fade = 1.0f;
    q.colour[3] = 1.0f;
  }
  p.particles[1].colour[3] = 0.5f;  // runs out exactly at delta 0.5
  p.particles[1].position = {9, 9, 9};
  const int32_t before = particleSeed;
  p.update(0.0f, 0.5f);
  EXPECT_EQ(p.particles[0].colour[3], 0.5f);
  EXPECT_EQ(p.particles[1].colour[3], 1.0f);  // emitted anew
  EXPECT_EQ(p.particles[1].position, (Vec3f{0, 0, 0}));
  int32_t s = before;
  for (int i = 0; i < 5; ++i) s = nextState(s);
  EXPECT_EQ(particleSeed, s);
}

TEST_F(ParticleTest, SetParticlesResizesWithThePreviousSettings) {
  ParticleObject p;
  p.applyCommand(*makeTrack(kSetParticles, {5.4f, 0, 0, 40, 8, 0, 16, 32, 64, 256, 128, 0}));
  EXPECT_EQ(p.count, 5);
  ASSERT_EQ(p.particles.size(), 5u);
  EXPECT_EQ(p.particles[0].colour, (Colour{1, 1, 1, 1}));  // emitted before the colour changed
  EXPECT_GE(p.particles[0].velocity[1], 10.0f);            // and with the old speed
  EXPECT_EQ(p.speed, 4.0f);
  EXPECT_EQ(p.fadeRate, 0.8f);
  EXPECT_EQ(p.size, 0.5f);
  EXPECT_EQ(p.spreadX, 1.0f);
  EXPECT_EQ(p.spreadZ, 2.0f);
  EXPECT_EQ(p.colour, (Colour{1, 0.5f, 0, 1}));

  const int32_t seed = particleSeed;
  const Particle first = p.particles[0];
  p.applyCommand(*makeTrack(kSetParticles, {4.6f, 0, 0, 40}));  // rounds to the same count
  EXPECT_EQ(particleSeed, seed);
  EXPECT_EQ(p.particles[0].velocity, first.velocity);

  p.applyCommand(*makeTrack(kSetParticles, {-3}));
  EXPECT_TRUE(p.particles.empty());
  p.update(0.0f, 1.0f);  // a pool without particles is not stepped
  EXPECT_EQ(particleSeed, seed);
}

TEST_F(ParticleTest, EmitterTextureAndGravityOpcodes) {
  ParticleObject p;
  p.applyCommand(*makeTrack(kSetEmitter, {32, -64, 16, 0.5f, 1.0f, 1.5f, 20}));
  EXPECT_EQ(p.emitterPosition, (Vec3f{1, -2, 0.5f}));
  EXPECT_EQ(p.emitterAngles, (Vec3f{0.5f, 1.0f, 1.5f}));
  EXPECT_EQ(p.spin, 200.0f);
  p.applyCommand(*makeTrack(kSetGravity, {0, -98, 5, 0.5f}));
  EXPECT_EQ(p.gravity, (Vec3f{0, -9.8f, 0.5f}));
  EXPECT_EQ(p.gravityScale, 0.5f);
  p.applyCommand(*makeTrack(kSetParticleTexture, {-1}));
  EXPECT_EQ(p.texture, nullptr);
  p.applyCommand(*makeTrack(kSetParticleTexture, {7}));  // past the end of an empty list
  EXPECT_EQ(p.texture, nullptr);
}

TEST_F(ParticleTest, SpinRatesLieWithinPlusMinusSpin) {
  ParticleObject p;
  p.spin = 200.0f;
  p.resize(200);
  for (const Particle& q : p.particles) {
    EXPECT_LE(q.spinRate, 200.0f);
    EXPECT_GE(q.spinRate, 200.0f - 400.0f * 32767.0f / 32678.0f - 0.01f);
  }
}

}  // namespace
}  // namespace render
