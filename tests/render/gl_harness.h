// Renderer tests on a real GL context (SDL's offscreen driver on Mesa llvmpipe, started as the show
// starts it), content builders for test scenes and frame read-back.
#pragma once

#include <functional>

#include "app/gl_context.h"
#include "app/shell.h"
#include "mesh/mesh.h"
#include "platform/gl.h"
#include "platform/platform.h"
#include "render/internal.h"
#include "render_test_util.h"
#include "texgen/texgen.h"

namespace render::test {

using glimmer::MeshObject;
using glimmer::MeshOp;
using Frame = std::vector<uint8_t>;  // RGBA bytes, top row first

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// The RGBA of pixel x of a row counted from the top.
inline std::array<uint8_t, 4> pixelAt(const Frame& f, int x, int row) {
  const size_t i = (static_cast<size_t>(row) * kWidth + static_cast<size_t>(x)) * 4;
  return {f[i], f[i + 1], f[i + 2], f[i + 3]};
}
// GL state: a capability; element i of a state as a float (enums and booleans come out exact);
// the source and destination blend factors.
inline bool on(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }
inline float state(GLenum name, size_t i = 0) {
  GLfloat v[16] = {};
  glGetFloatv(name, v);
  return v[i];
}
inline std::array<float, 2> blendFunc() { return {state(GL_BLEND_SRC), state(GL_BLEND_DST)}; }
// A GL entry point beyond those the show loads.
template <typename F>
F entry(const char* name) {
  return reinterpret_cast<F>(platform::glProcAddress(name));
}

// One track of a test mesh; a disabled one is stored but not applied.
struct Op {
  MeshOp op;
  std::initializer_list<float> params;
  const char* name = nullptr;
  bool enabled = true;
};

// A registry and timeline at time 0 with the context (opened once per process) current, scene 0
// shown; the test is skipped without a context. Entities added live until time 1000.
class GlSceneTest : public RegistryTest {
 public:
  void SetUp() override {
    RegistryTest::SetUp();
    static const std::string error = [] {
      platform::setUnattended(true);
      app::screenWidth = kWidth;
      app::screenHeight = kHeight;
      std::string e = "unknown failure";
      if (platform::createWindow(kWidth, kHeight, e) && app::createGLContext(e)) e.clear();
      return e;
    }();
    if (!error.empty()) GTEST_SKIP() << "no GL context: " << error;
    resetParticleSeed();
    gState.appliedFov = 0.0f;
    glimmer::timeline->currentScene = 0;
  }

  template <typename T>
  T* add(glimmer::Category c, T* e) {
    e->endTime = 1000.0f;
    (*glimmer::entityRegistry)[c].append(e);
    return e;
  }
  SceneObject* addScene() { return add(glimmer::Category::Scene, new SceneObject()); }
  // Scene 0 looking from (0, 0, 3.125) at the origin, one light, a black clear.
  SceneObject* standardScene() {
    SceneObject* s = addScene();
    addTrack(s->tracksA, kSetCamera, {0, 0, 100, 0, 0, 0, 0});
    addTrack(s->tracksA, kSetClear, {1, 0, 0, 0, 0, 0, 0});
    addLight(2, 3, 4);
    return s;
  }
  LightObject* addLight(float x, float y, float z) {
    auto* l = add(glimmer::Category::Light, new LightObject());
    l->position = {x, y, z, 1.0f};
    return l;
  }
  // A texture from a pixel function (x, y) -> 0xAARRGGBB, uploaded.
  void addTexture(int size, const std::function<uint32_t(int, int)>& pixel) {
    auto* t = add(glimmer::Category::Texture, new glimmer::TextureObject());
    t->resize(size);
    for (int i = 0; i < size * size; ++i) t->pixels[size_t(i)] = pixel(i % size, i / size);
    t->upload();
  }
  // A mesh with settings tracks `a`, then `more`, and geometry tracks `b`, built and uploaded.
  MeshObject* addMesh(std::initializer_list<Op> a, std::initializer_list<Op> b,
                      std::initializer_list<Op> more = {}) {
    auto* m = add(glimmer::Category::Mesh, new MeshObject());
    for (auto [list, ops] : {std::pair{&m->tracksA, a}, {&m->tracksA, more}, {&m->tracksB, b}})
      for (const Op& o : ops) addTrack(*list, uint8_t(o.op), o.params, o.name, o.enabled);
    m->precalc();
    return m;
  }
  // A smooth-shaded sphere of radius r (units) at `at` with a diffuse colour, then tracks `more`.
  MeshObject* addSphere(float r, Vec3f at, Vec3f rgb, int segments = 16,
                        std::initializer_list<Op> more = {}) {
    return addMesh({{MeshOp::SetTransform, {at[0] * 32, at[1] * 32, at[2] * 32}},
                    {MeshOp::SetColours, {40, 40, 40, rgb[0], rgb[1], rgb[2], 200, 200, 200, 30}}},
                   {{MeshOp::Sphere, {float(segments), float(segments) / 2, 0, r * 32}},
                    {MeshOp::Normals, {1}}},
                   more);
  }

  // Renders scene 0 at demo time t and reads the frame back. The frame step updates the active
  // entities at t first; the timeline is not running and has no clock, so the step is 0.
  Frame renderAt(float t) {
    glimmer::timeline->time = t;
    glimmer::timeline->step();
    renderFrame();
    Frame out(size_t(kWidth) * kHeight * 4);
    // Default pack alignment and read buffer: rows of 1280 bytes, read where they were drawn.
    for (int y = 0; y < kHeight; ++y)  // GL counts rows from the bottom
      glReadPixels(0, kHeight - 1 - y, kWidth, 1, GL_RGBA, GL_UNSIGNED_BYTE,
                   &out[size_t(y) * kWidth * 4]);
    for (size_t i = 3; i < out.size(); i += 4) out[i] = 255;  // the surface has no alpha channel
    return out;
  }
};

}  // namespace render::test
