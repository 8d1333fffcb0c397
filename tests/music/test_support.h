// Helpers for the music tests: songs assembled directly in memory, raw XM bytes written field by
// field, and rendering shortcuts.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "music/internal.h"
#include "music/music.h"
#include "tools/compile/compile.h"

namespace glimmer::music::test {

struct Cell {
  uint8_t note = 0, instrument = 0, volume = 0, effect = 0, param = 0;
};
inline Cell E(uint8_t effect, uint8_t param) { return {0, 0, 0, effect, param}; }  // effect alone

// XM note byte for a name like "C-4" (C-0 is 1).
constexpr uint8_t noteByte(int octave, int semitone) {
  return static_cast<uint8_t>(octave * 12 + semitone + 1);
}

// A sample as the loader leaves it: 8 spare values and the loader's guard value past the loop.
inline std::unique_ptr<Sample> makeSample(std::vector<int16_t> data, LoopMode mode,
                                          uint32_t loopStart, uint32_t loopLength) {
  auto s = std::make_unique<Sample>();
  s->length = static_cast<uint32_t>(data.size());
  s->loopMode = mode;
  s->loopStart = mode == LoopMode::None ? 0 : loopStart;
  s->loopLength = mode == LoopMode::None ? s->length : loopLength;
  s->storage = data;
  s->storage.resize(data.size() + 8, 0);
  writeLoopGuard(*s);
  s->data = data.empty() ? nullptr : s->storage.data();
  return s;
}

// A song built in memory, bypassing the loader, for sequencer and mixer tests.
class TestSong {
 public:
  explicit TestSong(int channels, int speed = 6, int tempo = 125, bool linear = true) {
    song_->channelCount = static_cast<uint16_t>(channels);
    song_->defaultSpeed = static_cast<uint16_t>(speed);
    song_->defaultTempo = static_cast<uint16_t>(tempo);
    song_->flags = linear ? 1 : 0;
    song_->playback->tickFunction = tick;
  }
  int addPattern(int rows) {
    song_->patterns.push_back({rows, std::vector<uint8_t>(size_t(rows) * song_->channelCount * 5)});
    return static_cast<int>(song_->patterns.size()) - 1;
  }
  void set(int pattern, int row, int channel, Cell c) {
    uint8_t* n = &song_->patterns[pattern].notes[(size_t(row) * song_->channelCount + channel) * 5];
    for (uint8_t v : {c.note, c.instrument, c.volume, c.effect, c.param}) *n++ = v;
  }
  // Adds an instrument holding one sample (see makeSample).
  Instrument& addInstrument(std::vector<int16_t> data, LoopMode mode = LoopMode::None,
                            uint32_t loopStart = 0, uint32_t loopLength = 0, int volume = 64,
                            int panning = 128) {
    auto s = makeSample(std::move(data), mode, loopStart, loopLength);
    s->volume = static_cast<uint8_t>(volume);
    s->panning = static_cast<uint32_t>(panning);
    Instrument inst;
    inst.sampleCount = 1;
    inst.samples.fill(&kEmptySample);
    inst.samples[0] = s.get();
    song_->sampleStore.push_back(std::move(s));
    song_->instruments.push_back(inst);
    song_->instrumentCount = static_cast<uint16_t>(song_->instruments.size());
    return song_->instruments.back();
  }
  SongPtr finish(std::vector<int> order, int restart = 0) {
    song_->songLength = static_cast<uint16_t>(order.size());
    song_->restartPosition = static_cast<uint16_t>(restart);
    for (size_t i = 0; i < order.size(); ++i) song_->orderTable[i] = static_cast<uint8_t>(order[i]);
    song_->patternsUsed = static_cast<int32_t>(song_->patterns.size());
    song_->patternSlots = song_->patternsUsed;
    return std::move(song_);
  }
  Song& song() { return *song_; }

 private:
  SongPtr song_{new Song};
};

// Renders `frames` frames offline from the start of the song.
inline std::vector<int16_t> renderFrames(Song* song, size_t frames) {
  std::vector<int16_t> pcm(frames * 2);
  startOffline(song);
  renderOffline(pcm);
  return pcm;
}

// Raw XM bytes written field by field, for loader tests that need exact control.
class XmBytes {
 public:
  std::vector<uint8_t> b;
  void u8(int v) { b.push_back(static_cast<uint8_t>(v)); }
  void u16(int v) { u8(v & 0xFF), u8((v >> 8) & 0xFF); }
  void u32(uint32_t v) { u16(static_cast<int>(v & 0xFFFF)), u16(static_cast<int>(v >> 16)); }
  void fill(size_t n, uint8_t v = 0) { b.insert(b.end(), n, v); }
  void data(const std::vector<uint8_t>& bytes) { b.insert(b.end(), bytes.begin(), bytes.end()); }
  // Magic, 20-byte name, 0x1A, 20-byte tracker name, version 0x0104, header size 276, the
  // counts (restart 0, linear frequencies), speed 6, tempo 125 and the 256-byte order table.
  void header(int channels, int patterns, int instruments, const std::vector<int>& order) {
    const char* magic = "Extended Module: ";
    b.insert(b.end(), magic, magic + 17);
    fill(20, ' '), u8(0x1A), fill(20, ' '), u16(0x0104), u32(276);
    for (int v : {int(order.size()), 0, channels, patterns, instruments, 1, 6, 125}) u16(v);
    for (int i = 0; i < 256; ++i) u8(i < static_cast<int>(order.size()) ? order[i] : 0);
  }
  void pattern(int rows, const std::vector<uint8_t>& packed) {
    u32(9), u8(0), u16(rows), u16(static_cast<int>(packed.size())), data(packed);
  }
  struct SampleHeader {
    uint32_t length = 0, loopStart = 0, loopLength = 0;
    int volume = 64, finetune = 0, type = 0, panning = 128, relativeNote = 0;
  };
  struct Envelope {
    std::vector<EnvelopePoint> points;
    int count = 0, sustain = 0, loopStart = 0, loopEnd = 0, type = 0;
  };
  // An instrument with the given sample headers; the volume envelope defaults to off.
  void instrument(const std::vector<SampleHeader>& samples) { instrument(samples, Envelope{}, 0); }
  void instrument(const std::vector<SampleHeader>& samples, const Envelope& volume, int fadeout) {
    if (samples.empty()) return u32(29), fill(23), u16(0);
    u32(263), fill(23), u16(static_cast<int>(samples.size())), u32(40);
    fill(96);  // note map: every note plays sample 0
    for (size_t i = 0; i < 12; ++i) {
      EnvelopePoint p = i < volume.points.size() ? volume.points[i] : EnvelopePoint{};
      u16(p.tick), u16(p.value);
    }
    fill(48);  // panning envelope
    for (int v : {volume.count, 0, volume.sustain, volume.loopStart, volume.loopEnd}) u8(v);
    fill(3), u8(volume.type), u8(0), fill(4), u16(fadeout), fill(22);
    for (const auto& s : samples) {
      u32(s.length), u32(s.loopStart), u32(s.loopLength);
      for (int v : {s.volume, s.finetune, s.type, s.panning, s.relativeNote, 0}) u8(v);
      fill(22);
    }
  }
};

}  // namespace glimmer::music::test
