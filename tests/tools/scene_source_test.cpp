// The scene source format: labels, escapes, error positions and warnings, the decompile/compile
// round trip, UTF-8 strings to Windows-1251, and the command tables against the compiler, the
// stream, the decompiler and the enums that dispatch them. (The runtime names, textureOpName,
// meshOpName and blendModeLabel, read the same tables.)
#include <gtest/gtest.h>

#include <bit>
#include <fstream>
#include <random>

#include "mesh/mesh.h"
#include "scene/opcodes.h"
#include "texgen/texgen.h"
#include "tools/compile/compile.h"
#include "tools/compile/cp1251.h"

namespace {

using namespace glimmer;
using namespace glimmerc;

struct Compiled {
  bool ok;
  SceneStream s;
  std::string error;
  std::vector<std::string> warnings;
};

Compiled compileText(const std::string& text, const char* file = "t.scene") {
  Compiled c;
  c.ok = compileSceneSource(text, file, c.s, c.error, nullptr, &c.warnings);
  return c;
}

TEST(SceneSource, LabelsFlagsAndStrings) {
  // Labels resolve to indices in their own category, wherever they are defined.
  const Compiled c = compileText(
      "mesh @m 0 1\n  A SetTextures tex0=@b tex1=@a\ntexture @a 0 1\ntexture @b 0 1 # second\n"
      "timeline 0 1\n  A SetScene scene=@s animated\n    key 0 hold scene=@s\nscene @s 0 1\n"
      // Word bits: high byte, animated, edge 2 (bits 17-18), smooth (16), mode 3 (8-15), opcode 2.
      "texture 0 1\n  B Circle x=1 mode=Add smooth edge=mirror disabled animated high=0x12 "
      "\"a\\\"\\x01\xd0\x96\"\n  B Op200 p11=-0\n");
  ASSERT_TRUE(c.ok) << c.error;
  const auto& tracks = c.s.categories[1][0].tracksA;
  EXPECT_EQ(tracks[0].params[0], 1.0f);
  EXPECT_EQ(tracks[0].params[3], 0.0f);
  EXPECT_EQ(c.s.categories[4][0].tracksA[0].keys[0].values[0], 0.0f);
  EXPECT_EQ(c.s.categories[4][0].tracksA[0].keys[0].type, 0);
  const auto& t = c.s.categories[0][2].tracksB[0];
  EXPECT_EQ(t.word, 0x12000000u | kAnimatedBit | (2u << 17) | (1u << 16) | (3u << 8) | 2u);
  EXPECT_EQ(t.name, std::string("a\"\x01\xc6"));  // U+0416 is 0xC6 in Windows-1251
  EXPECT_EQ(c.s.categories[0][2].tracksB[1].word & 0xFF, 200u);
  EXPECT_TRUE(std::signbit(c.s.categories[0][2].tracksB[1].params[11]));
}

// Decompile then compile gives back the bytes of every stream the loader accepts.
TEST(SceneSource, RandomStreamsSurviveDecompileCompile) {
  std::mt19937 rng(99);
  auto below = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
  auto anyFloat = [&] { return std::bit_cast<float>(static_cast<uint32_t>(rng())); };
  for (int round = 0; round < 200; ++round) {
    SceneStream s;
    for (size_t c = 0; c < 6; ++c)
      for (EntityRecord& e : s.categories[c] = std::vector<EntityRecord>(below(3))) {
        e = {anyFloat(), float(below(1000)) / 7, std::vector<TrackRecord>(below(3)),
             std::vector<TrackRecord>(below(3))};
        for (auto* list : {&e.tracksA, &e.tracksB})
          for (TrackRecord& t : *list) {
            // Texture layer commands (14-16) and Resize (22) come often, so the value rule meets
            // disabled commands and keys of tracks that are not animated.
            t.word = static_cast<uint32_t>(rng());
            if (c == 0 && below(2)) t.word = (t.word & ~0xFFu) | (below(2) ? 22u : 14u + below(3));
            for (float& p : t.params) p = anyFloat();
            if (below(2)) t.name = std::string(1 + below(5), static_cast<char>(1 + below(255)));
            for (KeyRecord& k : t.keys = std::vector<KeyRecord>(below(3))) {
              k.time = float(below(100)) * 0.37f;
              k.type = static_cast<uint8_t>(rng());
              for (float& v : k.values) v = (float(below(2000)) - 1000) / 3;
            }
            // A stream the show would refuse to run is no round-trip case: its first value is
            // made usable (size 64, layer 3) wherever the texture rule reads it.
            if (c == 0 && !textureCommandProblem(t).empty()) {
              t.params[0] = (t.word & 0xFF) == 22 ? 64.0f : 3.0f;
              for (auto& k : t.keys) k.values[0] = t.params[0];
            }
          }
      }
    s.trailing.resize(below(3), 0xAB);
    const Compiled back = compileText(decompileScene(s), "r");
    ASSERT_TRUE(back.ok) << back.error;
    ASSERT_EQ(writeSceneStream(back.s), writeSceneStream(s)) << decompileScene(s);
  }
}

// Each mistake is refused at its line (and column where given): the position says enough, the
// text is not pinned. Texture values the generator could not run safely are mistakes too.
TEST(SceneSource, ErrorsGiveLineAndColumn) {
  std::string many;
  for (int i = 0; i < 256; ++i) many += "light 0 1\n";
  // clang-format off
  const std::pair<std::string, const char*> rows[] = {
      {"texture 0 1\n  B Fil red=1\n", "2:5:"}, {"texture 0 1\n  B Fill rd=1\n", "2:10:"},
      {"texture 0 1\n  B Fill red=x\n", "2:14:"}, {"  B Fill\n", "1:3:"}, {many, "256:1:"},
      {"mesh 0 1\n A SetParent parent=@nope\n", "2:"}, {"texture 0\n", "1:"},
      {"texture 0 1\n B RenderText \"abc\n", "2:"}, {"texture @a 0 1\ntexture @a 0 1\n", "2:"},
      {"texture 0 1\n B Resize size=300\n", "2:"}, {"texture 0 1\n B StoreLayer layer=16\n", "2:"},
      {"texture 0 1\n B CombineLayer layer=1 animated\n  key 0 flat layer=20\n", "3:"}};
  // clang-format on
  for (const auto& [source, where] : rows) {
    const Compiled c = compileText(source);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.error.rfind(std::string("t.scene:") + where, 0), 0u) << c.error;
    EXPECT_NE(c.error.find(": error: "), std::string::npos) << c.error;
  }
  // The edges of the value ranges compile; so do values on commands that never run them.
  EXPECT_TRUE(
      compileText(
          "texture 0 1\n B Resize size=512\n B StoreLayer layer=15\n"
          " B StoreLayer layer=99 disabled\n B CombineLayer layer=1\n  key 0 flat layer=99\n")
          .ok);
}

