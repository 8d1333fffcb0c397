// Content for review mode from sources or compiled files, compiled in-process with the same code
// as glimmerc: each loader returns the bytes the show reads, or the first error as
// "FILE:LINE:COL: error: …" (or "FILE: error: …"), and every file the result was made from, so
// that the caller can watch them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace glimmer::compile {

struct Loaded {
  std::vector<uint8_t> bytes;
  bool fromSource = false;
  std::string error;  // empty on success
  std::vector<std::string> warnings;
  std::vector<std::string> inputs;  // the file itself and the files it names
};

// A .scene source or a compiled SceneData stream.
Loaded loadScene(const std::string& path);
// A song .txt in the text notation or an .xm module.
Loaded loadMusic(const std::string& path);
// A pack.manifest (OBJ meshes and TGA images) or a compiled mesh pack.
Loaded loadPack(const std::string& path);

}  // namespace glimmer::compile
