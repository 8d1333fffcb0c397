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

using glimmer::Category;

// Compiles one source, writes it as a stream and parses that back.
glimmer::SceneStream throughStream(const std::string& source) {
  glimmer::SceneStream compiled, back;
  std::string error;
  EXPECT_TRUE(glimmerc::compileSceneSource(source, "t.scene", compiled, error)) << error << "\n"
                                                                                << source;
  const std::vector<uint8_t> bytes = glimmer::writeSceneStream(compiled);
  glimmer::SceneError serr;
  EXPECT_TRUE(glimmer::parseSceneStream(bytes, "t.bin", back, serr)) << serr.message();
  return back;
}

// The name the runtime gives an opcode of a category, null where the runtime names none.
const char* runtimeName(Category c, int opcode) {
  if (c == Category::Texture) return glimmer::textureOpName(opcode);
  if (c == Category::Mesh) return glimmer::meshOpName(static_cast<uint8_t>(opcode));
  return nullptr;
}

TEST(OpcodeTables, EveryEntryCompilesToItsOpcodeParametersAndRuntimeName) {
  for (int ci = 0; ci < glimmer::kCategoryCount; ++ci) {
    const auto c = static_cast<Category>(ci);
    for (const glimmer::OpcodeDef& d : glimmer::opcodeTable(c)) {
      // Every named parameter gets its slot number plus two (2 fits Resize), so each lands in a
      // distinct slot.
      std::string line = std::string("  ") + d.list + ' ' + d.name;
      for (const glimmer::ParamDef& p : d.params)
        if (p.index >= 0) line += ' ' + std::string(p.name) + '=' + std::to_string(p.index + 2);
      const std::string source = std::string(glimmer::categoryWord(c)) + " 0 1\n" + line + "\n";
      const glimmer::SceneStream s = throughStream(source);
      const auto& e = s.categories[static_cast<size_t>(ci)].at(0);
      const auto& tracks = d.list == 'A' ? e.tracksA : e.tracksB;
      ASSERT_EQ(tracks.size(), 1u) << source;
      const glimmer::TrackRecord& t = tracks[0];
      EXPECT_EQ(static_cast<int>(t.word & 0xFF), d.opcode) << d.name;
      for (const glimmer::ParamDef& p : d.params) {
        if (p.index >= 0) {
          EXPECT_EQ(t.params[static_cast<size_t>(p.index)], p.index + 2.0f)
              << d.name << ' ' << p.name;
        }
      }
      if (c == Category::Texture || c == Category::Mesh) {
        EXPECT_STREQ(runtimeName(c, d.opcode), d.name);
      }
      EXPECT_NE(glimmerc::decompileScene(s).find(line), std::string::npos) << line;
    }
  }
  // Opcodes without an entry have no runtime name either.
  EXPECT_EQ(glimmer::textureOpName(24), nullptr);
  EXPECT_EQ(glimmer::meshOpName(11), nullptr);
}

TEST(OpcodeTables, NamesMatchTheDispatchEnums) {
  using glimmer::MeshOp;
  using glimmer::TextureOp;
  // The enums the dispatchers switch on, written out by hand from the command reference.
  const std::pair<const char*, TextureOp> textures[] = {{"Fill", TextureOp::Fill},
                                                        {"Rectangle", TextureOp::Rectangle},
                                                        {"Blur", TextureOp::Blur},
                                                        {"RotoZoom", TextureOp::RotoZoom},
                                                        {"StoreLayer", TextureOp::StoreLayer},
                                                        {"Resize", TextureOp::Resize},
                                                        {"RenderText", TextureOp::RenderText}};
  for (const auto& [name, op] : textures)
    EXPECT_EQ(glimmer::findOpcode(Category::Texture, name)->opcode, static_cast<int>(op)) << name;
  const std::pair<const char*, MeshOp> meshes[] = {{"SetTransform", MeshOp::SetTransform},
                                                   {"Lighting", MeshOp::Lighting},
                                                   {"Grid", MeshOp::Grid},
                                                   {"Sphere", MeshOp::Sphere},
                                                   {"LoadMesh", MeshOp::LoadMesh},
                                                   {"Displace", MeshOp::Displace},
                                                   {"Nop", MeshOp::Nop}};
  for (const auto& [name, op] : meshes)
    EXPECT_EQ(glimmer::findOpcode(Category::Mesh, name)->opcode, static_cast<int>(op)) << name;
  for (const glimmer::NamedValue& m : glimmer::blendModes()) {
    const glimmer::SceneStream s =
        throughStream(std::string("texture 0 1\n  B Fill mode=") + m.name + "\n");
    const int mode = static_cast<int>((s.categories[0][0].tracksB[0].word >> 8) & 0xFF);
    EXPECT_EQ(mode, m.value) << m.name;
    EXPECT_STREQ(glimmer::blendModeLabel(mode), m.name);
  }
  const std::pair<const char*, glimmer::BlendMode> modes[] = {
      {"Or", glimmer::BlendMode::Or},
      {"Screen", glimmer::BlendMode::Screen},
      {"Burn", glimmer::BlendMode::Burn},
      {"Dodge", glimmer::BlendMode::Dodge}};
  for (const auto& [name, mode] : modes)
    EXPECT_EQ(glimmer::valueOf(glimmer::blendModes(), name), static_cast<int>(mode)) << name;
  for (const glimmer::NamedValue& e : glimmer::edgeModes()) {
    const glimmer::SceneStream s =
        throughStream(std::string("texture 0 1\n  B Blur edge=") + e.name + "\n");
    EXPECT_EQ(static_cast<int>((s.categories[0][0].tracksB[0].word >> 17) & 3), e.value) << e.name;
  }
  for (const glimmer::NamedValue& k : glimmer::keyTypes()) {
    const glimmer::SceneStream s =
        throughStream(std::string("scene 0 1\n  A SetFade animated\n    key 0 ") + k.name +
                      " alpha=1\n    key 1 hold alpha=2\n");
    EXPECT_EQ(s.categories[3][0].tracksA[0].keys[0].type, k.value) << k.name;
  }
}

// A source's blend mode reaches the generator's formula of that name. Grey 128 under grey 192:
// Burn gives 255 - (255 - 192) * 255 / 128 = 129.5, truncated to 130; Dodge would saturate
// (192 * 255 / 127 > 255).
TEST(OpcodeTables, SourceBlendModeNamesSelectTheGeneratorsFormula) {
  struct Row {
    const char* mode;
    uint32_t channel;
  };
  const Row rows[] = {{"Burn", 130}, {"Dodge", 255}, {"Average", 160}, {"Minimum", 128}};
  for (const Row& r : rows) {
    const glimmer::SceneStream s =
        throughStream(std::string("texture 0 1\n  B Fill red=128 green=128 blue=128 alpha=128\n"
                                  "  B Fill red=192 green=192 blue=192 alpha=192 mode=") +
                      r.mode + "\n");
    glimmer::setTextureGeometry(2);
    std::vector<glimmer::TexturePixel> image(4, 0u);
    for (const glimmer::TrackRecord& rec : s.categories[0][0].tracksB) {
      glimmer::Track t;
      t.word = rec.word;
      t.params = rec.params;
      glimmer::runTextureCommand(image.data(), t);
    }
    EXPECT_EQ(image[0], r.channel * 0x01010101u) << r.mode;
  }
}

}  // namespace
