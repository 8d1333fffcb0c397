// Player internals shared by the loader, the sequencer, the mixer and the output: the music
// channels, the mixer voices and the output state. All of it is process-wide, declared here
// once and cleared by resetPlayer().
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "music/music.h"

namespace glimmer::music {

constexpr int kVoiceCount = 256;
constexpr int kTwinOffset = 32;  // voices i and i + 32 sound channel i in modules of <= 32 channels

// Dirty bits of a channel, pushed to its voice after each tick.
constexpr uint8_t kDirtyFrequency = 1;
constexpr uint8_t kDirtyVolume = 2;
constexpr uint8_t kDirtyPanning = 4;
constexpr uint8_t kDirtyTrigger = 8;

// The playback state of a song: the sequencer's position, timing and row flow. The loader sets
// tickFunction; play, startOffline, songTimeline and seeking reset the rest from the song.
struct SongPlayback {
  int32_t tickSamplesLeft = 0;
  int32_t samplesPerTick = 0;
  int32_t globalVolume = 64;
  int32_t tick = 0;
  int32_t speed = 0;
  int32_t tempo = 0;
  int32_t row = 0;
  int32_t order = 0;
  int32_t nextRow = -1;
  int32_t nextOrder = -1;
  uint32_t timeMs = 0;
  TickFunction tickFunction = nullptr;
  // Bookkeeping for offline use: nextOrder was set by running off the end (or breaking past the
  // last order), and how many times such a wrap has been applied since playback started.
  bool nextOrderWraps = false;
  uint32_t wrapCount = 0;
  // Row flow set by the effects of the row being started: position jump target, break row, the
  // pattern-loop row to return to, and the pattern delay (extra repeats of the row).
  int32_t jumpOrder = -1;
  int32_t breakRow = -1;
  int32_t loopJumpRow = -1;
  int32_t patternDelay = 0;  // extra passes of the current row (EEx)
  // Rows played since the start or the last wrap, one bit per (order, row): a jump onto one of
  // them means the song has ended and starts over.
  std::array<uint64_t, 256 * 256 / 64> visited{};
};

// Sample and instrument that stand for missing data.
extern const Sample kEmptySample;
extern const Instrument kEmptyInstrument;

struct EnvelopeState {
  int32_t tick = 0;
  int32_t point = 0;
  int32_t value16 = 0;  // 16.16
  int32_t step = 0;     // 16.16
  int32_t value = 0;
  bool stopped = false;
};

struct MixerVoice;

struct MusicChannel {
  uint8_t note = 0;
  uint8_t dirty = 0;
  MixerVoice* voice = nullptr;
  const Sample* sample = nullptr;
  int32_t period = 0;
  int32_t volume = 0;
  int32_t panning = 0;
  int32_t periodShift = 0;
  EnvelopeState volumeEnvelope;
  EnvelopeState panEnvelope;
  int32_t fadeout = 0;
  uint8_t keyOff = 0;
  uint8_t instrument = 0;
  int32_t realNote = 0;  // note + relative note, kept within the playable range
  int32_t finetune = 0;  // of the sample that set targetPeriod (used by Amiga arpeggio)
  int32_t targetPeriod = 0;
  uint8_t lastEffect = 0;
  uint8_t portaDownSpeed = 0, portaUpSpeed = 0;
  uint8_t volumeSlide = 0;
  uint8_t retrigVolume = 0, retrigTicks = 0;
  int32_t portaTarget = 0;
  uint8_t portaSpeed = 0;
  // Per-tick modulation on top of period and volume: vibrato and auto-vibrato move the period,
  // tremolo the volume and tremor silences it; none of them changes the stored values.
  int32_t periodDelta = 0;
  int32_t volumeDelta = 0;
  bool muted = false;
  uint8_t vibratoPos = 0, vibratoSpeed = 0, vibratoDepth = 0, vibratoWave = 0;
  uint8_t tremoloPos = 0, tremoloSpeed = 0, tremoloDepth = 0, tremoloWave = 0;
  // Parameter memories of the effects that keep their own.
  uint8_t finePortaUp = 0, finePortaDown = 0, extraFineUp = 0, extraFineDown = 0;
  uint8_t fineVolumeUp = 0, fineVolumeDown = 0;
  uint8_t globalSlide = 0, panSlide = 0, sampleOffset = 0, tremorParam = 0;
  uint8_t tremorCount = 0, retrigCount = 0;
  bool glissando = false;
  int32_t loopRow = 0, loopCount = 0;  // pattern loop start row and repeats left
  uint32_t startOffset = 0;            // frame the next trigger starts at (sample offset)
  // Instrument auto-vibrato: position, amplitude (depth x 256) and its per-tick sweep.
  uint8_t autoVibratoPos = 0;
  int32_t autoVibratoAmp = 0, autoVibratoSweep = 0;
};

struct MixerVoice {
  int32_t index = 0;
  int32_t volume = 0;
  int32_t panning = 0;
  const Sample* sample = nullptr;
  int32_t leftVolume = 0, rightVolume = 0;
  int64_t position = 0;   // 32.32
  int64_t step = 0;       // 32.32
  int32_t direction = 1;  // 1 forward, 2 backward
  int32_t rampTargetLeft = 0, rampTargetRight = 0;
  int32_t rampLeft = 0, rampRight = 0;  // volume x 256
  float rampStepLeft = 0, rampStepRight = 0;
  int32_t rampFramesLeft = 0;
  // Set when the voice keeps sounding an old note that is ramping out; a detached voice that has
  // reached silence is switched off, which changes no output sample.
  bool detached = false;
};

// Per-block position record read by the application's position queries.
struct TimeInfo {
  std::atomic<uint8_t> order{0};
  std::atomic<uint8_t> row{0};
  std::atomic<uint32_t> timeMs{0};
};

struct OutputState {
  Song* current = nullptr;
  int blockLength = 0;   // 884 frames at 44100 Hz
  int bufferLength = 0;  // 88400 frames
  int blockCount = 0;    // 100
  int rampLength = 0;    // 128 frames
  float invRampLength = 0;
  float invMixRate = 0;
  int voiceHalf = kTwinOffset;   // twin distance; the mixer renders 2 x voiceHalf voices
  std::vector<float> mixBuffer;  // one block of float stereo frames
  std::vector<int16_t> ring;     // the device ring
  std::unique_ptr<TimeInfo[]> timeInfo;
  int fillBlock = 0;
  std::atomic<int> audibleBlock{0};
  std::atomic<bool> stopRequest{false};
  std::atomic<bool> busy{false};
  std::atomic<bool> threadFinished{true};
  std::thread thread;
  SoundDevice* device = nullptr;
  // Offline rendering: one block rendered ahead and how much of it was handed out.
  std::vector<int16_t> offlineBlock;
  int offlineUsed = 0;
};

extern MixerVoice mixerVoices[kVoiceCount];
extern MusicChannel musicChannels[kMaxChannels];
extern OutputState output;

// Mixer: derived values for kMixRate, voice table reset and block rendering.
void prepareMixer(int channelCount);
void renderBlock(Song& song, int16_t* dest, TimeInfo* info);
void mixVoices(float* out, int frames);
// Pushes a channel's dirty state to its voice (trigger first, then volume, panning, frequency).
void updateVoice(Song& song, MusicChannel& channel);
// Song state at playback start, shared by play and offline rendering.
void resetSongState(Song& song);

// Periods: the linear table (64 units per semitone) and the Amiga table (x4 units).
int32_t linearPeriod(int realNote, int finetune);
int32_t amigaPeriod(int realNote, int finetune);

// The loader over any reader; loadSong and loadSongFromMemory both end here.
struct ByteReader {
  void* handle = nullptr;
  ReadCallback read = nullptr;
  SeekCallback seek = nullptr;
  TellCallback tell = nullptr;
};
Song* loadSongFrom(const ByteReader& reader, LoadError* error);

}  // namespace glimmer::music

namespace glimmer::music {

// Restarting the ring (output.cpp), for seeking.
// Stops the output thread and leaves the device playing what the ring holds.
void haltOutput();
// Renders the song's current state into the ring from block `first` up to block `playing` (the
// one the device is reading), then restarts the output thread; with silent, clears the ring and
// stays halted.
void restartOutput(int first, int playing, bool silent);

}  // namespace glimmer::music
