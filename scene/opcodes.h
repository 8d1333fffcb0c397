// The command tables: every opcode of every category with its name, the list it belongs in, its
// parameters (name, unit, documented range) and what it does; the texture blend modes, edge
// modes and key types. Written once here and read by the runtime's names (textureOpName,
// meshOpName, blendModeLabel), the scene source compiler and decompiler, `glimmerc scene stats`
// and `glimmerc scene ops`.
#pragma once

#include <array>
#include <limits>
#include <span>
#include <string_view>

#include "scene/scene.h"

namespace glimmer {

// One parameter of a command: its slot (p0 … p11), name, unit and the range its documentation
// gives. Values outside [min, max] are accepted (several spill in defined ways) but are almost
// surely a mistake; the scene compiler warns about them.
struct ParamDef {
  int index = -1;  // -1 ends the list
  const char* name = nullptr;
  const char* unit = nullptr;
  float min = -std::numeric_limits<float>::max();
  float max = std::numeric_limits<float>::max();
  bool bounded() const {
    return min > -std::numeric_limits<float>::max() || max < std::numeric_limits<float>::max();
  }
};

// One command. list: 'A' or 'B', the list in which the category applies it (textures run list B
// before list A at precalculation and both only then; meshes build from list B and place from
// list A; the other categories read list A only, list A is the one the frame update animates).
struct OpcodeDef {
  Category category = Category::Texture;
  int opcode = 0;
  const char* name = nullptr;
  char list = 'A';
  const char* text = nullptr;  // what the quoted string operand is, null when unused
  const char* effect = nullptr;
  std::array<ParamDef, kParamCount> params{};

  // The parameter in slot index, null when the command does not read that slot.
  const ParamDef* param(int index) const;
  const ParamDef* param(std::string_view name) const;
};

// Every command of a category in opcode order.
std::span<const OpcodeDef> opcodeTable(Category c);
// The command with that opcode or name, null when there is none.
const OpcodeDef* findOpcode(Category c, int opcode);
const OpcodeDef* findOpcode(Category c, std::string_view name);

// A named value of a small enumeration: blend modes, edge modes, key types.
struct NamedValue {
  int value = 0;
  const char* name = nullptr;
  const char* meaning = nullptr;
};
// Texture blend modes (bits 8-15 of a texture command word), 0 to 11.
std::span<const NamedValue> blendModes();
// Texture edge modes for nearest sampling (bits 17-18), 0 to 3.
std::span<const NamedValue> edgeModes();
// Key interpolation types, 0 to 2.
std::span<const NamedValue> keyTypes();
// The name of a value, null when it has none.
const char* valueName(std::span<const NamedValue> table, int value);
// The value of a name, -1 when there is none.
int valueOf(std::span<const NamedValue> table, std::string_view name);

// The word that starts an entity of the category in scene source: texture, mesh, light, scene,
// timeline, particles.
const char* categoryWord(Category c);

}  // namespace glimmer
