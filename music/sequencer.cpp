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

void advanceEnvelopes(const Instrument& inst, MusicChannel& ch, bool noteCut) {
  if (!(inst.volumeType & kEnvelopeOn)) {
    if (noteCut && ch.keyOff) {
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

void tonePortamento(MusicChannel& ch) {
  if (ch.period < ch.portaTarget) {
    ch.period = std::min(ch.period + ch.portaSpeed * 4, ch.portaTarget);
  } else if (ch.period > ch.portaTarget) {
    ch.period = std::max(ch.period - ch.portaSpeed * 4, ch.portaTarget);
  }
  ch.dirty |= kDirtyFrequency;
}

void volumeSlide(MusicChannel& ch) {
  int x = ch.volumeSlide >> 4, y = ch.volumeSlide & 15;
  if (x > 0) {
    ch.volume = std::min(ch.volume + x, 64);
  } else {
    ch.volume = std::max(ch.volume - y, 0);
  }
  ch.dirty |= kDirtyVolume;
}

// Pan slides are not clamped in the channel; the bound only keeps the sum from overflowing.
void slidePanning(MusicChannel& ch, int delta) {
  ch.panning = std::clamp(ch.panning + delta, -32768, 32767);
  ch.dirty |= kDirtyPanning;
}

void volumeColumn(MusicChannel& ch, uint8_t v, bool rowStart) {
  int y = v & 15;
  switch (v >> 4) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
      if (rowStart && v <= 0x50) {
        ch.volume = v - 0x10;
        ch.dirty |= kDirtyVolume;
      }
      break;
    case 6:
      ch.volume = std::max(ch.volume - y, 0);
      ch.dirty |= kDirtyVolume;
      break;
    case 7:
      ch.volume = std::min(ch.volume + y, 64);
      ch.dirty |= kDirtyVolume;
      break;
    case 8:
      if (rowStart) ch.volume = std::max(ch.volume - y, 0), ch.dirty |= kDirtyVolume;
      break;
    case 9:
      if (rowStart) ch.volume = std::min(ch.volume + y, 64), ch.dirty |= kDirtyVolume;
      break;
    case 0xC:
      if (rowStart) ch.panning = y * 16, ch.dirty |= kDirtyPanning;
      break;
    case 0xD:
      slidePanning(ch, -y);
      break;
    case 0xE:
      slidePanning(ch, y);
      break;
    case 0xF:
      if (rowStart) {
        if (y != 0) ch.portaSpeed = static_cast<uint8_t>(y * 16);
        ch.portaTarget = ch.targetPeriod;
        ch.dirty &= static_cast<uint8_t>(~kDirtyTrigger);
      } else {
        tonePortamento(ch);
      }
      break;
    default:
      break;  // 0xA, 0xB (vibrato) and empty bytes have no audible effect here
  }
}

void retrigger(MusicChannel& ch) {
  static constexpr int kAdd[16] = {0, -1, -2, -4, -8, -16, 0, 0, 0, 1, 2, 4, 8, 16, 0, 0};
  int v = ch.volume;
  switch (ch.retrigVolume) {
    case 0:
    case 8:
      break;
    case 6:
      v = v * 2 / 3;
      break;
    case 7:
      v = v / 2;
      break;
    case 14:
      v = v * 3 / 2;
      break;
    case 15:
      v = v * 2;
      break;
    default:
      v += kAdd[ch.retrigVolume];
      break;
  }
  ch.volume = std::clamp(v, 0, 64);
  ch.dirty |= kDirtyVolume | kDirtyTrigger;
}

// Period offset of an arpeggio step of `semitones` above the channel's note.
int32_t arpeggioShift(const Song& song, const MusicChannel& ch, int semitones) {
  if (song.linear()) return semitones * 64;
  return amigaPeriod(ch.realNote + semitones, ch.finetune) - amigaPeriod(ch.realNote, ch.finetune);
}

void rowStartEffect(Song& song, MusicChannel& ch, uint8_t effect, uint8_t param) {
  int x = param >> 4, y = param & 15;
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
    case 0x5:
      // Tone portamento continued with a volume slide: the slide target moves to the new note.
      ch.portaTarget = ch.targetPeriod;
      if (param) ch.volumeSlide = param;
      ch.dirty &= static_cast<uint8_t>(~(kDirtyTrigger | kDirtyFrequency));
      break;
    case 0x8:
      ch.panning = param;
      ch.dirty |= kDirtyPanning;
      break;
    case 0xA:
      if (param) ch.volumeSlide = param;
      break;
    case 0xD: {
      int row = x * 10 + y;
      song.nextRow = row > 63 ? 0 : row;
      song.nextOrder = song.order + 1;
      song.nextOrderWraps = false;
      if (song.nextOrder >= song.songLength) {
        song.nextOrder = 0;
        song.nextOrderWraps = true;
      }
      break;
    }
    case 0xF:
      if (param >= 32) {
        setTempo(song, param);
      } else {
        song.speed = param;
      }
      break;
    case 0x14:
      ch.keyOff = 1;
      break;
    case 0x1B:
      if (param) {
        ch.retrigVolume = static_cast<uint8_t>(x);
        ch.retrigTicks = static_cast<uint8_t>(y);
      }
      break;
    default:
      break;
  }
}

void tickEffect(Song& song, MusicChannel& ch, uint8_t effect, uint8_t param) {
  switch (effect) {
    case 0x0:
      if (param) {
        int phase = song.tick % 3;
        if (phase == 1) ch.periodShift = arpeggioShift(song, ch, param >> 4);
        if (phase == 2) ch.periodShift = arpeggioShift(song, ch, param & 15);
        ch.dirty |= kDirtyFrequency;
      }
      break;
    case 0x1:
      ch.period = std::max(ch.period - ch.portaUpSpeed * 4, 56);
      ch.dirty |= kDirtyFrequency;
      break;
    case 0x2:
      ch.period = std::min(ch.period + ch.portaDownSpeed * 4, kMaxPeriod);
      ch.dirty |= kDirtyFrequency;
      break;
    case 0x3:
      tonePortamento(ch);
      break;
    case 0x5:
      tonePortamento(ch);
      volumeSlide(ch);
      break;
    case 0xA:
      volumeSlide(ch);
      break;
    case 0x1B:
      if (ch.retrigTicks != 0 && song.tick % ch.retrigTicks == 0) retrigger(ch);
      break;
    default:
      break;
  }
}

const Pattern& currentPattern(const Song& song) {
  return song.patterns[song.orderTable[song.order]];
}

void rowStart(Song& song) {
  song.nextOrder = -1;
  song.nextRow = -1;
  const Pattern& pattern = currentPattern(song);
  const uint8_t* row = &pattern.notes[size_t(song.row) * song.channelCount * 5];
  for (int c = 0; c < song.channelCount; ++c) {
    MusicChannel& ch = musicChannels[c];
    const uint8_t* n = row + c * 5;
    uint8_t noteByte = n[0], insByte = n[1], vol = n[2], effect = n[3], param = n[4];
    // The volume column's tone portamento holds the note like effects 3 and 5.
    bool porta = effect == 0x3 || effect == 0x5 || (vol >> 4) == 0xF;
    bool hasNote = noteByte >= 1 && noteByte <= 254;
    if (insByte && !porta) ch.instrument = static_cast<uint8_t>(insByte - 1);
    if (hasNote && !porta) ch.note = static_cast<uint8_t>(noteByte - 1);
    const Instrument& inst = instrumentOf(song, ch);
    const Sample* sample = sampleOf(inst, ch.note);
    if (!porta) ch.sample = sample;
    ch.lastEffect = effect;
    ch.dirty = 0;
    if (hasNote) {
      ch.realNote = std::clamp(noteByte - 1 + sample->relativeNote, kLowestNote, kHighestNote);
      ch.finetune = sample->finetune;
      ch.targetPeriod = song.linear() ? linearPeriod(ch.realNote, sample->finetune)
                                      : amigaPeriod(ch.realNote, sample->finetune);
      if (!porta) ch.period = ch.targetPeriod;
      ch.dirty = kDirtyTrigger;
    }
    ch.periodShift = 0;
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
    volumeColumn(ch, vol, true);
    if (noteByte == kNoteKeyOff || effect == 0x14) ch.keyOff = 1;
    advanceEnvelopes(inst, ch, true);
    rowStartEffect(song, ch, effect, param);
    updateVoice(song, ch);
  }
}

void tickUpdate(Song& song) {
  const Pattern& pattern = currentPattern(song);
  const uint8_t* row = &pattern.notes[size_t(song.row) * song.channelCount * 5];
  for (int c = 0; c < song.channelCount; ++c) {
    MusicChannel& ch = musicChannels[c];
    const uint8_t* n = row + c * 5;
    const Instrument& inst = instrumentOf(song, ch);
    ch.periodShift = 0;
    ch.dirty = 0;
    advanceEnvelopes(inst, ch, false);
    volumeColumn(ch, n[2], false);
    tickEffect(song, ch, n[3], n[4]);
    updateVoice(song, ch);
  }
}

}  // namespace

