// The scene source format: round trips, labels, escapes, error positions and warnings.
#include <gtest/gtest.h>

#include <bit>
#include <fstream>
#include <random>

#include "texgen/texgen.h"
#include "tools/compile/compile.h"

using namespace glimmerc;
using glimmer::SceneStream;

namespace {

struct Compiled {
  bool ok;
  SceneStream s;
  std::string error;
  std::vector<std::string> warnings;
};

Compiled compile(const std::string& text, const char* file = "t.scene") {
  Compiled c;
  c.ok = compileSceneSource(text, file, c.s, c.error, nullptr, &c.warnings);
  return c;
}

TEST(SceneSource, LabelsFlagsAndStrings) {
  // Labels resolve to indices in their own category, wherever they are defined.
  const Compiled c = compile(
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
  EXPECT_EQ(t.word, 0x12000000u | glimmer::kAnimatedBit | (2u << 17) | (1u << 16) | (3u << 8) | 2u);
  EXPECT_EQ(t.name, std::string("a\"\x01\xc6"));  // U+0416 is 0xC6 in Windows-1251
  EXPECT_EQ(c.s.categories[0][2].tracksB[1].word & 0xFF, 200u);
  EXPECT_TRUE(std::signbit(c.s.categories[0][2].tracksB[1].params[11]));
}

// Decompile then compile gives back the bytes of every stream the loader accepts.
TEST(SceneSource, RandomStreamsSurviveDecompileCompile) {
  std::mt19937 rng(99);
  auto anyFloat = [&] { return std::bit_cast<float>(static_cast<uint32_t>(rng())); };
  for (int round = 0; round < 200; ++round) {
    SceneStream s;
    for (int c = 0; c < 6; ++c) {
      s.categories[c].resize(rng() % 3);
      for (auto& e : s.categories[c]) {
        e.startTime = anyFloat();
        e.endTime = static_cast<float>(rng() % 1000) / 7.0f;
        e.tracksA.resize(rng() % 3);
        e.tracksB.resize(rng() % 3);
        for (auto* list : {&e.tracksA, &e.tracksB})
          for (auto& t : *list) {
            // Texture layer commands (14-16) and Resize (22) come often, so the value rule meets
            // disabled commands and keys of tracks that are not animated.
            t.word = rng();
            if (c == 0 && rng() % 2)
              t.word = (t.word & ~0xFFu) | (rng() % 2 ? 22u : 14u + rng() % 3);
            for (auto& p : t.params) p = anyFloat();
            if (rng() % 2) t.name = std::string(1 + rng() % 5, static_cast<char>(1 + rng() % 255));
            t.keys.resize(rng() % 3);
            for (auto& k : t.keys) {
              k.time = static_cast<float>(rng() % 100) * 0.37f;
              k.type = static_cast<uint8_t>(rng());
              for (auto& v : k.values) v = static_cast<float>(int(rng() % 2000) - 1000) / 3.0f;
            }
            // A stream the show would refuse to run is no round-trip case: its first value is
            // made usable (size 64, layer 3) wherever the texture rule reads it.
            if (c == 0 && !glimmer::textureCommandProblem(t).empty()) {
              t.params[0] = (t.word & 0xFF) == 22 ? 64.0f : 3.0f;
              for (auto& k : t.keys) k.values[0] = t.params[0];
            }
          }
      }
    }
    s.trailing.resize(rng() % 3, 0xAB);
    const Compiled back = compile(decompileScene(s), "r");
    ASSERT_TRUE(back.ok) << back.error;
    ASSERT_EQ(glimmer::writeSceneStream(back.s), glimmer::writeSceneStream(s)) << decompileScene(s);
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
    const Compiled c = compile(source);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.error.rfind(std::string("t.scene:") + where, 0), 0u) << c.error;
    EXPECT_NE(c.error.find(": error: "), std::string::npos) << c.error;
  }
  // The edges of the value ranges compile; so do values on commands that never run them.
  EXPECT_TRUE(
      compile("texture 0 1\n B Resize size=512\n B StoreLayer layer=15\n"
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
    const Compiled c = compile(source);
    ASSERT_TRUE(c.ok) << c.error;
    ASSERT_EQ(c.warnings.size(), 1u) << source << (c.warnings.empty() ? "" : c.warnings[0]);
    EXPECT_EQ(c.warnings[0].rfind("t.scene:" + expected, 0), 0u) << c.warnings[0];
  }
  // The show's own content compiles without a warning.
  std::ifstream f(std::string(GLIMMER_CONTENT_DIR) + "/scene.scene");
  const Compiled c = compile(std::string(std::istreambuf_iterator<char>(f), {}), "scene.scene");
  ASSERT_TRUE(c.ok) << c.error;
  EXPECT_TRUE(c.warnings.empty()) << c.warnings[0];
}

}  // namespace
