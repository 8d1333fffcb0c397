// The XM loader: module header, packed patterns, instruments with envelopes, samples widened to
// 16 bits and delta-decoded. Every read is checked: a truncated or inconsistent module fails with
// the structure being read and the byte offset, and nothing is read outside the module's bytes.
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

// Reads one stored pattern into slot `index`; the packed data is decoded from its own bytes only.
bool loadPattern(Cursor& in, Song& song, int index) {
  const std::string name = "pattern " + std::to_string(index);
  uint32_t start = in.tell();
  uint32_t headerLength = 0;
  uint8_t packing = 0;
  uint16_t rows = 0, packedSize = 0;
  if (!in.u32(headerLength, name + " header") || !in.u8(packing, name + " header") ||
      !in.u16(rows, name + " header") || !in.u16(packedSize, name + " header")) {
    return false;
  }
  if (rows > kMaxRows) {
    return in.fail(name + " header", start, "row count " + std::to_string(rows) + " above 256");
  }
  uint32_t dataStart = in.tell();
  if (packedSize > in.left()) {
    return in.fail(
        name + " data", dataStart,
        "packed size " + std::to_string(packedSize) + " runs past the end of the module");
  }
  std::vector<uint8_t> packed(packedSize);
  if (packedSize && !in.read(packed.data(), packedSize, name + " data")) return false;

  Pattern& pattern = song.patterns[index];
  // A pattern without rows would leave the sequencer nothing to play; it gets 64 empty rows.
  if (rows == 0) {
    pattern.rows = 64;
    pattern.notes.assign(size_t{64} * song.channelCount * 5, 0);
    return true;
  }
  pattern.rows = rows;
  pattern.notes.assign(size_t{rows} * song.channelCount * 5, 0);
  if (packedSize == 0) return true;

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
      size_t row = slot / song.channelCount, channel = slot % song.channelCount;
      return in.fail(
          name + " data", dataStart + static_cast<uint32_t>(p),
          "packed data ends at row " + std::to_string(row) + " channel " + std::to_string(channel));
    }
    // Note 97 is key off; notes above it do not exist and are dropped.
    if (note[0] == 97) {
      note[0] = kNoteKeyOff;
    } else if (note[0] > 97) {
      note[0] = 0;
    }
    if (note[1] > 128) note[1] = 0;
  }
  return true;
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

