// Mesh builder benchmarks. The show's largest cases: a 70 x 40 grid smoothed twice, sphere and
// tube at 70 segments, the largest pack mesh (20,489 vertices, 22,992 indices) loaded and
// expanded, the 255 outline glyphs.
#include <benchmark/benchmark.h>

#include <random>

#include "mesh/internal.h"
#include "platform/glyph_outline.h"

namespace {

using glimmer::MeshObject;
using glimmer::meshops::Params;

Params params(std::initializer_list<std::pair<int, float>> values) {
  Params p{};
  for (auto [i, v] : values) p[static_cast<size_t>(i)] = v;
  return p;
}

void gridMesh(MeshObject& m) { glimmer::meshops::buildGrid(m, params({{0, 70}, {1, 40}, {3, 256}, {4, 128}})); }

// A pack-sized mesh: 20,489 vertices and 7,664 triangles over a bumpy sheet.
std::vector<uint8_t> largePackPayload() {
  glimmer::PackMesh pm;
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> d(-1.0f, 1.0f);
  for (int k = 0; k < 20489; ++k) {
    pm.positions.push_back({d(rng), d(rng), d(rng)});
    pm.texCoords.push_back({d(rng), d(rng)});
  }
  std::uniform_int_distribution<int> pick(0, 20488);
  for (int j = 0; j < 22992; ++j) pm.indices.push_back(static_cast<uint16_t>(pick(rng)));
  return glimmer::encodePackMesh(pm);
}

void BM_Grid70x40(benchmark::State& s) {
  MeshObject m;
  for (auto _ : s) gridMesh(m);
}
BENCHMARK(BM_Grid70x40);

void BM_Sphere70x70(benchmark::State& s) {
  MeshObject m;
  for (auto _ : s) glimmer::meshops::buildSphere(m, params({{0, 70}, {1, 70}, {3, 64}}));
}
BENCHMARK(BM_Sphere70x70);

void BM_Tube70x70(benchmark::State& s) {
  MeshObject m;
  for (auto _ : s) glimmer::meshops::buildTube(m, params({{0, 70}, {1, 70}, {3, 32}, {6, 128}}));
}
BENCHMARK(BM_Tube70x70);

void BM_TransformGrid(benchmark::State& s) {
  MeshObject m;
  gridMesh(m);
  const Params p = params({{0, 3}, {3, 10}, {4, 20}, {5, 30}, {6, 5}});
  for (auto _ : s) glimmer::meshops::transformPositions(m, p);
}
BENCHMARK(BM_TransformGrid);

void BM_TwistGrid(benchmark::State& s) {
  MeshObject m;
  gridMesh(m);
  for (auto _ : s) glimmer::meshops::twist(m, params({{0, 1}}));
}
BENCHMARK(BM_TwistGrid);

void BM_MapTexCoordsGrid(benchmark::State& s) {
  MeshObject m;
  gridMesh(m);
  for (auto _ : s) glimmer::meshops::mapTexCoords(m, params({{0, 1}, {3, 1}}));
}
BENCHMARK(BM_MapTexCoordsGrid);

void BM_FlatNormalsGrid(benchmark::State& s) {
  MeshObject m;
  gridMesh(m);
  for (auto _ : s) glimmer::meshops::flatNormals(m);
}
BENCHMARK(BM_FlatNormalsGrid);

void BM_SmoothNormalsGrid(benchmark::State& s) {
  MeshObject m;
  gridMesh(m);
  for (auto _ : s) glimmer::meshops::smoothNormals(m);
}
BENCHMARK(BM_SmoothNormalsGrid);

void BM_SmoothNormalsGridPairwise(benchmark::State& s) {
  MeshObject m;
  gridMesh(m);
  for (auto _ : s) glimmer::meshops::smoothNormalsPairwise(m);
}
BENCHMARK(BM_SmoothNormalsGridPairwise)->Unit(benchmark::kMillisecond);

void BM_SmoothNormalsPack(benchmark::State& s) {
  MeshObject m;
  std::string error;
  const auto payload = largePackPayload();
  glimmer::loadPackMesh(payload, m, error);
  for (auto _ : s) glimmer::meshops::smoothNormals(m);
}
BENCHMARK(BM_SmoothNormalsPack);

void BM_SmoothNormalsPackPairwise(benchmark::State& s) {
  MeshObject m;
  std::string error;
  const auto payload = largePackPayload();
  glimmer::loadPackMesh(payload, m, error);
  for (auto _ : s) glimmer::meshops::smoothNormalsPairwise(m);
}
BENCHMARK(BM_SmoothNormalsPackPairwise)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_DisplaceGrid512(benchmark::State& s) {
  MeshObject m;
  gridMesh(m);
  glimmer::meshops::smoothNormals(m);
  std::vector<uint32_t> pixels(512 * 512);
  std::mt19937 rng(3);
  for (uint32_t& p : pixels) p = rng();
  const auto start = m.positions;
  for (auto _ : s) {
    glimmer::meshops::displace(m, pixels.data(), 512, 40.0f);
    s.PauseTiming();
    m.positions = start;
    s.ResumeTiming();
  }
}
BENCHMARK(BM_DisplaceGrid512);

void BM_LoadLargePackMesh(benchmark::State& s) {
  MeshObject m;
  std::string error;
  const auto payload = largePackPayload();
  for (auto _ : s) benchmark::DoNotOptimize(glimmer::loadPackMesh(payload, m, error));
}
BENCHMARK(BM_LoadLargePackMesh);

void BM_RenderDataLargePackMesh(benchmark::State& s) {
  MeshObject m;
  std::string error;
  const auto payload = largePackPayload();
  glimmer::loadPackMesh(payload, m, error);
  glimmer::meshops::smoothNormals(m);
  for (auto _ : s) m.buildRenderData();
}
BENCHMARK(BM_RenderDataLargePackMesh);

void BM_OutlineGlyphs255(benchmark::State& s) {
  std::vector<platform::OutlineGlyph> glyphs;
  std::string error;
  for (auto _ : s) benchmark::DoNotOptimize(platform::buildOutlineGlyphs("Arial Black", 0, 255, 0.001f, 0.2f, glyphs, error));
}
BENCHMARK(BM_OutlineGlyphs255)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
