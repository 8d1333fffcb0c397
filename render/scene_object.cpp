// Scene objects (camera, projection, fog, clear, viewport, effects) and lights with the light pass.
#include "platform/gl.h"
#include "render/internal.h"

namespace render {

using glimmer::toInt;

ScreenLayer layerFromParams(const std::array<float, glimmer::kParamCount>& p) {
  ScreenLayer l;
  l.textureIndex = toInt(p[0]);
  l.x = p[3] / 100.0f;
  l.y = p[4] / 100.0f;
  l.width = p[6] / 100.0f;
  l.height = p[7] / 100.0f;
  l.colour = {p[9] / 255.0f, p[10] / 255.0f, p[11] / 255.0f, p[1] / 255.0f};
  return l;
}

ScreenLayer layerFromTrack(const Track& track) {
  ScreenLayer l = layerFromParams(track.params);
  l.textureIndex = glimmer::roundToInt(track.params[0]);
  return l;
}

int SceneObject::applyCommand(const Track& track) {
  const auto& p = track.params;
  switch (track.opcode()) {
    case kSetCamera:
      eye = {p[0] / 32.0f, p[1] / 32.0f, p[2] / 32.0f};
      target = {p[3] / 32.0f, p[4] / 32.0f, p[5] / 32.0f};
      roll = p[6];
      break;
    case kSetFog:
      switch (toInt(p[0])) {
        case 0:
          fogMode = GL_LINEAR;
          break;
        case 1:
          fogMode = GL_EXP;
          break;
        case 2:
          fogMode = GL_EXP2;
          break;
        default:
          fogMode = -1;
          break;
      }
      fogColour = {p[3] / 256.0f, p[4] / 256.0f, p[5] / 256.0f, 1.0f};
      fogStart = p[6] / 32.0f;
      fogEnd = p[7] / 32.0f;
      fogDensity = p[9] / 100.0f;
      break;
    case kSetClear:
      clearEnabled = p[0] > 0.0f;
      clearWithFogColour = p[6] > 0.0f;
      clearColour = {p[3] / 256.0f, p[4] / 256.0f, p[5] / 256.0f, 1.0f};
      break;
    case kSetFade:
      fadeColour = {p[3] / 256.0f, p[4] / 256.0f, p[5] / 256.0f, p[0] / 100.0f};
      break;
    case kSetGlow:
      if (p[0] > 0.0f) {
        effectFlags |= kGlowFlag;
        glowAmount = p[0];
        glowPasses = toInt(p[1]);
        glowColour = {p[3] / 256.0f, p[4] / 256.0f, p[5] / 256.0f, p[0] / 100.0f};
      } else {
        effectFlags &= ~kGlowFlag;
      }
      break;
    case kSetLayer:
      storedLayer = layerFromParams(p);
      break;
    case kSetBackgroundLayer:
      backgroundLayer = layerFromParams(p);
      break;
    case kSetViewport:
      viewportEnabled = p[0] > 0.0f;
      viewportX = p[3];
      viewportY = p[4];
      viewportWidth = p[6];
      viewportHeight = p[7];
      fov = p[9];
      aspect = p[10];
      break;
    default:  // DrawText and EchoRing are read by the frame renderer; others do nothing
      break;
  }
  return 0;
}

int LightObject::applyCommand(const Track& track) {
  const auto& p = track.params;
  switch (track.opcode()) {
    case kSetLightPosition:
      position = {p[0] / 32.0f, p[1] / 32.0f, p[2] / 32.0f, 1.0f};
      break;
    case kSetLightColours:
      ambient = {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, 1.0f};
      diffuse = {p[3] / 255.0f, p[4] / 255.0f, p[5] / 255.0f, 1.0f};
      specular = {p[6] / 255.0f, p[7] / 255.0f, p[8] / 255.0f, 1.0f};
      break;
    default:
      break;
  }
  return 0;
}

std::array<LightObject*, kLightCount> assignLights() {
  std::array<LightObject*, kLightCount> out{};
  if (!glimmer::entityRegistry || !glimmer::timeline) return out;
  const auto& lights = lightEntities();
  for (int i = 0; i < kLightCount && static_cast<size_t>(i) < lights.size(); ++i) {
    LightObject* light = lights[static_cast<size_t>(i)];
    if (light && glimmer::timeline->isActive(*light)) {
      light->lightIndex = i;
      out[static_cast<size_t>(i)] = light;
    }
  }
  return out;
}

void applyLights() {
  const auto lights = assignLights();
  for (int i = 0; i < kLightCount; ++i) {
    const GLenum id = static_cast<GLenum>(GL_LIGHT0 + i);
    const LightObject* light = lights[static_cast<size_t>(i)];
    if (!light) {
      glDisable(id);
      continue;
    }
    glEnable(id);
    glLightfv(id, GL_AMBIENT, light->ambient.data());
    glLightfv(id, GL_DIFFUSE, light->diffuse.data());
    glLightfv(id, GL_SPECULAR, light->specular.data());
    glLightfv(id, GL_POSITION, light->position.data());
  }
}

}  // namespace render
