// The content loaders take a source or a compiled file, tell them apart by their bytes, and report
// errors with the file and position, and every file a source pulled in.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tools/compile/compile.h"

namespace {

namespace fs = std::filesystem;
using namespace glimmer::compile;

std::string write(const std::string& name, const std::string& bytes) {
  const fs::path dir =
      fs::temp_directory_path() / ("glimmer_loaders_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary) << bytes;
  return (dir / name).string();
}

TEST(Loaders, SourcesAreCompiledAndCompiledFilesPassThrough) {
  // A one-triangle OBJ and a 1 x 1 32-bit TGA (18-byte header: type 2 at byte 2, width and
  // height at 12 and 14, 32 bits per pixel at 16, then four pixel bytes) for the pack manifest.
  std::string tga(22, '\0');
  tga[2] = 2, tga[12] = 1, tga[14] = 1, tga[16] = 32;
  write("one.tga", tga);
  write("tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nf 1/1 2/2 3/3\n");
  const struct {
    const char* what;
    Loaded (*load)(const std::string&);
    std::string path;
    size_t inputs;  // the source and the files it names
  } rows[] = {{"scene", loadScene, write("a.scene", "texture @t 0 1\n  B Fill red=1\n"), 1},
              {"pack", loadPack, write("p.manifest", "mesh tri tri.obj\nimage one one.tga\n"), 3},
              {"music", loadMusic,
               write("s.txt",
                     "title \"t\"\nchannels 2\nspeed 6\ntempo 125\norder 0\ninstrument 1 \"lead\"\n"
                     "  wave square 1.0\n  period 64\n  length 640\nend\n"
                     "pattern 0 4\n  0 C-4 01 .. ... | --- .. .. ...\nend\n"),
               1}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    const Loaded first = r.load(r.path);
    ASSERT_TRUE(first.error.empty()) << first.error;
    EXPECT_TRUE(first.fromSource);
    EXPECT_EQ(first.inputs.size(), r.inputs);
    // The compiled bytes written out load back unchanged, recognised as compiled.
    const Loaded second =
        r.load(write(r.what + std::string(".bin"), {first.bytes.begin(), first.bytes.end()}));
    ASSERT_TRUE(second.error.empty()) << second.error;
    EXPECT_FALSE(second.fromSource);
    EXPECT_EQ(second.bytes, first.bytes);
  }
}

TEST(Loaders, ErrorsNameTheFileAndPosition) {
  const std::string scene = write("bad.scene", "texture 0 1\n  B NoSuchOp\n");
  const std::string manifest = write("bad.manifest", "mesh m missing.obj\n");
  const std::string song = write("bad.txt", "channels 2\nbogus 1\n");
  const struct {
    Loaded (*load)(const std::string&);
    std::string path, expected;  // the start of the error
  } rows[] = {{loadScene, scene, scene + ":2:"},
              {loadPack, manifest, manifest + ":1:"},
              {loadMusic, song, song + ":2:"},
              {loadScene, "/nonexistent/x.scene", "/nonexistent/x.scene: error: cannot read"}};
  for (const auto& r : rows) {
    const Loaded l = r.load(r.path);
    EXPECT_EQ(l.error.rfind(r.expected, 0), 0u) << l.error;
    EXPECT_TRUE(l.bytes.empty());
  }
}

// A compiled scene is told from a source by its control characters, even when it holds no zero
// byte: a one-byte stream (a texture count of 3, then nothing) is refused at the offset where the
// stream runs out, never read as source text.
TEST(Loaders, ShortCompiledScenesAreReadAsStreams) {
  const std::string path = write("one.bin", "\x03");
  EXPECT_FALSE(loadScene(path).fromSource);
  glimmer::SceneStream s;
  std::string error;
  EXPECT_FALSE(glimmerc::loadSceneInput(path, s, error));
  EXPECT_EQ(error.rfind(path + ": offset ", 0), 0u) << error;
}

// Song notation accepted with a warning: each source builds and gives exactly one warning.
TEST(SongWarnings, LikelyMistakesBuildWithOneWarning) {
  const std::string head = "order 0\ninstrument 1\n  wave sine 1\n  length 64\nend\npattern 0 4\n";
  // clang-format off
  const struct { std::string source; int line, column; const char* fragment; } rows[] = {
      {head + "  0 C-4 02 .. ...\nend\n", 7, 9, "instrument 02 is not defined"},
      {head + "  0 C-4 01 41 ...\nend\n", 7, 12, "above 40"},
      {head + "  1 C-4 01\n  1 D-4 01\nend\n", 8, 3, "row 1 appears twice"}};
  // clang-format on
  for (const auto& r : rows) {
    std::vector<uint8_t> xm;
    glimmer::music::BuildError error;
    std::vector<glimmer::music::BuildError> warnings;
    ASSERT_TRUE(glimmer::music::buildSong(r.source, &xm, &error, &warnings)) << error.message;
    ASSERT_EQ(warnings.size(), 1u) << r.source;
    EXPECT_EQ(std::pair(warnings[0].line, warnings[0].column), std::pair(r.line, r.column));
    EXPECT_NE(warnings[0].message.find(r.fragment), std::string::npos) << warnings[0].message;
  }
}

}  // namespace
