// File callbacks and the XM loader: resource stream semantics, pattern unpacking, empty pattern
// slots, envelopes, sample widening and delta decoding, guard values, and bounded failure on
// lying or mutated modules; truncated modules load what they hold.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "tests/music/test_support.h"

namespace glimmer::music {
namespace {

using test::XmBytes;

// --- Resource stream -----------------------------------------------------------------------

TEST(ResourceStream, ReadNearTheEndCopiesWhatIsLeft) {
  std::vector<uint8_t> bytes(50);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  setModuleBytes(bytes);
  void* h = resourceOpen("ignored");
  resourceSeek(h, 40, 0);
  uint8_t buffer[100] = {};
  EXPECT_EQ(resourceRead(buffer, 100, h), 10u);
  EXPECT_EQ(buffer[0], 40);
  EXPECT_EQ(buffer[9], 49);
  EXPECT_EQ(resourceTell(h), 50u);
  resourceClose(h);
}

TEST(ResourceStream, SeekModesClampToTheSize) {
  std::vector<uint8_t> bytes(30);
  setModuleBytes(bytes);
  void* h = resourceOpen(nullptr);
  resourceSeek(h, 0, 2);
  EXPECT_EQ(resourceTell(h), 30u);
  resourceSeek(h, -5, 2);
  EXPECT_EQ(resourceTell(h), 25u);
  resourceSeek(h, 3, 1);
  EXPECT_EQ(resourceTell(h), 28u);
  resourceSeek(h, 10, 1);
  EXPECT_EQ(resourceTell(h), 30u);
  resourceSeek(h, 31, 0);
  EXPECT_EQ(resourceTell(h), 30u);
  resourceSeek(h, 7, 0);
  resourceSeek(h, 1, 2);
  EXPECT_EQ(resourceTell(h), 30u);
  resourceSeek(h, 7, 0);
  resourceSeek(h, 99, 5);  // unknown mode: unchanged
  EXPECT_EQ(resourceTell(h), 7u);
  resourceClose(h);
}

TEST(FileCallbacks, OneNullCallbackClearsAllAndPlayRefuses) {
  installResourceCallbacks();
  EXPECT_TRUE(fileCallbacksInstalled());
  setFileCallbacks(resourceOpen, resourceClose, nullptr, resourceSeek, resourceTell);
  EXPECT_FALSE(fileCallbacksInstalled());
  EXPECT_EQ(openFile("x"), nullptr);
  EXPECT_EQ(readFile(nullptr, 4, nullptr), 0u);
  EXPECT_EQ(tellFile(nullptr), 0u);

  test::TestSong t(1);
  t.addPattern(4);
  SongPtr song = t.finish({0});
  NullSoundDevice device;
  EXPECT_FALSE(play(song.get(), device));
  installResourceCallbacks();
}

// --- Loading -------------------------------------------------------------------------------

// A module with one 2-channel pattern and one instrument with an 8-bit sample.
XmBytes smallModule() {
  XmBytes x;
  x.header(1, 2, 1, 1, {0});
  // Row 0: channel 0 full note C-4 ins 1 vol 0x40 effect F param 3; channel 1 packed (note only).
  // Rows 1..3 empty.
  std::vector<uint8_t> packed = {49, 1, 0x50, 0xF, 3, 0x81, 97};
  for (int i = 0; i < 6; ++i) packed.push_back(0x80);
  x.pattern(4, packed);
  XmBytes::SampleHeader s;
  s.length = 4;
  s.type = 1;  // forward loop
  s.loopStart = 1;
  s.loopLength = 2;
  s.relativeNote = -12;
  s.finetune = -16;
  x.instrument({s});
  x.data({10, 0xFE, 5, 0x80});  // deltas: 10, -2, 5, -128
  return x;
}

TEST(Loader, ReadsHeaderPatternAndKeyOff) {
  XmBytes x = smallModule();
  LoadError error;
  SongPtr song(loadSongFromMemory(x.b, &error));
  ASSERT_TRUE(song) << error.describe();
  EXPECT_EQ(song->channelCount, 2);
  EXPECT_EQ(song->songLength, 1);
  EXPECT_EQ(song->defaultSpeed, 6);
  EXPECT_EQ(song->defaultTempo, 125);
  EXPECT_EQ(song->defaultGlobalVolume, 64);
  EXPECT_EQ(song->playback->tickFunction, &tick);
  ASSERT_EQ(song->patterns.size(), 1u);
  const Pattern& p = song->patterns[0];
  EXPECT_EQ(p.rows, 4);
  std::vector<uint8_t> row0(p.notes.begin(), p.notes.begin() + 10);
  EXPECT_EQ(row0, (std::vector<uint8_t>{49, 1, 0x50, 0xF, 3, kNoteKeyOff, 0, 0, 0, 0}));
  for (size_t i = 10; i < p.notes.size(); ++i) EXPECT_EQ(p.notes[i], 0);
}

TEST(Loader, WidensAndDeltaDecodesEightBitSamplesAndWritesTheGuard) {
  XmBytes x = smallModule();
  SongPtr song(loadSongFromMemory(x.b));
  ASSERT_TRUE(song);
  const Sample& s = *song->instruments[0].samples[0];
  EXPECT_EQ(s.bits, 16);
  EXPECT_EQ(s.length, 4u);
  EXPECT_EQ(s.loopMode, LoopMode::Forward);
  EXPECT_EQ(s.relativeNote, -12);
  EXPECT_EQ(s.finetune, -16);
  // Running 8-bit sum 10, 8, 13, -115 widened by 256.
  EXPECT_EQ(s.data[0], 2560);
  EXPECT_EQ(s.data[1], 2048);
  EXPECT_EQ(s.data[2], 3328);
  // Forward loop over frames 1..2: the guard at the loop end (frame 3, never played while the
  // loop runs) repeats the loop start so interpolation wraps smoothly.
  EXPECT_EQ(s.data[3], 2048);
  EXPECT_EQ(s.data[4], 0);
  // Empty slots point at the shared empty sample.
  EXPECT_EQ(song->instruments[0].samples[1], &kEmptySample);
  EXPECT_EQ(song->instruments[0].samples[15]->data, nullptr);
}

TEST(Loader, SixteenBitOddLengthLosesItsLastByteButNotTheNextSample) {
  XmBytes x;
  x.header(1, 1, 1, 1, {0});
  x.pattern(1, {0x80});
  XmBytes::SampleHeader a, b;
  a.length = 5;  // bytes: two frames and a stray byte
  a.type = 0x10;
  b.length = 2;
  b.type = 0x10;
  x.instrument({a, b});
  x.data({0x00, 0x01, 0x00, 0x01, 0x77});  // 256, 256 -> 256, 512
  x.data({0x10, 0x00});                    // 16
  SongPtr song(loadSongFromMemory(x.b));
  ASSERT_TRUE(song);
  const Sample& s0 = *song->instruments[0].samples[0];
  const Sample& s1 = *song->instruments[0].samples[1];
  EXPECT_EQ(s0.length, 2u);
  EXPECT_EQ(s0.data[0], 256);
  EXPECT_EQ(s0.data[1], 512);
  EXPECT_EQ(s1.length, 1u);
  EXPECT_EQ(s1.data[0], 16);
}

TEST(Loader, PackedSizeZeroGivesAnEmptyPatternOfItsRowCount) {
  XmBytes x;
  x.header(1, 3, 1, 0, {0});
  x.pattern(32, {});
  SongPtr song(loadSongFromMemory(x.b));
  ASSERT_TRUE(song);
  EXPECT_EQ(song->patterns[0].rows, 32);
  EXPECT_EQ(song->patterns[0].notes.size(), 32u * 3 * 5);
  for (uint8_t v : song->patterns[0].notes) EXPECT_EQ(v, 0);
}

TEST(Loader, OrderNamingAMissingPatternGetsSixtyFourEmptyRows) {
  XmBytes x;
  x.header(2, 1, 1, 0, {0, 3});
  x.pattern(8, {});
  SongPtr song(loadSongFromMemory(x.b));
  ASSERT_TRUE(song);
  EXPECT_EQ(song->patternsUsed, 4);
  EXPECT_EQ(song->patternSlots, 4);
  EXPECT_EQ(song->patterns[3].rows, 64);
  EXPECT_EQ(song->patterns[3].notes.size(), 64u * 5);
}

TEST(Loader, OnePointEnvelopeIsSwitchedOffAndFadeoutDoubled) {
  XmBytes x;
  x.header(1, 1, 1, 1, {0});
  x.pattern(1, {0x80});
  XmBytes::Envelope env;
  env.points = {{0, 64}};
  env.count = 1;
  env.type = kEnvelopeOn | kEnvelopeSustain;
  x.instrument({XmBytes::SampleHeader{}}, env, 300);
  SongPtr song(loadSongFromMemory(x.b));
  ASSERT_TRUE(song);
  EXPECT_EQ(song->instruments[0].volumeType, 0);
  EXPECT_EQ(song->instruments[0].fadeout, 600u);
}

TEST(Loader, LoopPointsBeyondTheSampleAreClamped) {
  XmBytes x;
  x.header(1, 1, 1, 1, {0});
  x.pattern(1, {0x80});
  XmBytes::SampleHeader a, b;
  a.length = 8;
  a.type = 2;  // ping-pong
  a.loopStart = 6;
  a.loopLength = 100;
  b.length = 8;
  b.type = 1;
  b.loopStart = 20;
  b.loopLength = 4;
  x.instrument({a, b});
  x.data(std::vector<uint8_t>(16, 1));
  SongPtr song(loadSongFromMemory(x.b));
  ASSERT_TRUE(song);
  const Sample& s0 = *song->instruments[0].samples[0];
  EXPECT_EQ(s0.loopMode, LoopMode::PingPong);
  EXPECT_EQ(s0.loopStart, 6u);
  EXPECT_EQ(s0.loopLength, 2u);
  EXPECT_EQ(s0.data[8], s0.data[7]);  // ping-pong guard repeats the last loop frame
  const Sample& s1 = *song->instruments[0].samples[1];
  EXPECT_EQ(s1.loopMode, LoopMode::None);
  EXPECT_EQ(s1.loopStart, 0u);
  EXPECT_EQ(s1.loopLength, 8u);
}

TEST(Loader, RejectsWrongMagicAndTooManySamplesWithOffsets) {
  XmBytes x = smallModule();
  x.b[3] = 'X';
  LoadError error;
  EXPECT_EQ(loadSongFromMemory(x.b, &error), nullptr);
  EXPECT_EQ(error.offset, 0u);
  EXPECT_EQ(error.structure, "module header");

  XmBytes y;
  y.header(1, 1, 1, 1, {0});
  y.pattern(1, {0x80});
  size_t at = y.b.size();
  y.u32(29);
  y.fill(23);
  y.u16(17);
  EXPECT_EQ(loadSongFromMemory(y.b, &error), nullptr);
  EXPECT_EQ(error.structure, "instrument 1 header");
  EXPECT_EQ(error.offset, at);
  EXPECT_NE(error.describe().find("above 16"), std::string::npos);
}

// Offset named by a warning line "offset N: warning: ...".
uint32_t warningOffset(const Song& song) {
  return static_cast<uint32_t>(std::stoul(song.warning.substr(7)));
}

TEST(Loader, ShortDataPlaysAsSilenceWithOneWarning) {
  struct Case {
    const char* name;
    std::function<void(XmBytes&)> build;
    const char* structure;  // named by the warning; empty: no warning
    size_t offsetFromEnd;   // the warning's offset, counted back from the end of the bytes
  };
  const Case cases[] = {
      // Packed data that stops before the last row: the remaining rows are empty.
      {"rows beyond the packed data",
       [](XmBytes& x) {
         x.header(1, 2, 1, 0, {0});
         x.pattern(4, {0x80, 0x80, 0x80});
       },
       "", 0},
      {"packed size beyond the end",
       [](XmBytes& x) {
         x.header(1, 1, 1, 0, {0});
         x.pattern(1, {0x80});
         x.b[x.b.size() - 3] = 0xFF;
         x.b[x.b.size() - 2] = 0x7F;
       },
       "pattern 0 data", 0},
      {"sample data beyond the end",
       [](XmBytes& x) {
         x.header(1, 1, 1, 1, {0});
         x.pattern(1, {0x80});
         XmBytes::SampleHeader s;
         s.length = 0x00FFFFF0;
         x.instrument({s});
         x.data({1, 2, 3});
       },
       "instrument 1 sample 1 data", 0},
      {"header size beyond the end",
       [](XmBytes& x) {
         x = smallModule();
         x.b[62] = 0x7F;
       },
       "module header", size_t(-1)},
      {"instrument header beyond the end",
       [](XmBytes& x) {
         x.header(1, 1, 1, 2, {0});
         x.pattern(1, {0x80});
         x.instrument({});
         x.u32(263);
         x.fill(20);
       },
       "instrument 2 header", 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    XmBytes x;
    c.build(x);
    LoadError error;
    SongPtr song(loadSongFromMemory(x.b, &error));
    ASSERT_TRUE(song) << error.describe();
    if (c.structure[0] == 0) {
      EXPECT_EQ(song->warning, "");
      continue;
    }
    EXPECT_NE(song->warning.find(std::string("warning: ") + c.structure + ":"), std::string::npos)
        << song->warning;
    const size_t expected = c.offsetFromEnd == size_t(-1) ? 60 : x.b.size() - c.offsetFromEnd;
    EXPECT_EQ(warningOffset(*song), expected) << song->warning;
  }
}

TEST(Loader, HeaderLengthsDecideWhereTheNextStructureStarts) {
  // A pattern header of 12 bytes, an instrument header of 270 and sample headers of 44: the
  // loader skips the extra bytes the header sizes announce.
  XmBytes x;
  x.header(1, 1, 1, 1, {0});
  x.u32(12);
  x.u8(0);
  x.u16(1);
  x.u16(5);
  x.fill(3, 0xEE);
  x.data({49, 1, 0x40, 0, 0});
  x.u32(270);
  x.fill(23);
  x.u16(1);
  x.u32(44);
  x.fill(96);
  x.fill(96 + 16);
  x.fill(22 + 7);
  x.u32(2);
  x.u32(0);
  x.u32(0);
  x.u8(50);
  x.fill(27);
  x.fill(4, 0xEE);
  x.data({10, 5});
  SongPtr song(loadSongFromMemory(x.b));
  ASSERT_TRUE(song);
  EXPECT_EQ(song->warning, "");
  EXPECT_EQ(song->patterns[0].notes[0], 49);
  EXPECT_EQ(song->patterns[0].notes[2], 0x40);
  const Sample& s = *song->instruments[0].samples[0];
  EXPECT_EQ(s.volume, 50);
  ASSERT_EQ(s.length, 2u);
  EXPECT_EQ(s.data[0], 10 * 256);
  EXPECT_EQ(s.data[1], 15 * 256);
}

// A header tempo of 65535 would make every tick one frame long (found by the fuzzer as a hang).
TEST(Loader, TempoIsKeptInTheTrackersRange) {
  for (auto [tempo, expected] : {std::pair{65535, 255}, {0, 32}, {125, 125}}) {
    XmBytes x;
    x.header(1, 1, 1, 0, {0});
    x.b[78] = static_cast<uint8_t>(tempo);
    x.b[79] = static_cast<uint8_t>(tempo >> 8);
    x.pattern(1, {0x80});
    SongPtr song(loadSongFromMemory(x.b));
    ASSERT_TRUE(song);
    EXPECT_EQ(song->defaultTempo, expected);
  }
}

TEST(Loader, ImpossibleCountsFail) {
  LoadError error;
  XmBytes x;
  x.header(1, 0, 1, 0, {0});
  EXPECT_EQ(loadSongFromMemory(x.b, &error), nullptr);
  EXPECT_NE(error.message.find("channel count"), std::string::npos);
}

// Every count and length a module states is capped before anything is allocated for it: rows per
// pattern, patterns, instruments and sample frames. The cap on sample frames comes from the
// header alone, before the data is looked at; a 16-bit sample of exactly the cap passes it.
TEST(Loader, ResourceLimitsRefuseOversizedModules) {
  LoadError error;
  {
    XmBytes x;
    x.header(1, 1, 1, 0, {0});
    size_t at = x.b.size();
    x.pattern(kMaxRows + 1, {});
    EXPECT_EQ(loadSongFromMemory(x.b, &error), nullptr);
    EXPECT_EQ(error.structure, "pattern 0 header");
    EXPECT_EQ(error.offset, at);
    EXPECT_NE(error.message.find("row count 257 above 256"), std::string::npos) << error.message;
  }
  {
    XmBytes x;
    x.header(1, 1, kMaxPatterns + 1, 0, {0});
    EXPECT_EQ(loadSongFromMemory(x.b, &error), nullptr);
    EXPECT_EQ(error.offset, 70u);
    EXPECT_NE(error.message.find("pattern count 257"), std::string::npos) << error.message;
  }
  {
    XmBytes x;
    x.header(1, 1, 1, kMaxInstruments + 1, {0});
    EXPECT_EQ(loadSongFromMemory(x.b, &error), nullptr);
    EXPECT_EQ(error.offset, 72u);
    EXPECT_NE(error.message.find("instrument count 129"), std::string::npos) << error.message;
  }
  for (bool sixteen : {false, true}) {
    XmBytes x;
    x.header(1, 1, 1, 1, {0});
    x.pattern(1, {0x80});
    XmBytes::SampleHeader s;
    s.length = sixteen ? 2 * kMaxSampleLength : kMaxSampleLength + 1;
    s.type = sixteen ? 0x10 : 0;
    x.instrument({s});
    const size_t headerAt = x.b.size() - 40;
    x.data({1, 2, 3});
    SongPtr song(loadSongFromMemory(x.b, &error));
    if (sixteen) {  // within the cap: loads, and the sample ends with its data (3 bytes: 1 frame)
      ASSERT_TRUE(song);
      EXPECT_NE(song->warning.find("instrument 1 sample 1 data"), std::string::npos);
      EXPECT_EQ(song->instruments[0].samples[0]->length, 1u);
    } else {
      EXPECT_EQ(song, nullptr);
      EXPECT_EQ(error.structure, "instrument 1 sample 1 header");
      EXPECT_EQ(error.offset, headerAt);
      EXPECT_NE(error.message.find("sample length 16777217 frames above 16777216"),
                std::string::npos)
          << error.message;
    }
  }
}

TEST(Loader, NotesAboveKeyOffAndInstrumentsAbove128AreDropped) {
  XmBytes x;
  x.header(1, 1, 1, 0, {0});
  x.pattern(2, {0x83, 98, 200, 0x81, 97});
  SongPtr song(loadSongFromMemory(x.b));
  ASSERT_TRUE(song);
  EXPECT_EQ(song->patterns[0].notes[0], 0);
  EXPECT_EQ(song->patterns[0].notes[1], 0);
  EXPECT_EQ(song->patterns[0].notes[5], kNoteKeyOff);
}

TEST(Loader, ThroughInstalledCallbacks) {
  XmBytes x = smallModule();
  setModuleBytes(x.b);
  installResourceCallbacks();
  LoadError error;
  SongPtr song(loadSong("music.xm", &error));
  ASSERT_TRUE(song) << error.describe();
  EXPECT_EQ(song->instrumentCount, 1);
  EXPECT_TRUE(freeSong(song.release()));
  EXPECT_FALSE(freeSong(nullptr));
}

// Cut anywhere: inside the module header the load fails; after it the module loads, names the
// first missing structure at or before the cut, and plays.
TEST(Loader, EveryTruncationLoadsWhatItHoldsOrFailsInTheHeader) {
  XmBytes x = smallModule();
  constexpr size_t kHeaderEnd = 60 + 20 + 256;
  std::vector<int16_t> pcm(1024);
  for (size_t cut = 0; cut < x.b.size(); ++cut) {
    SCOPED_TRACE(cut);
    std::vector<uint8_t> part(x.b.begin(), x.b.begin() + static_cast<long>(cut));
    LoadError error;
    SongPtr song(loadSongFromMemory(part, &error));
    if (cut < kHeaderEnd) {
      EXPECT_EQ(song, nullptr);
      EXPECT_LE(error.offset, cut);
      EXPECT_FALSE(error.structure.empty());
      continue;
    }
    ASSERT_TRUE(song) << error.describe();
    ASSERT_FALSE(song->warning.empty());
    EXPECT_LE(warningOffset(*song), cut);
    startOffline(song.get());
    renderOffline(pcm);
    resetPlayer();
  }
}

TEST(Loader, RandomMutationsNeverCrashAndLoadedSongsPlay) {
  std::vector<uint8_t> xm;
  BuildError error;
  ASSERT_TRUE(buildSong(R"(
channels 4
order 0 1
instrument 1
  wave saw 0.5
  length 64
  loop pingpong 8 64
  envelope volume 0:64 4:32 8:0 sustain 1
end
pattern 0 8
  0 C-4 01 40 A01 | E-4 01 .. 300
end
pattern 1 4
  2 === | G-4 01 20 1B3
end
)" + std::string("\n"),
                        &xm, &error))
      << error.message;
  std::mt19937 rng(1234);
  std::vector<int16_t> pcm(2048);
  int loaded = 0;
  for (int iteration = 0; iteration < 400; ++iteration) {
    std::vector<uint8_t> bytes = xm;
    int flips = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < flips; ++i) bytes[rng() % bytes.size()] = static_cast<uint8_t>(rng());
    if (rng() % 4 == 0) bytes.resize(rng() % bytes.size());
    SongPtr song(loadSongFromMemory(bytes));
    if (!song) continue;
    ++loaded;
    startOffline(song.get());
    renderOffline(pcm);
    resetPlayer();
  }
  EXPECT_GT(loaded, 0);
}

}  // namespace
}  // namespace glimmer::music
