// CPU side of the renderer: particle simulation and the per-pass mesh sort.
#include <benchmark/benchmark.h>

#include "mesh/mesh.h"
#include "render/internal.h"

namespace {

// One update of the largest shipped pool (420 particles) with re-emission of the faded ones.
void BM_ParticleUpdate420(benchmark::State& state) {
  render::resetParticleSeed();
  render::ParticleObject system;
  system.resize(420);
  system.fadeRate = 0.6f;
  system.spin = 100.0f;
  system.gravity = {0.0f, -1.0f, 0.0f};
  system.gravityScale = 1.0f;
  for (auto _ : state) {
    system.update(0.0f, 1.0f / 60.0f);
    benchmark::DoNotOptimize(system.particles.data());
  }
  state.SetItemsProcessed(state.iterations() * 420);
}
BENCHMARK(BM_ParticleUpdate420);

// Splitting and bubble-sorting the active meshes of a pass (the shipped data has 33).
void BM_MeshSort(benchmark::State& state) {
  glimmer::createRegistry();
  glimmer::timeline = new glimmer::TimelineObject();
  const int n = static_cast<int>(state.range(0));
  for (int i = 0; i < n; ++i) {
    auto* m = new glimmer::MeshObject();
    m->endTime = 10.0f;
    m->translation = {static_cast<float>((i * 7) % 13), static_cast<float>((i * 5) % 11),
                      -static_cast<float>(i % 17)};
    m->material.blendMode = i % 4 == 0 ? 2 : 0;
    (*glimmer::entityRegistry)[glimmer::Category::Mesh].append(m);
  }
  std::vector<render::SortEntry> opaque, transparent;
  for (auto _ : state) {
    render::collectMeshes({0.0f, 1.0f, 5.0f}, opaque, transparent);
    benchmark::DoNotOptimize(opaque.data());
  }
  delete glimmer::timeline;
  glimmer::timeline = nullptr;
  glimmer::destroyRegistry();
}
BENCHMARK(BM_MeshSort)->Arg(33)->Arg(100);

}  // namespace

BENCHMARK_MAIN();
