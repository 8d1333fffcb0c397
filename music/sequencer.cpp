// The sequencer: one tick at a time, rows start notes, instruments, the volume column and
// effects; other ticks run the continuous effects, envelopes and fadeout. Each channel's state is
// pushed to its mixer voice after it is processed.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "music/internal.h"

namespace glimmer::music {

namespace {

constexpr int kLowestNote = 0;
constexpr int kHighestNote = 118;        // B-9, the top of the XM note range
constexpr int32_t kMaxPeriod = 1 << 20;  // far below audible; keeps slides from overflowing

const Instrument& instrumentOf(const Song& song, const MusicChannel& ch) {
  if (ch.instrument < song.instrumentCount) return song.instruments[ch.instrument];
  return kEmptyInstrument;
}

const Sample* sampleOf(const Instrument& inst, int note) {
  if (note < 0 || note >= 96) return &kEmptySample;
  uint8_t index = inst.noteSampleMap[note];
  if (index >= kMaxSamplesPerInstrument || !inst.samples[index]) return &kEmptySample;
  return inst.samples[index];
}

// Advances an envelope by one tick; returns with the value set (see the envelope points).
void envelopeStep(EnvelopeState& env, const std::array<EnvelopePoint, kEnvelopePoints>& points,
                  int count, uint8_t type, int sustain, int loopStart, int loopEnd, bool keyOff) {
  if (env.point < count) {
    if (env.tick == points[env.point].tick) {
      if ((type & kEnvelopeLoop) && env.point == loopEnd) {
        env.point = loopStart;
        env.tick = points[env.point].tick;
      }
      int a = points[env.point].value, ta = points[env.point].tick;
      if (env.point == count - 1) {
        env.value = a;
        env.stopped = true;
        return;
      }
      int b = points[env.point + 1].value, tb = points[env.point + 1].tick;
      if ((type & kEnvelopeSustain) && env.point == sustain && !keyOff) {
        env.value = a;
        return;
      }
      env.step = tb == ta ? 0 : (b * 65536 - a * 65536) / (tb - ta);
      env.value16 = a * 65536;
      ++env.point;
    } else {
      env.value16 += env.step;
    }
  }
  env.value = static_cast<int16_t>(env.value16 >> 16);
  ++env.tick;
}

void advanceEnvelopes(const Instrument& inst, MusicChannel& ch) {
  if (!(inst.volumeType & kEnvelopeOn)) {
    // Key off without a volume envelope cuts the note on the tick it happens (a key-off note,
    // Kxx at tick xx, or a delayed key-off note alike).
    if (ch.keyOff) {
      ch.volumeEnvelope.value = 0;
      ch.dirty |= kDirtyVolume;
    }
  } else if (!ch.volumeEnvelope.stopped) {
    envelopeStep(ch.volumeEnvelope, inst.volumeEnvelope, inst.volumePointCount, inst.volumeType,
                 inst.volumeSustain, inst.volumeLoopStart, inst.volumeLoopEnd, ch.keyOff);
    ch.dirty |= kDirtyVolume;
  }
  if ((inst.panType & kEnvelopeOn) && !ch.panEnvelope.stopped) {
    envelopeStep(ch.panEnvelope, inst.panEnvelope, inst.panPointCount, inst.panType,
                 inst.panSustain, inst.panLoopStart, inst.panLoopEnd, ch.keyOff);
    ch.dirty |= kDirtyPanning;
  }
  if (ch.keyOff) {
    ch.fadeout = std::max<int32_t>(0, ch.fadeout - static_cast<int32_t>(inst.fadeout));
    ch.dirty |= kDirtyVolume;
  }
}

// Vibrato and tremolo waveforms: a quarter-wave sine over 32 steps of half a cycle (0..255).
constexpr uint8_t kSine[32] = {0,   24,  49,  74,  97,  120, 141, 161, 180, 197, 212,
                               224, 235, 244, 250, 253, 255, 253, 250, 244, 235, 224,
                               212, 197, 180, 161, 141, 120, 97,  74,  49,  24};

// Magnitude of a vibrato or tremolo waveform at a position (64 steps per cycle, x4); the sign is
// that of the position as a signed byte.
int waveform(uint8_t position, uint8_t wave) {
  int index = (position >> 2) & 31;
  switch (wave & 3) {
    case 0:
      return kSine[index];
    case 1: {
      int v = index * 8;  // ramp down: rises over the first half, seen from the sign below
      return static_cast<int8_t>(position) < 0 ? 255 - v : v;
    }
    default:
      return 255;  // square (and the random type, played as square)
  }
}

// Period offset of the vibrato at its current position.
int32_t vibratoOffset(const MusicChannel& ch) {
  int delta = (waveform(ch.vibratoPos, ch.vibratoWave) * ch.vibratoDepth) >> 5;
  return static_cast<int8_t>(ch.vibratoPos) < 0 ? -delta : delta;
}

void vibrato(MusicChannel& ch) {
  ch.periodDelta += vibratoOffset(ch);
  ch.vibratoPos = static_cast<uint8_t>(ch.vibratoPos + ch.vibratoSpeed);
  ch.dirty |= kDirtyFrequency;
}

int32_t tremoloOffset(const MusicChannel& ch) {
  int delta = (waveform(ch.tremoloPos, ch.tremoloWave) * ch.tremoloDepth) >> 6;
  return static_cast<int8_t>(ch.tremoloPos) < 0 ? -delta : delta;
}

void tremolo(MusicChannel& ch) {
  ch.volumeDelta = tremoloOffset(ch);
  ch.tremoloPos = static_cast<uint8_t>(ch.tremoloPos + ch.tremoloSpeed);
  ch.dirty |= kDirtyVolume;
}

// Instrument auto-vibrato, every tick: the amplitude sweeps up to depth while the key is held.
void autoVibrato(const Instrument& inst, MusicChannel& ch) {
  if (inst.vibratoDepth == 0) return;
  const int32_t full = inst.vibratoDepth << 8;
  if (ch.autoVibratoSweep != 0 && !ch.keyOff) {
    ch.autoVibratoAmp += ch.autoVibratoSweep;
    if (ch.autoVibratoAmp >= full) {
      ch.autoVibratoAmp = full;
      ch.autoVibratoSweep = 0;
    }
  }
  const uint8_t pos = ch.autoVibratoPos;
  int value;  // -64..64 over a cycle of 256 positions
  switch (inst.vibratoType & 3) {
    case 0:
      value = static_cast<int>(std::lround(64.0 * std::sin(pos * (2.0 * 3.14159265358979 / 256))));
      break;
    case 1:
      value = pos < 128 ? 64 : -64;
      break;
    case 2:
      value = 64 - ((pos + 128) & 255) / 2;  // ramp down
      break;
    default:
      value = ((pos + 128) & 255) / 2 - 64;  // ramp up
      break;
  }
  ch.periodDelta += (value * ch.autoVibratoAmp) >> 14;
  ch.autoVibratoPos = static_cast<uint8_t>(pos + inst.vibratoRate);
  ch.dirty |= kDirtyFrequency;
}

int32_t semitoneRound(const Song& song, const MusicChannel& ch, int32_t period) {
  if (song.linear()) {
    // Linear periods fall by 64 per semitone from the note's finetune offset.
    int32_t base = -(ch.finetune >> 3) * 4;
    return base + ((period - base + 32) / 64) * 64;
  }
  int32_t best = period, bestDistance = INT32_MAX;
  for (int note = kLowestNote; note <= kHighestNote; ++note) {
    int32_t p = amigaPeriod(note, ch.finetune);
    if (std::abs(p - period) < bestDistance) bestDistance = std::abs(p - period), best = p;
  }
  return best;
}

void tonePortamento(const Song& song, MusicChannel& ch) {
  if (ch.period < ch.portaTarget) {
    ch.period = std::min(ch.period + ch.portaSpeed * 4, ch.portaTarget);
  } else if (ch.period > ch.portaTarget) {
    ch.period = std::max(ch.period - ch.portaSpeed * 4, ch.portaTarget);
  }
  if (ch.glissando) ch.periodDelta += semitoneRound(song, ch, ch.period) - ch.period;
  ch.dirty |= kDirtyFrequency;
}

void addVolume(MusicChannel& ch, int delta) {
  ch.volume = std::clamp(ch.volume + delta, 0, 64);
  ch.dirty |= kDirtyVolume;
}

void addPeriod(MusicChannel& ch, int delta) {
  ch.period = std::clamp(ch.period + delta, 1, kMaxPeriod);
  ch.dirty |= kDirtyFrequency;
}

// Volume slide of effects A, 5 and 6: an up nibble wins over a down nibble.
void volumeSlide(MusicChannel& ch) {
  int x = ch.volumeSlide >> 4, y = ch.volumeSlide & 15;
  addVolume(ch, x > 0 ? x : -y);
}

void slidePanning(MusicChannel& ch, int delta) {
  ch.panning = std::clamp(ch.panning + delta, 0, 255);
  ch.dirty |= kDirtyPanning;
}

// Volume column at the start of a row (or of a delayed note).
void volumeColumnRow(const Song& song, MusicChannel& ch, uint8_t v) {
  int y = v & 15;
  switch (v >> 4) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
      if (v <= 0x50) {
        ch.volume = v - 0x10;
        ch.dirty |= kDirtyVolume;
      }
      break;
    case 8:
      addVolume(ch, -y);
      break;
    case 9:
      addVolume(ch, y);
      break;
    case 0xA:
      if (y) ch.vibratoSpeed = static_cast<uint8_t>(y * 4);
      break;
    case 0xB:
      if (y) ch.vibratoDepth = static_cast<uint8_t>(y);
      break;
    case 0xC:
      ch.panning = y * 16;
      ch.dirty |= kDirtyPanning;
      break;
    case 0xF:
      if (y != 0) ch.portaSpeed = static_cast<uint8_t>(y * 16);
      ch.portaTarget = ch.targetPeriod;
      ch.dirty &= static_cast<uint8_t>(~kDirtyTrigger);
      break;
    default:
      break;  // slides 6, 7, D, E act on the other ticks only
  }
  (void)song;
}

void volumeColumnTick(const Song& song, MusicChannel& ch, uint8_t v) {
  int y = v & 15;
  switch (v >> 4) {
    case 6:
      addVolume(ch, -y);
      break;
    case 7:
      addVolume(ch, y);
      break;
    case 0xB:
      vibrato(ch);
      break;
    case 0xD:
      slidePanning(ch, -y);
      break;
    case 0xE:
      slidePanning(ch, y);
      break;
    case 0xF:
      tonePortamento(song, ch);
      break;
    default:
      break;
  }
}

// Multi retrigger's volume change for x = 0..15, kept within 0..64.
int retrigVolume(int volume, int x) {
  static constexpr int kAdd[16] = {0, -1, -2, -4, -8, -16, 0, 0, 0, 1, 2, 4, 8, 16, 0, 0};
  switch (x) {
    case 6:
      return volume * 2 / 3;
    case 7:
      return volume / 2;
    case 14:
      return std::min(volume * 3 / 2, 64);
    case 15:
      return std::min(volume * 2, 64);
    default:
      return std::clamp(volume + kAdd[x], 0, 64);
  }
}

void retrigger(MusicChannel& ch) {
  ch.startOffset = 0;
  ch.dirty |= kDirtyVolume | kDirtyTrigger;
}

// Period offset of an arpeggio step of `semitones` above the channel's note.
int32_t arpeggioShift(const Song& song, const MusicChannel& ch, int semitones) {
  if (song.linear()) return semitones * 64;
  return amigaPeriod(ch.realNote + semitones, ch.finetune) - amigaPeriod(ch.realNote, ch.finetune);
}

// Moves the volume (and pan) envelope to a tick, as if it had run up to it.
void setEnvelopePosition(EnvelopeState& env, const std::array<EnvelopePoint, kEnvelopePoints>& pts,
                         int count, int position) {
  if (count < 1) return;
  int p = 0;
  while (p + 1 < count && pts[p + 1].tick <= position) ++p;
  env.stopped = false;
  env.tick = position;
  if (p + 1 >= count) {
    // At or past the last point: the next step holds the last value.
    env.point = count - 1;
    env.tick = pts[count - 1].tick;
    env.value = pts[count - 1].value;
    return;
  }
  int ta = pts[p].tick, tb = pts[p + 1].tick;
  if (ta >= position || tb == ta) {
    // On the point itself (or before the first one): the next step starts from that point.
    env.point = p;
    env.tick = ta;
    return;
  }
  env.step = (pts[p + 1].value * 65536 - pts[p].value * 65536) / (tb - ta);
  env.value16 = pts[p].value * 65536 + env.step * (position - ta - 1);
  env.point = p + 1;
}

bool isVibrato(uint8_t effect, uint8_t volume) {
  return effect == 0x4 || effect == 0x6 || (volume >> 4) == 0xB;
}

// Note, instrument and volume column of a row cell: at tick 0, or at tick x of a note delay.
void startCell(Song& song, MusicChannel& ch, const uint8_t* n) {
  uint8_t noteByte = n[0], insByte = n[1], vol = n[2], effect = n[3], param = n[4];
  // The volume column's tone portamento holds the note like effects 3 and 5.
  bool porta = effect == 0x3 || effect == 0x5 || (vol >> 4) == 0xF;
  bool hasNote = noteByte >= 1 && noteByte <= 96;
  if (insByte && !porta) ch.instrument = static_cast<uint8_t>(insByte - 1);
  if (hasNote && !porta) ch.note = static_cast<uint8_t>(noteByte - 1);
  const Instrument& inst = instrumentOf(song, ch);
  const Sample* sample = sampleOf(inst, ch.note);
  if (!porta) ch.sample = sample;
  if (hasNote) {
    int finetune = sample->finetune;
    // E5x sets the finetune for this note: x = 8 is none, each step is 1/8 semitone.
    if (effect == 0xE && (param >> 4) == 0x5) finetune = (param & 15) * 16 - 128;
    ch.realNote = std::clamp(noteByte - 1 + sample->relativeNote, kLowestNote, kHighestNote);
    ch.finetune = finetune;
    ch.targetPeriod =
        song.linear() ? linearPeriod(ch.realNote, finetune) : amigaPeriod(ch.realNote, finetune);
    if (!porta) {
      ch.period = ch.targetPeriod;
      ch.dirty |= kDirtyTrigger;
      ch.startOffset = 0;
      ch.retrigCount = 0;
      ch.tremorCount = 0;
      if (!(ch.vibratoWave & 4)) ch.vibratoPos = 0;
      if (!(ch.tremoloWave & 4)) ch.tremoloPos = 0;
      ch.autoVibratoPos = 0;
      if (inst.vibratoSweep) {
        ch.autoVibratoAmp = 0;
        ch.autoVibratoSweep = (inst.vibratoDepth << 8) / inst.vibratoSweep;
      } else {
        ch.autoVibratoAmp = inst.vibratoDepth << 8;
        ch.autoVibratoSweep = 0;
      }
    }
  }
  ch.dirty |= kDirtyFrequency | kDirtyVolume;
  if (insByte) {
    ch.volume = sample->volume;
    ch.panning = static_cast<int32_t>(sample->panning);
    ch.volumeEnvelope = EnvelopeState{};
    ch.volumeEnvelope.value = 64;
    ch.panEnvelope = EnvelopeState{};
    ch.panEnvelope.value = 32;
    ch.keyOff = 0;
    ch.fadeout = 65536;
    ch.dirty |= kDirtyVolume | kDirtyPanning;
  }
  volumeColumnRow(song, ch, vol);
  if (noteByte == kNoteKeyOff) ch.keyOff = 1;
}

void rowStartEffect(Song& song, MusicChannel& ch, const uint8_t* n) {
  const bool hasNote = n[0] >= 1 && n[0] <= 96;
  const uint8_t effect = n[3], param = n[4];
  const int x = param >> 4, y = param & 15;
  switch (effect) {
    case 0x1:
      if (param) ch.portaUpSpeed = param;
      break;
    case 0x2:
      if (param) ch.portaDownSpeed = param;
      break;
    case 0x3:
      if (param) ch.portaSpeed = param;
      ch.portaTarget = ch.targetPeriod;
      ch.dirty &= static_cast<uint8_t>(~(kDirtyTrigger | kDirtyFrequency));
      break;
    case 0x4:
      if (x) ch.vibratoSpeed = static_cast<uint8_t>(x * 4);
      if (y) ch.vibratoDepth = static_cast<uint8_t>(y);
      break;
    case 0x5:
      ch.portaTarget = ch.targetPeriod;
      if (param) ch.volumeSlide = param;
      ch.dirty &= static_cast<uint8_t>(~(kDirtyTrigger | kDirtyFrequency));
      break;
    case 0x6:
    case 0xA:
      if (param) ch.volumeSlide = param;
      break;
    case 0x7:
      if (x) ch.tremoloSpeed = static_cast<uint8_t>(x * 4);
      if (y) ch.tremoloDepth = static_cast<uint8_t>(y);
      break;
    case 0x8:
      ch.panning = param;
      ch.dirty |= kDirtyPanning;
      break;
    case 0x9:
      if (param) ch.sampleOffset = param;
      if (hasNote && (ch.dirty & kDirtyTrigger)) ch.startOffset = uint32_t{ch.sampleOffset} * 256;
      break;
    case 0xB:
      song.playback->jumpOrder = param;
      song.playback->breakRow = 0;
      break;
    case 0xC:
      ch.volume = std::min<int>(param, 64);
      ch.dirty |= kDirtyVolume;
      break;
    case 0xD: {
      int row = x * 10 + y;
      song.playback->breakRow = row > 63 ? 0 : row;
      break;
    }
    case 0xE:
      switch (x) {
        case 0x1:
          if (y) ch.finePortaUp = static_cast<uint8_t>(y);
          addPeriod(ch, -ch.finePortaUp * 4);
          break;
        case 0x2:
          if (y) ch.finePortaDown = static_cast<uint8_t>(y);
          addPeriod(ch, ch.finePortaDown * 4);
          break;
        case 0x3:
          ch.glissando = y != 0;
          break;
        case 0x4:
          ch.vibratoWave = static_cast<uint8_t>(y);
          break;
        case 0x6:
          if (y == 0) {
            ch.loopRow = song.playback->row;
          } else if (ch.loopCount == 0) {
            ch.loopCount = y;
            song.playback->loopJumpRow = ch.loopRow;
          } else if (--ch.loopCount != 0) {
            song.playback->loopJumpRow = ch.loopRow;
          }
          break;
        case 0x7:
          ch.tremoloWave = static_cast<uint8_t>(y);
          break;
        case 0xA:
          if (y) ch.fineVolumeUp = static_cast<uint8_t>(y);
          addVolume(ch, ch.fineVolumeUp);
          break;
        case 0xB:
          if (y) ch.fineVolumeDown = static_cast<uint8_t>(y);
          addVolume(ch, -ch.fineVolumeDown);
          break;
        case 0xC:
          if (y == 0) addVolume(ch, -64);
          break;
        case 0xE:
          if (song.playback->patternDelay == 0) song.playback->patternDelay = y;
          break;
        default:
          break;  // E5 acts with the note, E9 and ED on the later ticks
      }
      break;
    case 0xF:
      if (param >= 32) {
        setTempo(song, param);
      } else if (param > 0) {
        song.playback->speed = param;
      }
      break;
    case 0x10:
      song.playback->globalVolume = std::min<int>(param, 64);
      break;
    case 0x11:
      if (param) ch.globalSlide = param;
      break;
    case 0x14:
      if (param == 0) ch.keyOff = 1;
      break;
    case 0x15: {
      const Instrument& inst = instrumentOf(song, ch);
      setEnvelopePosition(ch.volumeEnvelope, inst.volumeEnvelope, inst.volumePointCount, param);
      if (inst.volumeType & kEnvelopeSustain) {
        setEnvelopePosition(ch.panEnvelope, inst.panEnvelope, inst.panPointCount, param);
      }
      break;
    }
    case 0x19:
      if (param) ch.panSlide = param;
      break;
    case 0x1B:
      if (x) ch.retrigVolume = static_cast<uint8_t>(x);
      if (y) ch.retrigTicks = static_cast<uint8_t>(y);
      break;
    case 0x1D:
      if (param) ch.tremorParam = param;
      break;
    case 0x21:
      if (x == 1) {
        if (y) ch.extraFineUp = static_cast<uint8_t>(y);
        addPeriod(ch, -ch.extraFineUp);
      } else if (x == 2) {
        if (y) ch.extraFineDown = static_cast<uint8_t>(y);
        addPeriod(ch, ch.extraFineDown);
      }
      break;
    default:
      break;
  }
}

// Tick within the current pass of the row (a delayed row runs several passes).
int rowTick(const Song& song) {
  return song.playback->speed > 0 ? song.playback->tick % song.playback->speed : 0;
}

void tickEffect(Song& song, MusicChannel& ch, const uint8_t* n) {
  const uint8_t effect = n[3], param = n[4];
  const int x = param >> 4, y = param & 15;
  switch (effect) {
    case 0x0:
      if (param) {
        // The tracker counts the row's ticks down: with t ticks left, t mod 3 = 1 plays x
        // semitones up and 2 plays y (speed 6: note, +y, +x, note, +y, +x).
        int phase = (song.playback->speed - rowTick(song)) % 3;
        if (phase == 1) ch.periodShift = arpeggioShift(song, ch, x);
        if (phase == 2) ch.periodShift = arpeggioShift(song, ch, y);
        ch.dirty |= kDirtyFrequency;
      }
      break;
    case 0x1:
      addPeriod(ch, -ch.portaUpSpeed * 4);
      break;
    case 0x2:
      addPeriod(ch, ch.portaDownSpeed * 4);
      break;
    case 0x3:
      tonePortamento(song, ch);
      break;
    case 0x4:
      vibrato(ch);
      break;
    case 0x5:
      tonePortamento(song, ch);
      volumeSlide(ch);
      break;
    case 0x6:
      vibrato(ch);
      volumeSlide(ch);
      break;
    case 0x7:
      tremolo(ch);
      break;
    case 0xA:
      volumeSlide(ch);
      break;
    case 0xE:
      switch (x) {
        case 0x9:
          if (y != 0 && rowTick(song) % y == 0) retrigger(ch);
          break;
        case 0xC:
          if (rowTick(song) == y) addVolume(ch, -64);
          break;
        case 0xD:
          if (rowTick(song) == y) startCell(song, ch, n);
          break;
        default:
          break;
      }
      break;
    case 0x11: {
      int gx = ch.globalSlide >> 4, gy = ch.globalSlide & 15;
      song.playback->globalVolume =
          std::clamp(song.playback->globalVolume + (gx > 0 ? gx : -gy), 0, 64);
      break;
    }
    case 0x14:
      if (rowTick(song) == param) ch.keyOff = 1;
      break;
    case 0x19: {
      int px = ch.panSlide >> 4, py = ch.panSlide & 15;
      slidePanning(ch, px > 0 ? px : -py);
      break;
    }
    case 0x1B:
      if (ch.retrigTicks != 0 && ++ch.retrigCount >= ch.retrigTicks) {
        ch.retrigCount = 0;
        ch.volume = retrigVolume(ch.volume, ch.retrigVolume);
        retrigger(ch);
      }
      break;
    case 0x1D: {
      // On for x + 1 ticks, off for y + 1 ticks, counting on from row to row.
      int on = (ch.tremorParam >> 4) + 1, off = (ch.tremorParam & 15) + 1;
      ch.muted = ch.tremorCount % (on + off) >= on;
      ch.tremorCount = static_cast<uint8_t>((ch.tremorCount + 1) % (on + off));
      ch.dirty |= kDirtyVolume;
      break;
    }
    default:
      break;
  }
}

const Pattern& currentPattern(const Song& song) {
  return song.patterns[song.orderTable[song.playback->order]];
}

const uint8_t* currentRow(const Song& song) {
  return &currentPattern(song).notes[size_t(song.playback->row) * song.channelCount * 5];
}

bool isNoteDelay(const uint8_t* n) { return n[3] == 0xE && (n[4] >> 4) == 0xD && (n[4] & 15) != 0; }

// Everything that runs on every tick after the effects: envelopes, fadeout, auto-vibrato.
void finishTick(Song& song, MusicChannel& ch) {
  const Instrument& inst = instrumentOf(song, ch);
  advanceEnvelopes(inst, ch);
  autoVibrato(inst, ch);
  ch.dirty |= kDirtyVolume;  // global volume may have changed on any channel
  updateVoice(song, ch);
}

void rowStart(Song& song) {
  SongPlayback& p = *song.playback;
  p.jumpOrder = -1;
  p.breakRow = -1;
  p.loopJumpRow = -1;
  p.patternDelay = 0;
  const uint8_t* row = currentRow(song);
  for (int c = 0; c < song.channelCount; ++c) {
    MusicChannel& ch = musicChannels[c];
    const uint8_t* n = row + c * 5;
    ch.lastEffect = n[3];
    ch.dirty = 0;
    ch.periodShift = 0;
    ch.periodDelta = 0;
    ch.volumeDelta = 0;
    if (n[3] != 0x1D) ch.muted = false;
    if (!isNoteDelay(n)) {
      startCell(song, ch, n);
    } else {
      ch.dirty |= kDirtyFrequency | kDirtyVolume;
    }
    rowStartEffect(song, ch, n);
    // A vibrato row's first tick sounds the vibrato where it stands, without moving it on.
    if (isVibrato(n[3], n[2])) ch.periodDelta = vibratoOffset(ch), ch.dirty |= kDirtyFrequency;
    if (n[3] == 0x7) ch.volumeDelta = tremoloOffset(ch);
    finishTick(song, ch);
  }
}

void tickUpdate(Song& song) {
  const uint8_t* row = currentRow(song);
  for (int c = 0; c < song.channelCount; ++c) {
    MusicChannel& ch = musicChannels[c];
    const uint8_t* n = row + c * 5;
    ch.periodShift = 0;
    ch.periodDelta = 0;
    ch.dirty = 0;
    volumeColumnTick(song, ch, n[2]);
    tickEffect(song, ch, n);
    finishTick(song, ch);
  }
}

bool wasVisited(const Song& song, int order, int row) {
  int bit = order * 256 + row;
  return (song.playback->visited[size_t(bit) / 64] >> (bit % 64)) & 1;
}

void markVisited(Song& song, int order, int row) {
  int bit = order * 256 + row;
  song.playback->visited[size_t(bit) / 64] |= uint64_t{1} << (bit % 64);
}

// Where the row just started leads: a jump or break, a pattern loop, or the next row.
void scheduleNextRow(Song& song) {
  SongPlayback& p = *song.playback;
  p.nextOrderWraps = false;
  if (p.jumpOrder >= 0 || p.breakRow >= 0) {
    p.nextOrder = p.jumpOrder >= 0 ? p.jumpOrder : p.order + 1;
    p.nextRow = p.breakRow >= 0 ? p.breakRow : 0;
    if (p.nextOrder >= song.songLength) p.nextOrder = 0;
  } else if (p.loopJumpRow >= 0) {
    p.nextOrder = -1;
    p.nextRow = p.loopJumpRow;
  } else {
    p.nextOrder = -1;
    p.nextRow = p.row + 1;
    if (p.nextRow >= currentPattern(song).rows) {
      p.nextOrder = p.order + 1;
      if (p.nextOrder >= song.songLength) {
        p.nextOrder = song.restartPosition;
        p.nextOrderWraps = true;
      }
      p.nextRow = 0;
    }
  }
}

}  // namespace

