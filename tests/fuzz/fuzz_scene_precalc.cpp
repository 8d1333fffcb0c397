// Feeds arbitrary bytes to the scene loader and then precalculates what it created, all on the
// CPU: textures run their commands, meshes build their geometry and render data (no GPU hooks are
// installed here). The bytes after the scene stream's sixth block serve as the mesh pack, so a
// seed is a compiled scene followed by a compiled pack. Categories 2-5 are plain entities; their
// tracks are still applied once at their start time, as the first frame would.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mesh/mesh.h"
#include "scene/scene.h"
#include "texgen/texgen.h"

namespace {

using namespace glimmer;

// Precalculation runs only for streams of at most this many texture and mesh tracks (A and B
// together): every command may legitimately cost up to some milliseconds at the largest sizes,
// so longer lists only make each run slower without reaching new code.
constexpr size_t kMaxPrecalcTracks = 96;

void quiet(const std::string&) {}

SceneEntity* makeEntity(Category c) {
  switch (c) {
    case Category::Texture:
      return new TextureObject();
    case Category::Mesh:
      return new MeshObject();
    default:
      return new SceneEntity();
  }
}

size_t heavyTracks(const SceneStream& stream) {
  size_t n = 0;
  for (int c = 0; c < 2; ++c)
    for (const EntityRecord& e : stream.categories[static_cast<size_t>(c)])
      n += e.tracksA.size() + e.tracksB.size();
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  setMeshDiagnosticHook(quiet);
  resetTextureState();
  const std::span<const uint8_t> bytes(data, size);
  SceneStream stream;
  SceneError error;
  const bool parsed = parseSceneStream(bytes, "fuzz", stream, error);
  // The trailing bytes are the pack; point into the input rather than at the parsed copy.
  meshPackData = parsed ? bytes.subspan(size - stream.trailing.size()) : std::span<const uint8_t>{};

  createRegistry();
  timeline = new TimelineObject();
  const int32_t n = loadSceneData(bytes, "fuzz", makeEntity, error);
  if ((n >= 0) != parsed) std::abort();
  if (n >= 0 && heavyTracks(stream) <= kMaxPrecalcTracks) {
    timeline->precalc();
    precalcAll(n, nullptr);
    for (int c = 0; c < kCategoryCount; ++c)
      for (auto* e = (*entityRegistry)[c].first(); e; e = e->next)
        e->value->update(e->value->startTime, 0.0f);
  }
  delete timeline;
  timeline = nullptr;
  destroyRegistry();
  meshPackData = {};
  return 0;
}
