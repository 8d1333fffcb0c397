// glimmerc's compile library: the scene source format and its round trip, UTF-8 to Windows-1251,
// the command tables against the compiler, the stream, the decompiler and the enums that
// dispatch them (the runtime names read the same tables), and the content loaders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <filesystem>
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
using compile::Loaded, compile::loadScene, compile::loadPack, compile::loadMusic;

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
  const TrackRecord& m = c.s.categories[1][0].tracksA[0];
  const KeyRecord& k = c.s.categories[4][0].tracksA[0].keys[0];
  EXPECT_EQ(std::tuple(m.params[0], m.params[3], k.values[0], int(k.type)), std::tuple(1, 0, 0, 0));
  const auto& t = c.s.categories[0][2].tracksB[0];
  EXPECT_EQ(t.word, 0x12000000u | kAnimatedBit | (2u << 17) | (1u << 16) | (3u << 8) | 2u);
  EXPECT_EQ(t.name, std::string("a\"\x01\xc6"));  // U+0416 is 0xC6 in Windows-1251
  const auto& u = c.s.categories[0][2].tracksB[1];
  EXPECT_TRUE((u.word & 0xFF) == 200 && std::signbit(u.params[11])) << u.word;
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

// Each mistake is refused, or accepted with exactly one warning, at its line (and column where
// given): the position and the start of a warning say enough, the error texts are not pinned.
// Texture values the generator could not run safely are errors: a layer outside 0-15 on an
// enabled command (or in a key of an animated one), a Resize to other than a power of two from
// 2 to 512 even when disabled. The show's own content is clean.
TEST(SceneSource, ErrorsAndWarningsGiveLineAndColumn) {
  const std::string tl =
      "timeline 0 1\n  A SetScene scene=@s animated\n    key 0 hold scene=@s\nscene @s 0 1\n";
  std::string many;
  for (int i = 0; i < 256; ++i) many += "light 0 1\n";
  std::ifstream f(std::string(GLIMMER_CONTENT_DIR) + "/scene.scene");
  // clang-format off
  const struct { std::string source; bool ok; const char* start; } rows[] = {
      {"texture 0 1\n  B Fil red=1\n", false, "2:5:"},
      {"texture 0 1\n  B Fill rd=1\n", false, "2:10:"},
      {"texture 0 1\n  B Fill red=x\n", false, "2:14:"}, {"  B Fill\n", false, "1:3:"},
      {many, false, "256:1:"}, {"mesh 0 1\n A SetParent parent=@nope\n", false, "2:"},
      {"texture 0\n", false, "1:"}, {"texture 0 1\n B RenderText \"abc\n", false, "2:"},
      {"texture @a 0 1\ntexture @a 0 1\n", false, "2:"},
      {"texture 0 1\n B Resize size=300\n", false, "2:"},
      {"texture 0 1\n B StoreLayer layer=16\n", false, "2:"},
      {"texture 0 1\n B Resize size=300 disabled\n", false, "2:"},  // Resize runs even disabled
      {"texture 0 1\n B CombineLayer layer=1 animated\n  key 0 flat layer=20\n", false, "3:"},
      // The edges of the value ranges compile; so do values on commands that never run them.
      {"texture 0 1\n B Resize size=512\n B StoreLayer layer=15\n B StoreLayer layer=99 disabled\n"
       " B CombineLayer layer=1\n  key 0 flat layer=99\n", true, nullptr},
      {tl + "mesh 0 1\n  A SetTextures tex0=@s\n", true, "6:22: warning: '@s' is a scene"},
      {tl + "scene 0 1\n  A SetFade alpha=1\n    key 0 flat alpha=1\n", true, "7:5: warning: keys"},
      {tl + "scene 0 1\n  A SetFade animated\n    key 2 flat\n    key 1 flat\n", true, "8:9:"},
      {"texture 0 1\n", true, "1:1: warning: no timeline"},
      // Colours are channel values 0-255.
      {tl + "texture 0 1\n  B Fill red=300\n", true, "6:14: warning: Fill red 300 is outside"},
      {tl + "texture 0 1\n  A Fill red=3\n", true, "6:3: warning: Fill belongs in list B"},
      {tl + "mesh 0 1\n  B Grid animated\n", true, "6:5: warning: tracks of list B"},
      {std::string(std::istreambuf_iterator<char>(f), {}), true, ""}};  // content/scene.scene
  // clang-format on
  for (const auto& [source, ok, start] : rows) {
    const Compiled c = compileText(source);
    ASSERT_EQ(c.ok, ok) << source << c.error;
    if (!start) continue;
    const std::vector<std::string> said = ok ? c.warnings : std::vector<std::string>{c.error};
    ASSERT_EQ(said.size(), *start ? 1u : 0u) << source << (said.empty() ? "" : said[0]);
    if (said.empty()) continue;
    EXPECT_EQ(said[0].rfind(std::string("t.scene:") + start, 0), 0u) << said[0];
    EXPECT_NE(said[0].find(ok ? ": warning: " : ": error: "), std::string::npos) << said[0];
  }
}

