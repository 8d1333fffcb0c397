// glimmerc: the content compiler and inspection tool.
#include <cstdio>
#include <cstring>

#include "tools/commands.h"

namespace {

// Each line's synopsis is the one the command's own --help prints (a test compares them).
const char* kUsage =
    "usage: glimmerc COMMAND [ARGS]\n"
    "commands:\n"
    "  scene compile IN.scene -o OUT.bin           compile a scene source to SceneData\n"
    "  scene decompile IN [-o OUT.scene]           print SceneData as scene source\n"
    "  scene stats IN                              record, track and key counts, opcode usage\n"
    "  scene ops [NAME]                            the command reference: opcodes, parameters,\n"
    "                                              units, ranges, lists; blend/edge modes, keys\n"
    "  textures IN [--pack PACK] -o DIR            render every texture to NNN-name.png\n"
    "  meshes IN [--pack PACK] -o DIR              write every built mesh as NNN-name.obj\n"
    "  pack build MANIFEST -o OUT.bin              pack OBJ meshes and TGA images\n"
    "  pack list PACK                              list a pack's entries\n"
    "  song build SONG.txt -o OUT.xm               compile song notation to an XM module\n"
    "  song render IN.xm -o OUT.wav [--seconds N]  render a module offline\n"
    "  song info IN.xm                             describe a module\n"
    "  song timeline IN.xm [--max-seconds N]       row starts: frame, order, pattern, row, "
    "seconds\n"
    "Each command takes --help. IN is a source or a compiled file; compilers print warnings\n"
    "(FILE:LINE:COL: warning: ...) on stderr and still succeed.\n"
    "Exit codes: 0 success, 1 content error, 2 usage error.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string cmd = argv[1];
  if (cmd == "--help" || cmd == "-h" || cmd == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  glimmerc::Args args(argv + 2, argv + argc);
  if (cmd == "scene") return glimmerc::sceneCommand(args);
  if (cmd == "textures") return glimmerc::texturesCommand(args);
  if (cmd == "meshes") return glimmerc::meshesCommand(args);
  if (cmd == "pack") return glimmerc::packCommand(args);
  if (cmd == "song") return glimmerc::songCommand(args);
  std::fprintf(stderr, "glimmerc: unknown command '%s'\n%s", cmd.c_str(), kUsage);
  return 2;
}
