// The content compilers: scene source to SceneData streams, song notation to XM modules, pack
// manifests (OBJ meshes, TGA images) to mesh packs, and loaders that take either a source or a
// compiled file and hand back compiled bytes. glimmerc and the show link this library; the
// runtime libraries (scene, texgen, mesh, music, render) carry no compiler.
//
// Index:
//   Loaders               loadScene / loadMusic / loadPack: source or compiled, by content
//   Scene source          compileSceneSource / decompileScene (tools/compile/scene_source.h)
//   Song notation         buildSong
//   Mesh pack sources     parseObj / readTgaImage / parseManifest / buildPack / writeObj
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/mesh.h"
#include "tools/compile/scene_source.h"

namespace glimmer::compile {

// What a loader read: the compiled bytes, whether they came from a source compiled here, the
// first error, the compiler's warnings and every file read (for a watcher).
struct Loaded {
  std::vector<uint8_t> bytes;  // scene stream / XM module / mesh pack
  bool fromSource = false;     // the file was a source, compiled in-process
  std::string
      error;  // empty on success; "FILE:LINE:COL: error: ..." or "FILE: offset N: error: ..."
  std::vector<std::string> warnings;  // compiler warnings, one line each
  std::vector<std::string> inputs;    // every file read: the source and the OBJ/TGA files it names
};

// A scene source (text) or a compiled SceneData stream (contains zero bytes); a compiled stream
// is parsed to check it, and its bytes are returned unchanged.
Loaded loadScene(const std::string& path);
// Song notation (text) or an XM module (starts with "Extended Module: ").
Loaded loadMusic(const std::string& path);
// A pack manifest (text) or a compiled mesh pack.
Loaded loadPack(const std::string& path);

}  // namespace glimmer::compile

namespace glimmer::music {

// Song notation: compiles the text (see content/song.txt for a worked example) into XM bytes
// that ordinary tracker software opens.

struct BuildError {
  int line = 0;
  int column = 0;
  std::string message;
};
// Compiles the source; returns false and fills *error on the first problem.
bool buildSong(const std::string& source, std::vector<uint8_t>* xm, BuildError* error);

}  // namespace glimmer::music

namespace glimmer {

// An error in a text file, printed as "FILE:LINE:COL: error: WHAT".
struct SourceError {
  std::string file;
  int line = 0;
  int column = 0;
  std::string what;
  std::string message() const;
};

// Reads a Wavefront OBJ text (v, vt, f; vn and grouping lines accepted and ignored) into a pack
// mesh: polygons are fanned into triangles and each distinct (position, texture coordinate) pair
// becomes one vertex, in order of first use. When the file pairs them one to one (as many v as vt
// lines and every corner v/vt with equal numbers, like the files `glimmerc meshes` writes), vertex
// k is v line k with vt line k, unused ones included, so pools round-trip exactly. More than
// 65536 vertices is an error at the corner that needs the next one.
bool parseObj(std::string_view text, const std::string& file, PackMesh& out, SourceError& error);

// Checks an uncompressed 32-bit true-colour TGA (image type 2, no ID field, no colour map, edges
// 1 to 512) and returns the entry bytes: the 18-byte header and width x height x 4 pixel bytes.
// Errors read "FILE: offset N: error: WHAT".
bool readTgaImage(std::span<const uint8_t> bytes, const std::string& file,
                  std::vector<uint8_t>& entry, std::string& error);

// One line of a pack manifest: `mesh NAME FILE.obj` or `image NAME FILE.tga`.
struct ManifestEntry {
  enum class Kind { Mesh, Image };
  Kind kind = Kind::Mesh;
  std::string name;
  std::string file;  // as written, relative to the manifest's folder
  int line = 0;
  int fileColumn = 0;
};

// Parses a manifest ('#' starts a comment; blank lines allowed; names unique, 1 to 511 bytes).
bool parseManifest(std::string_view text, const std::string& file, std::vector<ManifestEntry>& out,
                   SourceError& error);

// Writes the mesh as OBJ: its three pools as v, vt and vn lines in order, then one f line per
// triangle with its corners as position/texCoord/normal (1-based).
std::string writeObj(const MeshObject& mesh, const std::string& comment);

// Builds a pack from a manifest file: each entry's file is read relative to the manifest's
// folder and packed in order. Every file read is appended to inputs when given. Returns false
// with error set ("FILE:LINE:COL: error: ..." or "FILE: offset N: error: ...").
bool buildPack(const std::string& manifestPath, std::vector<uint8_t>& pack, std::string& error,
               std::vector<std::string>* inputs = nullptr);

}  // namespace glimmer
