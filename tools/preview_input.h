// Shared input handling of the preview commands (textures, meshes): IN [--pack PACK] -o DIR.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scene/scene.h"
#include "tools/commands.h"
#include "tools/compile/compile.h"

namespace glimmerc {

bool readFile(const std::string& path, std::vector<uint8_t>& out);

// A file-name-safe form of a display name: letters, digits, '-', '_' and '.'; others become '-'.
// fallback when nothing is left.
std::string fileSafe(const std::string& name, const char* fallback);

struct PreviewInput {
  std::string in, out, packFile;
  glimmer::SceneStream stream;
  SourceInfo info;
  std::vector<uint8_t> pack;
};

// Parses the arguments, loads IN (source or compiled) and the pack, and creates DIR. Returns -1
// when the command should go on, otherwise the exit code to end with (help, usage or content
// error, with its message printed).
int preparePreview(const char* command, const char* usage, const Args& args, PreviewInput& p);

// Creates the output folder when missing; false with the message printed.
bool createOutputFolder(const std::string& dir);

}  // namespace glimmerc
