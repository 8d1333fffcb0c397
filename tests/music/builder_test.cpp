// The song builder: the notation compiles into a module the loader reads back exactly, tuning
// puts C-4 on middle C, and mistakes are reported with line and column.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/music/test_support.h"

namespace glimmer::music {
namespace {

const char* kSource = R"(# a small song
title "Builder test"
channels 3
speed 4
tempo 140
restart 1
order 0 1 0

instrument 1 "lead"
  wave saw 0.6
  wave square 0.2 harmonic 2
  period 64
  length 1024
  amp 10 100 0.5 0
  lowpass 0.2
  loop forward 512 1024
  volume 50
  panning 100
  envelope volume 0:64 10:40 30:20 sustain 1 loop 1 2
  fadeout 300
end

instrument 3 "drum"
  wave noise 1.0
  pitch fixed
  length 300
  bits 8
end

pattern 0 8
  0 C-4 01 40 ... | --- .. .. ... | D#3 03 .. F06
  4 === .. .. ... | A-2 01 20 A0F
end

pattern 1 16
  15 --- .. .. D00
end
)";

TEST(SongBuilder, CompilesIntoAModuleTheLoaderReadsBack) {
  std::vector<uint8_t> xm;
  BuildError error;
  ASSERT_TRUE(buildSong(kSource, &xm, &error))
      << error.line << ":" << error.column << " " << error.message;
  LoadError loadError;
  SongPtr song(loadSongFromMemory(xm, &loadError));
  ASSERT_TRUE(song) << loadError.describe();
  EXPECT_EQ(song->name, "Builder test");
  EXPECT_EQ(song->channelCount, 3);
  EXPECT_EQ(song->defaultSpeed, 4);
  EXPECT_EQ(song->defaultTempo, 140);
  EXPECT_EQ(song->songLength, 3);
  EXPECT_EQ(song->restartPosition, 1);
  EXPECT_TRUE(song->linear());
  EXPECT_EQ(song->instrumentCount, 3);
  EXPECT_EQ(song->instruments[1].sampleCount, 0u);  // the gap is an empty instrument
  ASSERT_EQ(song->patterns.size(), 2u);
  EXPECT_EQ(song->patterns[1].rows, 16);
  const uint8_t* row0 = song->patterns[0].notes.data();
  EXPECT_EQ(std::vector<uint8_t>(row0, row0 + 15),
            (std::vector<uint8_t>{49, 1, 0x50, 0, 0, 0, 0, 0, 0, 0, 40, 3, 0, 0xF, 6}));
  const uint8_t* row4 = row0 + 4 * 15;
  EXPECT_EQ(row4[0], kNoteKeyOff);
  EXPECT_EQ(std::vector<uint8_t>(row4 + 5, row4 + 10),
            (std::vector<uint8_t>{34, 1, 0x30, 0xA, 0x0F}));

  const Instrument& lead = song->instruments[0];
  EXPECT_EQ(lead.volumePointCount, 3);
  EXPECT_EQ(lead.volumeType, kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop);
  EXPECT_EQ(lead.volumeEnvelope[1].tick, 10);
  EXPECT_EQ(lead.volumeEnvelope[1].value, 40);
  EXPECT_EQ(lead.fadeout, 600u);
  const Sample& s = *lead.samples[0];
  EXPECT_EQ(s.length, 1024u);
  EXPECT_EQ(s.loopMode, LoopMode::Forward);
  EXPECT_EQ(s.loopStart, 512u);
  EXPECT_EQ(s.loopLength, 512u);
  EXPECT_EQ(s.volume, 50);
  EXPECT_EQ(s.panning, 100u);
  // 64 frames per cycle: C-4 must play the sample at 64 x 261.63 Hz.
  double rate = 8363.0 * std::exp2((s.relativeNote + s.finetune / 128.0) / 12.0);
  EXPECT_NEAR(rate / 64.0, 261.63, 0.1);

  const Sample& drum = *song->instruments[2].samples[0];
  EXPECT_EQ(drum.relativeNote, 0);
  EXPECT_EQ(drum.finetune, 0);
  EXPECT_EQ(drum.length, 300u);
  int nonZero = 0;
  for (uint32_t i = 0; i < drum.length; ++i) nonZero += drum.data[i] != 0;
  EXPECT_GT(nonZero, 250);
}

TEST(SongBuilder, IsDeterministic) {
  std::vector<uint8_t> a, b;
  BuildError error;
  ASSERT_TRUE(buildSong(kSource, &a, &error));
  ASSERT_TRUE(buildSong(kSource, &b, &error));
  EXPECT_EQ(a, b);
}

struct BadSource {
  const char* text;
  int line, column;
  const char* fragment;
};

TEST(SongBuilder, ReportsMistakesWithLineAndColumn) {
  const BadSource cases[] = {
      {"channels 4\nspeed 99\n", 2, 7, "from 1 to 31"},
      {"order 0\nfrobnicate 3\n", 2, 1, "unknown word"},
      {"order 0\npattern 0 4\n  0 H-4 01\nend\n", 3, 5, "expected a note"},
      {"order 0\npattern 0 4\n  0 C-4 01 .. ZZZZ\nend\n", 3, 15, "expected an effect"},
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
  };
  for (const BadSource& c : cases) {
    std::vector<uint8_t> xm;
    BuildError error;
    EXPECT_FALSE(buildSong(c.text, &xm, &error)) << c.text;
    EXPECT_EQ(error.line, c.line) << c.text << " -> " << error.message;
    EXPECT_EQ(error.column, c.column) << c.text << " -> " << error.message;
    EXPECT_NE(error.message.find(c.fragment), std::string::npos) << error.message;
  }
}

// Sample length times oscillators, summed over the song, is capped at 2^24 frames: sixteen
// oscillators of a million frames fit, a seventeenth is refused at the 'end' of its instrument
// before anything is synthesised.
TEST(SongBuilder, RefusesSongsThatNeedTooMuchSynthesis) {
  std::string text = "order 0\npattern 0 1\nend\ninstrument 1\n  length 1048576\n";
  for (int i = 0; i < 17; ++i) text += "  wave sine 0.01\n";
  text += "end\n";
  std::vector<uint8_t> xm;
  BuildError error;
  EXPECT_FALSE(buildSong(text, &xm, &error));
  EXPECT_EQ(error.line, 23);
  EXPECT_EQ(error.column, 1);
  EXPECT_NE(
      error.message.find("need 17825792 frames of oscillators; a song may use at most 16777216"),
      std::string::npos)
      << error.message;
}

}  // namespace
}  // namespace glimmer::music
