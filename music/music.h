// The module player: file callbacks over in-memory module bytes, the XM loader, the sequencer,
// the 64-voice mixer with its output thread and offline rendering (the song builder, which
// compiles text notation to XM bytes, lives with the other content compilers).
//
// Index:
//   File access           five callbacks, the resource stream over application bytes
//   Song records          Song, Pattern, Instrument, Sample; loadSong / freeSong
//   Sound device          abstract looping ring the output thread fills; NullSoundDevice
//   Playback              play / stop / position queries / songOrder, songRow / setTempo / tick
//   Offline rendering     startOffline / renderOffline / songTimeline / encodeWav
//
// Typical use by the application:
//   setModuleBytes(bytes); installResourceCallbacks();
//   Song* song = loadSong("music.xm", &error);
//   play(song, device);          // device: an SDL ring (platform/sound.h) or a NullSoundDevice
//   ... positionOrder(song) / positionRow(song) / positionTimeMs(song) ...
//   stop(song); freeSong(song);  // never needed on the normal path
//
// Threads: after play() returns, only the output thread touches the song, the channels, the
// voices and the ring; the position queries read a table the thread updates atomically.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace glimmer::music {

constexpr int kMixRate = 44100;
constexpr int kMaxChannels = 128;
constexpr int kMaxSamplesPerInstrument = 16;
constexpr int kMaxInstruments = 128;
constexpr int kMaxPatterns = 256;
constexpr int kMaxRows = 256;
// Longest sample the loader accepts, in frames (16 M frames: 6 minutes at 44100 Hz, 32 MB).
constexpr uint32_t kMaxSampleLength = 1u << 24;
constexpr int kEnvelopePoints = 12;
constexpr int kNoteKeyOff = 255;

// ---------------------------------------------------------------------------------------------
// File access: the player reads its module only through these five callbacks.

using OpenCallback = void* (*)(const char* name);
using CloseCallback = void (*)(void* handle);
using ReadCallback = uint32_t (*)(void* buffer, uint32_t count, void* handle);
using SeekCallback = void (*)(void* handle, int32_t offset, int mode);
using TellCallback = uint32_t (*)(void* handle);

// Stores all five callbacks when every one is non-null; otherwise clears all five.
void setFileCallbacks(OpenCallback open, CloseCallback close, ReadCallback read, SeekCallback seek,
                      TellCallback tell);
// True when all five callbacks are installed.
bool fileCallbacksInstalled();

// The application's handle over module bytes it owns: size, position and the first byte.
struct ResourceStream {
  uint32_t size = 0;
  uint32_t position = 0;
  const uint8_t* data = nullptr;
};

// Chooses the bytes the resource callbacks serve; the caller keeps them alive while loading.
void setModuleBytes(std::span<const uint8_t> bytes);
// Installs the resource-backed callbacks below, which serve the bytes given to setModuleBytes.
void installResourceCallbacks();
// The resource-backed callbacks themselves (open ignores the name).
void* resourceOpen(const char* name);
void resourceClose(void* stream);
uint32_t resourceRead(void* buffer, uint32_t count, void* stream);
void resourceSeek(void* stream, int32_t offset, int mode);
uint32_t resourceTell(void* stream);

// The player's file record: the handle from the open callback plus two unused words.
struct ModuleFile {
  void* handle = nullptr;
  uint32_t reserved[2] = {0, 0};
};
// Opens through the open callback; null when there is no callback or it returns null.
ModuleFile* openFile(const char* name);
void closeFile(ModuleFile* file);
uint32_t readFile(void* buffer, uint32_t count, ModuleFile* file);
void seekFile(ModuleFile* file, int32_t offset, int mode);
uint32_t tellFile(ModuleFile* file);

// ---------------------------------------------------------------------------------------------
// Song records.

enum class LoopMode : uint8_t { None = 1, Forward = 2, PingPong = 4 };

struct Sample {
  const int16_t* data = nullptr;  // length values plus 8 spare values; null for an empty sample
  uint32_t length = 0;            // frames
  uint32_t loopStart = 0;         // frames
  uint32_t loopLength = 0;        // frames; equals length when there is no loop
  uint8_t volume = 0;             // 0..64
  int8_t finetune = 0;
  uint32_t panning = 0;  // 0..255
  uint8_t bits = 16;
  LoopMode loopMode = LoopMode::None;
  int8_t relativeNote = 0;
  std::vector<int16_t> storage;  // owns data
};