// The tracker resolves finetune to sixteenths of a semitone (4 period units each).
int32_t linearPeriod(int realNote, int finetune) {
  return 7680 - realNote * 64 - (finetune >> 3) * 4;
}

int32_t amigaPeriod(int realNote, int finetune) {
  // The tracker's Amiga periods in eighths of a semitone, from C with finetune -8/8 (the B below)
  // to B with finetune +7/8. A finetune between two eighths takes the mean of both; periods here
  // are 32 times the table at octave 0 and halve, truncated, once per octave: C-4 is 1712.
  static constexpr int16_t kTable[105] = {
      907, 900, 894, 887, 881, 875, 868, 862, 856, 850, 844, 838, 832, 826, 820, 814, 808, 802,
      796, 791, 785, 779, 774, 768, 762, 757, 752, 746, 741, 736, 730, 725, 720, 715, 709, 704,
      699, 694, 689, 684, 678, 675, 670, 665, 660, 655, 651, 646, 640, 636, 632, 628, 623, 619,
      614, 610, 604, 601, 597, 592, 588, 584, 580, 575, 570, 567, 563, 559, 555, 551, 547, 543,
      538, 535, 532, 528, 524, 520, 516, 513, 508, 505, 502, 498, 494, 491, 487, 484, 480, 477,
      474, 470, 467, 463, 460, 457, 453, 450, 447, 443, 440, 437, 434, 431, 428};
  const int octave = realNote / 12, semitone = realNote % 12;
  const int sixteenths = 16 + semitone * 16 + (finetune >> 3);  // 0..207 within the table
  const int i = sixteenths / 2;
  const int32_t value = (sixteenths & 1) ? (kTable[i] + kTable[i + 1]) * 16 : kTable[i] * 32;
  return value >> octave;
}

