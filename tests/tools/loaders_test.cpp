// The content loaders take a source or a compiled file, tell them apart by their bytes, and report
// errors with the file and position, and every file a source pulled in.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tools/compile/compile.h"

namespace {

namespace fs = std::filesystem;
using glimmer::compile::Loaded;

fs::path scratch() {
  fs::path dir = fs::temp_directory_path() / ("glimmer_loaders_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  return dir;
}

std::string write(const std::string& name, const std::string& bytes) {
  const fs::path p = scratch() / name;
  std::ofstream(p, std::ios::binary) << bytes;
  return p.string();
}

// A one-triangle OBJ and a 1 x 1 32-bit TGA (18-byte header: type 2 at byte 2, width and height
// at 12 and 14, 32 bits per pixel at 16, then four pixel bytes).
const std::string kObj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nf 1/1 2/2 3/3\n";
std::string tga() {
  std::string t(18 + 4, '\0');
  t[2] = 2, t[12] = 1, t[14] = 1, t[16] = 32;
  return t;
}

const std::string kSong =
    "title \"t\"\nchannels 2\nspeed 6\ntempo 125\norder 0\n"
    "instrument 1 \"lead\"\n  wave square 1.0\n  period 64\n  length 640\nend\n"
    "pattern 0 4\n  0 C-4 01 .. ... | --- .. .. ...\nend\n";

TEST(Loaders, SourcesAreCompiledAndCompiledFilesPassThrough) {
  const std::string scene = write("a.scene", "texture @t 0 1\n  B Fill red=1\n");
  const std::string obj = write("tri.obj", kObj);
  const std::string img = write("one.tga", tga());
  const std::string manifest = write("p.manifest", "mesh tri tri.obj\nimage one one.tga\n");
  const std::string song = write("s.txt", kSong);
  (void)obj, (void)img;

  struct Row {
    const char* what;
    Loaded (*load)(const std::string&);
    std::string path;
    size_t inputs;  // the source and the files it names
  };
  const Row rows[] = {
      {"scene", glimmer::compile::loadScene, scene, 1},
      {"pack", glimmer::compile::loadPack, manifest, 3},
      {"music", glimmer::compile::loadMusic, song, 1},
  };
  for (const Row& r : rows) {
    const Loaded first = r.load(r.path);
    ASSERT_TRUE(first.error.empty()) << r.what << ": " << first.error;
    EXPECT_TRUE(first.fromSource) << r.what;
    EXPECT_EQ(first.inputs.size(), r.inputs) << r.what;
    // The compiled bytes written out load back unchanged, recognised as compiled.
    const std::string bin =
        write(std::string(r.what) + ".bin", std::string(first.bytes.begin(), first.bytes.end()));
    const Loaded second = r.load(bin);
    ASSERT_TRUE(second.error.empty()) << r.what << ": " << second.error;
    EXPECT_FALSE(second.fromSource) << r.what;
    EXPECT_EQ(second.bytes, first.bytes) << r.what;
  }
}

TEST(Loaders, ErrorsNameTheFileAndPosition) {
  struct Row {
    Loaded (*load)(const std::string&);
    std::string path;
    std::string expected;  // the start of the error
  };
  const std::string badScene = write("bad.scene", "texture 0 1\n  B NoSuchOp\n");
  const std::string badManifest = write("bad.manifest", "mesh m missing.obj\n");
  const std::string badSong = write("bad.txt", "channels 2\nbogus 1\n");
  const Row rows[] = {
      {glimmer::compile::loadScene, badScene, badScene + ":2:"},
      {glimmer::compile::loadPack, badManifest, badManifest + ":1:"},
      {glimmer::compile::loadMusic, badSong, badSong + ":2:"},
      {glimmer::compile::loadScene, "/nonexistent/x.scene",
       "/nonexistent/x.scene: error: cannot read"},
  };
  for (const Row& r : rows) {
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
  EXPECT_FALSE(glimmer::compile::loadScene(path).fromSource);
  glimmer::SceneStream s;
  std::string error;
  EXPECT_FALSE(glimmerc::loadSceneInput(path, s, error));
  EXPECT_EQ(error.rfind(path + ": offset ", 0), 0u) << error;
}

}  // namespace

namespace {

// Song notation accepted with a warning: each source builds and gives exactly one warning.
TEST(SongWarnings, LikelyMistakesBuildWithOneWarning) {
  const std::string head = "order 0\ninstrument 1\n  wave sine 1\n  length 64\nend\n";
  struct Row {
    std::string source;
    int line, column;
    std::string fragment;
  };
  const Row rows[] = {
      {head + "pattern 0 4\n  0 C-4 02 .. ...\nend\n", 7, 9, "instrument 02 is not defined"},
      {head + "pattern 0 4\n  0 C-4 01 41 ...\nend\n", 7, 12, "above 40"},
      {head + "pattern 0 4\n  1 C-4 01\n  1 D-4 01\nend\n", 8, 3, "row 1 appears twice"},
  };
  for (const Row& r : rows) {
    std::vector<uint8_t> xm;
    glimmer::music::BuildError error;
    std::vector<glimmer::music::BuildError> warnings;
    ASSERT_TRUE(glimmer::music::buildSong(r.source, &xm, &error, &warnings)) << error.message;
    ASSERT_EQ(warnings.size(), 1u) << r.source;
    EXPECT_EQ(warnings[0].line, r.line) << warnings[0].message;
    EXPECT_EQ(warnings[0].column, r.column) << warnings[0].message;
    EXPECT_NE(warnings[0].message.find(r.fragment), std::string::npos) << warnings[0].message;
  }
}

}  // namespace