// UTF-8 to Windows-1251, bytes read off the public chart: Cyrillic letters in alphabetical order
// at 0xC0-0xFF, Ё/ё at 0xA8/0xB8, punctuation and other Slavic letters at 0x80-0xBF.
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
      {"\xC3\xA9", nullptr}, {"\xC2\x98", nullptr},  // é: not in the page; U+0098: 0x98 unassigned
      {"\xF0\x9F\x98\x80", nullptr}, {"\x80", nullptr}, {"\xD0", nullptr},  // emoji, 0x80, cut
      {"\xC0\x80", nullptr}, {"\xED\xA0\x80", nullptr}};  // an overlong NUL, a UTF-16 surrogate
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
      // Each named parameter is set to its slot number plus two (2 fits Resize): all distinct.
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

// The enums the dispatchers switch on, written out by hand from the command reference: the first,
// some middle and the last entry of each list, so a shifted table shows.
TEST(OpcodeTables, NamesMatchTheDispatchEnums) {
  constexpr Category T = Category::Texture, M = Category::Mesh;
  // clang-format off
  const struct { Category c; const char* name; int op; } rows[] = {
      {T, "Fill", int(TextureOp::Fill)}, {T, "Blur", int(TextureOp::Blur)},
      {T, "StoreLayer", int(TextureOp::StoreLayer)}, {T, "RenderText", int(TextureOp::RenderText)},
      {M, "SetTransform", int(MeshOp::SetTransform)}, {M, "Grid", int(MeshOp::Grid)},
      {M, "LoadMesh", int(MeshOp::LoadMesh)}, {M, "Nop", int(MeshOp::Nop)}};
  // clang-format on
  for (const auto& [c, name, op] : rows) EXPECT_EQ(findOpcode(c, name)->opcode, op) << name;
}

// A source's blend mode reaches the generator's formula of that name (Burn and Dodge were once
// swapped between the compiler and the generator). Grey 128 under grey 192: Burn gives
// 255 - (255 - 192) * 255 / 128 = 129.5, truncated to 130; Dodge saturates (192 * 255 / 127 >
// 255); Average (128 + 192) / 2 = 160; Minimum 128; Screen 255 - 127 * 63 / 255 = 255 - 31.
TEST(OpcodeTables, SourceBlendModeNamesSelectTheGeneratorsFormula) {
  const std::pair<const char*, uint32_t> rows[] = {
      {"Burn", 130}, {"Dodge", 255}, {"Average", 160}, {"Minimum", 128}, {"Screen", 224}};
  const std::string fills =
      "texture 0 1\n  B Fill red=128 green=128 blue=128 alpha=128\n"
      "  B Fill red=192 green=192 blue=192 alpha=192 mode=";
  for (const auto& [mode, grey] : rows) {
    const SceneStream s = throughStream(fills + mode + "\n");
    TextureObject texture;
    readEntityRecord(s.categories[0][0], texture);
    texture.precalc();
    EXPECT_EQ(texture.pixels[0], grey * 0x01010101u) << mode;
  }
}