// Writes the guard value just past the loop of a decoded sample whose storage holds its frames
// and 8 spare values: the last loop frame again for ping-pong, the loop's first frame for a
// forward loop, so that interpolation may read one value beyond the loop end.
void writeLoopGuard(Sample& sample);

struct EnvelopePoint {
  uint16_t tick = 0;
  uint16_t value = 0;
};

// Envelope type bits.
constexpr uint8_t kEnvelopeOn = 1;
constexpr uint8_t kEnvelopeSustain = 2;
constexpr uint8_t kEnvelopeLoop = 4;

struct Instrument {
  uint32_t sampleCount = 0;
  std::array<const Sample*, kMaxSamplesPerInstrument> samples{};  // never null once loaded
  std::array<uint8_t, 96> noteSampleMap{};
  std::array<EnvelopePoint, kEnvelopePoints> volumeEnvelope{};
  std::array<EnvelopePoint, kEnvelopePoints> panEnvelope{};
  uint8_t volumePointCount = 0, panPointCount = 0;
  uint8_t volumeSustain = 0, volumeLoopStart = 0, volumeLoopEnd = 0;
  uint8_t panSustain = 0, panLoopStart = 0, panLoopEnd = 0;
  uint8_t volumeType = 0, panType = 0;
  uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
  uint32_t fadeout = 0;  // the file's value doubled
};

struct Pattern {
  int32_t rows = 0;
  std::vector<uint8_t> notes;  // rows x channelCount x 5: note, instrument, volume, effect, param
};

struct Song;
struct SongPlayback;
using TickFunction = void (*)(Song& song);

// What a loaded song is: its patterns, instruments, order table and defaults, unchanged by
// playing it. Where playback stands lives in the internal SongPlayback the song owns.
struct Song {
  std::vector<Pattern> patterns;  // patternSlots entries
  std::vector<Instrument> instruments;
  std::vector<std::unique_ptr<Sample>> sampleStore;  // owns every instrument's samples
  uint16_t songLength = 0;
  uint16_t restartPosition = 0;
  uint16_t channelCount = 0;
  int32_t patternsUsed = 0;
  int32_t patternSlots = 0;
  uint16_t instrumentCount = 0;
  uint16_t flags = 0;  // bit 0: linear frequency table
  uint16_t defaultSpeed = 0;
  uint16_t defaultTempo = 0;
  std::array<uint8_t, 256> orderTable{};
  int32_t defaultGlobalVolume = 64;
  std::string name;  // the module's title, trimmed
  // "offset N: warning: STRUCTURE: ..." when the module ended early and its rest is silence.
  std::string warning;
  // Saved by FastTracker 2, whose mixer pans with the square root instead of linearly.
  bool squareRootPanning = false;
  // Where the sequencer stands and how it got there (music/internal.h); the public reads are
  // songOrder/songRow and the position queries below.
  std::unique_ptr<SongPlayback> playback;

  Song();
  ~Song();
  Song(const Song&) = delete;
  Song& operator=(const Song&) = delete;

  bool linear() const { return (flags & 1) != 0; }
};

// Why a module failed to load: the structure being read and the byte offset where it went wrong.
struct LoadError {
  std::string structure;
  uint32_t offset = 0;
  std::string message;
  // "offset N: error: STRUCTURE: MESSAGE"
  std::string describe() const;
};

// Loads a module through the installed file callbacks; null (and *error filled) on failure.
Song* loadSong(const char* name, LoadError* error = nullptr);
// Loads a module from bytes without touching the installed callbacks; every read is bounded.
Song* loadSongFromMemory(std::span<const uint8_t> bytes, LoadError* error = nullptr);
// Stops playback of the song if it plays and frees it; false for null.
bool freeSong(Song* song);

// Deletes a song through freeSong; for owners that prefer RAII.
struct SongDeleter {
  void operator()(Song* song) const { freeSong(song); }
};
using SongPtr = std::unique_ptr<Song, SongDeleter>;

// ---------------------------------------------------------------------------------------------
// Sound device: one looping ring of 16-bit stereo frames (left, right) played over and over.
// It reports two positions, both in bytes since start() (not wrapped at the ring):
//   read   what it has copied out of the ring; everything before it may be refilled.
//   heard  what has reached the listener: read minus what the device and the sound server still
//          hold. Never more than read; position queries and pictures follow this one.

