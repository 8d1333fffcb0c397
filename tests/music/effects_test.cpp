// Effects and the volume column, one table per family: each row plays a few pattern rows on one
// channel and lists what the channel holds after every tick. The expected values are worked out
// by hand from the XM format description (periods: linear table, 64 units per semitone, C-4 =
// 4608; vibrato and tremolo: the 32-step half-sine 0, 24, 49, 74, 97, 120, 141, 161, 180, 197,
// 212, 224, 235, 244, 250, 253, 255 ... scaled by depth / 32 for periods and depth / 64 for
// volumes, position moving 4 x speed per tick out of 256).
#include <gtest/gtest.h>

#include <functional>

#include "tests/music/test_support.h"

namespace glimmer::music {
namespace {

using test::Cell;
using test::noteByte;
using test::TestSong;

const uint8_t kC4 = noteByte(4, 0);
const uint8_t kD4 = noteByte(4, 2);

struct EffectCase {
  const char* name;
  std::vector<Cell> rows;     // one cell per pattern row, channel 0
  std::vector<int> expected;  // per tick, speed 3
};

// Plays the rows at speed 3 with one instrument (sample volume 32, panning 128) and records
// `probe` after every tick.
std::vector<int> run(const EffectCase& c, const std::function<int(const Song&)>& probe,
                     const std::function<void(Instrument&)>& setup = nullptr) {
  TestSong t(1, 3);
  int p = t.addPattern(static_cast<int>(c.rows.size()) + 1);
  Instrument& inst =
      t.addInstrument(std::vector<int16_t>(1024, 8000), LoopMode::Forward, 0, 1024, 32, 128);
  if (setup) setup(inst);
  for (size_t r = 0; r < c.rows.size(); ++r) t.set(p, static_cast<int>(r), 0, c.rows[r]);
  SongPtr song = t.finish({p});
  startOffline(song.get());
  std::vector<int> out;
  for (size_t i = 0; i < c.expected.size(); ++i) {
    tick(*song);
    out.push_back(probe(*song));
  }
  resetPlayer();
  return out;
}

// The period the channel sounds: base period, vibrato offset, arpeggio step.
int soundingPeriod(const Song&) {
  const MusicChannel& ch = musicChannels[0];
  return ch.period + ch.periodDelta - ch.periodShift;
}

TEST(Effects, PitchPerTick) {
  const EffectCase cases[] = {
      // 1xx: period -= 4 xx on ticks 1 and 2; 100 repeats the remembered speed.
      {"1 portamento up",
       {{kC4, 1, 0, 0x1, 0x02}, {0, 0, 0, 0x1, 0}},
       {4608, 4600, 4592, 4592, 4584, 4576}},
      {"2 portamento down",
       {{kC4, 1, 0, 0x2, 0x03}, {0, 0, 0, 0x2, 0}},
       {4608, 4620, 4632, 4632, 4644, 4656}},
      // E1x/E2x: 4 x once at the row start, with their own memories.
      {"E1 fine up",
       {{kC4, 1, 0, 0xE, 0x13}, {0, 0, 0, 0xE, 0x10}},
       {4596, 4596, 4596, 4584, 4584, 4584}},
      {"E2 fine down",
       {{kC4, 1, 0, 0xE, 0x22}, {0, 0, 0, 0xE, 0x20}},
       {4616, 4616, 4616, 4624, 4624, 4624}},
      // X1x/X2x: x period units once.
      {"X1 extra fine up",
       {{kC4, 1, 0, 0x21, 0x15}, {0, 0, 0, 0x21, 0x10}},
       {4603, 4603, 4603, 4598, 4598, 4598}},
      {"X2 extra fine down", {{kC4, 1, 0, 0x21, 0x23}}, {4611, 4611, 4611}},
      // Arpeggio counts the ticks left in the row: at speed 3, tick 1 plays +y, tick 2 +x.
      {"0 arpeggio", {{kC4, 1, 0, 0x0, 0x37}}, {4608, 4608 - 7 * 64, 4608 - 3 * 64}},
      // Vibrato speed 4 (16 positions per tick), depth 4: positions 0, 16, 32, 48 give
      // 0, 97 x 4 / 32 = 12, 180 x 4 / 32 = 22, 235 x 4 / 32 = 29. The next row's first tick
      // sounds the vibrato where it stands (position 32) without moving it.
      {"4 vibrato",
       {{kC4, 1, 0, 0x4, 0x44}, {0, 0, 0, 0x4, 0}},
       {4608, 4608, 4620, 4630, 4630, 4637}},
      // Volume column B sets the depth and vibrates with the speed set by A.
      {"vol A/B vibrato",
       {{kC4, 1, 0xA4, 0, 0}, {0, 0, 0xB4, 0, 0}},
       {4608, 4608, 4608, 4608, 4608, 4620}},
      // E5x: finetune (x - 8) x 16 for the row's note: 4 x 16 = 64, in sixteenths 8 → 32 units.
      {"E5 finetune", {{kC4, 1, 0, 0xE, 0x5C}}, {4576, 4576, 4576}},
      // 3xx slides 4 xx per tick towards the note (D-4 = 4480) without restarting it.
      {"3 tone portamento",
       {{kC4, 1, 0, 0, 0}, {kD4, 0, 0, 0x3, 0x04}, {0, 0, 0, 0x3, 0}},
       {4608, 4608, 4608, 4608, 4592, 4576, 4576, 4560, 4544}},
      // Volume column Fx: speed x x 16, so 128 units per tick, stopping at the note.
      {"vol F tone portamento",
       {{kC4, 1, 0, 0, 0}, {kD4, 0, 0xF2, 0, 0}},
       {4608, 4608, 4608, 4608, 4480, 4480}},
      // E31 glissando: the slide sounds in whole semitones (4592 is nearer C-4 than C#4).
      {"E3 glissando",
       {{kC4, 1, 0, 0xE, 0x31}, {kD4, 0, 0, 0x3, 0x04}},
       {4608, 4608, 4608, 4608, 4608, 4608}},
  };
  for (const EffectCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(c, soundingPeriod), c.expected);
  }
}

int soundingVolume(const Song&) {
  const MusicChannel& ch = musicChannels[0];
  return ch.muted ? 0 : std::clamp(ch.volume + ch.volumeDelta, 0, 64);
}

TEST(Effects, VolumePerTick) {
  const EffectCase cases[] = {
      // Axy on ticks 1 and 2; an up nibble wins; A00 repeats the last slide.
      {"A slide up", {{kC4, 1, 0, 0xA, 0x20}, {0, 0, 0, 0xA, 0}}, {32, 34, 36, 36, 38, 40}},
      {"A slide down", {{kC4, 1, 0, 0xA, 0x05}}, {32, 27, 22}},
      {"A up wins", {{kC4, 1, 0, 0xA, 0x25}}, {32, 34, 36}},
      {"C set volume", {{kC4, 1, 0, 0xC, 0x30}, {0, 0, 0, 0xC, 0x50}}, {48, 48, 48, 64, 64, 64}},
      // EAx/EBx once at the row start, each with its own memory.
      {"EA fine up", {{kC4, 1, 0, 0xE, 0xA3}, {0, 0, 0, 0xE, 0xA0}}, {35, 35, 35, 38, 38, 38}},
      {"EB fine down", {{kC4, 1, 0, 0xE, 0xB4}, {0, 0, 0, 0xE, 0xB0}}, {28, 28, 28, 24, 24, 24}},
      // Volume column: 10..50 set; 6x/7x slide on ticks 1 and 2 only; 8x/9x once.
      {"vol set", {{kC4, 1, 0x20, 0, 0}}, {16, 16, 16}},
      {"vol 6 slide down", {{kC4, 1, 0x62, 0, 0}}, {32, 30, 28}},
      {"vol 7 slide up", {{kC4, 1, 0x73, 0, 0}}, {32, 35, 38}},
      {"vol 8 fine down", {{kC4, 1, 0x84, 0, 0}}, {28, 28, 28}},
      {"vol 9 fine up", {{kC4, 1, 0x95, 0, 0}}, {37, 37, 37}},
      {"EC note cut", {{kC4, 1, 0, 0xE, 0xC1}}, {32, 0, 0}},
      // 5xy/6xy slide with A's memory while tone portamento/vibrato carry on.
      {"5 slide", {{kC4, 1, 0, 0xA, 0x02}, {0, 0, 0, 0x5, 0}}, {32, 30, 28, 28, 26, 24}},
      {"6 slide", {{kC4, 1, 0, 0x6, 0x30}}, {32, 35, 38}},
      // Tremolo speed 4, depth 4: positions 0, 16 give 0 and 97 x 4 / 64 = 6; the next row's
      // first tick sounds position 32 (180 x 4 / 64 = 11), then 32 and 48 (235 x 4 / 64 = 14).
      {"7 tremolo", {{kC4, 1, 0, 0x7, 0x44}, {0, 0, 0, 0x7, 0}}, {32, 32, 38, 43, 43, 46}},
      // Tremor T11: on for 2 ticks, off for 2, counting on ticks 1 and 2 across rows.
      {"T tremor",
       {{kC4, 1, 0, 0x1D, 0x11}, {0, 0, 0, 0x1D, 0}, {0, 0, 0, 0x1D, 0}},
       {32, 32, 32, 32, 0, 0, 0, 32, 32}},
      // R1y: every y ticks the note restarts 1 lower; the count runs on over rows.
      {"R multi retrigger",
       {{kC4, 1, 0, 0x1B, 0x12}, {0, 0, 0, 0x1B, 0}},
       {32, 32, 31, 31, 31, 30}},
      // R with x = 0 keeps the remembered volume change (9: +1) and takes the new interval.
      {"R keeps x", {{kC4, 1, 0, 0x1B, 0x91}, {0, 0, 0, 0x1B, 0x02}}, {32, 33, 34, 34, 34, 35}},
  };
  for (const EffectCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(c, soundingVolume), c.expected);
  }
}

