// Effects, the volume column and envelopes, one table per family: each row plays a few pattern
// rows on one channel and lists what the channel holds after every tick. The expected values are
// worked out by hand from the XM format description (periods: linear table, 64 units per
// semitone, C-4 = 4608; vibrato and tremolo: the 32-step half-sine 0, 24, 49, 74, 97, 120, 141,
// 161, 180, 197, 212, 224, 235, 244, 250, 253, 255 ... scaled by depth / 32 for periods and
// depth / 64 for volumes, position moving 4 x speed per tick out of 256).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/music/test_support.h"

namespace glimmer::music {
namespace {

using test::E, test::noteByte;

const uint8_t kC4 = noteByte(4, 0), kD4 = noteByte(4, 2), kOff = kNoteKeyOff;

// A C-4 of instrument 1 with an effect, and one with a volume-column byte.
test::Cell N(uint8_t effect = 0, uint8_t param = 0) { return {kC4, 1, 0, effect, param}; }
test::Cell V(uint8_t volume) { return {kC4, 1, volume, 0, 0}; }

struct EffectCase {
  const char* name;
  std::vector<test::Cell> rows;          // one cell per pattern row, channel 0
  std::vector<int> expected;             // per tick, speed 3
  void (*setup)(Instrument&) = nullptr;  // changes instrument 1 (envelopes, auto-vibrato)
  bool amiga = false;                    // Amiga frequency table instead of the linear one
};

// Plays the rows at speed 3 with instrument 1 (1024 frames of 8000 looped, sample volume 32,
// panning 128) and instrument 2 (the same at -8000), recording `probe` after every tick.
void check(const std::vector<EffectCase>& cases, int (*probe)(const MusicChannel&)) {
  for (const EffectCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::TestSong t(1, 3, 125, !c.amiga);
    int p = t.addPattern(static_cast<int>(c.rows.size()) + 1);
    for (int16_t v : {8000, -8000})
      t.addInstrument(std::vector<int16_t>(1024, v), LoopMode::Forward, 0, 1024, 32);
    if (c.setup) c.setup(t.song().instruments[0]);
    for (size_t r = 0; r < c.rows.size(); ++r) t.set(p, static_cast<int>(r), 0, c.rows[r]);
    SongPtr song = t.finish({p});
    startOffline(song.get());
    std::vector<int> out;
    while (out.size() < c.expected.size()) {
      tick(*song);
      out.push_back(probe(musicChannels[0]));
    }
    resetPlayer();
    EXPECT_EQ(out, c.expected);
  }
}

void volumeEnvelope(Instrument& i, std::vector<EnvelopePoint> points, uint8_t flags = 0) {
  std::copy(points.begin(), points.end(), i.volumeEnvelope.begin());
  i.volumePointCount = static_cast<uint8_t>(points.size());
  i.volumeType = kEnvelopeOn | flags;
}
void panEnvelope(Instrument& i) {  // 0 -> 64 over 4 ticks, 16 per tick
  i.panEnvelope = {{{0, 0}, {4, 64}}}, i.panPointCount = 2, i.panType = kEnvelopeOn;
}

// clang-format off
// The period the channel sounds: base period, vibrato offset, arpeggio step.
TEST(Effects, PitchPerTick) {
  check({
    // 1xx: period -= 4 xx on ticks 1 and 2; 100 repeats the remembered speed; 2xx the other way.
    {"1 up", {N(0x1, 0x02), E(0x1, 0)}, {4608, 4600, 4592, 4592, 4584, 4576}},
    {"2 down", {N(0x2, 0x03), E(0x2, 0)}, {4608, 4620, 4632, 4632, 4644, 4656}},
    // B-7 is 7680 - 95 x 64 = 1600; 1FF takes 1020 per tick down to the floor 1, from which 201
    // climbs 4 per tick.
    {"1 floor, 2", {{noteByte(7, 11), 1, 0, 0x1, 0xFF}, E(0x2, 1)}, {1600, 580, 1, 1, 5, 9}},
    // E1x/E2x: 4 x once at the row start, with their own memories; X1x/X2x: x units once.
    {"E1 fine up", {N(0xE, 0x13), E(0xE, 0x10)}, {4596, 4596, 4596, 4584, 4584, 4584}},
    {"E2 fine down", {N(0xE, 0x22), E(0xE, 0x20)}, {4616, 4616, 4616, 4624, 4624, 4624}},
    {"X1 extra fine up", {N(0x21, 0x15), E(0x21, 0x10)}, {4603, 4603, 4603, 4598, 4598, 4598}},
    {"X2 extra fine down", {N(0x21, 0x23)}, {4611, 4611, 4611}},
    // Arpeggio counts the ticks left in the row: at speed 3, tick 1 plays +y, tick 2 +x.
    {"0 arpeggio", {N(0x0, 0x37)}, {4608, 4608 - 7 * 64, 4608 - 3 * 64}},
    // Vibrato speed 4 (16 positions per tick), depth 4: positions 0, 16, 32, 48 give 0,
    // 97 x 4 / 32 = 12, 180 x 4 / 32 = 22, 235 x 4 / 32 = 29. The next row's first tick sounds
    // the vibrato where it stands (position 32) without moving it.
    {"4 vibrato", {N(0x4, 0x44), E(0x4, 0)}, {4608, 4608, 4620, 4630, 4630, 4637}},
    // Volume column B sets the depth and vibrates with the speed set by A.
    {"vol A/B vibrato", {V(0xA4), {0, 0, 0xB4, 0, 0}}, {4608, 4608, 4608, 4608, 4608, 4620}},
    // E5x: finetune (x - 8) x 16 for the row's note: 4 x 16 = 64 sixteenths of 4 units.
    {"E5 finetune", {N(0xE, 0x5C)}, {4576, 4576, 4576}},
    // 3xx slides 4 xx (48) per tick towards the note (D-4 = 4480) without restarting it, and
    // stops on it; volume column Fx: speed x x 16, 192 per tick up from D-4, stops on C-4.
    {"3 tone portamento", {N(), {kD4, 0, 0, 0x3, 0x0C}, E(0x3, 0)},
     {4608, 4608, 4608, 4608, 4560, 4512, 4512, 4480, 4480}},
    {"vol F tone portamento", {{kD4, 1, 0, 0, 0}, {kC4, 0, 0xF3, 0, 0}},
     {4480, 4480, 4480, 4480, 4608, 4608}},
    // E31 glissando: the slide sounds in whole semitones (4592 is nearer C-4 than C#4).
    {"E3 glissando", {N(0xE, 0x31), {kD4, 0, 0, 0x3, 0x04}}, {4608, 4608, 4608, 4608, 4608, 4608}},
    // Auto-vibrato: square wave (type 1), rate 1 (stays in the first half), depth 8, sweep 4:
    // the amplitude grows by 8 x 256 / 4 = 512 per tick up to 2048; offset 64 x amplitude / 2^14.
    {"auto-vibrato sweep", {N(), {}}, {4610, 4612, 4614, 4616, 4616, 4616}, [](Instrument& i) {
       i.vibratoType = 1, i.vibratoRate = 1, i.vibratoDepth = 8, i.vibratoSweep = 4; }},
  }, [](const MusicChannel& c) { return c.period + c.periodDelta - c.periodShift; });
}

// The channel's volume with tremolo and tremor, before the mixer limits it to 0..64.
TEST(Effects, VolumePerTick) {
  check({
    // Axy on ticks 1 and 2; an up nibble wins; A00 repeats the last slide.
    {"A slide up", {N(0xA, 0x20), E(0xA, 0)}, {32, 34, 36, 36, 38, 40}},
    {"A slide down", {N(0xA, 0x05)}, {32, 27, 22}},
    {"A up wins", {N(0xA, 0x25)}, {32, 34, 36}},
    {"C set volume", {N(0xC, 0x30), E(0xC, 0x50)}, {48, 48, 48, 64, 64, 64}},
    // EAx/EBx once at the row start, each with its own memory.
    {"EA fine up", {N(0xE, 0xA3), E(0xE, 0xA0)}, {35, 35, 35, 38, 38, 38}},
    {"EB fine down", {N(0xE, 0xB4), E(0xE, 0xB0)}, {28, 28, 28, 24, 24, 24}},
    // Volume column: 10..50 set; 6x/7x slide on ticks 1 and 2 only, within 0..64; 8x/9x once.
    {"vol set", {V(0x20)}, {16, 16, 16}},
    {"vol 6 slide down to 0", {V(0x62), {0, 0, 0x6F, 0, 0}}, {32, 30, 28, 28, 13, 0}},
    {"vol 7 slide up to 64", {V(0x73), {0, 0, 0x7F, 0, 0}}, {32, 35, 38, 38, 53, 64}},
    {"vol 8 fine down", {V(0x84)}, {28, 28, 28}},
    {"vol 9 fine up", {V(0x95)}, {37, 37, 37}},
    {"EC note cut", {N(0xE, 0xC1)}, {32, 0, 0}},
    // 5xy/6xy slide with A's memory while tone portamento/vibrato carry on.
    {"5 slide", {N(0xA, 0x02), E(0x5, 0)}, {32, 30, 28, 28, 26, 24}},
    {"6 slide", {N(0x6, 0x30)}, {32, 35, 38}},
    // Tremolo speed 4, depth 4: positions 0, 16 give 0 and 97 x 4 / 64 = 6; the next row's first
    // tick sounds position 32 (180 x 4 / 64 = 11), then 32 and 48 (235 x 4 / 64 = 14).
    {"7 tremolo", {N(0x7, 0x44), E(0x7, 0)}, {32, 32, 38, 43, 43, 46}},
    // Tremor T11: on for 2 ticks, off for 2, counting on ticks 1 and 2 across rows.
    {"T tremor", {N(0x1D, 0x11), E(0x1D, 0), E(0x1D, 0)}, {32, 32, 32, 32, 0, 0, 0, 32, 32}},
    // Rxy: every y ticks the note restarts with its volume changed by the table of x; the count
    // runs on over rows, and R with x = 0 keeps the remembered x.
    {"R1 every 2", {N(0x1B, 0x12), E(0x1B, 0)}, {32, 32, 31, 31, 31, 30}},
    {"R keeps x", {N(0x1B, 0x91), E(0x1B, 0x02)}, {32, 33, 34, 34, 34, 35}},
    // The whole table from 32 with y = 1 (ticks 1 and 2), kept within 0..64.
    {"R1 -1", {N(0x1B, 0x11)}, {32, 31, 30}},   {"R2 -2", {N(0x1B, 0x21)}, {32, 30, 28}},
    {"R3 -4", {N(0x1B, 0x31)}, {32, 28, 24}},   {"R4 -8", {N(0x1B, 0x41)}, {32, 24, 16}},
    {"R5 -16", {N(0x1B, 0x51)}, {32, 16, 0}},   {"R6 x2/3", {N(0x1B, 0x61)}, {32, 21, 14}},
    {"R7 /2", {N(0x1B, 0x71)}, {32, 16, 8}},    {"R8 none", {N(0x1B, 0x81)}, {32, 32, 32}},
    {"R9 +1", {N(0x1B, 0x91)}, {32, 33, 34}},   {"RA +2", {N(0x1B, 0xA1)}, {32, 34, 36}},
    {"RB +4", {N(0x1B, 0xB1)}, {32, 36, 40}},   {"RC +8", {N(0x1B, 0xC1)}, {32, 40, 48}},
    {"RD +16", {N(0x1B, 0xD1)}, {32, 48, 64}},  {"RE x3/2", {N(0x1B, 0xE1)}, {32, 48, 64}},
    {"RF x2", {N(0x1B, 0xF1)}, {32, 64, 64}},
  }, [](const MusicChannel& ch) { return ch.muted ? 0 : ch.volume + ch.volumeDelta; });
}

TEST(Effects, GlobalVolumePerTick) {
  check({
    {"G set", {N(0x10, 0x20), E(0x10, 0x50)}, {32, 32, 32, 64, 64, 64}},
    // Hxy on ticks 1 and 2, with its own memory.
    {"H slide down", {N(0x11, 0x03), E(0x11, 0)}, {64, 61, 58, 58, 55, 52}},
    {"H slide up", {N(0x10, 0x10), E(0x11, 0x40)}, {16, 16, 16, 16, 20, 24}},
  }, [](const MusicChannel&) { return output.current->playback->globalVolume; });
}

// The voice's panning: the channel's, moved by the panning envelope.
TEST(Effects, PanningPerTick) {
  check({
    {"8 set", {N(0x8, 0x40)}, {64, 64, 64}},
    // Pxy on ticks 1 and 2: x to the right, y to the left, within 0..255.
    {"P right", {N(0x19, 0x20)}, {128, 130, 132}},
    {"P left", {N(0x19, 0x03), E(0x19, 0)}, {128, 125, 122, 122, 119, 116}},
    {"P clamps", {N(0x8, 0xFE), E(0x19, 0x20)}, {254, 254, 254, 254, 255, 255}},
    // Volume column Cx sets x x 16; Dx/Ex slide on ticks 1 and 2.
    {"vol C", {V(0xC4)}, {64, 64, 64}},
    {"vol D", {V(0xD3)}, {128, 125, 122}},
    {"vol E", {V(0xE2)}, {128, 130, 132}},
    // Envelope value e = 0, 16, 32, 48, 64 around the centre 32: panning + (e - 32) x
    // (128 - |panning - 128|) / 32, so 4 per unit from 128 and 2 from 64, within 0..255.
    {"envelope from 128", {N(), {}}, {0, 64, 128, 192, 255, 255}, panEnvelope},
    {"envelope from 64", {N(0x8, 0x40), {}}, {0, 32, 64, 96, 128, 128}, panEnvelope},
  }, [](const MusicChannel& ch) { return ch.voice->panning; });
}

// 1 or 2 on the ticks where a note of instrument 1 or 2 (re)starts, else 0.
TEST(Effects, NoteStartsPerTick) {
  check({
    {"plain note", {N()}, {1, 0, 0}},
    {"ED note delay", {N(0xE, 0xD2)}, {0, 0, 1}},
    {"ED beyond the row", {N(0xE, 0xD5)}, {0, 0, 0}},
    {"E9 retrigger", {N(0xE, 0x91)}, {1, 1, 1}},
    {"R every 2", {N(0x1B, 0x82), E(0x1B, 0)}, {1, 0, 1, 0, 0, 1}},
    // Tone portamento keeps the sounding sample: instrument 2 does not start.
    {"3 holds the note", {N(), {kD4, 2, 0, 0x3, 0x10}}, {1, 0, 0, 0, 0, 0}},
  }, [](const MusicChannel& ch) {
    if (!(ch.dirty & kDirtyTrigger) || !ch.voice->sample) return 0;
    return ch.voice->sample->data[0] > 0 ? 1 : 2;
  });
}

// Where the voice plays in the sample (in frames), -1 when silent.
TEST(Effects, SampleOffsetAndMissingSamples) {
  check({
    {"9 offset", {N(0x9, 0x01)}, {256}},
    {"9 past the 1024 frames", {N(0x9, 0x04)}, {-1}},
    {"no instrument 99", {{kC4, 99, 0, 0, 0}}, {-1}},
    {"sample without data", {N()}, {-1}, [](Instrument& i) { i.samples[0] = &kEmptySample; }},
  }, [](const MusicChannel& c) { return c.voice->sample ? int(c.voice->position >> 32) : -1; });
}

// The frequency the voice plays at (its 32.32 step x 44100 Hz): 8363 at C-4 (twice that at C-5)
// by the linear and the Amiga table; the sample's relative note and finetune move it (E50:
// finetune -128, one semitone down: 8363 x 2^(-1/12) = 7893.6).
TEST(Effects, NoteFrequency) {
  check({
    {"C-5", {{noteByte(5, 0), 1, 0, 0, 0}}, {16726}},
    {"Amiga C-5", {{noteByte(5, 0), 1, 0, 0, 0}}, {16726}, nullptr, true},
    {"relative note 12", {N()}, {16726},
     [](Instrument& i) { const_cast<Sample*>(i.samples[0])->relativeNote = 12; }},
    {"E50", {N(0xE, 0x50)}, {7894}},
  }, [](const MusicChannel& c) { return int(std::lround(c.voice->step * 44100.0 / 0x1p32)); });
}

TEST(Effects, VolumeEnvelopePerTick) {
  check({
    // 64 -> 32 -> 0 at ticks 0, 4, 8 (8 per tick), holding at the sustain point 1 until the key
    // off of row 2, then on to the last point, where it stops.
    {"sustain, release", {N(), {}, {kOff, 0, 0, 0, 0}, {}},
     {64, 56, 48, 40, 32, 32, 32, 24, 16, 8, 0, 0}, [](Instrument& i) {
       volumeEnvelope(i, {{0, 64}, {4, 32}, {8, 0}}, kEnvelopeSustain), i.volumeSustain = 1; }},
    // 0 -> 64 -> 32 at ticks 0, 2, 4, looping from point 2 back to point 1.
    {"loop", {N(), {}, {}}, {0, 32, 64, 48, 64, 48, 64, 48, 64}, [](Instrument& i) {
       volumeEnvelope(i, {{0, 0}, {2, 64}, {4, 32}}, kEnvelopeLoop);
       i.volumeLoopStart = 1, i.volumeLoopEnd = 2; }},
    // L05 on 0 -> 64 over 8 ticks (8 per tick): 5 x 8 = 40 after the set, then 48, 56.
    {"L position", {N(0x15, 0x05)}, {40, 48, 56},
     [](Instrument& i) { volumeEnvelope(i, {{0, 0}, {8, 64}}); }},
    // L02 before an envelope's first point (two points on tick 4) starts from that point: 40
    // (found by the fuzzer as a division by zero).
    {"L before the first point", {N(0x15, 0x02)}, {40, 40},
     [](Instrument& i) { volumeEnvelope(i, {{4, 40}, {4, 50}}); }},
  }, [](const MusicChannel& ch) { return ch.volumeEnvelope.value; });
}

// The voice volume 0..127 = 127.5 x volume / 64 x envelope / 64 x fadeout / 65536, truncated.
TEST(Effects, KeyOffAndFadeoutPerTick) {
  check({
    // Without a volume envelope key off silences the note on its own tick (volume 32: 63.75); a
    // mended fault let Kxx and a delayed key off sound on until the next row.
    {"key off note", {N(), {kOff, 0, 0, 0, 0}}, {63, 63, 63, 0, 0, 0}},
    {"K at tick 2", {N(0x14, 0x02)}, {63, 63, 0}},
    {"delayed key off", {N(), {kOff, 0, 0, 0xE, 0xD1}}, {63, 63, 63, 63, 0, 0}},
    // With one, the fadeout 8192 per tick (the file's 4096 doubled) takes 1/8 per tick.
    {"fadeout", {V(0x50), E(0x14, 0), {}, {}}, {127, 127, 127, 111, 95, 79, 63, 47, 31, 15, 0, 0},
     [](Instrument& i) {
       volumeEnvelope(i, {{0, 64}, {10, 64}}, kEnvelopeSustain), i.fadeout = 8192; }},
  }, [](const MusicChannel& ch) { return ch.voice->volume; });
}
// clang-format on

}  // namespace
}  // namespace glimmer::music
