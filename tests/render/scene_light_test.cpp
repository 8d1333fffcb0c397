// Scene and light objects: defaults, every opcode, and the numbering of the seven GL lights.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/gl.h"
#include "render/internal.h"
#include "render_test_util.h"

namespace render {
namespace {

using glimmer::Track;

TEST(SceneObject, FreshSceneLooksDownMinusZWithDefaults) {
  SceneObject s;
  EXPECT_EQ(s.eye, (Vec3f{0, 0, 0}));
  EXPECT_EQ(s.target, (Vec3f{0, 0, -10}));
  EXPECT_EQ(
      (std::array<float, 6>{s.fov, s.aspect, s.fogStart, s.fogEnd, s.fogDensity, s.glowAmount}),
      (std::array<float, 6>{70, 1.33f, 0.1f, 6, 0.5f, 6}));
  EXPECT_TRUE(s.clearEnabled && !s.clearWithFogColour && !s.viewportEnabled);
  EXPECT_EQ(s.clearColour, (Colour{0, 0, 0, 1}));
  EXPECT_EQ(s.fogColour, (Colour{0.5f, 0.5f, 0.5f, 1}));
  EXPECT_EQ((std::array<int, 5>{s.fogMode, int(s.effectFlags), s.glowPasses,
                                s.storedLayer.textureIndex, s.backgroundLayer.textureIndex}),
            (std::array<int, 5>{-1, 0, 4, -1, -1}));
  EXPECT_EQ(s.fadeColour[3], 0.0f);
  EXPECT_EQ(s.backgroundLayer.colour, (Colour{1, 1, 1, 1}));
  EXPECT_EQ(s.viewportWidth + s.viewportHeight, 200.0f);
  EXPECT_EQ(s.spare, 64);
}

TEST(SceneObject, CameraFogClearFadeScaleTheirParameters) {
  SceneObject s;
  s.applyCommand(*makeTrack(kSetCamera, {32, 64, -96, 16, 0, -320, 45}));
  EXPECT_EQ(s.eye, (Vec3f{1, 2, -3}));
  EXPECT_EQ(s.target, (Vec3f{0.5f, 0, -10}));
  EXPECT_EQ(s.roll, 45.0f);

  s.applyCommand(*makeTrack(kSetFog, {1, 0, 0, 128, 64, 256, 16, 320, 0, 25}));
  EXPECT_EQ(s.fogMode, GL_EXP);
  EXPECT_EQ(s.fogColour, (Colour{0.5f, 0.25f, 1.0f, 1.0f}));
  EXPECT_EQ(s.fogStart, 0.5f);
  EXPECT_EQ(s.fogEnd, 10.0f);
  EXPECT_EQ(s.fogDensity, 0.25f);
  // Mode truncated toward zero: 0 linear, 1 exp, 2 exp2, anything else off.
  const std::pair<float, int> modes[] = {{0.9f, GL_LINEAR}, {2, GL_EXP2}, {3, -1}, {-1, -1}};
  for (const auto& [p0, mode] : modes) {
    s.applyCommand(*makeTrack(kSetFog, {p0}));
    EXPECT_EQ(s.fogMode, mode) << p0;
  }

  s.applyCommand(*makeTrack(kSetClear, {0, 0, 0, 64, 128, 192, 1}));
  EXPECT_FALSE(s.clearEnabled);
  EXPECT_TRUE(s.clearWithFogColour);
  EXPECT_EQ(s.clearColour, (Colour{0.25f, 0.5f, 0.75f, 1}));
  s.applyCommand(*makeTrack(kSetClear, {NAN, 0, 0, 0, 0, 0, NAN}));
  EXPECT_FALSE(s.clearEnabled);  // NaN is not > 0
  EXPECT_FALSE(s.clearWithFogColour);

  s.applyCommand(*makeTrack(kSetFade, {50, 0, 0, 256, 0, 128}));
  EXPECT_EQ(s.fadeColour, (Colour{1.0f, 0, 0.5f, 0.5f}));
}

TEST(SceneObject, GlowOffKeepsTheOtherGlowFields) {
  SceneObject s;
  s.applyCommand(*makeTrack(kSetGlow, {3, 6.9f, 0, 128, 64, 32}));
  EXPECT_EQ(s.effectFlags, kGlowFlag);
  EXPECT_EQ(s.glowAmount, 3.0f);
  EXPECT_EQ(s.glowPasses, 6);
  EXPECT_EQ(s.glowColour, (Colour{0.5f, 0.25f, 0.125f, 0.03f}));
  s.applyCommand(*makeTrack(kSetGlow, {0, 9, 0, 1, 1, 1}));
  EXPECT_EQ(s.effectFlags, 0u);
  EXPECT_EQ(s.glowAmount, 3.0f);
  EXPECT_EQ(s.glowPasses, 6);
  EXPECT_EQ(s.glowColour[0], 0.5f);
  s.applyCommand(*makeTrack(kSetGlow, {-2}));
  EXPECT_EQ(s.effectFlags, 0u);
}

TEST(SceneObject, LayersTruncateWhenStoredAndRoundWhenDrawn) {
  SceneObject s;
  const auto t = makeTrack(kSetLayer, {2.6f, 255, 0, 10, 20, 0, 50, 25, 0, 255, 51, 0});
  s.applyCommand(*t);
  EXPECT_EQ(s.storedLayer.textureIndex, 2);
  EXPECT_EQ(s.storedLayer.x, 0.1f);
  EXPECT_EQ(s.storedLayer.y, 0.2f);
  EXPECT_EQ(s.storedLayer.width, 0.5f);
  EXPECT_EQ(s.storedLayer.height, 0.25f);
  EXPECT_EQ(s.storedLayer.colour, (Colour{1.0f, 0.2f, 0.0f, 1.0f}));
  EXPECT_EQ(s.backgroundLayer.textureIndex, -1);
  EXPECT_EQ(layerFromTrack(*t).textureIndex, 3);
  EXPECT_EQ(layerFromTrack(*makeTrack(kSetLayer, {2.5f})).textureIndex, 2);  // ties to even
  EXPECT_EQ(layerFromTrack(*makeTrack(kSetLayer, {-1})).textureIndex, -1);

  s.applyCommand(*makeTrack(kSetBackgroundLayer, {4, 128, 0, 0, 0, 0, 100, 100}));
  EXPECT_EQ(s.backgroundLayer.textureIndex, 4);
  EXPECT_EQ(s.backgroundLayer.width, 1.0f);
}

TEST(SceneObject, ViewportIsUnscaledAndUnknownOpcodesDoNothing) {
  SceneObject s;
  s.applyCommand(*makeTrack(kSetViewport, {1, 0, 0, 10, 20, 0, 50, 60, 0, 45, 2}));
  EXPECT_TRUE(s.viewportEnabled);
  EXPECT_EQ(s.viewportX, 10.0f);
  EXPECT_EQ(s.viewportY, 20.0f);
  EXPECT_EQ(s.viewportWidth, 50.0f);
  EXPECT_EQ(s.viewportHeight, 60.0f);
  EXPECT_EQ(s.fov, 45.0f);
  EXPECT_EQ(s.aspect, 2.0f);
  const SceneObject before;
  SceneObject other;
  for (uint8_t op : {uint8_t{8}, uint8_t{9}, uint8_t{10}, uint8_t{255}})
    other.applyCommand(*makeTrack(op, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(other.eye, before.eye);
  EXPECT_EQ(other.fogMode, before.fogMode);
  EXPECT_EQ(other.fov, before.fov);
  EXPECT_EQ(other.effectFlags, before.effectFlags);
}

TEST(LightObject, DefaultsAndOpcodes) {
  LightObject l;
  EXPECT_EQ(l.position, (Colour{0, 1, 0, 1}));
  EXPECT_EQ(l.ambient, (Colour{0.3f, 0.3f, 0.3f, 1}));
  EXPECT_EQ(l.diffuse, (Colour{0.7f, 0.7f, 0.7f, 1}));
  EXPECT_EQ(l.specular, (Colour{0.6f, 0.6f, 0.6f, 1}));
  l.applyCommand(*makeTrack(kSetLightPosition, {64, -32, 16}));
  EXPECT_EQ(l.position, (Colour{2, -1, 0.5f, 1}));
  l.applyCommand(*makeTrack(kSetLightColours, {255, 0, 51, 102, 255, 0, 0, 0, 255}));
  EXPECT_EQ(l.ambient, (Colour{1, 0, 0.2f, 1}));
  EXPECT_EQ(l.diffuse, (Colour{0.4f, 1, 0, 1}));
  EXPECT_EQ(l.specular, (Colour{0, 0, 1, 1}));
}

TEST_F(RegistryTest, LightNumbersArePositionsAndOnlySevenAreUsed) {
  std::vector<LightObject*> lights;
  for (int i = 0; i < 9; ++i) {
    auto* l = new LightObject();
    l->startTime = 0.0f;
    l->endTime = 10.0f;
    l->lightIndex = 99;
    lights.push_back(l);
    (*glimmer::entityRegistry)[glimmer::Category::Light].append(l);
  }
  lights[2]->endTime = 0.5f;  // inactive at time 1
  glimmer::timeline->time = 1.0f;
  const auto chosen = assignLights();
  for (int i = 0; i < kLightCount; ++i) {
    if (i == 2) {
      EXPECT_EQ(chosen[2], nullptr);
      EXPECT_EQ(lights[2]->lightIndex, 99);
    } else {
      EXPECT_EQ(chosen[static_cast<size_t>(i)], lights[static_cast<size_t>(i)]);
      EXPECT_EQ(lights[static_cast<size_t>(i)]->lightIndex, i);
    }
  }
  EXPECT_EQ(lights[7]->lightIndex, 99);  // the eighth light is never considered
  EXPECT_EQ(lights[8]->lightIndex, 99);
}

TEST(SceneFactory, CreatesOnlyRenderingCategories) {
  using glimmer::Category;
  for (auto c : {Category::Light, Category::Scene, Category::Particle})
    EXPECT_NE(std::unique_ptr<glimmer::SceneEntity>(createEntity(c)).get(), nullptr);
  EXPECT_NE(dynamic_cast<LightObject*>(
                std::unique_ptr<glimmer::SceneEntity>(createEntity(Category::Light)).get()),
            nullptr);
  for (auto c : {Category::Texture, Category::Mesh, Category::Timeline})
    EXPECT_EQ(createEntity(c), nullptr);
}

}  // namespace
}  // namespace render
