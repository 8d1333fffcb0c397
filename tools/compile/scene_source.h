// The scene source format: a line-based, diffable text form of the SceneData stream. The
// author's manual is docs/AUTHORING.md; `glimmerc scene ops` lists every command.
//
//   # a comment runs to the end of the line
//   texture @bricks 0 178          category word, optional @label, start and end time (seconds)
//     B Resize size=256            list (A or B), opcode name, parameters by name
//     B Fill red=200 green=80 blue=40 alpha=255
//     B RenderText "Hello" x=20 y=100 height=40 mode=Add
//   mesh @floor 0 178
//     A SetTextures tex0=@bricks tex1=-1     @label: index of that entity in its category
//     A SetTransform y=-32 animated          animated: the keys below drive the track
//       key 0 smooth y=-32         key TIME TYPE name=value ...; TYPE is hold, flat, smooth or
//       key 4 smooth y=0           type=N (a raw type byte 0-255)
//   trailing 00                    bytes after the last category
//
// Parameters left out are 0. A parameter is written by its name or as p0 … p11; a value is a
// decimal number, an @label, or bits:XXXXXXXX (the raw bits of a float, for NaN and the like).
// Flags: disabled, animated, operands=0xNNNN (bits 8-21 of the word), high=0xNN (bits 24-31);
// texture commands also take mode=NAME|N, smooth, edge=wrap|clamp|mirror|transparent and
// spare=N (bits 19-21). A track may carry one string, or rawname="…" for a 512-byte name without
// terminator. Unknown opcodes are written OpN. Strings are the bytes of the command's name:
// printable ASCII as is, \" \\ and \xNN escapes; other UTF-8 characters are converted to
// Windows-1251. Names (opcodes, parameters, blend and edge modes, key types) come from the
// command tables of scene/opcodes.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "scene/scene.h"

namespace glimmerc {

// What the source says about each entity beyond the stream itself: its label and a name for
// previews (the label, else the comment on or just above its header line).
struct EntityInfo {
  std::string label;
  std::string displayName;
  int line = 0;
};

struct SourceInfo {
  std::array<std::vector<EntityInfo>, glimmer::kCategoryCount> entities;
};

// Compiles source text to a stream. On failure returns false with error set to
// "FILE:LINE:COL: error: …". Warnings ("FILE:LINE:COL: warning: …") go to warnings when given.
bool compileSceneSource(const std::string& text, const std::string& file, glimmer::SceneStream& out,
                        std::string& error, SourceInfo* info = nullptr,
                        std::vector<std::string>* warnings = nullptr);

// Writes a stream as source text that compiles back to the same bytes.
std::string decompileScene(const glimmer::SceneStream& stream);

// Opcode and parameter names, shared by the compiler, decompile and stats.
const char* opcodeName(glimmer::Category c, int opcode);  // null when the opcode has no name
const char* paramName(glimmer::Category c, int opcode, int index);  // null when unnamed
const char* blendModeName(int mode);                                // null past the named modes

// True when the bytes are a compiled stream rather than source text: a compiled stream holds
// counts and floats, so control characters (a source holds none but tab, CR and LF).
bool looksCompiled(std::string_view bytes);

// Loads IN as either scene source or a compiled stream (decided by content: a source file is
// text). Returns false with error set.
bool loadSceneInput(const std::string& path, glimmer::SceneStream& out, std::string& error,
                    SourceInfo* info = nullptr);

}  // namespace glimmerc
