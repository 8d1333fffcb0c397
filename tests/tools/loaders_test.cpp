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

// A source loads with every file it names as an input, and its compiled bytes written out load
// back unchanged, recognised as compiled. A bad source is refused at its file and line.
TEST(Loaders, SourcesCompileAndCompiledFilesPassThrough) {
  // A one-triangle OBJ and a 1 x 1 32-bit TGA (18-byte header: type 2 at byte 2, width and
  // height at 12 and 14, 32 bits per pixel at 16, then four pixel bytes) for the pack manifest.
  std::string tga(22, '\0');
  tga[2] = 2, tga[12] = 1, tga[14] = 1, tga[16] = 32;
  write("one.tga", tga);
  write("tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nf 1/1 2/2 3/3\n");
  const std::string song =
      "title \"t\"\nchannels 2\nspeed 6\ntempo 125\norder 0\ninstrument 1 \"lead\"\n  wave square "
      "1.0\n  period 64\n  length 640\nend\npattern 0 4\n  0 C-4 01 .. ... | --- .. .. ...\nend\n";
  const std::string badScene = write("bad.scene", "texture 0 1\n  B NoSuchOp\n");
  const std::string badPack = write("bad.manifest", "mesh m missing.obj\n");
  const std::string badSong = write("bad.txt", "channels 2\nbogus 1\n");
  // clang-format off
  const struct { Loaded (*load)(const std::string&); std::string path; size_t inputs;
                 std::string error; } rows[] = {  // inputs: the source and the files it names
      {loadScene, write("a.scene", "texture @t 0 1\n  B Fill red=1\n"), 1, ""},
      {loadPack, write("p.manifest", "mesh tri tri.obj\nimage one one.tga\n"), 3, ""},
      {loadMusic, write("s.txt", song), 1, ""},
      {loadScene, badScene, 0, badScene + ":2:"}, {loadPack, badPack, 0, badPack + ":1:"},
      {loadMusic, badSong, 0, badSong + ":2:"},
      {loadScene, "/nonexistent/x.scene", 0, "/nonexistent/x.scene: error: cannot read"}};
  // clang-format on
  for (const auto& r : rows) {
    SCOPED_TRACE(r.path);
    const Loaded first = r.load(r.path);
    EXPECT_EQ(first.error.rfind(r.error, 0), 0u) << first.error;
    if (!r.error.empty()) {
      EXPECT_TRUE(first.error.size() > r.error.size() && first.bytes.empty());
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
    std::vector<glimmer::music::BuildError> w;
    ASSERT_TRUE(glimmer::music::buildSong(r.source, &xm, &error, &w)) << error.message;
    ASSERT_EQ(w.size(), 1u) << r.source;
    EXPECT_EQ(std::pair(w[0].line, w[0].column), std::pair(r.line, r.column)) << w[0].message;
    EXPECT_NE(w[0].message.find(r.fragment), std::string::npos) << w[0].message;
  }
}

}  // namespace
