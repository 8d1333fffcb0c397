// Feeds arbitrary bytes to the mesh pack as LoadMesh sees them: every entry the walk finds is
// loaded into a mesh, smoothed and expanded; the raw bytes are also decoded as one payload.
#include <cstdint>
#include <string>

#include "mesh/mesh.h"

namespace {
void quiet(const std::string&) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  glimmer::setMeshDiagnosticHook(quiet);
  const std::span<const uint8_t> bytes(data, size);
  glimmer::PackMesh decoded;
  std::string error;
  (void)glimmer::decodePackMesh(bytes, decoded, error);

  glimmer::meshPackData = bytes;
  for (const glimmer::PackEntry& e : glimmer::listPackEntries(bytes)) {
    glimmer::MeshObject mesh;
    glimmer::Track load;
    load.word = static_cast<uint32_t>(glimmer::MeshOp::LoadMesh) | glimmer::kEnabledBit;
    load.name = e.name;
    mesh.applyCommand(load);
    glimmer::Track normals;
    normals.word = static_cast<uint32_t>(glimmer::MeshOp::Normals) | glimmer::kEnabledBit;
    normals.params[0] = 1.0f;
    mesh.applyCommand(normals);
    mesh.buildRenderData();
  }
  glimmer::meshPackData = {};
  return 0;
}
