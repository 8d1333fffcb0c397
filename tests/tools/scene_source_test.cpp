// The scene source format: round trips, labels, escapes and error positions.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>

#include "texgen/texgen.h"
#include "tools/compile/compile.h"

using namespace glimmerc;
using glimmer::SceneStream;

namespace {

SceneStream compileOk(const std::string& text, SourceInfo* info = nullptr) {
  SceneStream s;
  std::string err;
  EXPECT_TRUE(compileSceneSource(text, "t.scene", s, err, info)) << err;
  return s;
}

std::string compileError(const std::string& text) {
  SceneStream s;
  std::string err;
  EXPECT_FALSE(compileSceneSource(text, "t.scene", s, err));
  return err;
}

TEST(SceneSource, LabelsResolveToIndicesInTheirCategory) {
  const SceneStream s = compileOk(
      "mesh @m 0 1\n"
      "  A SetTextures tex0=@b tex1=@a\n"
      "texture @a 0 1\n"
      "texture @b 0 1 # second\n"
      "timeline 0 1\n"
      "  A SetScene scene=@s animated\n"
      "    key 0 hold scene=@s\n"
      "scene @s 0 1\n");
  EXPECT_EQ(s.categories[1][0].tracksA[0].params[0], 1.0f);
  EXPECT_EQ(s.categories[1][0].tracksA[0].params[3], 0.0f);
  EXPECT_EQ(s.categories[4][0].tracksA[0].keys[0].values[0], 0.0f);
  EXPECT_EQ(s.categories[4][0].tracksA[0].keys[0].type, 0);
}

TEST(SceneSource, WordBitsFlagsAndStrings) {
  const SceneStream s = compileOk(
      "texture 0 1\n"
      "  B Circle x=1 mode=Add smooth edge=mirror disabled animated high=0x12 "
      "\"a\\\"\\x01\xd0\x96\"\n"
      "  B Op200 p11=-0\n");
  const auto& t = s.categories[0][0].tracksB[0];
  EXPECT_EQ(t.word, 0x12000000u | glimmer::kAnimatedBit | (2u << 17) | (1u << 16) | (3u << 8) | 2u);
  EXPECT_EQ(t.name, std::string("a\"\x01\xc6"));  // U+0416 is 0xC6 in Windows-1251
  const auto& u = s.categories[0][0].tracksB[1];
  EXPECT_EQ(u.word & 0xFF, 200u);
  EXPECT_TRUE(std::signbit(u.params[11]));
}

TEST(SceneSource, RandomStreamsSurviveDecompileCompile) {
  std::mt19937 rng(99);
  for (int round = 0; round < 200; ++round) {
    SceneStream s;
    for (int c = 0; c < 6; ++c) {
      s.categories[c].resize(rng() % 3);
      for (auto& e : s.categories[c]) {
        uint32_t bits = rng();
        std::memcpy(&e.startTime, &bits, 4);
        e.endTime = static_cast<float>(rng() % 1000) / 7.0f;
        e.tracksA.resize(rng() % 3);
        e.tracksB.resize(rng() % 3);
        for (auto* list : {&e.tracksA, &e.tracksB})
          for (auto& t : *list) {
            t.word = rng();
            // Texture layer commands (14-16) and Resize (22) come often, so the value rule meets
            // disabled commands and keys of tracks that are not animated.
            if (c == 0 && rng() % 2)
              t.word = (t.word & ~0xFFu) | (rng() % 2 ? 22u : 14u + rng() % 3);
            for (auto& p : t.params) {
              bits = rng();
              std::memcpy(&p, &bits, 4);
            }
            if (rng() % 2) t.name = std::string(1 + rng() % 5, static_cast<char>(1 + rng() % 255));
            t.keys.resize(rng() % 3);
            for (auto& k : t.keys) {
              k.time = static_cast<float>(rng() % 100) * 0.37f;
              k.type = static_cast<uint8_t>(rng());
              for (auto& v : k.values)
                v = static_cast<float>(static_cast<int>(rng() % 2000) - 1000) / 3.0f;
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
    const auto bytes = glimmer::writeSceneStream(s);
    SceneStream back;
    std::string err;
    ASSERT_TRUE(compileSceneSource(decompileScene(s), "r", back, err)) << err;
    ASSERT_EQ(glimmer::writeSceneStream(back), bytes) << decompileScene(s);
  }
}

// Each mistake is refused at its line and column (the position says enough; the text is not
// pinned), including texture values the generator could not run safely.
TEST(SceneSource, ErrorsGiveLineAndColumn) {
  std::string many;
  for (int i = 0; i < 256; ++i) many += "light 0 1\n";
  const std::pair<std::string, const char*> rows[] = {
      {"texture 0 1\n  B Fil red=1\n", "t.scene:2:5: error: "},
      {"texture 0 1\n  B Fill rd=1\n", "t.scene:2:10: error: "},
      {"texture 0 1\n  B Fill red=x\n", "t.scene:2:14: error: "},
      {"  B Fill\n", "t.scene:1:3: error: "},
      {"mesh 0 1\n A SetParent parent=@nope\n", "t.scene:2:"},
      {"texture 0\n", "t.scene:1:"},
      {"texture 0 1\n B RenderText \"abc\n", "t.scene:2:"},
      {"texture @a 0 1\ntexture @a 0 1\n", "t.scene:2:"},
      {"texture 0 1\n B Resize size=300\n", "t.scene:2:"},
      {"texture 0 1\n B Resize size=1024\n", "t.scene:2:"},
      {"texture 0 1\n B StoreLayer layer=16\n", "t.scene:2:"},
      {"texture 0 1\n B CombineLayer layer=-1\n", "t.scene:2:"},
      {"texture 0 1\n B CombineLayer layer=1 animated\n  key 0 flat layer=20\n", "t.scene:3:"},
      {many, "t.scene:256:1: error: "},
  };
  for (const auto& [source, where] : rows) {
    const std::string e = compileError(source);
    EXPECT_EQ(e.rfind(where, 0), 0u) << source << " gave " << e;
  }
  // The edges of the value ranges compile; so do values on commands that never run them.
  compileOk(
      "texture 0 1\n B Resize size=512\n B StoreLayer layer=15\n B StoreLayer layer=99 disabled\n"
      " B CombineLayer layer=1\n  key 0 flat layer=99\n");
}

}  // namespace

// Accepted but almost surely a mistake: each source compiles and gives exactly one warning.
TEST(SceneSource, WarningsForLikelyMistakes) {
  const std::string timeline =
      "timeline 0 1\n  A SetScene scene=@s animated\n    key 0 hold scene=@s\nscene @s 0 1\n";
  struct Row {
    std::string source;
    std::string expected;  // the start of the single warning
  };
  const Row rows[] = {
      // SetTextures tex0 names a texture; @s is a scene.
      {timeline + "mesh 0 1\n  A SetTextures tex0=@s\n", "t.scene:6:22: warning: '@s' is a scene"},
      {timeline + "scene 0 1\n  A SetFade alpha=1\n    key 0 flat alpha=1\n",
       "t.scene:7:5: warning: keys on a track"},
      {timeline + "scene 0 1\n  A SetFade animated\n    key 2 flat\n    key 1 flat\n",
       "t.scene:8:9: warning: key at 1"},
      {"texture 0 1\n", "t.scene:1:1: warning: no timeline"},
      // Colours are channel values 0-255.
      {timeline + "texture 0 1\n  B Fill red=300\n",
       "t.scene:6:14: warning: Fill red 300 is outside 0 to 255"},
      {timeline + "texture 0 1\n  A Fill red=3\n", "t.scene:6:3: warning: Fill belongs in list B"},
      {timeline + "mesh 0 1\n  B Grid animated\n", "t.scene:6:5: warning: tracks of list B"},
  };
  for (const Row& r : rows) {
    SceneStream s;
    std::string err;
    std::vector<std::string> warnings;
    ASSERT_TRUE(compileSceneSource(r.source, "t.scene", s, err, nullptr, &warnings)) << err;
    ASSERT_EQ(warnings.size(), 1u) << r.source << (warnings.empty() ? "" : warnings[0]);
    EXPECT_EQ(warnings[0].rfind(r.expected, 0), 0u) << warnings[0];
  }
  // The show's own content compiles without a warning.
  std::ifstream f(std::string(GLIMMER_CONTENT_DIR) + "/scene.scene");
  const std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  SceneStream s;
  std::string err;
  std::vector<std::string> warnings;
  SourceInfo info;
  ASSERT_TRUE(compileSceneSource(text, "scene.scene", s, err, &info, &warnings)) << err;
  EXPECT_TRUE(warnings.empty()) << warnings[0];
  EXPECT_EQ(info.entities[0][0].label, "checker");
}
