// The loaders: read a file, tell a source from a compiled file by its bytes, compile sources in
// process. Also the pack build from a manifest, shared by `glimmerc pack build` and loadPack.
#include "tools/compile/compile.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace glimmer {

namespace {

bool readBytes(const std::string& path, std::vector<uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool hasZeroByte(const std::vector<uint8_t>& bytes) {
  for (uint8_t b : bytes)
    if (b == 0) return true;
  return false;
}

std::string asText(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

}  // namespace

bool buildPack(const std::string& manifestPath, std::vector<uint8_t>& pack, std::string& error,
               std::vector<std::string>* inputs) {
  pack.clear();
  std::vector<uint8_t> manifestBytes;
  if (inputs) inputs->push_back(manifestPath);
  if (!readBytes(manifestPath, manifestBytes)) {
    error = manifestPath + ": error: cannot read the manifest";
    return false;
  }
  std::vector<ManifestEntry> entries;
  SourceError serr;
  const std::string text = asText(manifestBytes);
  if (!parseManifest(text, manifestPath, entries, serr)) {
    error = serr.message();
    return false;
  }
  const std::filesystem::path folder = std::filesystem::path(manifestPath).parent_path();
  for (const ManifestEntry& e : entries) {
    const std::filesystem::path file = folder / e.file;
    if (inputs) inputs->push_back(file.string());
    std::vector<uint8_t> bytes;
    if (!readBytes(file.string(), bytes)) {
      error = manifestPath + ":" + std::to_string(e.line) + ":" + std::to_string(e.fileColumn) +
              ": error: cannot read '" + file.string() + "'";
      return false;
    }
    std::vector<uint8_t> payload;
    if (e.kind == ManifestEntry::Kind::Mesh) {
      PackMesh mesh;
      if (!parseObj(asText(bytes), file.string(), mesh, serr)) {
        error = serr.message();
        return false;
      }
      payload = encodePackMesh(mesh);
    } else if (!readTgaImage(bytes, file.string(), payload, error)) {
      return false;
    }
    appendPackEntry(pack, e.name, payload);
  }
  return true;
}

namespace compile {

namespace {

// Reads the file into out.bytes; false (error set) when it cannot be read.
bool readInput(const std::string& path, Loaded& out) {
  out.inputs.push_back(path);
  if (readBytes(path, out.bytes)) return true;
  out.error = path + ": error: cannot read file";
  return false;
}

}  // namespace

Loaded loadScene(const std::string& path) {
  Loaded out;
  if (!readInput(path, out)) return out;
  if (glimmerc::looksCompiled({reinterpret_cast<const char*>(out.bytes.data()), out.bytes.size()}))
    return out;
  out.fromSource = true;
  SceneStream stream;
  if (!glimmerc::compileSceneSource(asText(out.bytes), path, stream, out.error, nullptr,
                                    &out.warnings)) {
    out.bytes.clear();
    return out;
  }
  out.bytes = writeSceneStream(stream);
  return out;
}

Loaded loadMusic(const std::string& path) {
  Loaded out;
  if (!readInput(path, out)) return out;
  static constexpr std::string_view kXmMagic = "Extended Module: ";
  if (out.bytes.size() >= kXmMagic.size() &&
      std::equal(kXmMagic.begin(), kXmMagic.end(), out.bytes.begin()))
    return out;
  out.fromSource = true;
  const std::string source = asText(out.bytes);
  out.bytes.clear();
  music::BuildError error;
  std::vector<music::BuildError> warnings;
  const bool ok = music::buildSong(source, &out.bytes, &error, &warnings);
  for (const music::BuildError& w : warnings)
    out.warnings.push_back(path + ":" + std::to_string(w.line) + ":" + std::to_string(w.column) +
                           ": warning: " + w.message);
  if (!ok) {
    out.bytes.clear();
    out.error = path + ":" + std::to_string(error.line) + ":" + std::to_string(error.column) +
                ": error: " + error.message;
  }
  return out;
}

Loaded loadPack(const std::string& path) {
  Loaded out;
  if (!readInput(path, out)) return out;
  // Every pack entry ends its name with a zero byte; an empty file is an empty pack.
  if (out.bytes.empty() || hasZeroByte(out.bytes)) return out;
  out.fromSource = true;
  out.inputs.clear();
  if (!buildPack(path, out.bytes, out.error, &out.inputs)) out.bytes.clear();
  return out;
}

}  // namespace compile

}  // namespace glimmer