TEST(Effects, GlobalVolumePerTick) {
  const EffectCase cases[] = {
      {"G set", {{kC4, 1, 0, 0x10, 0x20}, {0, 0, 0, 0x10, 0x50}}, {32, 32, 32, 64, 64, 64}},
      // Hxy on ticks 1 and 2, with its own memory.
      {"H slide down", {{kC4, 1, 0, 0x11, 0x03}, {0, 0, 0, 0x11, 0}}, {64, 61, 58, 58, 55, 52}},
      {"H slide up", {{kC4, 1, 0, 0x10, 0x10}, {0, 0, 0, 0x11, 0x40}}, {16, 16, 16, 16, 20, 24}},
  };
  for (const EffectCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(c, [](const Song& s) { return s.playback->globalVolume; }), c.expected);
  }
}

TEST(Effects, PanningPerTick) {
  const EffectCase cases[] = {
      {"8 set", {{kC4, 1, 0, 0x8, 0x40}}, {64, 64, 64}},
      // Pxy on ticks 1 and 2: x to the right, y to the left, within 0..255.
      {"P right", {{kC4, 1, 0, 0x19, 0x20}}, {128, 130, 132}},
      {"P left", {{kC4, 1, 0, 0x19, 0x03}, {0, 0, 0, 0x19, 0}}, {128, 125, 122, 122, 119, 116}},
      {"P clamps", {{kC4, 1, 0, 0x8, 0xFE}, {0, 0, 0, 0x19, 0x20}}, {254, 254, 254, 254, 255, 255}},
      // Volume column Cx sets x x 16; Dx/Ex slide on ticks 1 and 2.
      {"vol C", {{kC4, 1, 0xC4, 0, 0}}, {64, 64, 64}},
      {"vol D", {{kC4, 1, 0xD3, 0, 0}}, {128, 125, 122}},
      {"vol E", {{kC4, 1, 0xE2, 0, 0}}, {128, 130, 132}},
  };
  for (const EffectCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(c, [](const Song&) { return musicChannels[0].panning; }), c.expected);
  }
}