std::string write(const std::string& name, const std::string& bytes) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("glimmer_loaders_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary) << bytes;
  return (dir / name).string();
}

// A source loads with every file it names as an input, and its compiled bytes written out load
// back unchanged, recognised as compiled. A bad source is refused at its file and line; a likely
// mistake gives exactly one warning at its line and column.
TEST(Loaders, SourcesCompileAndCompiledFilesPassThrough) {
  // A one-triangle OBJ and a 1 x 1 32-bit TGA (18-byte header: type 2 at byte 2, width and
  // height at 12 and 14, 32 bits per pixel at 16, then four pixel bytes) for the pack manifest.
  std::string tga(22, '\0');
  tga[2] = 2, tga[12] = 1, tga[14] = 1, tga[16] = 32;
  write("one.tga", tga);
  write("tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nf 1/1 2/2 3/3\n");
  const std::string song = "order 0\ninstrument 1\n  wave sine 1\n  length 64\nend\npattern 0 4\n";
  // clang-format off
  const struct { Loaded (*load)(const std::string&); std::string path; size_t inputs;  // 0: refused
                 const char *where, *what; } rows[] = {  // the error or the one warning, if any
      {loadScene, write("a.scene", "texture @t 0 1\n  B Fill red=1\n"), 1, ":1:1:", "no timeline"},
      {loadPack, write("p.manifest", "mesh tri tri.obj\nimage one one.tga\n"), 3, "", ""},
      {loadMusic, write("s.txt", song + "  0 C-4 01 .. ...\nend\n"), 1, "", ""},
      {loadMusic, write("w1", song + "  0 C-4 02 .. ...\nend\n"), 1, ":7:9:", "02 is not defined"},
      {loadMusic, write("w2", song + "  0 C-4 01 41 ...\nend\n"), 1, ":7:12:", "above 40"},
      {loadMusic, write("w3", song + "  1 C-4 01\n  1 D-4 01\nend\n"), 1, ":8:3:", "1 appears"},
      {loadScene, write("b.scene", "texture 0 1\n  B NoSuchOp\n"), 0, ":2:", ": error: "},
      {loadPack, write("b.manifest", "mesh m missing.obj\n"), 0, ":1:", ": error: "},
      {loadMusic, write("b.txt", "channels 2\nbogus 1\n"), 0, ":2:", ": error: "},
      {loadScene, "/nonexistent/x.scene", 0, ": error: cannot read", ""}};
  // clang-format on
  for (const auto& r : rows) {
    SCOPED_TRACE(r.path);
    const Loaded first = r.load(r.path);
    const std::vector<std::string> said = r.inputs ? first.warnings : std::vector{first.error};
    ASSERT_EQ(said.size(), *r.where ? 1u : 0u) << (said.empty() ? "" : said[0]);
    EXPECT_TRUE(said.empty() || (said[0].rfind(r.path + r.where, 0) == 0 &&
                                 said[0].find(r.what) != std::string::npos))
        << said[0];
    if (!r.inputs) {
      EXPECT_TRUE(first.bytes.empty());
      continue;
    }
    EXPECT_TRUE(first.error.empty() && first.fromSource) << first.error;
    EXPECT_EQ(first.inputs.size(), r.inputs);
    const Loaded second = r.load(write("out.bin", {first.bytes.begin(), first.bytes.end()}));
    EXPECT_TRUE(second.error.empty() && !second.fromSource) << second.error;
    EXPECT_EQ(second.bytes, first.bytes);
  }
}

// A compiled scene is told from a source by its control characters, even when it holds no zero
// byte: a one-byte stream (a texture count of 3, then nothing) is refused at the offset where the
// stream runs out, never read as source text.
TEST(Loaders, ShortCompiledScenesAreReadAsStreams) {
  const std::string path = write("one.bin", "\x03");
  EXPECT_FALSE(loadScene(path).fromSource);
  SceneStream s;
  std::string error;
  EXPECT_FALSE(loadSceneInput(path, s, error));
  EXPECT_EQ(error.rfind(path + ": offset ", 0), 0u) << error;
}

}  // namespace
