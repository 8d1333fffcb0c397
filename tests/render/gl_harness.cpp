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

bool gOpen = false;
std::string gOpenError;

bool regenerating() {
  const char* v = std::getenv("GLIMMER_REGENERATE_GOLDEN");
  return v && *v && std::string(v) != "0";
}

}  // namespace

bool openContext(std::string& error) {
  if (gOpen) return true;
  if (!gOpenError.empty()) {
    error = gOpenError;
    return false;
  }
  platform::setUnattended(true);
  // The show's own start-up after the window: extensions, initial render state, frame copy,
  // overlay font.
  app::screenWidth = kWidth;
  app::screenHeight = kHeight;
  std::string e;
  if (!platform::startVideo(e) || !platform::createWindow(kWidth, kHeight, e) ||
      !app::createGLContext(e)) {
    gOpenError = e.empty() ? "no GL context" : e;
    error = gOpenError;
    return false;
  }
  gOpen = true;
  return true;
}

std::vector<uint8_t> readFrame() {
  std::vector<uint8_t> bottomUp(static_cast<size_t>(kWidth) * kHeight * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  std::vector<uint8_t> out(bottomUp.size());
  const size_t row = static_cast<size_t>(kWidth) * 4;
  for (int y = 0; y < kHeight; ++y)
    std::copy_n(bottomUp.data() + row * static_cast<size_t>(kHeight - 1 - y), row,
                out.data() + row * static_cast<size_t>(y));
  for (size_t i = 3; i < out.size(); i += 4) out[i] = 255;  // the surface has no alpha channel
  return out;
}

::testing::AssertionResult matchesGolden(const std::string& name, const std::vector<uint8_t>& rgba,
                                         int tolerance, double outlierFraction) {
  const char* dir = std::getenv("GLIMMER_GOLDEN_DIR");
  const std::string path =
      std::string(dir && *dir ? dir : GLIMMER_GOLDEN_DIR) + "/" + name + ".png";
  if (regenerating()) {
    if (!glimmer::writePngRgba(path.c_str(), kWidth, kHeight, rgba.data()))
      return ::testing::AssertionFailure() << "cannot write " << path;
    return ::testing::AssertionSuccess() << "wrote " << path;
  }
  int w = 0, h = 0, n = 0;
  stbi_uc* golden = stbi_load(path.c_str(), &w, &h, &n, 4);
  if (!golden) return ::testing::AssertionFailure() << "cannot read golden image " << path;
  if (w != kWidth || h != kHeight) {
    stbi_image_free(golden);
    return ::testing::AssertionFailure() << path << " is " << w << "x" << h;
  }
  size_t outliers = 0;
  int worst = 0;
  for (size_t p = 0; p < static_cast<size_t>(w) * h; ++p) {
    int diff = 0;
    for (int c = 0; c < 3; ++c)
      diff = std::max(diff, std::abs(int(golden[p * 4 + c]) - int(rgba[p * 4 + c])));
    worst = std::max(worst, diff);
    if (diff > tolerance) ++outliers;
  }
  stbi_image_free(golden);
  const double fraction = static_cast<double>(outliers) / (static_cast<double>(w) * h);
  if (fraction <= outlierFraction) return ::testing::AssertionSuccess();
  const std::string actual = std::filesystem::current_path().string() + "/" + name + ".actual.png";
  glimmer::writePngRgba(actual.c_str(), kWidth, kHeight, rgba.data());
  return ::testing::AssertionFailure()
         << name << ": " << outliers << " pixels differ by more than " << tolerance
         << " (largest difference " << worst << "); frame written to " << actual;
}

void GlSceneTest::SetUp() {
  std::string error;
  if (!openContext(error)) GTEST_SKIP() << "no GL context: " << error;
  RegistryTest::SetUp();
  resetParticleSeed();
  gState.appliedFov = 0.0f;
  glimmer::timeline->currentScene = 0;
}

void GlSceneTest::TearDown() {
  if (!glimmer::timeline) return;
  RegistryTest::TearDown();
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

glimmer::MeshObject* GlSceneTest::addMeshFor(
    const std::function<void(glimmer::MeshObject&)>& build) {
  auto* m = new glimmer::MeshObject();
  m->endTime = 1000.0f;
  (*glimmer::entityRegistry)[glimmer::Category::Mesh].append(m);
  build(*m);
  m->precalc();
  return m;
}

SceneObject* GlSceneTest::addScene() {
  auto* s = new SceneObject();
  s->endTime = 1000.0f;
  (*glimmer::entityRegistry)[glimmer::Category::Scene].append(s);
  return s;
}

LightObject* GlSceneTest::addLight(float x, float y, float z) {
  auto* l = new LightObject();
  l->endTime = 1000.0f;
  l->position = {x, y, z, 1.0f};
  (*glimmer::entityRegistry)[glimmer::Category::Light].append(l);
  return l;
}

std::vector<uint8_t> GlSceneTest::renderAt(float t) {
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
  const float r2 = fx * fx + fy * fy;
  float nx = 0.0f, ny = 0.0f, nz = 1.0f;
  if (r2 < 0.8f) {
    nx = fx * 0.7f;
    ny = fy * 0.7f;
    nz = std::sqrt(std::max(0.0f, 1.0f - nx * nx - ny * ny));
  }
  auto enc = [](float v) { return static_cast<uint32_t>(std::lround((v * 0.5f + 0.5f) * 255.0f)); };
  return 0xFF000000u | (enc(nx) << 16) | (enc(ny) << 8) | enc(nz);
}

uint32_t blobPixel(int x, int y, int size) {
  const float h = static_cast<float>(size) / 2.0f;
  const float dx = (static_cast<float>(x) + 0.5f - h) / h,
              dy = (static_cast<float>(y) + 0.5f - h) / h;
  const float a = std::max(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
  const uint32_t alpha = static_cast<uint32_t>(std::lround(a * 255.0f));
  return (alpha << 24) | 0x00FFFFFFu;
}

}  // namespace render::test