TEST(Effects, NoteStartsPerTick) {
  // 1 on the ticks where the channel's note (re)starts: its voice changes to the twin.
  auto starts = [](const EffectCase& c) {
    const MixerVoice* last = nullptr;
    bool sounding = false;
    return run(c, [&](const Song&) {
      const MixerVoice* v = musicChannels[0].voice;
      bool started = (v != last && v->sample) || (!sounding && v->sample);
      last = v;
      sounding = v->sample != nullptr;
      return started ? 1 : 0;
    });
  };
  const EffectCase cases[] = {
      {"plain note", {{kC4, 1, 0, 0, 0}}, {1, 0, 0}},
      {"ED note delay", {{kC4, 1, 0, 0xE, 0xD2}}, {0, 0, 1}},
      {"ED beyond the row", {{kC4, 1, 0, 0xE, 0xD5}}, {0, 0, 0}},
      {"E9 retrigger", {{kC4, 1, 0, 0xE, 0x91}}, {1, 1, 1}},
      {"R every 2", {{kC4, 1, 0, 0x1B, 0x82}, {0, 0, 0, 0x1B, 0}}, {1, 0, 1, 0, 0, 1}},
      {"3 holds the note", {{kC4, 1, 0, 0, 0}, {kD4, 1, 0, 0x3, 0x10}}, {1, 0, 0, 0, 0, 0}},
  };
  for (const EffectCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(starts(c), c.expected);
  }
}

