// Frame composition: the scene the timeline names supplies camera, projection, clear, fog and
// viewport; lights, meshes and particles are drawn through it, then the screen effects built
// from the 128 x 128 frame copy, the screen layers, text and the fade.
#include <cassert>
#include <cmath>

#include "mesh/mesh.h"
#include "platform/gl.h"
#include "platform/platform.h"
#include "render/internal.h"

namespace render {

namespace {

constexpr int kFrameCopySize = 128;

// One quad with texture coordinates (0,0) (1,0) (1,1) (0,1) from (x0, y0) to (x1, y1); the caller
// owns the begin/end pair.
void quadVertices(float x0, float y0, float x1, float y1) {
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(x0, y0);
  glTexCoord2f(1.0f, 0.0f);
  glVertex2f(x1, y0);
  glTexCoord2f(1.0f, 1.0f);
  glVertex2f(x1, y1);
  glTexCoord2f(0.0f, 1.0f);
  glVertex2f(x0, y1);
}

// Passes that would change no pixel are skipped. A copy drawn in a black colour adds nothing
// (the glow adds texel x colour, an echo ring texel x colour too), and a layer of alpha 0 blends
// to the frame itself.
bool isBlack(float r, float g, float b) { return !(r > 0.0f) && !(g > 0.0f) && !(b > 0.0f); }

bool glowAddsLight(const SceneObject& scene) {
  return (scene.effectFlags & kGlowFlag) && scene.glowAmount > 0.0f && scene.glowPasses > 0 &&
         !isBlack(scene.glowColour[0], scene.glowColour[1], scene.glowColour[2]);
}

bool echoAddsLight(const Track& track) {
  const auto& p = track.params;
  return track.isEnabled() && track.opcode() == kEchoRing && glimmer::toInt(p[1]) > 0 &&
         !isBlack(p[3], p[4], p[5]);
}

bool layerShows(const ScreenLayer& layer) { return layer.colour[3] > 0.0f; }

// The screen passes (background layer, glow, echo rings, layers, fade) lie at eye distance 0:
// 2D quads at z = 0 under an identity modelview. There exponential fog has the factor 1, and so
// has linear fog that starts beyond the eye (the factor end / (end - start) is clamped to 1), so
// fog leaves their pixels as they are and they are drawn with fog off, which spares llvmpipe the
// fog term on every pixel of every full-screen pass. Text is drawn at distance 1 and keeps fog.
bool fogSparesScreenPasses(const SceneObject& scene) {
  switch (scene.fogMode) {
    case GL_EXP:
    case GL_EXP2:
      return std::isfinite(scene.fogDensity);
    case GL_LINEAR:
      return scene.fogStart > 0.0f && scene.fogEnd > scene.fogStart && std::isfinite(scene.fogEnd);
    default:
      return false;
  }
}

// Whether anything in this frame reads the frame copy: the glow, an echo ring, or an active mesh
// that shows the copy as one of its textures. When nothing does, the small frame-copy pass is
// skipped; a mesh showing the copy needs the copy of every frame, since its next frame's copy
// pass shows this frame's copy.
bool frameCopyNeeded(const SceneObject& scene) {
  if (glowAddsLight(scene)) return true;
  for (auto* n = scene.tracksA.first(); n; n = n->next)
    if (echoAddsLight(*n->value)) return true;
  if (!glimmer::entityRegistry || !glimmer::timeline) return false;
  const glimmer::TextureObject* copy = frameCopy();
  for (const glimmer::MeshObject* mesh : meshEntities()) {
    if (mesh && glimmer::timeline->isActive(*mesh) &&
        (mesh->textures[0] == copy || mesh->textures[1] == copy))
      return true;
  }
  return false;
}

// The zoom glow: growing, darkening copies of the frame copy added over the frame.
void drawGlow(const SceneObject& scene) {
  selectTextureUnits(false, false);
  begin2D();
  glBlendFunc(GL_ONE_MINUS_SRC_COLOR, GL_ONE);
  glEnable(GL_BLEND);
  bindTexture(frameCopy());
  const float w = static_cast<float>(gState.screenWidth),
              h = static_cast<float>(gState.screenHeight);
  glBegin(GL_QUADS);
  const int32_t passes = glowPassCount(scene.glowPasses);
  for (int32_t i = 0; i < passes; ++i) {
    const GlowCopy c = glowCopy(i, passes, scene.glowAmount, scene.glowColour, gState.screenWidth);
    glColor3f(c.colour[0], c.colour[1], c.colour[2]);
    quadVertices(-c.offset, -c.offset, w + c.offset, h + c.offset);
  }
  glEnd();
  end2D();
}

// One echo ring: the frame copy in place plus n copies offset around a circle.
void drawEchoRing(const Track& track) {
  const auto& p = track.params;
  if (glimmer::toInt(p[1]) <= 0) return;
  selectTextureUnits(false, false);
  begin2D();
  glBlendFunc(GL_SRC_COLOR, GL_ONE);
  glEnable(GL_BLEND);
  bindTexture(frameCopy());
  glColor3f(p[3] / 255.0f, p[4] / 255.0f, p[5] / 255.0f);
  const float w = static_cast<float>(gState.screenWidth),
              h = static_cast<float>(gState.screenHeight);
  glBegin(GL_QUADS);
  quadVertices(0.0f, 0.0f, w, h);
  glEnd();
  const int32_t copies = echoCopyCount(p[1]);
  for (int32_t i = 0; i < copies; ++i) {
    const auto d = echoOffset(i, copies, p[0]);
    glBegin(GL_QUADS);
    quadVertices(d[0], d[1], w + d[0], h + d[1]);
    glEnd();
  }
  end2D();
}

// The background layer is a screen rectangle behind the 3D passes: drawn in pixels like the
// other layers, without depth, and the camera transform is restored afterwards.
void drawBackgroundLayer(const SceneObject& scene) {
  pushPixelProjection();
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  drawLayer(scene.backgroundLayer);
  popPixelProjection();
  glEnable(GL_DEPTH_TEST);
}

}  // namespace

void renderFrame() {
  assert(platform::hasGlContext() && "renderFrame() needs the show's GL context current");
  glViewport(0, 0, gState.screenWidth, gState.screenHeight);
  glColor3f(1.0f, 1.0f, 1.0f);
  gState.activeScene = nullptr;
  if (glimmer::timeline && glimmer::timeline->currentScene != -1)
    gState.activeScene =
        gState.scenes.at(glimmer::Category::Scene, glimmer::timeline->currentScene);
  if (gState.activeScene) {
    applyCamera(*gState.activeScene);
    drawScene(*gState.activeScene);
    glColor3f(1.0f, 1.0f, 1.0f);
  }
  glFlush();
}

void applyCamera(const SceneObject& scene) {
  if (gState.appliedFov != scene.fov) {
    gState.appliedFov = scene.fov;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(static_cast<double>(gState.appliedFov * scene.aspect),
                   static_cast<double>(scene.aspect), 0.01, 100.0);
    glMatrixMode(GL_MODELVIEW);
  }
  glLoadIdentity();
  const Vec3f up = cameraUpVector(scene.roll);
  gluLookAt(scene.eye[0], scene.eye[1], scene.eye[2], scene.target[0], scene.target[1],
            scene.target[2], up[0], up[1], up[2]);
}

void drawScene(SceneObject& scene) {
  // Clear.
  if (scene.clearEnabled) {
    const Colour& c = scene.clearWithFogColour ? scene.fogColour : scene.clearColour;
    glClearColor(c[0], c[1], c[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  } else {
    glClear(GL_DEPTH_BUFFER_BIT);
  }
  // Fog.
  if (scene.fogMode != -1) {
    glFogfv(GL_FOG_COLOR, scene.fogColour.data());
    glFogi(GL_FOG_MODE, scene.fogMode);
    glFogf(GL_FOG_DENSITY, scene.fogDensity);
    glFogf(GL_FOG_START, scene.fogStart);
    glFogf(GL_FOG_END, scene.fogEnd);
    glEnable(GL_FOG);
  } else {
    glDisable(GL_FOG);
  }
  // Frame-copy pass: the whole view squeezed into 128 x 128, copied, then cleared away. The
  // clear after it happens either way: with clearing off it is what clears the colour buffer.
  if (frameCopyNeeded(scene)) {
    glPushMatrix();
    glViewport(0, 0, kFrameCopySize, kFrameCopySize);
    applyLights();
    drawMeshes();
    copyFrameToTexture();
    glPopMatrix();
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  glViewport(0, 0, gState.screenWidth, gState.screenHeight);
  const bool screenFogOff = fogSparesScreenPasses(scene);
  if (scene.backgroundLayer.textureIndex != -1 && layerShows(scene.backgroundLayer)) {
    if (screenFogOff) glDisable(GL_FOG);
    drawBackgroundLayer(scene);
    if (screenFogOff) glEnable(GL_FOG);
  }
  if (scene.viewportEnabled) {
    const ViewportRect v = sceneViewport(scene, gState.screenWidth, gState.screenHeight);
    glViewport(v.x, v.y, v.width, v.height);
  }
  // Main pass.
  applyLights();
  drawMeshes();
  drawParticleSystems();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  if (screenFogOff) glDisable(GL_FOG);

  // A skipped glow or echo ring still leaves texturing off on both units, as drawing it would.
  if ((scene.effectFlags & kGlowFlag) && scene.glowAmount > 0.0f) {
    if (glowAddsLight(scene))
      drawGlow(scene);
    else
      selectTextureUnits(false, false);
  }
  for (auto* n = scene.tracksA.first(); n; n = n->next) {
    if (!n->value->isEnabled() || n->value->opcode() != kEchoRing) continue;
    if (echoAddsLight(*n->value))
      drawEchoRing(*n->value);
    else if (glimmer::toInt(n->value->params[1]) > 0)
      selectTextureUnits(false, false);
  }

  glViewport(0, 0, gState.screenWidth, gState.screenHeight);
  begin2D();
  for (auto* n = scene.tracksA.first(); n; n = n->next)
    if (n->value->isEnabled() && n->value->opcode() == kSetLayer) {
      const ScreenLayer layer = layerFromTrack(*n->value);
      if (layerShows(layer)) drawLayer(layer);
    }
  if (screenFogOff) glEnable(GL_FOG);
  for (auto* n = scene.tracksA.first(); n; n = n->next) {
    const Track& t = *n->value;
    if (!t.isEnabled() || t.opcode() != kDrawText) continue;
    glColor3f(t.params[3] / 256.0f, t.params[4] / 256.0f, t.params[5] / 256.0f);
    printText(static_cast<float>(gState.screenWidth) / 100.0f * t.params[0],
              static_cast<float>(gState.screenHeight) / 100.0f * t.params[1], t.nameOrNull());
  }
  if (scene.fadeColour[3] > 0.0f) {
    if (screenFogOff) glDisable(GL_FOG);
    selectTextureUnits(false, false);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glColor4fv(scene.fadeColour.data());
    drawFullScreenQuad();
    if (screenFogOff) glEnable(GL_FOG);
  }
  end2D();
}

void setDefaultProjection(float fov) {
  if (fov == 0.0f) fov = gState.appliedFov;
  gState.defaultFov = fov;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(static_cast<double>(gState.defaultFov) * 4.0 / 3.0, 4.0 / 3.0, 0.01, 100.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void pushPixelProjection() {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0.0, gState.screenWidth, 0.0, gState.screenHeight, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
}

void popPixelProjection() {
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

void begin2D() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, gState.screenWidth, 0.0, gState.screenHeight, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
}

void end2D() {
  setDefaultProjection(0.0f);
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
}

void drawFullScreenQuad() {
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2i(0, 0);
  glTexCoord2f(1.0f, 0.0f);
  glVertex2i(gState.screenWidth, 0);
  glTexCoord2f(1.0f, 1.0f);
  glVertex2i(gState.screenWidth, gState.screenHeight);
  glTexCoord2f(0.0f, 1.0f);
  glVertex2i(0, gState.screenHeight);
  glEnd();
}

void selectTextureUnits(bool unit0, bool unit1) {
  glext::glActiveTextureARB(GL_TEXTURE1_ARB);
  glext::glClientActiveTextureARB(GL_TEXTURE1_ARB);
  if (unit1)
    glEnable(GL_TEXTURE_2D);
  else
    glDisable(GL_TEXTURE_2D);
  glext::glActiveTextureARB(GL_TEXTURE0_ARB);
  glext::glClientActiveTextureARB(GL_TEXTURE0_ARB);
  if (unit0)
    glEnable(GL_TEXTURE_2D);
  else
    glDisable(GL_TEXTURE_2D);
}

void copyFrameToTexture() {
  bindTexture(frameCopy());
  glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 0, 0, kFrameCopySize, kFrameCopySize, 0);
}

void drawLayer(const ScreenLayer& layer) {
  const glimmer::TextureObject* texture = textureAt(layer.textureIndex);
  if (!texture) return;
  selectTextureUnits(true, false);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);
  glColor4fv(layer.colour.data());
  bindTexture(texture);
  const float x0 = static_cast<float>(gState.screenWidth) * layer.x,
              y0 = static_cast<float>(gState.screenHeight) * layer.y;
  const float w = static_cast<float>(gState.screenWidth) * layer.width,
              h = static_cast<float>(gState.screenHeight) * layer.height;
  glBegin(GL_QUADS);
  quadVertices(x0, y0, x0 + w, y0 + h);
  glEnd();
}

}  // namespace render
