// The XM loader: module header, packed patterns, instruments with envelopes, samples widened to
// 16 bits and delta-decoded. Every read is checked and nothing is read outside the module's
// bytes. A module cut short loads with what it holds (the rest is silence) and one warning; a file
// that is not an XM, or states impossible counts, fails with the structure and byte offset.
#include <algorithm>
#include <cstring>
#include <string>

#include "music/internal.h"

namespace glimmer::music {

const Sample kEmptySample{};
const Instrument kEmptyInstrument{};

std::string LoadError::describe() const {
  return "offset " + std::to_string(offset) + ": error: " + structure + ": " + message;
}

namespace {

constexpr char kMagic[] = "Extended Module: ";

// Bounded reads over a ByteReader; the first failure is recorded and every later call fails.
class Cursor {
 public:
  Cursor(const ByteReader& reader, LoadError* error) : r_(reader), error_(error) {
    uint32_t here = r_.tell(r_.handle);
    r_.seek(r_.handle, 0, 2);
    size_ = r_.tell(r_.handle);
    r_.seek(r_.handle, static_cast<int32_t>(here), 0);
  }

  uint32_t size() const { return size_; }
  uint32_t tell() const { return r_.tell(r_.handle); }
  uint32_t left() const { return size_ - tell(); }

  // Records an error at the given offset; always returns false.
  bool fail(const std::string& structure, uint32_t offset, const std::string& message) {
    if (error_) *error_ = LoadError{structure, offset, message};
    return false;
  }

  bool read(void* dst, uint32_t n, const std::string& structure) {
    uint32_t at = tell();
    uint32_t got = r_.read(dst, n, r_.handle);
    if (got != n) {
      return fail(
          structure, at,
          "needs " + std::to_string(n) + " bytes but the module ends after " + std::to_string(got));
    }
    return true;
  }
  bool u8(uint8_t& v, const std::string& s) { return read(&v, 1, s); }
  bool u16(uint16_t& v, const std::string& s) {
    uint8_t b[2];
    if (!read(b, 2, s)) return false;
    v = static_cast<uint16_t>(b[0] | b[1] << 8);
    return true;
  }
  bool u32(uint32_t& v, const std::string& s) {
    uint8_t b[4];
    if (!read(b, 4, s)) return false;
    v = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
        static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
    return true;
  }
  // Moves to an absolute position, which must lie within the module.
  bool seekTo(uint64_t position, const std::string& structure, uint32_t from) {
    if (position > size_) {
      return fail(structure, from,
                  "points to offset " + std::to_string(position) + " past the end of the module (" +
                      std::to_string(size_) + " bytes)");
    }
    r_.seek(r_.handle, static_cast<int32_t>(position), 0);
    if (tell() != position) return fail(structure, from, "cannot seek");
    return true;
  }

