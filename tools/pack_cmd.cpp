// glimmerc pack: builds a mesh pack from a manifest of OBJ meshes and TGA images, and lists one.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "mesh/mesh.h"
#include "tools/commands.h"
#include "tools/compile/compile.h"

namespace glimmerc {

namespace {

const char* kPackUsage =
    "usage: glimmerc pack build MANIFEST -o OUT.bin\n"
    "       glimmerc pack list PACK\n"
    "build: packs the entries of MANIFEST in order. Each line is\n"
    "         mesh NAME FILE.obj     a Wavefront OBJ (v, vt, f; polygons are fanned)\n"
    "         image NAME FILE.tga    an uncompressed 32-bit TGA of at most 512 x 512\n"
    "       ('#' starts a comment; FILE is relative to the manifest's folder).\n"
    "list:  prints each entry's name, kind and payload size.\n";

bool readFile(const std::filesystem::path& path, std::vector<uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

int build(const std::string& manifestPath, const std::string& outPath) {
  std::vector<uint8_t> pack;
  std::string error;
  if (!glimmer::buildPack(manifestPath, pack, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (!writeFile(outPath, pack)) {
    std::fprintf(stderr, "%s: error: cannot write the pack\n", outPath.c_str());
    return 1;
  }
  return 0;
}

int list(const std::string& packPath) {
  std::vector<uint8_t> bytes;
  if (!readFile(packPath, bytes)) {
    std::fprintf(stderr, "%s: error: cannot read the pack\n", packPath.c_str());
    return 1;
  }
  std::string stop;
  const auto entries = glimmer::listPackEntries(bytes, &stop);
  for (const glimmer::PackEntry& e : entries) {
    glimmer::PackMesh mesh;
    std::string why;
    std::string kind = "data";
    if (glimmer::decodePackMesh(e.payload, mesh, why)) {
      kind = "mesh " + std::to_string(mesh.positions.size()) + " vertices " +
             std::to_string(mesh.indices.size()) + " indices";
    } else if (e.payload.size() >= 18 && e.payload[2] == 2 && e.payload[16] == 32) {
      kind = "image " + std::to_string(e.payload[12] | e.payload[13] << 8) + "x" +
             std::to_string(e.payload[14] | e.payload[15] << 8);
    }
    std::printf("%-32s %10zu  %s\n", e.name.c_str(), e.payload.size(), kind.c_str());
  }
  if (!stop.empty()) {
    // The walk ends where an entry runs past the end; say where, as the lookup would stop there.
    size_t offset =
        entries.empty() ? 0 : entries.back().payloadOffset + entries.back().payload.size();
    std::fprintf(stderr, "%s: offset %zu: error: %s\n", packPath.c_str(), offset, stop.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int packCommand(const Args& args) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(kPackUsage, stdout);
      return 0;
    }
  }
  if (args.empty()) {
    std::fputs(kPackUsage, stderr);
    return 2;
  }
  if (args[0] == "build") {
    std::string in, out;
    for (size_t i = 1; i < args.size(); ++i) {
      if (args[i] == "-o" && i + 1 < args.size())
        out = args[++i];
      else if (in.empty() && !args[i].empty() && args[i][0] != '-')
        in = args[i];
      else {
        std::fprintf(stderr, "glimmerc pack build: unexpected argument '%s'\n%s", args[i].c_str(),
                     kPackUsage);
        return 2;
      }
    }
    if (in.empty() || out.empty()) {
      std::fputs(kPackUsage, stderr);
      return 2;
    }
    return build(in, out);
  }
  if (args[0] == "list") {
    if (args.size() != 2) {
      std::fputs(kPackUsage, stderr);
      return 2;
    }
    return list(args[1]);
  }
  std::fprintf(stderr, "glimmerc pack: unknown subcommand '%s'\n%s", args[0].c_str(), kPackUsage);
  return 2;
}

}  // namespace glimmerc
