// The command tables against every name that reads them: each entry compiled from source, written
// as a stream and read back, then named by the runtime (textureOpName, meshOpName,
// blendModeLabel) and by the decompiler; and the names against the enums that dispatch them.
#include <gtest/gtest.h>

#include <vector>

#include "mesh/mesh.h"
#include "scene/opcodes.h"
#include "texgen/texgen.h"
#include "tools/compile/compile.h"

namespace {

using namespace glimmer;

// Compiles one source, writes it as a stream and parses that back.
SceneStream throughStream(const std::string& source) {
  SceneStream compiled, back;
  std::string error;
  EXPECT_TRUE(glimmerc::compileSceneSource(source, "t.scene", compiled, error)) << error << source;
  SceneError serr;
  EXPECT_TRUE(parseSceneStream(writeSceneStream(compiled), "t.bin", back, serr)) << serr.message();
  return back;
}

TEST(OpcodeTables, EveryEntryCompilesToItsOpcodeParametersAndRuntimeName) {
  for (int ci = 0; ci < kCategoryCount; ++ci) {
    const auto c = static_cast<Category>(ci);
    for (const OpcodeDef& d : opcodeTable(c)) {
      // Every named parameter gets its slot number plus two (2 fits Resize), so each lands in a
      // distinct slot.
      std::string line = std::string("  ") + d.list + ' ' + d.name;
      for (const ParamDef& p : d.params)
        if (p.index >= 0) line += ' ' + std::string(p.name) + '=' + std::to_string(p.index + 2);
      const SceneStream s = throughStream(std::string(categoryWord(c)) + " 0 1\n" + line + "\n");
      const auto& e = s.categories[size_t(ci)].at(0);
      const auto& tracks = d.list == 'A' ? e.tracksA : e.tracksB;
      ASSERT_EQ(tracks.size(), 1u) << line;
      EXPECT_EQ(static_cast<int>(tracks[0].word & 0xFF), d.opcode) << d.name;
      for (const ParamDef& p : d.params)
        EXPECT_TRUE(p.index < 0 || tracks[0].params[size_t(p.index)] == p.index + 2.0f) << p.name;
      // Only textures and meshes have runtime names.
      const char* runtime = c == Category::Texture ? textureOpName(d.opcode)
                            : c == Category::Mesh  ? meshOpName(uint8_t(d.opcode))
                                                   : d.name;
      EXPECT_STREQ(runtime, d.name);
      EXPECT_NE(glimmerc::decompileScene(s).find(line), std::string::npos) << line;
    }
  }
  // Opcodes without an entry have no runtime name either.
  EXPECT_EQ(textureOpName(24), nullptr);
  EXPECT_EQ(meshOpName(11), nullptr);
}

TEST(OpcodeTables, NamesMatchTheDispatchEnums) {
  // The enums the dispatchers switch on, written out by hand from the command reference.
  // clang-format off
  const std::pair<const char*, TextureOp> textures[] = {
      {"Fill", TextureOp::Fill}, {"Rectangle", TextureOp::Rectangle}, {"Blur", TextureOp::Blur},
      {"RotoZoom", TextureOp::RotoZoom}, {"StoreLayer", TextureOp::StoreLayer},
      {"Resize", TextureOp::Resize}, {"RenderText", TextureOp::RenderText}};
  const std::pair<const char*, MeshOp> meshes[] = {
      {"SetTransform", MeshOp::SetTransform}, {"Lighting", MeshOp::Lighting},
      {"Grid", MeshOp::Grid}, {"Sphere", MeshOp::Sphere}, {"LoadMesh", MeshOp::LoadMesh},
      {"Displace", MeshOp::Displace}, {"Nop", MeshOp::Nop}};
  const std::pair<const char*, BlendMode> modes[] = {{"Or", BlendMode::Or},
      {"Screen", BlendMode::Screen}, {"Burn", BlendMode::Burn}, {"Dodge", BlendMode::Dodge}};
  // clang-format on
  for (const auto& [name, op] : textures)
    EXPECT_EQ(findOpcode(Category::Texture, name)->opcode, static_cast<int>(op)) << name;
  for (const auto& [name, op] : meshes)
    EXPECT_EQ(findOpcode(Category::Mesh, name)->opcode, static_cast<int>(op)) << name;
  for (const auto& [name, mode] : modes)
    EXPECT_EQ(valueOf(blendModes(), name), static_cast<int>(mode)) << name;
  // Each blend mode name survives source, stream (bits 8-15) and the runtime label.
  for (const NamedValue& m : blendModes()) {
    const SceneStream s = throughStream(std::string("texture 0 1\n  B Fill mode=") + m.name + "\n");
    const int mode = static_cast<int>((s.categories[0][0].tracksB[0].word >> 8) & 0xFF);
    EXPECT_EQ(mode, m.value) << m.name;
    EXPECT_STREQ(blendModeLabel(mode), m.name);
  }
}

// A source's blend mode reaches the generator's formula of that name (Burn and Dodge were once
// swapped between the compiler and the generator). Grey 128 under grey 192: Burn gives
// 255 - (255 - 192) * 255 / 128 = 129.5, truncated to 130; Dodge saturates (192 * 255 / 127 >
// 255); Average (128 + 192) / 2 = 160; Minimum 128.
TEST(OpcodeTables, SourceBlendModeNamesSelectTheGeneratorsFormula) {
  for (const auto& [mode, grey] :
       {std::pair{"Burn", 130u}, {"Dodge", 255u}, {"Average", 160u}, {"Minimum", 128u}}) {
    const SceneStream s =
        throughStream(std::string("texture 0 1\n  B Fill red=128 green=128 blue=128 alpha=128\n"
                                  "  B Fill red=192 green=192 blue=192 alpha=192 mode=") +
                      mode + "\n");
    setTextureGeometry(2);
    std::vector<TexturePixel> image(4, 0u);
    for (const TrackRecord& rec : s.categories[0][0].tracksB) {
      Track t;
      t.word = rec.word;
      t.params = rec.params;
      runTextureCommand(image.data(), t);
    }
    EXPECT_EQ(image[0], grey * 0x01010101u) << mode;
  }
}

}  // namespace