TEST(Effects, SampleOffsetKeyOffAndEnvelopePosition) {
  const EffectCase offset = {"9 offset", {{kC4, 1, 0, 0x9, 0x01}}, {256}};
  EXPECT_EQ(
      run(offset,
          [](const Song&) { return static_cast<int>(musicChannels[0].voice->position >> 32); }),
      offset.expected);
  // 9xx past the end of the sample leaves the channel silent.
  const EffectCase past = {"9 past the end", {{kC4, 1, 0, 0x9, 0x04}}, {0}};
  EXPECT_EQ(run(past, [](const Song&) { return musicChannels[0].voice->sample ? 1 : 0; }),
            past.expected);
  const EffectCase keyOff = {"K at tick 2", {{kC4, 1, 0, 0x14, 0x02}}, {0, 0, 1}};
  EXPECT_EQ(run(keyOff, [](const Song&) { return int{musicChannels[0].keyOff}; }), keyOff.expected);
  // L05 on an envelope 0 → 64 over 8 ticks, then rising 8 per tick: value 5 x 8 = 40 after the
  // set, 48 and 56 on the next ticks.
  const EffectCase envelope = {"L envelope position", {{kC4, 1, 0, 0x15, 0x05}}, {40, 48, 56}};
  auto volumeEnvelope = [](Instrument& inst) {
    inst.volumeEnvelope[0] = {0, 0};
    inst.volumeEnvelope[1] = {8, 64};
    inst.volumePointCount = 2;
    inst.volumeType = kEnvelopeOn;
  };
  EXPECT_EQ(run(
                envelope, [](const Song&) { return musicChannels[0].volumeEnvelope.value; },
                volumeEnvelope),
            envelope.expected);
  // L02 before an envelope's first point (two points on tick 4) starts from that point: 40
  // (found by the fuzzer as a division by zero).
  const EffectCase early = {"L before the first point", {{kC4, 1, 0, 0x15, 0x02}}, {40, 40}};
  auto lateEnvelope = [](Instrument& inst) {
    inst.volumeEnvelope[0] = {4, 40};
    inst.volumeEnvelope[1] = {4, 50};
    inst.volumePointCount = 2;
    inst.volumeType = kEnvelopeOn;
  };
  EXPECT_EQ(
      run(
          early, [](const Song&) { return musicChannels[0].volumeEnvelope.value; }, lateEnvelope),
      early.expected);
}

