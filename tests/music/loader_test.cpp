// File callbacks and the XM loader: resource stream semantics, pattern unpacking and slots,
// sample decoding and guards, and bad or truncated modules named by structure and offset.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>
#include <tuple>

#include "tests/music/test_support.h"

namespace glimmer::music {
namespace {

using test::XmBytes, ::testing::HasSubstr;
using Sh = XmBytes::SampleHeader;

// A module with one 2-channel pattern and one instrument with an 8-bit sample.
XmBytes smallModule() {
  XmBytes x;
  x.header(2, 1, 1, {0});
  // Row 0: channel 0 full note C-4 ins 1 vol 0x40 effect F param 3; channel 1 packed (note only,
  // 97 = key off). Rows 1..3 empty.
  x.pattern(4, {49, 1, 0x50, 0xF, 3, 0x81, 97, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80});
  // Forward loop over frames 1..2; a volume envelope of one point (switched off), fadeout 300.
  Sh sample{.length = 4, .loopStart = 1, .loopLength = 2, .finetune = -16, .type = 1};
  sample.relativeNote = -12;
  x.instrument({sample}, {.points = {{0, 64}}, .count = 1, .type = kEnvelopeOn | kEnvelopeSustain},
               300);
  x.data({10, 0xFE, 5, 0x80});  // deltas: 10, -2, 5, -128
  return x;
}

// One channel, one empty one-row pattern and one instrument holding `samples`, then `data`.
XmBytes oneInstrument(const std::vector<Sh>& samples, const std::vector<uint8_t>& data) {
  XmBytes x;
  x.header(1, 1, 1, {0});
  x.pattern(1, {0x80});
  x.instrument(samples);
  x.data(data);
  return x;
}

// Header lengths decide where the next structure starts: a pattern header of 12 bytes, an
// instrument header of 270 and sample headers of 44, their extra bytes 0xEE. The sample holds
// deltas 10, 5.
XmBytes longHeaders() {
  XmBytes x;
  x.header(1, 1, 1, {0});
  x.u32(12), x.u8(0), x.u16(1), x.u16(5), x.fill(3, 0xEE);
  x.data({49, 1, 0x40, 0, 0});
  x.u32(270), x.fill(23), x.u16(1), x.u32(44), x.fill(96 + 96 + 16 + 22 + 7);
  x.u32(2), x.u32(0), x.u32(0), x.u8(50), x.fill(27), x.fill(4, 0xEE);
  x.data({10, 5});
  return x;
}

TEST(ResourceStream, SeeksClampToTheSizeAndReadsStopAtTheEnd) {
  std::vector<uint8_t> bytes(50);
  std::iota(bytes.begin(), bytes.end(), 0);
  setModuleBytes(bytes);
  void* h = resourceOpen("ignored");
  // Mode 0 from the start, 1 from the position, 2 from the end; past the end clamps to 50.
  const std::tuple<int32_t, int, uint32_t> seeks[] = {
      {0, 2, 50}, {-5, 2, 45}, {3, 1, 48}, {10, 1, 50}, {51, 0, 50},
      {7, 0, 7},  {1, 2, 50},  {7, 0, 7},  {99, 5, 7} /* unknown mode: unchanged */};
  for (auto [offset, mode, tell] : seeks) {
    resourceSeek(h, offset, mode);
    EXPECT_EQ(resourceTell(h), tell) << "seek " << offset << " mode " << mode;
  }
  // 100 bytes asked 10 before the end: 10 copied (bytes 40..49).
  resourceSeek(h, 40, 0);
  uint8_t buffer[100] = {};
  EXPECT_EQ(resourceRead(buffer, 100, h), 10u);
  EXPECT_EQ(std::vector<int>(buffer, buffer + 11),
            (std::vector<int>{40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 0}));
  EXPECT_EQ(resourceTell(h), 50u);
  resourceClose(h);
}

// Loaded through the file callbacks: the small module's header, pattern and instrument fields.
// One null callback clears them all; then nothing loads or plays.
TEST(Loader, ReadsHeaderPatternAndInstrumentFieldsThroughTheFileCallbacks) {
  XmBytes x = smallModule();
  setModuleBytes(x.b);
  installResourceCallbacks();
  LoadError error;
  SongPtr song(loadSong("music.xm", &error));
  ASSERT_TRUE(song) << error.describe();
  const Song& s = *song;
  EXPECT_EQ((std::vector<int>{s.channelCount, s.songLength, s.defaultSpeed, s.defaultTempo,
                              s.defaultGlobalVolume, s.instrumentCount, int(s.patterns.size()),
                              s.patterns.at(0).rows}),
            (std::vector<int>{2, 1, 6, 125, 64, 1, 1, 4}));
  std::vector<uint8_t> notes = {49, 1, 0x50, 0xF, 3, kNoteKeyOff};
  notes.resize(4 * 2 * 5);  // rows 1..3 empty
  EXPECT_EQ(s.patterns[0].notes, notes);
  // The one-point envelope is switched off; the file's fadeout is doubled.
  const Instrument& inst = s.instruments[0];
  EXPECT_EQ((std::vector<int>{inst.volumeType, int(inst.fadeout), inst.samples[0]->relativeNote,
                              inst.samples[0]->finetune}),
            (std::vector<int>{0, 600, -12, -16}));
  EXPECT_EQ(inst.samples[15], &kEmptySample);

  setFileCallbacks(resourceOpen, resourceClose, nullptr, resourceSeek, resourceTell);
  EXPECT_FALSE(fileCallbacksInstalled());
  EXPECT_EQ(openFile("x"), nullptr);
  EXPECT_EQ(readFile(nullptr, 4, nullptr), 0u);
  EXPECT_EQ(tellFile(nullptr), 0u);
  EXPECT_EQ(loadSong("music.xm", &error), nullptr);
  NullSoundDevice device;
  EXPECT_FALSE(play(song.get(), device));
  installResourceCallbacks();
  EXPECT_TRUE(freeSong(song.release()));
  EXPECT_FALSE(freeSong(nullptr));
}

// Samples as loaded: 8-bit deltas widened and summed, 16-bit lengths halved, loops beyond the
// sample pulled inside it or switched off, and the guard frame just past the loop.
TEST(Loader, SamplesAreWidenedDecodedClampedAndGuarded) {
  // Length, loop mode, loop start and length, the first frames.
  using Want = std::tuple<uint32_t, LoopMode, uint32_t, uint32_t, std::vector<int>>;
  // clang-format off
  const struct { const char* label; XmBytes module; std::vector<Want> samples; } cases[] = {
      // Running 8-bit sum 10, 8, 13 widened by 256; frame 3 (the loop end, never played while
      // the loop runs) is the guard repeating the loop start, then spare zeros.
      {"8-bit forward loop", smallModule(),
       {{4, LoopMode::Forward, 1, 2, {2560, 2048, 3328, 2048, 0}}}},
      // 5 bytes: two frames (256 + 256 = 512) and a stray byte the next sample does not lose.
      {"16-bit odd length",
       oneInstrument({{.length = 5, .type = 0x10}, {.length = 2, .type = 0x10}},
                     {0x00, 0x01, 0x00, 0x01, 0x77, 0x10, 0x00}),
       {{2, LoopMode::None, 0, 2, {256, 512}}, {1, LoopMode::None, 0, 1, {16}}}},
      // Ping-pong 6 + 100 on 8 frames keeps frames 6..7 and repeats frame 7 as the guard; a
      // forward loop starting at 20 is no loop.
      {"loops beyond the sample",
       oneInstrument({{.length = 8, .loopStart = 6, .loopLength = 100, .type = 2},
                      {.length = 8, .loopStart = 20, .loopLength = 4, .type = 1}},
                     std::vector<uint8_t>(16, 1)),
       {{8, LoopMode::PingPong, 6, 2, {256, 512, 768, 1024, 1280, 1536, 1792, 2048, 2048}},
        {8, LoopMode::None, 0, 8, {256}}}},
      // Read from where the longer headers end: 10, 15 widened.
      {"longer headers", longHeaders(), {{2, LoopMode::None, 0, 2, {2560, 3840}}}},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    SongPtr song(loadSongFromMemory(c.module.b));
    ASSERT_TRUE(song);
    EXPECT_EQ(song->warning, "");
    for (size_t i = 0; i < c.samples.size(); ++i) {
      const Sample& s = *song->instruments[0].samples[i];
      const std::vector<int> data(s.data, s.data + std::get<4>(c.samples[i]).size());
      EXPECT_EQ(s.bits, 16);
      EXPECT_EQ(Want(s.length, s.loopMode, s.loopStart, s.loopLength, data), c.samples[i]) << i;
    }
  }
}

// Stored patterns: 0 with packed size 0 keeps its 32 rows; 1 drops a note above key off (98) and
// an instrument above 128 and turns 97 into key off; 2's packed data stops before its last rows,
// which stay empty. The order names pattern 4, so slots 3 and 4 get 64 empty rows.
TEST(Loader, PatternSlotsAndCellsOutOfRange) {
  XmBytes x;
  x.header(1, 3, 0, {0, 4});
  x.pattern(32, {});
  x.pattern(2, {0x83, 98, 200, 0x81, 97});
  x.pattern(4, {0x80, 0x80});
  SongPtr song(loadSongFromMemory(x.b));
  ASSERT_TRUE(song);
  EXPECT_EQ(song->warning, "");
  EXPECT_EQ(std::pair(song->patternsUsed, song->patternSlots), std::pair(5, 5));
  const int rows[] = {32, 2, 4, 64, 64};
  for (int i = 0; i < 5; ++i) {
    const Pattern& p = song->patterns[i];
    EXPECT_EQ(p.rows, rows[i]) << "pattern " << i;
    std::vector<uint8_t> want(size_t(rows[i]) * 5, 0);
    if (i == 1) want[5] = kNoteKeyOff;
    EXPECT_EQ(p.notes, want) << "pattern " << i;
  }
}

// Every bad module names the structure and the byte offset: bytes that are not an XM and counts
// beyond the player's limits (checked from the header, before anything is allocated) fail; data
// that ends early loads what it holds, the rest silent, with one warning. Each case patches one
// little-endian field of the small module, whose layout is: module header 0..335 (header size at
// 60, song length 64, channels 68, patterns 70, instruments 72); pattern 0 at 336 (rows at 341,
// packed size 343, 13 bytes of data from 345); instrument 1 at 358 (header size at 358, sample
// count 385); its sample header at 621 (length 621, type 635); 4 bytes of data 661..664.
TEST(Loader, BadModulesNameTheStructureAndOffset) {
  // Each row: the field patched at `at`, `value` written over `width` bytes; the structure and
  // offset named; the refusal (null: loads with a warning); the loaded sample length when
  // checked; the sample type byte at 635 (1: 8-bit forward loop, 0x11: 16-bit).
  // clang-format off
  struct Case {
    const char* label; size_t at; uint32_t value; int width; const char* structure; size_t offset;
    const char* refusal; int64_t frames = -1; uint8_t type = 1;
  };
  const Case cases[] = {
      {"wrong magic", 3, 'X', 1, "module header", 0, "not an Extended Module"},
      {"no channel", 68, 0, 2, "module header", 68, "channel count 0"},
      {"song length", 64, 257, 2, "module header", 64, "song length 257"},
      {"patterns", 70, 257, 2, "module header", 70, "pattern count 257"},
      {"instruments", 72, 129, 2, "module header", 72, "instrument count 129"},
      {"rows", 341, 257, 2, "pattern 0 header", 336, "row count 257"},
      {"samples per instrument", 385, 17, 2, "instrument 1 header", 358, "sample count 17"},
      // 2^24 + 1 frames of 8 bits: refused from the header, before the data is looked at.
      {"sample frames", 621, (1u << 24) + 1, 4, "instrument 1 sample 1 header", 621,
       "sample length 16777217 frames"},
      {"header size beyond the end", 60, 0x7F0000, 4, "module header", 60, nullptr},
      {"packed size beyond the end", 343, 0x7FFF, 2, "pattern 0 data", 665, nullptr},
      {"instrument header beyond the end", 358, 0x7FFF, 4, "instrument 1 header", 358, nullptr},
      // Sample lengths past the end: 4 bytes hold 4 frames of 8 bits. 2^25 bytes of 16 bits
      // (type 0x11) are exactly the 2^24-frame cap: accepted, and 4 bytes hold 2 frames.
      {"sample data beyond the end", 621, 0x00FFFFF0, 4, "instrument 1 sample 1 data", 665,
       nullptr, 4},
      {"16-bit sample at the cap", 621, 1u << 25, 4, "instrument 1 sample 1 data", 665, nullptr,
       2, 0x11},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    XmBytes x = smallModule();
    for (int i = 0; i < c.width; ++i) x.b.at(c.at + i) = static_cast<uint8_t>(c.value >> (8 * i));
    x.b[635] = c.type;
    LoadError error;
    SongPtr song(loadSongFromMemory(x.b, &error));
    if (c.refusal) {
      EXPECT_EQ(song, nullptr);
      EXPECT_EQ(error.structure, c.structure);
      EXPECT_EQ(error.offset, c.offset);
      EXPECT_THAT(error.message, HasSubstr(c.refusal));
      continue;
    }
    ASSERT_TRUE(song) << error.describe();
    EXPECT_THAT(song->warning, HasSubstr("offset " + std::to_string(c.offset) +
                                         ": warning: " + c.structure + ":"));
    if (c.frames >= 0) {
      EXPECT_EQ(song->instruments[0].samples[0]->length, uint64_t(c.frames));
    }
  }
}

// A header tempo of 65535 would make every tick one frame long (found by the fuzzer as a hang):
// tempos are kept within the tracker's 32..255.
TEST(Loader, TempoIsKeptInTheTrackersRange) {
  for (auto [tempo, expected] : {std::pair{65535, 255}, {0, 32}, {125, 125}}) {
    XmBytes x = smallModule();
    x.b[78] = static_cast<uint8_t>(tempo), x.b[79] = static_cast<uint8_t>(tempo >> 8);
    SongPtr song(loadSongFromMemory(x.b));
    ASSERT_TRUE(song);
    EXPECT_EQ(song->defaultTempo, expected) << tempo;
  }
}

// Cut anywhere: inside the module header (60 + 20 + 256 bytes) the load fails; after it the
// module loads, names the first missing structure at or before the cut, and plays.
TEST(Loader, EveryTruncationLoadsWhatItHoldsOrFailsInTheHeader) {
  XmBytes x = smallModule();
  std::vector<int16_t> pcm(1024);
  for (size_t cut = 0; cut < x.b.size(); ++cut) {
    SCOPED_TRACE(cut);
    LoadError error;
    SongPtr song(loadSongFromMemory(std::span(x.b).first(cut), &error));
    if (cut < 336) {
      EXPECT_EQ(song, nullptr);
      EXPECT_LE(error.offset, cut);
      EXPECT_FALSE(error.structure.empty());
      continue;
    }
    ASSERT_TRUE(song) << error.describe();
    ASSERT_FALSE(song->warning.empty());
    EXPECT_LE(std::stoul(song->warning.substr(7)), cut);  // "offset N: warning: ..."
    startOffline(song.get());
    renderOffline(pcm);
    resetPlayer();
  }
}

}  // namespace
}  // namespace glimmer::music