 private:
  ByteReader r_;
  LoadError* error_;
  uint32_t size_ = 0;
};

// The module ends inside a structure: what is missing plays as silence. Only the first such
// point is reported; nothing after it can be read.
void noteTruncation(Song& song, const std::string& structure, uint32_t offset,
                    const std::string& missing) {
  if (!song.warning.empty()) return;
  song.warning = "offset " + std::to_string(offset) + ": warning: " + structure +
                 ": the module ends here; " + missing + " play as silence";
}

void emptyPattern(Song& song, Pattern& pattern, int rows) {
  pattern.rows = rows;
  pattern.notes.assign(size_t(rows) * song.channelCount * 5, 0);
}

enum class Step { Ok, Truncated, Failed };

// Reads one stored pattern into slot `index`. The header says its own length; the packed data
// is decoded from its own bytes only, and rows it does not reach stay empty.
Step loadPattern(Cursor& in, Song& song, int index) {
  const std::string name = "pattern " + std::to_string(index);
  const uint32_t start = in.tell();
  uint8_t h[9] = {};
  if (in.left() < 9) {
    noteTruncation(song, name + " header", start, "this and the later patterns and all samples");
    return Step::Truncated;
  }
  in.read(h, 9, name + " header");
  const uint32_t headerLength =
      static_cast<uint32_t>(h[0] | h[1] << 8 | h[2] << 16) | static_cast<uint32_t>(h[3]) << 24;
  const uint16_t rows = static_cast<uint16_t>(h[5] | h[6] << 8);
  const uint16_t packedSize = static_cast<uint16_t>(h[7] | h[8] << 8);
  if (rows > kMaxRows) {
    in.fail(name + " header", start, "row count " + std::to_string(rows) + " above 256");
    return Step::Failed;
  }
  Pattern& pattern = song.patterns[index];
  // A pattern without rows would leave the sequencer nothing to play; it gets 64 empty rows.
  emptyPattern(song, pattern, rows == 0 ? 64 : rows);
  if (uint64_t{start} + std::max<uint32_t>(headerLength, 9) > in.size()) {
    noteTruncation(song, name + " header", start, "this and the later patterns and all samples");
    return Step::Truncated;
  }
  in.seekTo(uint64_t{start} + std::max<uint32_t>(headerLength, 9), name + " header", start);
  const uint32_t dataStart = in.tell();
  const uint32_t available = std::min<uint32_t>(packedSize, in.left());
  std::vector<uint8_t> packed(available);
  if (available) in.read(packed.data(), available, name + " data");
  const bool cut = available < packedSize;
  if (rows == 0 || packedSize == 0) return Step::Ok;

  size_t p = 0;
  auto next = [&](uint8_t& v) {
    if (p >= packed.size()) return false;
    v = packed[p++];
    return true;
  };
  for (size_t slot = 0; slot < size_t{rows} * song.channelCount; ++slot) {
    uint8_t* note = &pattern.notes[slot * 5];
    uint8_t b;
    bool ok = next(b);
    if (ok && (b & 0x80)) {
      for (int field = 0; field < 5 && ok; ++field) {
        if (b & (1 << field)) ok = next(note[field]);
      }
    } else if (ok) {
      note[0] = b;
      for (int field = 1; field < 5 && ok; ++field) ok = next(note[field]);
    }
    if (!ok) {
      // The rest of the pattern is empty, as in the tracker; a half-read cell is dropped.
      std::fill(note, note + 5, uint8_t{0});
      break;
    }
    // Note 97 is key off; notes above it do not exist and are dropped.
    if (note[0] == 97) {
      note[0] = kNoteKeyOff;
    } else if (note[0] > 97) {
      note[0] = 0;
    }
    if (note[1] > 128) note[1] = 0;
  }
  if (cut) {
    noteTruncation(song, name + " data", dataStart + available,
                   "the rest of this pattern, the later patterns and all samples");
    return Step::Truncated;
  }
  return Step::Ok;
}

// Keeps an envelope within its 12 points, values within 0..64, ticks non-decreasing and its
// sustain and loop indices on existing points.
void sanitizeEnvelope(std::array<EnvelopePoint, kEnvelopePoints>& points, uint8_t& count,
                      uint8_t& type, uint8_t sustain, uint8_t loopStart, uint8_t loopEnd) {
  if (count > kEnvelopePoints) count = kEnvelopePoints;
  for (int i = 0; i < kEnvelopePoints; ++i) {
    points[i].value = std::min<uint16_t>(points[i].value, 64);
    if (i > 0 && points[i].tick < points[i - 1].tick) points[i].tick = points[i - 1].tick;
  }
  if (count < 2) type = 0;
  if (sustain >= count) type &= static_cast<uint8_t>(~kEnvelopeSustain);
  if (loopStart >= count || loopEnd >= count || loopStart > loopEnd) {
    type &= static_cast<uint8_t>(~kEnvelopeLoop);
  }
}

// Fields of the instrument header by offset; a header shorter than 263 bytes leaves the fields
// it does not reach zero, and the header size decides where the sample headers start.
constexpr uint32_t kInstrumentHeaderBytes = 263;
constexpr uint32_t kSampleHeaderBytes = 40;

Step loadInstrument(Cursor& in, Song& song, int index) {
  const std::string name = "instrument " + std::to_string(index + 1);
  Instrument& inst = song.instruments[index];
  inst.samples.fill(&kEmptySample);
  const uint32_t p = in.tell();
  const std::string missing = "this and the later instruments";
  if (in.left() < 29) {
    noteTruncation(song, name + " header", p, missing);
    return Step::Truncated;
  }
  uint8_t h[kInstrumentHeaderBytes] = {};
  in.read(h, 29, name + " header");
  auto word = [&](int at) { return static_cast<uint16_t>(h[at] | h[at + 1] << 8); };
  auto dword = [&](const uint8_t* b, int at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
  };
  const uint32_t headerSize = std::max<uint32_t>(dword(h, 0), 29);
  const uint16_t sampleCount = word(27);
  if (sampleCount > kMaxSamplesPerInstrument) {
    in.fail(name + " header", p, "sample count " + std::to_string(sampleCount) + " above 16");
    return Step::Failed;
  }
  if (uint64_t{p} + headerSize > in.size()) {
    noteTruncation(song, name + " header", p, missing);
    return Step::Truncated;
  }
  const uint32_t rest = std::min(headerSize, kInstrumentHeaderBytes) - 29;
  in.read(h + 29, rest, name + " header");
  in.seekTo(uint64_t{p} + headerSize, name + " header", p);
  inst.sampleCount = sampleCount;
  if (sampleCount == 0) return Step::Ok;

  uint32_t sampleHeaderSize = dword(h, 29);
  if (sampleHeaderSize == 0) sampleHeaderSize = kSampleHeaderBytes;
  std::copy(h + 33, h + 129, inst.noteSampleMap.begin());
  for (int i = 0; i < kEnvelopePoints; ++i) {
    inst.volumeEnvelope[i] = {word(129 + i * 4), word(129 + i * 4 + 2)};
    inst.panEnvelope[i] = {word(177 + i * 4), word(177 + i * 4 + 2)};
  }
  inst.volumePointCount = h[225];
  inst.panPointCount = h[226];
  inst.volumeSustain = h[227];
  inst.volumeLoopStart = h[228];
  inst.volumeLoopEnd = h[229];
  inst.panSustain = h[230];
  inst.panLoopStart = h[231];
  inst.panLoopEnd = h[232];
  inst.volumeType = h[233];
  inst.panType = h[234];
  inst.vibratoType = h[235];
  inst.vibratoSweep = h[236];
  inst.vibratoDepth = h[237];
  inst.vibratoRate = h[238];
  inst.fadeout = static_cast<uint32_t>(word(239)) * 2;
  sanitizeEnvelope(inst.volumeEnvelope, inst.volumePointCount, inst.volumeType, inst.volumeSustain,
                   inst.volumeLoopStart, inst.volumeLoopEnd);
  sanitizeEnvelope(inst.panEnvelope, inst.panPointCount, inst.panType, inst.panSustain,
                   inst.panLoopStart, inst.panLoopEnd);

  // Sample headers, then the sample data in the same order.
  Sample* samples[kMaxSamplesPerInstrument] = {};
  uint32_t byteLengths[kMaxSamplesPerInstrument] = {};
  bool cut = false;
  for (int s = 0; s < sampleCount; ++s) {
    const std::string sname = name + " sample " + std::to_string(s + 1) + " header";
    const uint32_t at = in.tell();
    if (uint64_t{at} + sampleHeaderSize > in.size()) {
      noteTruncation(song, sname, at, "this instrument's samples and the later instruments");
      cut = true;
      break;
    }
    uint8_t sh[kSampleHeaderBytes] = {};
    in.read(sh, std::min(sampleHeaderSize, kSampleHeaderBytes), sname);
    in.seekTo(uint64_t{at} + sampleHeaderSize, sname, at);
    auto sample = std::make_unique<Sample>();
    uint32_t length = dword(sh, 0), loopStart = dword(sh, 4), loopLength = dword(sh, 8);
    sample->volume = std::min<uint8_t>(sh[12], 64);
    sample->finetune = static_cast<int8_t>(sh[13]);
    const uint8_t type = sh[14];
    LoopMode mode = LoopMode::None;
    if (type & 1) mode = LoopMode::Forward;
    if (type & 2) mode = LoopMode::PingPong;
    const bool sixteen = (type & 0x10) != 0;
    byteLengths[s] = length;
    if (mode == LoopMode::None) {
      loopStart = 0;
      loopLength = length;
    }
    if (sixteen) {
      length /= 2;
      loopStart /= 2;
      loopLength /= 2;
    }
    if (length > kMaxSampleLength) {
      in.fail(sname, at,
              "sample length " + std::to_string(length) + " frames above " +
                  std::to_string(kMaxSampleLength));
      return Step::Failed;
    }
    // Loop points beyond the sample are pulled back inside it.
    if (mode != LoopMode::None) {
      if (loopStart >= length) {
        loopLength = 0;
      } else if (uint64_t{loopStart} + loopLength > length) {
        loopLength = length - loopStart;
      }
    }
    if (loopLength == 0 || mode == LoopMode::None) {
      loopStart = 0;
      loopLength = length;
      mode = LoopMode::None;
    }
    sample->length = length;
    sample->loopStart = loopStart;
    sample->loopLength = loopLength;
    sample->loopMode = mode;
    sample->bits = sixteen ? 16 : 8;
    sample->panning = sh[15];
    sample->relativeNote = static_cast<int8_t>(sh[16]);
    samples[s] = sample.get();
    inst.samples[s] = sample.get();
    song.sampleStore.push_back(std::move(sample));
  }
  for (int s = 0; s < sampleCount && samples[s]; ++s) {
    Sample& sample = *samples[s];
    const uint32_t bytes = byteLengths[s];
    if (bytes == 0) continue;
    const std::string sname = name + " sample " + std::to_string(s + 1) + " data";
    const uint32_t at = in.tell();
    // Data the module does not hold is silence: the sample ends where its data ends (a loop that
    // reached past it is cut back), so nothing is allocated for bytes that are not there.
    const uint32_t available = cut ? 0 : std::min(bytes, in.left());
    std::vector<uint8_t> raw(available);
    if (available) in.read(raw.data(), available, sname);
    if (available < bytes) {
      if (!cut) {
        noteTruncation(song, sname, at + available,
                       std::to_string(bytes - available) +
                           " bytes of this sample, the later samples and instruments");
      }
      cut = true;
      const uint32_t frames = sample.bits == 16 ? available / 2 : available;
      sample.length = std::min(sample.length, frames);
      if (sample.loopMode != LoopMode::None && sample.loopStart < sample.length &&
          sample.loopStart + sample.loopLength > sample.length) {
        sample.loopLength = sample.length - sample.loopStart;
      }
      if (sample.loopMode == LoopMode::None || sample.loopStart >= sample.length) {
        sample.loopMode = LoopMode::None;
        sample.loopStart = 0;
        sample.loopLength = sample.length;
      }
    }
    if (sample.length == 0) continue;  // no frame to play (or a 16-bit sample of one byte)
    sample.storage.assign(size_t{sample.length} + 8, 0);
    int16_t* d = sample.storage.data();
    uint16_t sum = 0;
    for (uint32_t i = 0; i < sample.length; ++i) {
      uint16_t v = sample.bits == 16 ? static_cast<uint16_t>(raw[2 * i] | raw[2 * i + 1] << 8)
                                     : static_cast<uint16_t>(raw[i] << 8);
      sum = static_cast<uint16_t>(sum + v);
      d[i] = static_cast<int16_t>(sum);
    }
    sample.bits = 16;
    writeLoopGuard(sample);
    sample.data = d;
  }
  return cut ? Step::Truncated : Step::Ok;
}

}  // namespace

void writeLoopGuard(Sample& sample) {
  const uint32_t end = sample.loopStart + sample.loopLength;
  if (sample.loopMode == LoopMode::PingPong) {
    sample.storage[end] = sample.storage[end - 1];
  } else if (sample.loopMode == LoopMode::Forward) {
    sample.storage[end] = sample.storage[sample.loopStart];
  }
}

namespace {

bool loadModule(Cursor& in, Song& song) {
  char magic[17];
  if (!in.read(magic, 17, "module header")) return false;
  if (std::memcmp(magic, kMagic, 17) != 0) {
    return in.fail("module header", 0, "not an Extended Module (no \"Extended Module: \" magic)");
  }
  song.playback->tickFunction = tick;
  song.defaultGlobalVolume = 64;
  char title[20];
  if (!in.read(title, 20, "module header")) return false;
  song.name.assign(title, strnlen(title, 20));
  while (!song.name.empty() && song.name.back() == ' ') song.name.pop_back();
  char tracker[21];
  if (!in.read(tracker, 21, "module header")) return false;
  song.squareRootPanning = std::memcmp(tracker + 1, "FastTracker", 11) == 0;

  if (!in.seekTo(60, "module header", 17)) return false;
  uint32_t headerSize = 0;
  uint16_t patternCount = 0;
  if (!in.u32(headerSize, "module header") || !in.u16(song.songLength, "module header") ||
      !in.u16(song.restartPosition, "module header") ||
      !in.u16(song.channelCount, "module header") || !in.u16(patternCount, "module header") ||
      !in.u16(song.instrumentCount, "module header") || !in.u16(song.flags, "module header") ||
      !in.u16(song.defaultSpeed, "module header") || !in.u16(song.defaultTempo, "module header") ||
      !in.read(song.orderTable.data(), 256, "module header")) {
    return false;
  }
  if (song.channelCount == 0 || song.channelCount > kMaxChannels) {
    return in.fail("module header", 68,
                   "channel count " + std::to_string(song.channelCount) + " outside 1..128");
  }
  if (song.songLength > 256) {
    return in.fail("module header", 64,
                   "song length " + std::to_string(song.songLength) + " above 256");
  }
  if (patternCount > kMaxPatterns) {
    return in.fail("module header", 70,
                   "pattern count " + std::to_string(patternCount) + " above 256");
  }
  if (song.instrumentCount > kMaxInstruments) {
    return in.fail("module header", 72,
                   "instrument count " + std::to_string(song.instrumentCount) + " above 128");
  }
  // An empty order list plays its first entry; a restart beyond the list restarts at 0, so every
  // order position the sequencer reaches names an allocated pattern.
  if (song.songLength == 0) song.songLength = 1;
  // The tracker's tempo range is 32..255 BPM; a header beyond it would make ticks a frame long.
  song.defaultTempo = std::clamp<uint16_t>(song.defaultTempo, 32, 255);
  if (song.restartPosition >= song.songLength) song.restartPosition = 0;

  int largest = 0;
  for (int i = 0; i < song.songLength; ++i) largest = std::max<int>(largest, song.orderTable[i]);
  song.patternsUsed = largest + 1;
  song.patternSlots = std::max<int>(song.patternsUsed, patternCount);
  song.patterns.resize(song.patternSlots);
  song.instruments.resize(song.instrumentCount);
  for (Instrument& inst : song.instruments) inst.samples.fill(&kEmptySample);

  bool cut = false;
  if (uint64_t{60} + headerSize > in.size()) {
    noteTruncation(song, "module header", 60, "all patterns and samples");
    cut = true;
  } else {
    in.seekTo(uint64_t{60} + headerSize, "module header", 60);
  }
  for (int i = 0; i < patternCount && !cut; ++i) {
    Step step = loadPattern(in, song, i);
    if (step == Step::Failed) return false;
    cut = step == Step::Truncated;
  }
  // Slots that the file does not store (or that it lost) get 64 empty rows, so that no pattern
  // the sequencer could name is without rows.
  for (Pattern& pattern : song.patterns) {
    if (pattern.rows == 0) emptyPattern(song, pattern, 64);
  }
  for (int i = 0; i < song.instrumentCount && !cut; ++i) {
    Step step = loadInstrument(in, song, i);
    if (step == Step::Failed) return false;
    cut = step == Step::Truncated;
  }
  return true;
}

}  // namespace

Song* loadSongFrom(const ByteReader& reader, LoadError* error) {
  auto* song = new Song;
  Cursor in(reader, error);
  if (!loadModule(in, *song)) {
    freeSong(song);
    return nullptr;
  }
  return song;
}

Song* loadSong(const char* name, LoadError* error) {
  ModuleFile* file = openFile(name);
  if (!file) {
    if (error) *error = LoadError{"module", 0, "cannot open"};
    return nullptr;
  }
  ByteReader reader;
  reader.handle = file;
  reader.read = [](void* buffer, uint32_t count, void* h) {
    return readFile(buffer, count, static_cast<ModuleFile*>(h));
  };
  reader.seek = [](void* h, int32_t offset, int mode) {
    seekFile(static_cast<ModuleFile*>(h), offset, mode);
  };
  reader.tell = [](void* h) { return tellFile(static_cast<ModuleFile*>(h)); };
  Song* song = loadSongFrom(reader, error);
  closeFile(file);
  return song;
}

Song* loadSongFromMemory(std::span<const uint8_t> bytes, LoadError* error) {
  ResourceStream stream;
  stream.size = bytes.size() > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<uint32_t>(bytes.size());
  stream.data = bytes.data();
  ByteReader reader{&stream, resourceRead, resourceSeek, resourceTell};
  return loadSongFrom(reader, error);
}

}  // namespace glimmer::music