TEST(Effects, AutoVibratoPerTick) {
  // Square wave (type 1), rate 1 (stays in the first half), depth 8, sweep 4: the amplitude
  // grows by 8 x 256 / 4 = 512 per tick up to 2048, and the offset is 64 x amplitude / 2^14.
  const EffectCase c = {"auto-vibrato sweep", {{kC4, 1, 0, 0, 0}, {}}, {2, 4, 6, 8, 8, 8}};
  auto setup = [](Instrument& inst) {
    inst.vibratoType = 1;
    inst.vibratoRate = 1;
    inst.vibratoDepth = 8;
    inst.vibratoSweep = 4;
  };
  EXPECT_EQ(run(
                c, [](const Song&) { return musicChannels[0].periodDelta; }, setup),
            c.expected);
}

// Row flow: the (order, row) of every row start until the song ends.
std::vector<std::pair<int, int>> flow(std::vector<std::vector<Cell>> rows0,
                                      std::vector<int> orders) {
  TestSong t(2, 3);
  for (auto& rows : rows0) {
    int p = t.addPattern(static_cast<int>(rows.size()) / 2);
    for (size_t i = 0; i < rows.size(); ++i) {
      t.set(p, static_cast<int>(i / 2), static_cast<int>(i % 2), rows[i]);
    }
  }
  SongPtr song = t.finish(orders);
  SongTimeline tl = songTimeline(song.get(), 1 << 22);
  std::vector<std::pair<int, int>> out;
  for (const RowStart& r : tl.rows) out.emplace_back(r.order, r.row);
  resetPlayer();
  return out;
}

TEST(Effects, RowFlow) {
  using Rows = std::vector<std::pair<int, int>>;
  const Cell none{};
  struct FlowCase {
    const char* name;
    std::vector<std::vector<Cell>> patterns;  // two cells per row
    std::vector<int> orders;
    Rows expected;
  };
  const FlowCase cases[] = {
      // B02 jumps to order 2, row 0; the song ends when a jump reaches a row already played.
      {"B jump",
       {{none, none, {0, 0, 0, 0xB, 2}, none, none, none}},
       {0, 0, 0},
       {{0, 0}, {0, 1}, {2, 0}, {2, 1}}},
      // D01 breaks to row 1 of the next order.
      {"D break",
       {{{0, 0, 0, 0xD, 0x01}, none, none, none, none, none}},
       {0, 0},
       {{0, 0}, {1, 1}, {1, 2}}},
      // B and D together: order from B, row from D.
      {"B with D",
       {{{0, 0, 0, 0xB, 2}, {0, 0, 0, 0xD, 0x01}, none, none, none, none}},
       {0, 0, 0},
       {{0, 0}, {2, 1}, {2, 2}}},
      // E60 marks row 1, E62 on row 2 plays rows 1..2 twice more.
      {"E6 pattern loop",
       {{none, none, {0, 0, 0, 0xE, 0x60}, none, {0, 0, 0, 0xE, 0x62}, none, none, none}},
       {0},
       {{0, 0}, {0, 1}, {0, 2}, {0, 1}, {0, 2}, {0, 1}, {0, 2}, {0, 3}}},
  };
  for (const FlowCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(flow(c.patterns, c.orders), c.expected);
  }
}

TEST(Effects, PatternDelayRepeatsTheRowWithoutNewNotes) {
  TestSong t(1, 3);
  int p = t.addPattern(3);
  t.addInstrument(std::vector<int16_t>(64, 8000), LoopMode::Forward, 0, 64, 32);
  t.set(p, 1, 0, Cell{kC4, 1, 0, 0xE, 0xE2});  // row 1 lasts 3 x 3 ticks
  SongPtr song = t.finish({p});
  SongTimeline tl = songTimeline(song.get(), 1 << 22);
  ASSERT_EQ(tl.rows.size(), 3u);
  EXPECT_EQ(tl.rows[1].frame, 3 * 882);
  EXPECT_EQ(tl.rows[2].frame, (3 + 9) * 882);
}

}  // namespace
}  // namespace glimmer::music
