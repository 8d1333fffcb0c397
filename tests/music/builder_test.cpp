// The song builder: the notation compiles into a module the loader reads back exactly, tuning
// puts C-4 on middle C, and mistakes are reported with line and column.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "tests/music/test_support.h"

namespace glimmer::music {
namespace {

using ::testing::HasSubstr;

// A song with every header word, two instruments around a gap (2) and two patterns.
const char* kSource =
    "title \"Builder test\"\nchannels 3\nspeed 4\ntempo 140\nrestart 1\norder 0 1 0\n"
    "instrument 1 \"lead\"\n  wave saw 0.6\n  period 64\n  length 1024\n"
    "  loop forward 512 1024\n  volume 50\n  panning 100\n"
    "  envelope volume 0:64 10:40 30:20 sustain 1 loop 1 2\n  fadeout 300\nend\n"
    "instrument 3 \"drum\"\n  wave noise 1.0\n  pitch fixed\n  length 300\n  bits 8\nend\n"
    "pattern 0 8\n"
    "  0 C-4 01 40 ... | --- .. .. ... | D#3 03 .. F06\n"
    "  4 === .. .. ... | A-2 01 20 A0F\n"
    "end\n"
    "pattern 1 16\n  15 --- .. .. D00\nend\n";

TEST(SongBuilder, CompilesIntoAModuleTheLoaderReadsBack) {
  std::vector<uint8_t> xm, again;
  BuildError error;
  ASSERT_TRUE(buildSong(kSource, &xm, &error)) << error.line << ": " << error.message;
  ASSERT_TRUE(buildSong(kSource, &again, &error));
  EXPECT_EQ(xm, again) << "the same source must give the same bytes";
  LoadError loadError;
  SongPtr song(loadSongFromMemory(xm, &loadError));
  ASSERT_TRUE(song) << loadError.describe();
  const Song& s = *song;
  EXPECT_EQ(s.name, "Builder test");
  EXPECT_EQ((std::vector<int>{s.channelCount, s.defaultSpeed, s.defaultTempo, s.songLength,
                              s.restartPosition, s.linear(), s.instrumentCount}),
            (std::vector<int>{3, 4, 140, 3, 1, 1, 3}));
  EXPECT_EQ(s.instruments[1].sampleCount, 0u);  // the gap is an empty instrument
  ASSERT_EQ(s.patterns.size(), 2u);
  EXPECT_EQ(s.patterns[1].rows, 16);
  // Row 0: C-4 (49) ins 1 vol 0x50 | nothing | D#3 (40) ins 3 F06; row 4: key off | A-2 (34) ins
  // 1 vol 0x30 A0F.
  const uint8_t* row0 = s.patterns[0].notes.data();
  EXPECT_EQ(std::vector<uint8_t>(row0, row0 + 15),
            (std::vector<uint8_t>{49, 1, 0x50, 0, 0, 0, 0, 0, 0, 0, 40, 3, 0, 0xF, 6}));
  EXPECT_EQ(std::vector<uint8_t>(row0 + 60, row0 + 70),
            (std::vector<uint8_t>{kNoteKeyOff, 0, 0, 0, 0, 34, 1, 0x30, 0xA, 0x0F}));

  const Instrument& lead = s.instruments[0];
  const Sample& smp = *lead.samples[0];
  EXPECT_EQ((std::vector<long>{lead.volumePointCount, lead.volumeType, lead.volumeEnvelope[1].tick,
                               lead.volumeEnvelope[1].value, lead.fadeout}),
            (std::vector<long>{3, kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop, 10, 40, 600}));
  EXPECT_EQ((std::vector<long>{long(smp.loopMode), smp.length, smp.loopStart, smp.loopLength,
                               smp.volume, smp.panning}),
            (std::vector<long>{long(LoopMode::Forward), 1024, 512, 512, 50, 100}));
  // 64 frames per cycle: C-4 must play the sample at 64 x 261.63 Hz.
  double rate = 8363.0 * std::exp2((smp.relativeNote + smp.finetune / 128.0) / 12.0);
  EXPECT_NEAR(rate / 64.0, 261.63, 0.1);

  // The fixed-pitch noise drum: untuned, its 300 frames nearly all non-zero.
  const Sample& drum = *s.instruments[2].samples[0];
  ASSERT_EQ((std::vector<int>{drum.relativeNote, drum.finetune, int(drum.length)}),
            (std::vector<int>{0, 0, 300}));
  EXPECT_GT(std::count_if(drum.data, drum.data + 300, [](int16_t v) { return v != 0; }), 250);
}

// Sample length times oscillators, summed over the song, is capped at 2^24 frames: sixteen
// oscillators of 2^20 frames fit, a seventeenth (17 x 2^20 = 17825792) is refused at the 'end'
// of its instrument (line 23) before anything is synthesised.
TEST(SongBuilder, ReportsMistakesWithLineAndColumn) {
  std::string synthesis = "order 0\npattern 0 1\nend\ninstrument 1\n  length 1048576\n";
  for (int i = 0; i < 17; ++i) synthesis += "  wave sine 0.01\n";
  const std::tuple<std::string, int, int, const char*> cases[] = {
      {"channels 4\nspeed 99\n", 2, 7, "from 1 to 31"},
      {"order 0\nfrobnicate 3\n", 2, 1, "unknown word"},
      {"order 0\npattern 0 4\n  0 H-4 01\nend\n", 3, 5, "expected a note"},
      {"order 0\npattern 0 4\n  0 C-4 01 .. ... 5\nend\n", 3, 19, "a cell"},
      {"order 0\npattern 0 4\n  0 C-4 01 .. Q0G\nend\n", 3, 15, "expected an effect"},
      {"order 0\npattern 0 4\n  7 C-4\nend\n", 3, 3, "from 0 to 3"},
      {"channels 1\norder 0\npattern 0 4\n  0 C-4 | C-4\nend\n", 4, 11, "more cells"},
      {"order 0 1\npattern 0 4\nend\n", 1, 9, "not defined"},
      {"order 0\ninstrument 1\n  wave sine 1\n  loop forward 10 5\nend\n", 5, 1, "loop"},
      {"order 0\ninstrument 1\n  wave sine 1\n  envelope volume 0:64 0:10\nend\n", 4, 24,
       "must increase"},
      {"title \"unterminated\n", 1, 7, "unterminated"},
      {"order 0\npattern 0 4\n", 3, 1, "missing 'end'"},
      {synthesis + "end\n", 23, 1, "need 17825792 frames of oscillators"},
  };
  for (const auto& [text, line, column, kind] : cases) {
    std::vector<uint8_t> xm;
    BuildError error;
    EXPECT_FALSE(buildSong(text, &xm, &error)) << text;
    EXPECT_EQ(std::pair(error.line, error.column), std::pair(line, column))
        << text << error.message;
    EXPECT_THAT(error.message, HasSubstr(kind));
  }
}

}  // namespace
}  // namespace glimmer::music