int32_t linearPeriod(int realNote, int finetune) { return 7680 - realNote * 64 - finetune / 2; }

int32_t amigaPeriod(int realNote, int finetune) {
  // Periods in units of a quarter Amiga period: C-4 (note 48) is 1712. As in the tracker's
  // table, the period is computed for the lowest octave (finetune in sixteenths of a semitone)
  // and halved once per octave with truncation, which sets the pitch of high notes.
  int octave = realNote / 12, semitone = realNote % 12;
  double steps = semitone + std::floor(finetune / 8.0) / 16.0;
  int32_t base = static_cast<int32_t>(std::lround(1712.0 * 16 * std::exp2(-steps / 12.0)));
  return base >> octave;
}

void setTempo(Song& song, int bpm) {
  if (bpm < 1) bpm = 1;
  song.tempo = bpm;
  float f = static_cast<float>(2.0 * bpm / 5.0);
  int frames = static_cast<int>(static_cast<float>(kMixRate) * (1000.0f / f) / 1000.0f);
  song.samplesPerTick = std::max(frames, 1);
}

void tick(Song& song) {
  if (song.tick == 0) {
    if (song.nextOrder >= 0) {
      song.order = song.nextOrder;
      if (song.nextOrderWraps) ++song.wrapCount;
    }
    if (song.nextRow >= 0) song.row = song.nextRow;
    song.nextOrderWraps = false;
    // A break into a row the pattern does not have starts the pattern from its top.
    if (song.row >= currentPattern(song).rows) song.row = 0;
    rowStart(song);
    if (song.nextRow < 0) {
      song.nextRow = song.row + 1;
      if (song.nextRow >= currentPattern(song).rows) {
        song.nextOrder = song.order + 1;
        song.nextOrderWraps = false;
        if (song.nextOrder >= song.songLength) {
          song.nextOrder = song.restartPosition;
          song.nextOrderWraps = true;
        }
        song.nextRow = 0;
      }
    }
  } else {
    tickUpdate(song);
  }
  song.tick += 1;
  if (song.tick >= song.speed) song.tick = 0;
}

}  // namespace glimmer::music
