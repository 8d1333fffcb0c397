// Feeds arbitrary bytes to the pack tool's readers: OBJ text, TGA image and manifest, and packs
// whatever OBJ parses.
#include <cstdint>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "tools/compile/compile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  glimmer::PackMesh mesh;
  glimmer::SourceError serr;
  if (glimmer::parseObj(text, "fuzz.obj", mesh, serr)) {
    glimmer::PackMesh back;
    std::string error;
    if (!glimmer::decodePackMesh(glimmer::encodePackMesh(mesh), back, error)) __builtin_trap();
  }
  std::vector<uint8_t> entry;
  std::string error;
  (void)glimmer::readTgaImage(bytes, "fuzz.tga", entry, error);
  std::vector<glimmer::ManifestEntry> entries;
  (void)glimmer::parseManifest(text, "fuzz.manifest", entries, serr);
  return 0;
}