void setTempo(Song& song, int bpm) {
  if (bpm < 1) bpm = 1;
  song.playback->tempo = bpm;
  float f = static_cast<float>(2.0 * bpm / 5.0);
  int frames = static_cast<int>(static_cast<float>(kMixRate) * (1000.0f / f) / 1000.0f);
  song.playback->samplesPerTick = std::max(frames, 1);
}

void tick(Song& song) {
  SongPlayback& p = *song.playback;
  if (p.tick == 0) {
    bool newOrder = p.nextOrder >= 0;
    if (newOrder) p.order = p.nextOrder;
    if (p.nextRow >= 0) p.row = p.nextRow;
    // A break into a row the pattern does not have starts the pattern from its top.
    if (p.row >= currentPattern(song).rows) p.row = 0;
    // Arriving at a row already played through a change of order means the song starts over.
    if (newOrder && wasVisited(song, p.order, p.row)) {
      ++p.wrapCount;
      p.visited.fill(0);
    }
    markVisited(song, p.order, p.row);
    rowStart(song);
    scheduleNextRow(song);
  } else {
    tickUpdate(song);
  }
  // A delayed row (EEx) lasts x + 1 times its ticks: its notes start once, effects keep running.
  p.tick += 1;
  if (p.tick >= p.speed * (1 + p.patternDelay)) p.tick = 0;
}

}  // namespace glimmer::music