// Accepted but almost surely a mistake: each source compiles and gives exactly one warning.
TEST(SceneSource, WarningsForLikelyMistakes) {
  const std::string tl =
      "timeline 0 1\n  A SetScene scene=@s animated\n    key 0 hold scene=@s\nscene @s 0 1\n";
  // clang-format off
  const std::pair<std::string, std::string> rows[] = {  // source, the start of the warning
      {tl + "mesh 0 1\n  A SetTextures tex0=@s\n", "6:22: warning: '@s' is a scene"},
      {tl + "scene 0 1\n  A SetFade alpha=1\n    key 0 flat alpha=1\n", "7:5: warning: keys on"},
      {tl + "scene 0 1\n  A SetFade animated\n    key 2 flat\n    key 1 flat\n", "8:9: warning"},
      {"texture 0 1\n", "1:1: warning: no timeline"},
      // Colours are channel values 0-255.
      {tl + "texture 0 1\n  B Fill red=300\n", "6:14: warning: Fill red 300 is outside 0 to 255"},
      {tl + "texture 0 1\n  A Fill red=3\n", "6:3: warning: Fill belongs in list B"},
      {tl + "mesh 0 1\n  B Grid animated\n", "6:5: warning: tracks of list B"}};
  // clang-format on
  for (const auto& [source, expected] : rows) {
    const Compiled c = compileText(source);
    ASSERT_TRUE(c.ok) << c.error;
    ASSERT_EQ(c.warnings.size(), 1u) << source << (c.warnings.empty() ? "" : c.warnings[0]);
    EXPECT_EQ(c.warnings[0].rfind("t.scene:" + expected, 0), 0u) << c.warnings[0];
  }
  // The show's own content compiles without a warning.
  std::ifstream f(std::string(GLIMMER_CONTENT_DIR) + "/scene.scene");
  const Compiled c = compileText(std::string(std::istreambuf_iterator<char>(f), {}), "scene.scene");
  ASSERT_TRUE(c.ok) << c.error;
  EXPECT_TRUE(c.warnings.empty()) << c.warnings[0];
}