class SoundDevice {
 public:
  virtual ~SoundDevice() = default;
  // Opens the device for 16-bit stereo at the given rate; false when no device can be opened.
  virtual bool open(int mixRate) = 0;
  // Starts looping playback of the ring, which stays owned by the caller until close(). Returns
  // once the device is taking the ring's first frames, so a clock started right after it runs in
  // step with what is heard.
  virtual void start(const int16_t* ring, uint32_t ringBytes) = 0;
  virtual uint64_t readBytes() = 0;
  virtual uint64_t heardBytes() = 0;
  // Stops playback and releases the device; safe to call when not open.
  virtual void close() = 0;
};

// A device without sound: it reads the ring as the steady clock runs and holds nothing back, so
// everything timed by the position runs as with a sound card. Tests may drive it by hand instead.
class NullSoundDevice : public SoundDevice {
 public:
  bool open(int mixRate) override;
  void start(const int16_t* ring, uint32_t ringBytes) override;
  uint64_t readBytes() override;
  uint64_t heardBytes() override { return readBytes(); }
  void close() override;
  // Switches to manual mode: the position moves only through advanceFrames.
  void setManual(bool manual) { manual_ = manual; }
  void advanceFrames(uint64_t frames);

 private:
  int rate_ = kMixRate;
  uint32_t ringBytes_ = 0;
  bool manual_ = false;
  uint64_t manualFrames_ = 0;
  int64_t startNs_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Playback.

// Starts playback on the device: prefills the whole ring, starts the device and the output
// thread. False for a null song, missing file callbacks or a device that cannot be opened. The
// song must not be playing already (asserted): stop() it before starting it again.
bool play(Song* song, SoundDevice& device);
// Stops the output thread and the device and releases the ring; false for null.
bool stop(Song* song);
// Order, row and milliseconds of the music now audible; 0 when nothing plays.
int positionOrder(const Song* song);
int positionRow(const Song* song);
uint32_t positionTimeMs(const Song* song);
// Order and row the song's sequencer stands at: what it plays next while the output is halted
// (a paused review), or where the last offline pass left it; 0 for null.
int songOrder(const Song* song);
int songRow(const Song* song);

// Sets the tempo: samplesPerTick = frames per tick at kMixRate (882 at 125 BPM).
void setTempo(Song& song, int bpm);
// One sequencer tick; the song's tickFunction.
void tick(Song& song);

// Clears every piece of process-wide player state (voices, channels, output); for tests.
void resetPlayer();

// ---------------------------------------------------------------------------------------------
// Offline rendering: the same sequencer and mixer, in the same blocks, without a device.

// Prepares the song for offline rendering from its start; false for null.
bool startOffline(Song* song);
// Renders the next out.size() / 2 stereo frames exactly as the output thread would.
void renderOffline(std::span<int16_t> out);

struct RowStart {
  int64_t frame = 0;  // output frame at kMixRate where the row's first tick starts
  int order = 0;
  int pattern = 0;
  int row = 0;
  int samplesPerTick = 0;  // tick length in effect after the row's first tick
};
struct SongTimeline {
  std::vector<RowStart> rows;
  int64_t endFrame = 0;  // where the song ends (wraps), or the limit when it did not
  bool ended = false;    // the song wrapped before the limit
};
// Runs the sequencer alone from the song's start until it wraps or maxFrames pass; resets the
// player state (do not call while the song plays).
SongTimeline songTimeline(Song* song, int64_t maxFrames);

// A RIFF WAVE file of 16-bit interleaved stereo at the given rate.
std::vector<uint8_t> encodeWav(std::span<const int16_t> interleaved, int rate = kMixRate);

}  // namespace glimmer::music

// ---------------------------------------------------------------------------------------------
// Seeking: the playing song moved to any moment, as a tracker plays from a row.

namespace glimmer::music {

// Moves the song that play() started to `frame` output frames from its start: the sequencer
// runs alone, tick by tick, from the song's start to the row that holds the frame (speed,
// tempo, global volume and every channel's instrument, volume, panning and effect memory as
// the rows before left them), the notes of that row sound from its start, and the ring is
// rewritten from two blocks after the one the device plays now, so the device reaches `frame`
// at the moment seekTo was called plus the time that has passed since. With silent the song is
// only placed at `frame` (its order and row may be read) and the ring is cleared: nothing sounds
// until the next seekTo. False when the song is not the one playing.
bool seekTo(Song* song, int64_t frame, bool silent = false);
// Output frame of the song at the device's play position now, counted from the song's start
// along the last seekTo (frozen while paused); -1 when no seek has placed the song.
int64_t playingFrame(const Song* song);

}  // namespace glimmer::music
