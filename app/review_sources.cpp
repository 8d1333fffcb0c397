// Review mode's content loaders over the compilers glimmerc uses: the scene source compiler,
// the song builder and the pack manifest readers.
#include "app/review_sources.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>

#include "mesh/mesh.h"
#include "music/music.h"
#include "scene/scene.h"
#include "tools/scene_source.h"

namespace glimmer::compile {

namespace {

bool readWhole(const std::string& path, std::vector<uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool endsWith(const std::string& s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Text has no zero byte; compiled streams, modules and packs always hold some.
bool looksLikeText(const std::vector<uint8_t>& bytes) {
  for (uint8_t b : bytes)
    if (b == 0) return false;
  return true;
}

Loaded unreadable(const std::string& path) {
  Loaded r;
  r.error = path + ": error: cannot read file";
  r.inputs = {path};
  return r;
}

}  // namespace

Loaded loadScene(const std::string& path) {
  Loaded r;
  r.inputs = {path};
  std::vector<uint8_t> bytes;
  if (!readWhole(path, bytes)) return unreadable(path);
  if (endsWith(path, ".scene") || looksLikeText(bytes)) {
    glimmer::SceneStream stream;
    const std::string text(bytes.begin(), bytes.end());
    if (!glimmerc::compileSceneSource(text, path, stream, r.error)) return r;
    r.bytes = glimmer::writeSceneStream(stream);
    r.fromSource = true;
    return r;
  }
  glimmer::SceneStream stream;
  glimmer::SceneError error;
  if (!glimmer::parseSceneStream(bytes, path, stream, error)) {
    r.error = error.message();
    return r;
  }
  r.bytes = std::move(bytes);
  return r;
}

Loaded loadMusic(const std::string& path) {
  Loaded r;
  r.inputs = {path};
  std::vector<uint8_t> bytes;
  if (!readWhole(path, bytes)) return unreadable(path);
  if (endsWith(path, ".txt") || looksLikeText(bytes)) {
    music::BuildError error;
    if (!music::buildSong(std::string(bytes.begin(), bytes.end()), &r.bytes, &error)) {
      r.error = path + ":" + std::to_string(error.line) + ":" + std::to_string(error.column) +
                ": error: " + error.message;
      r.bytes.clear();
      return r;
    }
    r.fromSource = true;
    return r;
  }
  music::LoadError error;
  music::SongPtr song(music::loadSongFromMemory(bytes, &error));
  if (!song) {
    r.error = path + ": " + error.describe();
    return r;
  }
  r.bytes = std::move(bytes);
  return r;
}

Loaded loadPack(const std::string& path) {
  Loaded r;
  r.inputs = {path};
  std::vector<uint8_t> bytes;
  if (!readWhole(path, bytes)) return unreadable(path);
  if (!endsWith(path, ".manifest") && !looksLikeText(bytes)) {
    r.bytes = std::move(bytes);
    return r;
  }
  std::vector<glimmer::ManifestEntry> entries;
  glimmer::SourceError serr;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (!glimmer::parseManifest(text, path, entries, serr)) {
    r.error = serr.message();
    return r;
  }
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  for (const glimmer::ManifestEntry& e : entries) {
    const std::string file = (folder / e.file).string();
    r.inputs.push_back(file);
    std::vector<uint8_t> content;
    if (!readWhole(file, content)) {
      r.error = path + ":" + std::to_string(e.line) + ":" + std::to_string(e.fileColumn) +
                ": error: cannot read '" + file + "'";
      r.bytes.clear();
      return r;
    }
    std::vector<uint8_t> payload;
    if (e.kind == glimmer::ManifestEntry::Kind::Mesh) {
      glimmer::PackMesh mesh;
      const std::string_view obj(reinterpret_cast<const char*>(content.data()), content.size());
      if (!glimmer::parseObj(obj, file, mesh, serr)) {
        r.error = serr.message();
        r.bytes.clear();
        return r;
      }
      payload = glimmer::encodePackMesh(mesh);
    } else if (!glimmer::readTgaImage(content, file, payload, r.error)) {
      r.bytes.clear();
      return r;
    }
    glimmer::appendPackEntry(r.bytes, e.name, payload);
  }
  r.fromSource = true;
  return r;
}

}  // namespace glimmer::compile