bool loadInstrument(Cursor& in, Song& song, int index) {
  const std::string name = "instrument " + std::to_string(index + 1);
  Instrument& inst = song.instruments[index];
  inst.samples.fill(&kEmptySample);
  uint32_t p = in.tell();
  uint32_t headerSize = 0;
  uint8_t skip[23];
  uint16_t sampleCount = 0;
  if (!in.u32(headerSize, name + " header") || !in.read(skip, 23, name + " header") ||
      !in.u16(sampleCount, name + " header")) {
    return false;
  }
  if (sampleCount > kMaxSamplesPerInstrument) {
    return in.fail(name + " header", p,
                   "sample count " + std::to_string(sampleCount) + " above 16");
  }
  inst.sampleCount = sampleCount;
  if (sampleCount == 0) return in.seekTo(uint64_t{p} + headerSize, name + " header", p);

  uint32_t sampleHeaderSize = 0;
  uint8_t envelopes[96];
  uint8_t tail[16];
  if (!in.u32(sampleHeaderSize, name + " header") ||
      !in.read(inst.noteSampleMap.data(), 96, name + " note map") ||
      !in.read(envelopes, 96, name + " envelopes") || !in.read(tail, 16, name + " envelopes")) {
    return false;
  }
  for (int i = 0; i < kEnvelopePoints; ++i) {
    auto word = [&](int at) {
      return static_cast<uint16_t>(envelopes[at] | envelopes[at + 1] << 8);
    };
    inst.volumeEnvelope[i] = {word(i * 4), word(i * 4 + 2)};
    inst.panEnvelope[i] = {word(48 + i * 4), word(48 + i * 4 + 2)};
  }
  inst.volumePointCount = tail[0];
  inst.panPointCount = tail[1];
  inst.volumeSustain = tail[2];
  inst.volumeLoopStart = tail[3];
  inst.volumeLoopEnd = tail[4];
  inst.panSustain = tail[5];
  inst.panLoopStart = tail[6];
  inst.panLoopEnd = tail[7];
  inst.volumeType = tail[8];
  inst.panType = tail[9];
  inst.vibratoType = tail[10];
  inst.vibratoSweep = tail[11];
  inst.vibratoDepth = tail[12];
  inst.vibratoRate = tail[13];
  inst.fadeout = static_cast<uint32_t>(tail[14] | tail[15] << 8) * 2;
  sanitizeEnvelope(inst.volumeEnvelope, inst.volumePointCount, inst.volumeType, inst.volumeSustain,
                   inst.volumeLoopStart, inst.volumeLoopEnd);
  sanitizeEnvelope(inst.panEnvelope, inst.panPointCount, inst.panType, inst.panSustain,
                   inst.panLoopStart, inst.panLoopEnd);
  if (!in.seekTo(uint64_t{p} + headerSize, name + " header", p)) return false;

  // Sample headers, then the sample data in the same order.
  Sample* samples[kMaxSamplesPerInstrument] = {};
  uint32_t byteLengths[kMaxSamplesPerInstrument] = {};
  for (int s = 0; s < sampleCount; ++s) {
    const std::string sname = name + " sample " + std::to_string(s + 1) + " header";
    uint8_t h[40];
    if (!in.read(h, 40, sname)) return false;
    auto dword = [&](int at) {
      return static_cast<uint32_t>(h[at]) | static_cast<uint32_t>(h[at + 1]) << 8 |
             static_cast<uint32_t>(h[at + 2]) << 16 | static_cast<uint32_t>(h[at + 3]) << 24;
    };
    auto sample = std::make_unique<Sample>();
    uint32_t length = dword(0), loopStart = dword(4), loopLength = dword(8);
    sample->volume = std::min<uint8_t>(h[12], 64);
    sample->finetune = static_cast<int8_t>(h[13]);
    uint8_t type = h[14];
    LoopMode mode = LoopMode::None;
    if (type & 1) mode = LoopMode::Forward;
    if (type & 2) mode = LoopMode::PingPong;
    bool sixteen = (type & 0x10) != 0;
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
      return in.fail(sname, in.tell() - 40,
                     "sample length " + std::to_string(length) + " frames above " +
                         std::to_string(kMaxSampleLength));
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
    sample->panning = h[15];
    sample->relativeNote = static_cast<int8_t>(h[16]);
    samples[s] = sample.get();
    inst.samples[s] = sample.get();
    song.sampleStore.push_back(std::move(sample));
  }
  for (int s = 0; s < sampleCount; ++s) {
    Sample& sample = *samples[s];
    uint32_t bytes = byteLengths[s];
    if (bytes == 0) continue;
    const std::string sname = name + " sample " + std::to_string(s + 1) + " data";
    uint32_t at = in.tell();
    if (bytes > in.left()) {
      return in.fail(
          sname, at,
          std::to_string(bytes) + " bytes of sample data run past the end of the module");
    }
    std::vector<uint8_t> raw(bytes);
    if (!in.read(raw.data(), bytes, sname)) return false;
    if (sample.length == 0) continue;  // a 16-bit sample of one byte has no frame
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
    uint32_t end = sample.loopStart + sample.loopLength;
    if (sample.loopMode == LoopMode::PingPong) {
      d[end] = d[end - 1];
    } else if (sample.loopMode == LoopMode::Forward) {
      d[end] = d[sample.loopStart];
    }
    sample.data = d;
  }
  return true;
}

bool loadModule(Cursor& in, Song& song) {
  char magic[17];
  if (!in.read(magic, 17, "module header")) return false;
  if (std::memcmp(magic, kMagic, 17) != 0) {
    return in.fail("module header", 0, "not an Extended Module (no \"Extended Module: \" magic)");
  }
  song.tickFunction = tick;
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
  if (song.restartPosition >= song.songLength) song.restartPosition = 0;
  if (!in.seekTo(uint64_t{60} + headerSize, "module header", 60)) return false;

  int largest = 0;
  for (int i = 0; i < song.songLength; ++i) largest = std::max<int>(largest, song.orderTable[i]);
  song.patternsUsed = largest + 1;
  song.patternSlots = std::max<int>(song.patternsUsed, patternCount);
  song.patterns.resize(song.patternSlots);
  for (int i = 0; i < patternCount; ++i) {
    if (!loadPattern(in, song, i)) return false;
  }
  for (int i = patternCount; i < song.patternsUsed; ++i) {
    song.patterns[i].rows = 64;
    song.patterns[i].notes.assign(size_t{64} * song.channelCount * 5, 0);
  }
  // Slots that no order names and the file does not store still get one empty row, so that no
  // pattern the sequencer could name is without rows.
  for (Pattern& pattern : song.patterns) {
    if (pattern.rows == 0) {
      pattern.rows = 64;
      pattern.notes.assign(size_t{64} * song.channelCount * 5, 0);
    }
  }

  song.instruments.resize(song.instrumentCount);
  for (int i = 0; i < song.instrumentCount; ++i) {
    if (!loadInstrument(in, song, i)) return false;
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
