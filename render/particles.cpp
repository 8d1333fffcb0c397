// Particle systems: fixed pools of camera-facing quads emitted from a point, stepped while the
// system is active and drawn additively after the meshes of the main view.
#include <algorithm>
#include <cmath>
#include <new>

#include "platform/gl.h"
#include "render/internal.h"

namespace render {

void resetParticleSeed() { gState.particleSeed = kParticleSeedStart; }
void resetParticleRandom() { resetParticleSeed(); }

float particleRandom() {
  const uint32_t next = static_cast<uint32_t>(gState.particleSeed) * 15625u + 1u;
  gState.particleSeed = static_cast<int32_t>(next & 0x7FFFu);
  return static_cast<float>(gState.particleSeed) / 32678.0f;
}

ParticleObject::ParticleObject() {
  // The pool starts without particles so that resize(20) allocates and emits them; the
  // constructor then emits every particle once more.
  count = 0;
  resize(20);
  spawnAll();
}

void ParticleObject::resize(int32_t n) {
  n = std::min(n, kMaxParticles);
  if (n == count) return;
  particles.clear();
  particles.shrink_to_fit();
  count = n;
  if (n > 0) {
    try {
      particles.assign(static_cast<size_t>(n), Particle{});
    } catch (const std::bad_alloc&) {
      particles.clear();  // a pool without an array is never stepped or drawn
    }
  }
  spawnAll();
}

void ParticleObject::spawnAll() {
  for (int32_t i = 0; i < count && static_cast<size_t>(i) < particles.size(); ++i) spawn(i);
}

Vec3f ParticleObject::emitterDirection() const {
  const float ax = emitterAngles[0], ay = emitterAngles[1], az = emitterAngles[2];
  const float sx = std::sin(ax), cx = std::cos(ax);
  const float sy = std::sin(ay), cy = std::cos(ay);
  const float sz = std::sin(az), cz = std::cos(az);
  return {sx * sy * cz - cx * sz, sx * sy * sz + cx * cz, sx * cy};
}

void ParticleObject::spawn(int32_t i) {
  if (i < 0 || static_cast<size_t>(i) >= particles.size()) return;
  Particle& p = particles[static_cast<size_t>(i)];
  const Vec3f d = emitterDirection();
  const float v = speed + particleRandom() * (speed * 0.5f);
  p.velocity = {d[0] * v, d[1] * v, d[2] * v};
  const float dz = (0.5f - particleRandom()) * spreadZ;
  const float dx = (0.5f - particleRandom()) * spreadX;
  p.position = {emitterPosition[0] + dx, emitterPosition[1], emitterPosition[2] + dz};
  p.acceleration = {gravity[0] * gravityScale, gravity[1] * gravityScale,
                    gravity[2] * gravityScale};
  p.fade = fadeRate + particleRandom() * (fadeRate * 0.5f);
  p.colour = colour;
  p.spinRate = spin - particleRandom() * (2.0f * spin);
}

bool ParticleObject::step(Particle& p, float delta) {
  for (int k = 0; k < 3; ++k) p.velocity[k] += p.acceleration[k] * delta;
  for (int k = 0; k < 3; ++k) p.position[k] += p.velocity[k] * delta;
  for (int k = 0; k < 4; ++k) p.colour[k] -= delta * p.fade;
  p.angle += delta * p.spinRate;
  return !(p.colour[3] > 0.0f);
}

int ParticleObject::applyCommand(const Track& track) {
  const auto& p = track.params;
  switch (track.opcode()) {
    case kSetEmitter:
      emitterPosition = {p[0] / 32.0f, p[1] / 32.0f, p[2] / 32.0f};
      emitterAngles = {p[3], p[4], p[5]};
      spin = p[6] * 10.0f;
      break;
    case kSetParticles:
      // Resizing first: the particles it emits use the settings in force before this command.
      resize(glimmer::roundToInt(p[0]));
      speed = p[3] / 10.0f;
      fadeRate = p[4] / 10.0f;
      size = p[6] / 32.0f;
      spreadX = p[7] / 32.0f;
      spreadZ = p[8] / 32.0f;
      colour = {p[9] / 256.0f, p[10] / 256.0f, p[11] / 256.0f, 1.0f};
      break;
    case kSetParticleTexture:
      texture = textureAt(glimmer::roundToInt(p[0]));
      break;
    case kSetGravity:
      gravity = {p[0] / 10.0f, p[1] / 10.0f, p[2] / 10.0f};
      gravityScale = p[3];
      break;
    default:
      break;
  }
  return 0;
}

void ParticleObject::update(float time, float delta) {
  SceneEntity::update(time, delta);
  for (int32_t i = 0; i < count && static_cast<size_t>(i) < particles.size(); ++i)
    if (step(particles[static_cast<size_t>(i)], delta)) spawn(i);
}

void ParticleObject::draw() {
  if (particles.empty()) return;
  glPushMatrix();
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  // The alpha function is fixed here rather than inherited from the last mesh material.
  glAlphaFunc(GL_GREATER, 0.0f);
  glEnable(GL_ALPHA_TEST);
  glDisable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glDepthMask(GL_FALSE);
  const float s = size;
  for (int32_t i = 0; i < count && static_cast<size_t>(i) < particles.size(); ++i) {
    const Particle& p = particles[static_cast<size_t>(i)];
    glPushMatrix();
    glColor4fv(p.colour.data());
    glTranslatef(p.position[0], p.position[1], p.position[2]);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int c = 0; c < 3; ++c)
      for (int r = 0; r < 3; ++r) m[c * 4 + r] = (c == r) ? 1.0f : 0.0f;
    m[3] = m[7] = m[11] = 0.0f;
    m[15] = 1.0f;
    glLoadMatrixf(m);
    glRotatef(p.angle, 0.0f, 0.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-s, -s, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(s, -s, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(s, s, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-s, s, 0.0f);
    glEnd();
    glPopMatrix();
  }
  glDepthMask(GL_TRUE);
  glPopMatrix();
}

namespace {

// Unit 1 off, unit 0 textured with the system's texture (or untextured).
void bindParticleTexture(const ParticleObject& system) {
  glext::glActiveTextureARB(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  glext::glActiveTextureARB(GL_TEXTURE0_ARB);
  if (system.texture) {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_2D);
    bindTexture(system.texture);
  } else {
    glDisable(GL_TEXTURE_2D);
  }
}

}  // namespace

void drawParticleSystems() {
  if (!glimmer::entityRegistry || !glimmer::timeline) return;
  for (ParticleObject* system : particleEntities()) {
    if (!system || !glimmer::timeline->isActive(*system)) continue;
    bindParticleTexture(*system);
    system->draw();
  }
}

}  // namespace render
