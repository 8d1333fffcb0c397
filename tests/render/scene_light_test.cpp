// Scene and light commands with their scalings, and the entity factory. The numbering of the GL
// lights is checked on a real context (frame_gl_test).
#include <gtest/gtest.h>

#include <cmath>

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
  EXPECT_EQ(s.backgroundLayer.textureIndex, -1);
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

}  // namespace
}  // namespace render
