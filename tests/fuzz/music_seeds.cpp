// Writes the seed modules of fuzz_xm into a folder: every song text given on the command line
// compiled by the song builder, plus modules written field by field the way the loader tests
// build them (8- and 16-bit samples, loops beyond the sample, envelopes, empty instruments).
// Usage: fuzz_music_seeds OUTDIR SONG.txt...
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/music/test_support.h"

namespace {

using glimmer::music::test::XmBytes;

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// Two channels, one pattern with notes, effects and a key off, one instrument of two samples.
std::vector<uint8_t> fieldByField(bool sixteen, int loopType) {
  XmBytes x;
  x.header(2, 2, 2, {0, 1});
  x.pattern(4, {0x80 | 0x1F, 49, 1, 0x50, 0x0F, 3,    97,   0,    0,  0,    0,
                0x83,        52, 2, 0x88, 0x04, 0x44, 0x80, 0x81, 30, 0x82, 2});
  x.pattern(0, {});
  XmBytes::SampleHeader a;
  a.length = sixteen ? 9 : 4;
  a.loopStart = 1;
  a.loopLength = 200;  // beyond the sample: pulled back inside it
  a.type = loopType | (sixteen ? 0x10 : 0);
  a.relativeNote = 244;
  a.finetune = 240;
  XmBytes::SampleHeader b;
  b.length = 3;
  XmBytes::Envelope env;
  env.points = {{0, 64}, {4, 32}, {8, 80}, {6, 0}};
  env.count = 4;
  env.sustain = 1;
  env.loopStart = 1;
  env.loopEnd = 2;
  env.type = 7;
  x.instrument({a, b}, env, 512);
  x.data(sixteen ? std::vector<uint8_t>{10, 0, 0xFE, 0xFF, 5, 0, 0x80, 0x80, 1}
                 : std::vector<uint8_t>{10, 0xFE, 5, 0x80});
  x.data({1, 2, 3});
  x.instrument({});
  return x.b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: fuzz_music_seeds OUTDIR SONG.txt...\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = writeFile(dir + "/fields-8bit-forward.xm", fieldByField(false, 1)) &&
            writeFile(dir + "/fields-16bit-pingpong.xm", fieldByField(true, 2));
  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i]);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<uint8_t> xm;
    glimmer::music::BuildError error;
    if (!glimmer::music::buildSong(text.str(), &xm, &error)) {
      std::fprintf(stderr, "%s:%d:%d: error: %s\n", argv[i], error.line, error.column,
                   error.message.c_str());
      return 1;
    }
    ok = writeFile(dir + "/song-" + std::to_string(i - 1) + ".xm", xm) && ok;
  }
  return ok ? 0 : 1;
}
