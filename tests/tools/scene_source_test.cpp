// The scene source format: round trips, labels, escapes and error positions.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>

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

TEST(SceneSource, PlaceholderContentRoundTripsThroughDecompile) {
  std::ifstream f(std::string(GLIMMER_CONTENT_DIR) + "/scene.scene");
  ASSERT_TRUE(f);
  std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  SourceInfo info;
  const SceneStream s = compileOk(text, &info);
  const auto bytes = glimmer::writeSceneStream(s);
  const SceneStream again = compileOk(decompileScene(s));
  EXPECT_EQ(glimmer::writeSceneStream(again), bytes);
  EXPECT_EQ(info.entities[0][0].label, "checker");
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
      "  B Circle x=1 mode=Add smooth edge=mirror disabled animated high=0x12 \"a\\\"\\x01\xd0\x96\"\n"
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
            if (c == 0 && ((t.word & 0xFF) == 22 || ((t.word & 0xFF) >= 14 && (t.word & 0xFF) <= 16)))
              t.word = (t.word & ~0xFFu) | 30;  // keep clear of the texture value checks
            for (auto& p : t.params) {
              bits = rng();
              std::memcpy(&p, &bits, 4);
            }
            if (rng() % 2) t.name = std::string(1 + rng() % 5, static_cast<char>(1 + rng() % 255));
            t.keys.resize(rng() % 3);
            for (auto& k : t.keys) {
              k.time = static_cast<float>(rng() % 100) * 0.37f;
              k.type = static_cast<uint8_t>(rng());
              for (auto& v : k.values) v = static_cast<float>(static_cast<int>(rng() % 2000) - 1000) / 3.0f;
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

TEST(SceneSource, ErrorsGiveLineColumnAndWhatWasExpected) {
  EXPECT_EQ(compileError("texture 0 1\n  B Fil red=1\n").substr(0, 20), "t.scene:2:5: error: ");
  EXPECT_NE(compileError("texture 0 1\n  B Fil red=1\n").find("expected one of Fill"), std::string::npos);
  EXPECT_NE(compileError("texture 0 1\n  B Fill rd=1\n").find("unknown parameter 'rd'"), std::string::npos);
  EXPECT_NE(compileError("texture 0 1\n  B Fill red=x\n").find("t.scene:2:14:"), std::string::npos);
  EXPECT_NE(compileError("  B Fill\n").find("must follow a category"), std::string::npos);
  EXPECT_NE(compileError("mesh 0 1\n A SetParent parent=@nope\n").find("unknown label '@nope'"), std::string::npos);
  EXPECT_NE(compileError("texture 0\n").find("start and end time"), std::string::npos);
  EXPECT_NE(compileError("texture 0 1\n B RenderText \"abc\n").find("not closed"), std::string::npos);
  EXPECT_NE(compileError("texture @a 0 1\ntexture @a 0 1\n").find("already defined on line 1"), std::string::npos);
}

TEST(SceneSource, TextureValuesThatWouldCorruptMemoryAreRefused) {
  EXPECT_NE(compileError("texture 0 1\n B Resize size=300\n").find("power of two"), std::string::npos);
  EXPECT_NE(compileError("texture 0 1\n B Resize size=1024\n").find("power of two"), std::string::npos);
  EXPECT_NE(compileError("texture 0 1\n B StoreLayer layer=16\n").find("layer index"), std::string::npos);
  EXPECT_NE(compileError("texture 0 1\n B CombineLayer layer=-1\n").find("layer index"), std::string::npos);
  compileOk("texture 0 1\n B Resize size=512\n B StoreLayer layer=15\n");
}

TEST(SceneSource, TooManyRecordsForTheCountByte) {
  std::string text;
  for (int i = 0; i < 256; ++i) text += "light 0 1\n";
  EXPECT_NE(compileError(text).find("t.scene:256:1: error: at most 255 light"), std::string::npos);
}

}  // namespace
