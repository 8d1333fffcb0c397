// Headless GL context, content builders, frame read-back and golden comparison for the
// renderer tests.
#include "gl_harness.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#include "app/gl_context.h"
#include "app/shell.h"
#include "platform/gl.h"
#include "platform/platform.h"

namespace render::test {

namespace {

// Opens the window and context once per process with the show's own start-up after the window
// (extensions, initial render state, frame copy, overlay font); the reason when it cannot.
std::string openContext() {
  static const std::string error = [] {
    platform::setUnattended(true);
    app::screenWidth = kWidth;
    app::screenHeight = kHeight;
    std::string e;
    if (platform::startVideo(e) && platform::createWindow(kWidth, kHeight, e) &&
        app::createGLContext(e))
      return std::string();
    return e.empty() ? std::string("no GL context") : e;
  }();
  return error;
}

Frame readFrame() {
  Frame bottomUp(static_cast<size_t>(kWidth) * kHeight * 4), out(bottomUp.size());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  const size_t row = static_cast<size_t>(kWidth) * 4;
  for (size_t y = 0; y < kHeight; ++y)
    std::copy_n(bottomUp.data() + row * (kHeight - 1 - y), row, out.data() + row * y);
  for (size_t i = 3; i < out.size(); i += 4) out[i] = 255;  // the surface has no alpha channel
  return out;
}

}  // namespace

std::array<uint8_t, 4> pixelAt(const Frame& f, int x, int row) {
  const size_t i = (static_cast<size_t>(row) * kWidth + static_cast<size_t>(x)) * 4;
  return {f[i], f[i + 1], f[i + 2], f[i + 3]};
}

GLint intState(GLenum name, size_t i) {
  GLint v[4] = {};
  glGetIntegerv(name, v);
  return v[i];
}

float floatState(GLenum name) {
  GLfloat v[4] = {};
  glGetFloatv(name, v);
  return v[0];
}

::testing::AssertionResult matchesGolden(const std::string& name, const Frame& rgba, int tolerance,
                                         double outlierFraction) {
  const char* dir = std::getenv("GLIMMER_GOLDEN_DIR");
  const std::string path =
      std::string(dir && *dir ? dir : GLIMMER_GOLDEN_DIR) + "/" + name + ".png";
  const char* regenerate = std::getenv("GLIMMER_REGENERATE_GOLDEN");
  if (regenerate && *regenerate && std::string(regenerate) != "0") {
    if (!glimmer::writePngRgba(path.c_str(), kWidth, kHeight, rgba.data()))
      return ::testing::AssertionFailure() << "cannot write " << path;
    return ::testing::AssertionSuccess() << "wrote " << path;
  }
  int w = 0, h = 0, n = 0;
  std::unique_ptr<stbi_uc, void (*)(void*)> golden(stbi_load(path.c_str(), &w, &h, &n, 4),
                                                   stbi_image_free);
  if (!golden || w != kWidth || h != kHeight)
    return ::testing::AssertionFailure()
           << "cannot read a " << kWidth << "x" << kHeight << " golden image from " << path;
  size_t outliers = 0;
  int worst = 0;
  for (size_t p = 0; p < static_cast<size_t>(w) * h; ++p) {
    int diff = 0;
    for (size_t c = p * 4; c < p * 4 + 3; ++c)
      diff = std::max(diff, std::abs(int(golden.get()[c]) - int(rgba[c])));
    worst = std::max(worst, diff);
    if (diff > tolerance) ++outliers;
  }
  if (static_cast<double>(outliers) <= outlierFraction * w * h)
    return ::testing::AssertionSuccess();
  const std::string actual = std::filesystem::current_path().string() + "/" + name + ".actual.png";
  glimmer::writePngRgba(actual.c_str(), kWidth, kHeight, rgba.data());
  return ::testing::AssertionFailure()
         << name << ": " << outliers << " pixels differ by more than " << tolerance
         << " (largest difference " << worst << "); frame written to " << actual;
}

void GlSceneTest::SetUp() {
  if (const std::string error = openContext(); !error.empty())
    GTEST_SKIP() << "no GL context: " << error;
  RegistryTest::SetUp();
  resetParticleSeed();
  gState.appliedFov = 0.0f;
  glimmer::timeline->currentScene = 0;
}

void GlSceneTest::TearDown() {
  if (glimmer::timeline) RegistryTest::TearDown();
}

// Meshes, scenes, lights and particles added here live until time 1000, past any test's frames.
template <typename T>
T* append(glimmer::Category c, T* e) {
  e->endTime = 1000.0f;
  (*glimmer::entityRegistry)[c].append(e);
  return e;
}

glimmer::TextureObject* GlSceneTest::addTexture(int size,
                                                const std::function<uint32_t(int, int)>& pixel) {
  auto* t = new glimmer::TextureObject();
  t->resize(size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) t->pixels[static_cast<size_t>(y * size + x)] = pixel(x, y);
  t->upload();
  (*glimmer::entityRegistry)[glimmer::Category::Texture].append(t);
  return t;
}

void addOps(glimmer::EntityList<glimmer::Track>& list, std::initializer_list<Op> ops) {
  for (const Op& o : ops) {
    glimmer::Track* t = addTrack(list, static_cast<uint8_t>(o.op), o.params, o.name);
    if (!o.enabled) t->word &= ~glimmer::kEnabledBit;
  }
}

MeshObject* GlSceneTest::addMesh(std::initializer_list<Op> a, std::initializer_list<Op> b) {
  auto* m = append(glimmer::Category::Mesh, new MeshObject());
  addOps(m->tracksA, a);
  addOps(m->tracksB, b);
  m->precalc();
  return m;
}

MeshObject* GlSceneTest::addSphere(float r, Vec3f at, Vec3f rgb, int segments,
                                   std::initializer_list<Op> more) {
  auto* m = append(glimmer::Category::Mesh, new MeshObject());
  addOps(m->tracksA,
         {{MeshOp::SetTransform, {at[0] * 32, at[1] * 32, at[2] * 32}},
          {MeshOp::SetColours, {40, 40, 40, rgb[0], rgb[1], rgb[2], 200, 200, 200, 30}}});
  addOps(m->tracksA, more);
  addOps(m->tracksB, {{MeshOp::Sphere, {float(segments), float(segments) / 2, 0, r * 32}},
                      {MeshOp::Normals, {1}}});
  m->precalc();
  return m;
}

SceneObject* GlSceneTest::addScene() { return append(glimmer::Category::Scene, new SceneObject()); }

ParticleObject* GlSceneTest::addParticles() {
  return append(glimmer::Category::Particle, new ParticleObject());
}

LightObject* GlSceneTest::addLight(float x, float y, float z) {
  auto* l = append(glimmer::Category::Light, new LightObject());
  l->position = {x, y, z, 1.0f};
  return l;
}

Frame GlSceneTest::renderAt(float t) {
  glimmer::timeline->time = t;
  for (int c = 0; c < glimmer::kCategoryCount; ++c)
    for (auto* n = (*glimmer::entityRegistry)[c].first(); n; n = n->next)
      if (glimmer::timeline->isActive(*n->value)) n->value->update(t, 0.0f);
  renderFrame();
  return readFrame();
}

uint32_t checkerPixel(int x, int y, int cells, uint32_t a, uint32_t b) {
  return (((x / cells) + (y / cells)) & 1) ? a : b;
}

uint32_t bumpPixel(int x, int y, int size) {
  const float cell = static_cast<float>(size) / 4.0f;
  const float fx = std::fmod(static_cast<float>(x), cell) / cell * 2.0f - 1.0f;
  const float fy = std::fmod(static_cast<float>(y), cell) / cell * 2.0f - 1.0f;
  const bool bump = fx * fx + fy * fy < 0.8f;
  const float nx = bump ? fx * 0.7f : 0.0f, ny = bump ? fy * 0.7f : 0.0f;
  const float nz = std::sqrt(std::max(0.0f, 1.0f - nx * nx - ny * ny));
  auto enc = [](float v) { return static_cast<uint32_t>(std::lround((v * 0.5f + 0.5f) * 255.0f)); };
  return 0xFF000000u | (enc(nx) << 16) | (enc(ny) << 8) | enc(nz);
}

uint32_t blobPixel(int x, int y, int size) {
  const float h = static_cast<float>(size) / 2.0f;
  const float dx = (static_cast<float>(x) + 0.5f - h) / h,
              dy = (static_cast<float>(y) + 0.5f - h) / h;
  const float a = std::max(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
  return (static_cast<uint32_t>(std::lround(a * 255.0f)) << 24) | 0x00FFFFFFu;
}

}  // namespace render::test
