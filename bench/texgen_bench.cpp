// Texture generator benchmarks: one case per operator at 256 and 512, and whole texture sets
// (the show's content and a synthetic set of 50 textures shaped like a real show's).
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "texgen/texgen.h"
#include "tools/compile/compile.h"

namespace {

using glimmer::TextureOp;
using glimmer::TexturePixel;

uint32_t word(TextureOp op, uint8_t mode = 0, bool smooth = false, int edge = 0) {
  return static_cast<uint32_t>(op) | uint32_t{mode} << 8 | (smooth ? 1u : 0u) << 16 |
         static_cast<uint32_t>(edge) << 17 | glimmer::kEnabledBit;
}

struct OpCase {
  const char* name;
  uint32_t word;
  std::vector<float> params;
  const char* text = nullptr;
};

// A 512 x 512 32-bit TGA in a one-entry pack, for LoadPackImage.
const std::vector<uint8_t>& benchPack() {
  static const std::vector<uint8_t> pack = [] {
    std::vector<uint8_t> p = {'i', 'm', 'g', 0};
    const uint32_t size = 18 + 512 * 512 * 4;
    for (int k = 0; k < 4; ++k) p.push_back(static_cast<uint8_t>(size >> (8 * k)));
    std::vector<uint8_t> tga(18, 0);
    tga[2] = 2;
    tga[13] = 2;
    tga[15] = 2;
    tga[16] = 32;
    p.insert(p.end(), tga.begin(), tga.end());
    for (uint32_t i = 0; i < 512u * 512u; ++i)
      for (int k = 0; k < 4; ++k) p.push_back(static_cast<uint8_t>((i * 2654435761u) >> (8 * k)));
    return p;
  }();
  return pack;
}

void runOp(benchmark::State& state, const OpCase& c) {
  const auto size = static_cast<int32_t>(state.range(0));
  glimmer::resetTextureState();
  glimmer::meshPackData = benchPack();
  std::vector<TexturePixel> img(static_cast<size_t>(size) * static_cast<size_t>(size));
  uint32_t s = 1;
  for (auto& p : img) p = s = s * 1664525u + 1013904223u;
  glimmer::Track t;
  t.word = c.word;
  for (size_t i = 0; i < c.params.size(); ++i) t.params[i] = c.params[i];
  if (c.text) t.name = c.text;
  glimmer::setTextureGeometry(size);
  for (auto _ : state) {
    glimmer::runTextureCommand(img.data(), t);
    benchmark::DoNotOptimize(img.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * size * size);
  glimmer::meshPackData = {};
}

const std::vector<OpCase>& opCases() {
  static const std::vector<OpCase> cases = {
      {"Fill", word(TextureOp::Fill), {200, 100, 50, 255}},
      {"Rectangle", word(TextureOp::Rectangle, 3), {10, 10, 0, 200, 200, 0, 255, 128, 64}},
      {"Circle/smooth", word(TextureOp::Circle, 3, true), {128, 128, 0, 100, 0, 0, 255, 200, 100}},
      {"Checker", word(TextureOp::Checker, 1), {32, 32}},
      {"Waves", word(TextureOp::Waves), {0, 0, 0, 64, 32, 0, 200, 100, 50}},
      {"Noise", word(TextureOp::Noise), {7, 0, 0, 255, 255, 255}},
      {"Dots", word(TextureOp::Dots), {1000, 0, 0, 3, 0, 0, 255, 255, 255}},
      {"FractalNoise", word(TextureOp::FractalNoise), {64}},
      {"Blur/r8", word(TextureOp::Blur), {8, 0, 0, 16}},
      {"Blur/r64", word(TextureOp::Blur), {64, 0, 0, 38}},
      {"Invert", word(TextureOp::Invert), {}},
      {"RotoZoom/nearest", word(TextureOp::RotoZoom, 0, false, 0), {128, 128, 0, 32, 0, 0, 30}},
      {"RotoZoom/bilinear", word(TextureOp::RotoZoom, 0, true), {128, 128, 0, 32, 0, 0, 30}},
      {"Twirl/nearest", word(TextureOp::Twirl), {128, 128, 0, 64, 0, 0, 255}},
      {"Twirl/bilinear", word(TextureOp::Twirl, 0, true), {128, 128, 0, 64, 0, 0, 255}},
      {"BrightnessContrast", word(TextureOp::BrightnessContrast), {140, 0, 0, 200}},
      {"Tint", word(TextureOp::Tint), {20, -10, 30}},
      {"StoreLayer", word(TextureOp::StoreLayer), {1}},
      {"MoveToLayer", word(TextureOp::MoveToLayer), {1}},
      {"CombineLayer/Add", word(TextureOp::CombineLayer, 3), {1}},
      {"CombineLayer/Average", word(TextureOp::CombineLayer, 6), {1}},
      {"CombineLayer/Multiply", word(TextureOp::CombineLayer, 5), {1}},
      {"ClearImage", word(TextureOp::ClearImage), {}},
      {"Emboss", word(TextureOp::Emboss), {}},
      {"RadialGlow", word(TextureOp::RadialGlow, 3), {255, 200, 100, 100}},
      {"NormalMap", word(TextureOp::NormalMap), {20}},
      {"LoadPackImage", word(TextureOp::LoadPackImage), {}, "img"},
      {"RenderText", word(TextureOp::RenderText, 3), {16, 140, 0, 64}, "glimmer"},
  };
  return cases;
}

// Resize is an object operation: measured as a change of edge length and back.
void BM_Resize(benchmark::State& state) {
  glimmer::TextureObject t;
  const auto size = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    t.resize(size);
    t.resize(size == 256 ? 512 : 256);
    benchmark::DoNotOptimize(t.pixels.data());
  }
}
BENCHMARK(BM_Resize)->Arg(256)->Arg(512)->Unit(benchmark::kMicrosecond);

// Builds every texture of a stream in order, as the show's precalculation does.
void buildAll(const glimmer::SceneStream& stream) {
  glimmer::resetTextureState();
  for (const auto& rec : stream.categories[0]) {
    glimmer::TextureObject t;
    glimmer::readEntityRecord(rec, t);
    t.precalc();
    benchmark::DoNotOptimize(t.pixels.data());
  }
}

void BM_ContentTextures(benchmark::State& state) {
  std::ifstream f(GLIMMER_CONTENT_SCENE, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  glimmer::SceneStream stream;
  std::string error;
  if (text.empty() ||
      !glimmerc::compileSceneSource(text, GLIMMER_CONTENT_SCENE, stream, error, nullptr)) {
    state.SkipWithError(("content scene not compiled: " + error).c_str());
    return;
  }
  for (auto _ : state) buildAll(stream);
  state.counters["textures"] = static_cast<double>(stream.categories[0].size());
}
BENCHMARK(BM_ContentTextures)->Unit(benchmark::kMillisecond);

glimmer::TrackRecord cmd(TextureOp op, std::vector<float> p, uint8_t mode = 0, bool smooth = false,
                         const char* name = nullptr) {
  glimmer::TrackRecord t;
  t.word = word(op, mode, smooth);
  for (size_t i = 0; i < p.size(); ++i) t.params[i] = p[i];
  if (name) t.name = name;
  return t;
}

// 50 textures in the proportions of a demo's texture set: mostly 256 x 256, a few at 512,
// 128 and 64; noise and fractal bases, blurs, layers, tints, geometric filters, normal maps,
// lettering.
glimmer::SceneStream syntheticSet() {
  glimmer::SceneStream s;
  auto& list = s.categories[0];
  for (int i = 0; i < 50; ++i) {
    glimmer::EntityRecord e;
    auto& b = e.tracksB;
    const float size = i % 10 == 0 ? 512.0f : i % 7 == 0 ? 128.0f : i % 11 == 0 ? 64.0f : 256.0f;
    const float f = static_cast<float>(i);
    b.push_back(cmd(TextureOp::Resize, {size}));
    switch (i % 5) {
      case 0:
        b.push_back(cmd(TextureOp::FractalNoise, {i % 2 ? 32.0f : 64.0f}));
        b.push_back(cmd(TextureOp::BrightnessContrast, {140, 0, 0, 200}));
        b.push_back(cmd(TextureOp::Tint, {f, -20, 40}));
        break;
      case 1:
        b.push_back(cmd(TextureOp::Noise, {f, 0, 0, 255, 255, 255}));
        b.push_back(cmd(TextureOp::Blur, {8, 0, 0, 16}));
        b.push_back(cmd(TextureOp::NormalMap, {30}));
        break;
      case 2:
        b.push_back(cmd(TextureOp::Fill, {20, 30, 40, 255}));
        b.push_back(cmd(TextureOp::Circle, {128, 128, 0, 90, 0, 0, 255, 220, 180}, 3, true));
        b.push_back(cmd(TextureOp::Blur, {24, 0, 0, 38}));
        b.push_back(cmd(TextureOp::StoreLayer, {f / 5}));
        b.push_back(cmd(TextureOp::RenderText, {20, 150, 0, 48}, 3, false, "glimmer"));
        b.push_back(cmd(TextureOp::CombineLayer, {f / 5}, 6));
        break;
      case 3:
        b.push_back(cmd(TextureOp::Waves, {f, 0, 0, 64, 32, 0, 200, 160, 90}));
        b.push_back(cmd(TextureOp::Twirl, {128, 128, 0, 80, 0, 0, 200}, 0, true));
        b.push_back(cmd(TextureOp::Checker, {32, 32}, 1));
        b.push_back(cmd(TextureOp::Emboss, {}));
        break;
      default:
        b.push_back(cmd(TextureOp::Dots, {200, 0, 0, f, 0, 0, 255, 255, 255}));
        b.push_back(cmd(TextureOp::Blur, {16, 0, 0, 40}));
        b.push_back(cmd(TextureOp::RotoZoom, {128, 128, 0, 32, 0, 0, 30}, 0, true));
        b.push_back(cmd(TextureOp::RadialGlow, {255, 180, 90, 120}, 3));
        b.push_back(cmd(TextureOp::Invert, {}));
        break;
    }
    list.push_back(std::move(e));
  }
  return s;
}

void BM_Synthetic50Textures(benchmark::State& state) {
  const glimmer::SceneStream stream = syntheticSet();
  for (auto _ : state) buildAll(stream);
}
BENCHMARK(BM_Synthetic50Textures)->Unit(benchmark::kMillisecond);

const bool kRegistered = [] {
  for (const OpCase& c : opCases())
    benchmark::RegisterBenchmark((std::string("BM_Op/") + c.name).c_str(),
                                 [&c](benchmark::State& st) { runOp(st, c); })
        ->Arg(256)
        ->Arg(512)
        ->Unit(benchmark::kMicrosecond);
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