// UTF-8 to Windows-1251: expected bytes read off the public chart of code page 1251 (Cyrillic
// letters at 0xC0-0xFF in alphabetical order, Ё/ё at 0xA8/0xB8, the typographic punctuation
// and the other Slavic letters at 0x80-0xBF, 0x98 unassigned).
TEST(Cp1251, ConvertsOrRefusesEachCharacter) {
  // clang-format off
  const std::pair<const char*, const char*> rows[] = {  // UTF-8, code page bytes (null: refused)
      {"plain ASCII", "plain ASCII"}, {"Hi \xD0\x9C\xD0\xB8\xD1\x80", "Hi \xCC\xE8\xF0"},  // Мир
      {"\xD0\x90", "\xC0"}, {"\xD1\x8F", "\xFF"}, {"\xD0\x96", "\xC6"},  // А (first), я (last), Ж
      {"\xD0\x81\xD1\x91", "\xA8\xB8"}, {"\xD0\x82", "\x80"},  // Ё ё, Ђ
      {"\xE2\x80\x9A", "\x82"}, {"\xE2\x80\xA6", "\x85"},  // ‚ …
      {"\xE2\x82\xAC", "\x88"}, {"\xE2\x80\x94", "\x97"}, {"\xE2\x84\xA2", "\x99"},  // € — ™
      {"\xC2\xA0", "\xA0"}, {"\xD2\x90", "\xA5"}, {"\xC2\xAB\xC2\xBB", "\xAB\xBB"},  // nbsp Ґ « »
      {"\xE2\x84\x96", "\xB9"}, {"\xD1\x97", "\xBF"},  // №, ї (last of 0x80-0xBF)
      // Refused: é (not in the code page), U+0098 (0x98 unassigned), an emoji, a lone
      // continuation byte, a character cut short, an overlong NUL, a UTF-16 surrogate.
      {"\xC3\xA9", nullptr}, {"\xC2\x98", nullptr}, {"\xF0\x9F\x98\x80", nullptr},
      {"\x80", nullptr}, {"\xD0", nullptr}, {"\xC0\x80", nullptr}, {"\xED\xA0\x80", nullptr}};
  // clang-format on
  for (const auto& [utf8, cp1251] : rows) {
    std::string out;
    EXPECT_EQ(utf8ToCp1251(utf8, out), cp1251 != nullptr) << utf8;
    EXPECT_TRUE(!cp1251 || out == cp1251) << utf8 << " gave " << out;
  }
}

// Compiles one source, writes it as a stream and parses that back.
SceneStream throughStream(const std::string& source) {
  const Compiled c = compileText(source);
  SceneStream back;
  SceneError e;
  EXPECT_TRUE(c.ok && parseSceneStream(writeSceneStream(c.s), "t.bin", back, e))
      << c.error << source;
  return back;
}

TEST(OpcodeTables, EveryEntryCompilesToItsOpcodeAndParameters) {
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
      EXPECT_NE(decompileScene(s).find(line), std::string::npos) << line;
    }
  }
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
  // clang-format on
  for (const auto& [name, op] : textures)
    EXPECT_EQ(findOpcode(Category::Texture, name)->opcode, static_cast<int>(op)) << name;
  for (const auto& [name, op] : meshes)
    EXPECT_EQ(findOpcode(Category::Mesh, name)->opcode, static_cast<int>(op)) << name;
}

// A source's blend mode reaches the generator's formula of that name (Burn and Dodge were once
// swapped between the compiler and the generator). Grey 128 under grey 192: Burn gives
// 255 - (255 - 192) * 255 / 128 = 129.5, truncated to 130; Dodge saturates (192 * 255 / 127 >
// 255); Average (128 + 192) / 2 = 160; Minimum 128; Screen 255 - 127 * 63 / 255 = 255 - 31.
TEST(OpcodeTables, SourceBlendModeNamesSelectTheGeneratorsFormula) {
  const std::pair<const char*, uint32_t> rows[] = {
      {"Burn", 130}, {"Dodge", 255}, {"Average", 160}, {"Minimum", 128}, {"Screen", 224}};
  for (const auto& [mode, grey] : rows) {
    const SceneStream s =
        throughStream(std::string("texture 0 1\n  B Fill red=128 green=128 blue=128 alpha=128\n"
                                  "  B Fill red=192 green=192 blue=192 alpha=192 mode=") +
                      mode + "\n");
    setTextureGeometry(2);
    TexturePixel image[4] = {};
    for (const TrackRecord& rec : s.categories[0][0].tracksB) {
      Track t;
      t.word = rec.word;
      t.params = rec.params;
      runTextureCommand(image, t);
    }
    EXPECT_EQ(image[0], grey * 0x01010101u) << mode;
  }
}

}  // namespace
