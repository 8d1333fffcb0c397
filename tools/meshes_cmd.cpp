// glimmerc meshes: builds every mesh of a scene on the CPU, without a window, and writes each as
// an OBJ file NNN-<name>.obj whose v, vt and vn lines are the mesh's three pools in order and
// whose f lines are its triangles' corners.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "scene/scene.h"
#include "texgen/texgen.h"
#include "tools/commands.h"
#include "tools/preview_input.h"
#include "tools/compile/compile.h"

namespace glimmerc {

namespace {

const char* kMeshesUsage =
    "usage: glimmerc meshes IN [--pack PACK] -o DIR\n"
    "Builds every mesh of IN (scene source or compiled SceneData) as the show's precalculation\n"
    "does (textures first, then meshes in registry order) and writes DIR/NNN-name.obj for each,\n"
    "NNN its index and name its label or comment. The v, vt and vn lines are the mesh's position,\n"
    "texture-coordinate and normal pools in order; each f line is one triangle, its corners as\n"
    "position/texCoord/normal (1-based). Outline-text meshes write their pools (usually empty)\n"
    "and the text as a comment.\n"
    "  --pack PACK   mesh pack that LoadMesh (and LoadPackImage) read from\n"
    "  -o DIR        output folder (created when missing)\n"
    "Exit codes: 0 written, 1 content error, 2 usage error.\n";



// Where a mesh is named in messages: its source line when known, else its index.
std::string where(const std::string& file, const SourceInfo& info, size_t index) {
  const auto& list = info.entities[static_cast<size_t>(glimmer::Category::Mesh)];
  if (index < list.size() && list[index].line > 0) return file + ":" + std::to_string(list[index].line) + ":1";
  return file + ": mesh " + std::to_string(index);
}

std::vector<std::string> gDiagnostics;
void collectDiagnostic(const std::string& message) { gDiagnostics.push_back(message); }

// Checks LoadMesh names against the pack before building: a missing entry is a warning (the
// mesh keeps its pools, as in the show), an entry that does not decode is an error.
bool checkLoadMesh(const std::string& file, const glimmer::SceneStream& stream, const SourceInfo& info,
                   const std::string& packFile, std::span<const uint8_t> pack) {
  bool ok = true;
  const auto& meshes = stream.categories[static_cast<size_t>(glimmer::Category::Mesh)];
  for (size_t i = 0; i < meshes.size(); ++i) {
    for (const auto* list : {&meshes[i].tracksA, &meshes[i].tracksB}) {
      for (const glimmer::TrackRecord& t : *list) {
        if ((t.word & 0xFF) != static_cast<uint32_t>(glimmer::MeshOp::LoadMesh) || t.name.empty()) continue;
        const auto payload = glimmer::findPackEntry(pack, t.name.c_str());
        if (!payload.data()) {
          std::fprintf(stderr, "%s: warning: mesh %zu: LoadMesh '%s' is not in %s; the mesh keeps its geometry\n",
                       where(file, info, i).c_str(), i, t.name.c_str(),
                       packFile.empty() ? "the pack (no --pack given)" : packFile.c_str());
          continue;
        }
        glimmer::PackMesh decoded;
        std::string why;
        if (!glimmer::decodePackMesh(payload, decoded, why)) {
          std::fprintf(stderr, "%s: error: entry '%s' at payload offset %zu: %s\n", packFile.c_str(),
                       t.name.c_str(), static_cast<size_t>(payload.data() - pack.data()), why.c_str());
          ok = false;
        }
      }
    }
  }
  return ok;
}

}  // namespace

int meshesCommand(const Args& args) {
  PreviewInput input;
  if (const int code = preparePreview("meshes", kMeshesUsage, args, input); code >= 0) return code;
  const std::string& in = input.in;
  const std::string& out = input.out;
  const std::string& packFile = input.packFile;
  const glimmer::SceneStream& stream = input.stream;
  const SourceInfo& info = input.info;
  const std::vector<uint8_t>& pack = input.pack;
  if (!checkLoadMesh(in, stream, info, packFile, pack)) return 1;

  if (!createOutputFolder(out)) return 1;

  // Textures and meshes live in a registry so that SetTextures, Displace, ShareGeometry and
  // SetParent resolve their indices as in the show; the other categories are not needed.
  glimmer::meshPackData = pack;
  glimmer::resetTextureState();
  glimmer::createRegistry();
  for (const glimmer::EntityRecord& r : stream.categories[static_cast<size_t>(glimmer::Category::Texture)]) {
    auto* t = new glimmer::TextureObject();
    glimmer::readEntityRecord(r, *t);
    (*glimmer::entityRegistry)[glimmer::Category::Texture].append(t);
  }
  std::vector<glimmer::MeshObject*> meshes;
  for (const glimmer::EntityRecord& r : stream.categories[static_cast<size_t>(glimmer::Category::Mesh)]) {
    auto* m = new glimmer::MeshObject();
    glimmer::readEntityRecord(r, *m);
    (*glimmer::entityRegistry)[glimmer::Category::Mesh].append(m);
    meshes.push_back(m);
  }
  (*glimmer::entityRegistry)[glimmer::Category::Texture].forEach([](glimmer::SceneEntity& e) { e.precalc(); });

  glimmer::setMeshDiagnosticHook(collectDiagnostic);
  const int digits = meshes.size() > 1000 ? 4 : 3;
  int status = 0;
  for (size_t i = 0; i < meshes.size(); ++i) {
    glimmer::MeshObject& m = *meshes[i];
    gDiagnostics.clear();
    m.precalc();
    for (const std::string& d : gDiagnostics)
      std::fprintf(stderr, "%s: warning: mesh %zu: %s\n", where(in, info, i).c_str(), i, d.c_str());
    const auto& list = info.entities[static_cast<size_t>(glimmer::Category::Mesh)];
    const std::string display = i < list.size() ? list[i].displayName : std::string();
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "%0*zu-", digits, i);
    const std::filesystem::path path = std::filesystem::path(out) / (prefix + fileSafe(display, "mesh") + ".obj");
    std::string comment = "mesh " + std::to_string(i);
    if (!display.empty()) comment += " " + display;
    comment += ": " + std::to_string(m.positionCount()) + " positions, " + std::to_string(m.texCoordCount()) +
               " texture coordinates, " + std::to_string(m.normalCount()) + " normals, " +
               std::to_string(m.cornerCount() / 3) + " triangles";
    if (m.text.string) {
      std::string text;
      for (char c : *m.text.string) text += (static_cast<unsigned char>(c) < 0x20) ? '?' : c;
      comment += "; outline text \"" + text + "\"";
    }
    const std::string obj = glimmer::writeObj(m, comment);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(obj.data(), static_cast<std::streamsize>(obj.size()));
    if (!f) {
      std::fprintf(stderr, "%s: error: cannot write file\n", path.c_str());
      status = 1;
      continue;
    }
    std::printf("%s  %d triangles\n", path.c_str(), m.cornerCount() / 3);
  }
  glimmer::setMeshDiagnosticHook(nullptr);
  glimmer::destroyRegistry();
  glimmer::meshPackData = {};
  return status;
}

}  // namespace glimmerc
