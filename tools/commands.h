// Subcommands of glimmerc. Each returns the process exit code: 0 success, 1 content error,
// 2 usage error. args excludes the program name and the subcommand word itself.
#pragma once

#include <string>
#include <vector>

namespace glimmerc {

using Args = std::vector<std::string>;

int sceneCommand(const Args& args);     // scene compile|decompile|stats
int texturesCommand(const Args& args);  // textures IN -o DIR
int meshesCommand(const Args& args);    // meshes IN --pack PACK -o DIR
int packCommand(const Args& args);      // pack build|list
int songCommand(const Args& args);      // song build|render|info|timeline

}  // namespace glimmerc
