// The song builder: a line-based text notation compiled into an Extended Module. Instruments get
// one sample each, synthesised here from oscillators, noise, an amplitude shape, filters and a
// loop; patterns are rows of tracker cells; the header gives channels, speed, tempo and the
// order list. content/song.txt is the worked example.
//
// Index:
//   Tokenizer             words with their columns, quoted strings, '#' comments
//   Synthesis             oscillators, amplitude shape, filters
//   Parser                header lines, instrument blocks, pattern blocks
//   XM writer             header, packed patterns, instruments, delta-coded samples
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>

#include "music/music.h"
#include "tools/compile/compile.h"

namespace glimmer::music {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMiddleC = 261.6255653005986;
constexpr int kBuilderMaxChannels = 32;
constexpr int kMaxSampleFrames = 1 << 20;
// Synthesis cost of a whole song: the sum over instruments of sample frames times oscillators.
// 2^24 is about six minutes of one-oscillator sound, far beyond any song, and keeps hostile text
// from asking for hours of synthesis or gigabytes of samples.
constexpr int64_t kMaxSynthesisFrames = int64_t{1} << 24;

// ---------------------------------------------------------------------------------------------
// Tokenizer

struct Token {
  std::string text;
  int column = 0;  // 1-based
};

// Splits a line into words; a quoted string is one word without its quotes; a '#' at the start
// of a word ends the line (inside a word it is a sharp, as in C#4).
bool tokenize(const std::string& line, std::vector<Token>* out, int* badColumn) {
  out->clear();
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      size_t end = line.find('"', i + 1);
      if (end == std::string::npos) {
        *badColumn = static_cast<int>(i + 1);
        return false;
      }
      out->push_back({line.substr(i + 1, end - i - 1), static_cast<int>(i + 1)});
      i = end + 1;
    } else if (c == '|') {
      out->push_back({"|", static_cast<int>(i + 1)});
      ++i;
    } else {
      size_t start = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
             line[i] != '|') {
        ++i;
      }
      out->push_back({line.substr(start, i - start), static_cast<int>(start + 1)});
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Song model built by the parser

enum class Wave { Sine, Saw, Square, Triangle, Noise };

struct Oscillator {
  Wave wave = Wave::Sine;
  double level = 1.0;
  int harmonic = 1;
};

struct EnvelopeSpec {
  std::vector<EnvelopePoint> points;
  int sustain = -1;
  int loopStart = -1, loopEnd = -1;
};

struct InstrumentSpec {
  bool defined = false;
  std::string name;
  std::vector<Oscillator> oscillators;
  int period = 64;  // frames per cycle of the base oscillator
  bool fixedPitch = false;
  int length = 8192;
  int attack = 0, decay = 0, release = 0;
  double sustain = 1.0;
  double lowpass = 0, highpass = 0;
  double dropFactor = 1.0;
  int dropFrames = 0;
  LoopMode loop = LoopMode::None;
  int loopStart = 0, loopEnd = 0;
  int volume = 64;
  int panning = 128;
  int bits = 16;
  uint32_t seed = 0x1DE2B57u;
  EnvelopeSpec volumeEnvelope, panEnvelope;
  int fadeout = 0;
};

struct PatternSpec {
  bool defined = false;
  int rows = 64;
  std::vector<uint8_t> cells;  // rows x channels x 5
};

struct SongSpec {
  std::string title;
  int channels = 8;
  int speed = 6;
  int tempo = 125;
  int restart = 0;
  bool linear = true;
  std::vector<int> order;
  std::vector<InstrumentSpec> instruments;  // index 0 = instrument 1
  std::vector<PatternSpec> patterns;
  int64_t synthesisFrames = 0;  // of the instruments ended so far
};

// ---------------------------------------------------------------------------------------------
// Synthesis

class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed ? seed : 1) {}
  double next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_) / 2147483648.0 - 1.0;
  }

 private:
  uint32_t state_;
};

double waveValue(Wave wave, double phase) {  // phase in cycles, 0..1
  switch (wave) {
    case Wave::Sine:
      return std::sin(2 * kPi * phase);
    case Wave::Saw:
      return 2 * phase - 1;
    case Wave::Square:
      return phase < 0.5 ? 1.0 : -1.0;
    case Wave::Triangle:
      return phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase;
    case Wave::Noise:
      return 0;
  }
  return 0;
}

std::vector<int16_t> synthesise(const InstrumentSpec& inst) {
  std::vector<double> x(inst.length, 0.0);
  Noise noise(inst.seed);
  for (const Oscillator& osc : inst.oscillators) {
    double phase = 0;
    for (int i = 0; i < inst.length; ++i) {
      double drop =
          inst.dropFrames > 0
              ? 1.0 + (inst.dropFactor - 1.0) * std::exp(-static_cast<double>(i) / inst.dropFrames)
              : 1.0;
      double v = osc.wave == Wave::Noise ? noise.next() : waveValue(osc.wave, phase);
      x[i] += osc.level * v;
      phase += drop * osc.harmonic / inst.period;
      phase -= std::floor(phase);
    }
  }
  if (inst.lowpass > 0) {
    double a = 1 - std::exp(-2 * kPi * inst.lowpass), y = 0;
    for (double& v : x) v = y += a * (v - y);
  }
  if (inst.highpass > 0) {
    double a = 1 - std::exp(-2 * kPi * inst.highpass), low = 0;
    for (double& v : x) {
      low += a * (v - low);
      v -= low;
    }
  }
  std::vector<int16_t> out(inst.length);
  for (int i = 0; i < inst.length; ++i) {
    double g = 1.0;
    if (i < inst.attack) {
      g = static_cast<double>(i) / inst.attack;
    } else if (i < inst.attack + inst.decay) {
      g = 1.0 - (1.0 - inst.sustain) * (i - inst.attack) / inst.decay;
    } else {
      g = inst.sustain;
    }
    int fromEnd = inst.length - i;
    if (inst.release > 0 && fromEnd <= inst.release)
      g *= static_cast<double>(fromEnd - 1) / inst.release;
    double v = std::clamp(x[i] * g, -1.0, 1.0) * 32767.0;
    out[i] = static_cast<int16_t>(std::lround(v));
    if (inst.bits == 8) out[i] = static_cast<int16_t>(out[i] & ~0xFF);
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Parser

class Parser {
 public:
  Parser(SongSpec* song, BuildError* error) : song_(song), error_(error) {}

  bool run(const std::string& source) {
    std::istringstream in(source);
    std::string line;
    while (std::getline(in, line)) {
      ++lineNumber_;
      int bad = 0;
      if (!tokenize(line, &tokens_, &bad)) return fail(bad, "unterminated string");
      if (tokens_.empty()) continue;
      bool ok = instrument_ ? instrumentLine() : pattern_ ? patternLine() : headerLine();
      if (!ok) return false;
    }
    if (instrument_ || pattern_) {
      ++lineNumber_;
      return fail(1,
                  std::string("missing 'end' of the ") + (instrument_ ? "instrument" : "pattern"));
    }
    if (song_->order.empty()) return fail(1, "no 'order' line");
    for (size_t i = 0; i < song_->order.size(); ++i) {
      int p = song_->order[i];
      if (p >= static_cast<int>(song_->patterns.size()) || !song_->patterns[p].defined) {
        return failAt(orderLine_, orderColumns_[i],
                      "order names pattern " + std::to_string(p) + ", which is not defined");
      }
    }
    if (song_->restart >= static_cast<int>(song_->order.size())) {
      return failAt(restartLine_, 1, "restart position beyond the order list");
    }
    return true;
  }

 private:
  bool fail(int column, const std::string& message) { return failAt(lineNumber_, column, message); }
  bool failAt(int line, int column, const std::string& message) {
    *error_ = BuildError{line, column, message};
    return false;
  }

  bool integer(const Token& t, int lo, int hi, int* out) {
    char* end = nullptr;
    long v = std::strtol(t.text.c_str(), &end, 10);
    if (t.text.empty() || *end || v < lo || v > hi) {
      return fail(t.column, "expected a whole number from " + std::to_string(lo) + " to " +
                                std::to_string(hi) + ", found '" + t.text + "'");
    }
    *out = static_cast<int>(v);
    return true;
  }
  bool number(const Token& t, double lo, double hi, double* out) {
    char* end = nullptr;
    double v = std::strtod(t.text.c_str(), &end);
    if (t.text.empty() || *end || !(v >= lo && v <= hi)) {
      std::ostringstream m;
      m << "expected a number from " << lo << " to " << hi << ", found '" << t.text << "'";
      return fail(t.column, m.str());
    }
    *out = v;
    return true;
  }
  bool arity(size_t lo, size_t hi) {
    if (tokens_.size() < lo)
      return fail(tokens_.back().column, "'" + tokens_[0].text + "' needs more values");
    if (tokens_.size() > hi)
      return fail(tokens_[hi].column, "unexpected '" + tokens_[hi].text + "'");
    return true;
  }

  bool headerLine() {
    const std::string& w = tokens_[0].text;
    if (w == "title") {
      if (!arity(2, 2)) return false;
      if (tokens_[1].text.size() > 20)
        return fail(tokens_[1].column, "title longer than 20 characters");
      song_->title = tokens_[1].text;
      return true;
    }
    if (w == "channels") {
      for (const PatternSpec& p : song_->patterns) {
        if (p.defined) return fail(tokens_[0].column, "'channels' must come before the patterns");
      }
      return arity(2, 2) && integer(tokens_[1], 1, kBuilderMaxChannels, &song_->channels);
    }
    if (w == "speed") return arity(2, 2) && integer(tokens_[1], 1, 31, &song_->speed);
    if (w == "tempo") return arity(2, 2) && integer(tokens_[1], 32, 255, &song_->tempo);
    if (w == "restart") {
      restartLine_ = lineNumber_;
      return arity(2, 2) && integer(tokens_[1], 0, 255, &song_->restart);
    }
    if (w == "frequencies") {
      if (!arity(2, 2)) return false;
      if (tokens_[1].text == "linear")
        song_->linear = true;
      else if (tokens_[1].text == "amiga")
        song_->linear = false;
      else
        return fail(tokens_[1].column, "expected 'linear' or 'amiga'");
      return true;
    }
    if (w == "order") {
      if (!arity(2, 257)) return false;
      song_->order.clear();
      orderColumns_.clear();
      orderLine_ = lineNumber_;
      for (size_t i = 1; i < tokens_.size(); ++i) {
        int p;
        if (!integer(tokens_[i], 0, 255, &p)) return false;
        song_->order.push_back(p);
        orderColumns_.push_back(tokens_[i].column);
      }
      return true;
    }
    if (w == "instrument") {
      int n;
      if (!arity(2, 3) || !integer(tokens_[1], 1, kMaxInstruments, &n)) return false;
      if (static_cast<int>(song_->instruments.size()) < n) song_->instruments.resize(n);
      if (song_->instruments[n - 1].defined)
        return fail(tokens_[1].column, "instrument defined twice");
      instrument_ = &song_->instruments[n - 1];
      *instrument_ = InstrumentSpec{};
      instrument_->defined = true;
      instrument_->seed += static_cast<uint32_t>(n) * 7919u;
      if (tokens_.size() == 3) {
        if (tokens_[2].text.size() > 22)
          return fail(tokens_[2].column, "name longer than 22 characters");
        instrument_->name = tokens_[2].text;
      }
      return true;
    }
    if (w == "pattern") {
      int n, rows;
      if (!arity(3, 3) || !integer(tokens_[1], 0, 255, &n) || !integer(tokens_[2], 1, 256, &rows)) {
        return false;
      }
      if (static_cast<int>(song_->patterns.size()) <= n) song_->patterns.resize(n + 1);
      if (song_->patterns[n].defined) return fail(tokens_[1].column, "pattern defined twice");
      pattern_ = &song_->patterns[n];
      pattern_->defined = true;
      pattern_->rows = rows;
      pattern_->cells.assign(size_t(rows) * song_->channels * 5, 0);
      patternChannels_ = song_->channels;
      return true;
    }
    return fail(tokens_[0].column, "unknown word '" + w + "'");
  }

  bool envelopeLine(EnvelopeSpec* env) {
    env->points.clear();
    env->sustain = env->loopStart = env->loopEnd = -1;
    for (size_t i = 2; i < tokens_.size(); ++i) {
      const Token& t = tokens_[i];
      if (t.text == "sustain") {
        if (i + 1 >= tokens_.size()) return fail(t.column, "'sustain' needs a point index");
        if (!integer(tokens_[++i], 0, kEnvelopePoints - 1, &env->sustain)) return false;
      } else if (t.text == "loop") {
        if (i + 2 >= tokens_.size()) return fail(t.column, "'loop' needs two point indices");
        if (!integer(tokens_[++i], 0, kEnvelopePoints - 1, &env->loopStart) ||
            !integer(tokens_[++i], 0, kEnvelopePoints - 1, &env->loopEnd)) {
          return false;
        }
      } else {
        size_t colon = t.text.find(':');
        if (colon == std::string::npos) return fail(t.column, "expected TICK:VALUE");
        Token a{t.text.substr(0, colon), t.column};
        Token b{t.text.substr(colon + 1), t.column + static_cast<int>(colon) + 1};
        int tick, value;
        if (!integer(a, 0, 65535, &tick) || !integer(b, 0, 64, &value)) return false;
        if (!env->points.empty() && tick <= env->points.back().tick) {
          return fail(t.column, "envelope ticks must increase");
        }
        if (env->points.size() == kEnvelopePoints) return fail(t.column, "more than 12 points");
        env->points.push_back({static_cast<uint16_t>(tick), static_cast<uint16_t>(value)});
      }
    }
    int count = static_cast<int>(env->points.size());
    if (count < 2) return fail(tokens_[0].column, "an envelope needs at least 2 points");
    if (env->sustain >= count) return fail(tokens_[0].column, "sustain point beyond the points");
    if (env->loopEnd >= count || env->loopStart > env->loopEnd) {
      return fail(tokens_[0].column, "loop points out of order or beyond the points");
    }
    return true;
  }

  bool instrumentLine() {
    InstrumentSpec& s = *instrument_;
    const std::string& w = tokens_[0].text;
    if (w == "end") {
      if (!arity(1, 1)) return false;
      if (s.oscillators.empty()) return fail(tokens_[0].column, "instrument has no 'wave'");
      if (s.loop != LoopMode::None && (s.loopEnd > s.length || s.loopStart >= s.loopEnd)) {
        return fail(tokens_[0].column, "loop outside the sample");
      }
      song_->synthesisFrames += int64_t{s.length} * static_cast<int64_t>(s.oscillators.size());
      if (song_->synthesisFrames > kMaxSynthesisFrames) {
        return fail(tokens_[0].column, "the instruments so far need " +
                                           std::to_string(song_->synthesisFrames) +
                                           " frames of oscillators; a song may use at most " +
                                           std::to_string(kMaxSynthesisFrames));
      }
      instrument_ = nullptr;
      return true;
    }
    if (w == "wave") {
      if (!arity(3, 5)) return false;
      Oscillator o;
      static const std::map<std::string, Wave> kWaves = {{"sine", Wave::Sine},
                                                         {"saw", Wave::Saw},
                                                         {"square", Wave::Square},
                                                         {"triangle", Wave::Triangle},
                                                         {"noise", Wave::Noise}};
      auto it = kWaves.find(tokens_[1].text);
      if (it == kWaves.end()) {
        return fail(tokens_[1].column, "expected sine, saw, square, triangle or noise");
      }
      o.wave = it->second;
      if (!number(tokens_[2], 0, 4, &o.level)) return false;
      if (tokens_.size() > 3) {
        if (tokens_[3].text != "harmonic" || tokens_.size() != 5) {
          return fail(tokens_[3].column, "expected 'harmonic N'");
        }
        if (!integer(tokens_[4], 1, 64, &o.harmonic)) return false;
      }
      s.oscillators.push_back(o);
      return true;
    }
    if (w == "period") return arity(2, 2) && integer(tokens_[1], 2, 4096, &s.period);
    if (w == "pitch") {
      if (!arity(2, 2)) return false;
      if (tokens_[1].text == "fixed")
        s.fixedPitch = true;
      else if (tokens_[1].text == "tuned")
        s.fixedPitch = false;
      else
        return fail(tokens_[1].column, "expected 'fixed' or 'tuned'");
      return true;
    }
    if (w == "length") return arity(2, 2) && integer(tokens_[1], 1, kMaxSampleFrames, &s.length);
    if (w == "amp") {
      return arity(5, 5) && integer(tokens_[1], 0, kMaxSampleFrames, &s.attack) &&
             integer(tokens_[2], 0, kMaxSampleFrames, &s.decay) &&
             number(tokens_[3], 0, 1, &s.sustain) &&
             integer(tokens_[4], 0, kMaxSampleFrames, &s.release);
    }
    if (w == "lowpass") return arity(2, 2) && number(tokens_[1], 0, 0.5, &s.lowpass);
    if (w == "highpass") return arity(2, 2) && number(tokens_[1], 0, 0.5, &s.highpass);
    if (w == "pitchdrop") {
      return arity(3, 3) && number(tokens_[1], 1, 64, &s.dropFactor) &&
             integer(tokens_[2], 1, kMaxSampleFrames, &s.dropFrames);
    }
    if (w == "loop") {
      if (!arity(2, 4)) return false;
      const std::string& kind = tokens_[1].text;
      if (kind == "none") {
        s.loop = LoopMode::None;
        return arity(2, 2);
      }
      if (kind != "forward" && kind != "pingpong") {
        return fail(tokens_[1].column, "expected none, forward or pingpong");
      }
      s.loop = kind == "forward" ? LoopMode::Forward : LoopMode::PingPong;
      return arity(4, 4) && integer(tokens_[2], 0, kMaxSampleFrames, &s.loopStart) &&
             integer(tokens_[3], 1, kMaxSampleFrames, &s.loopEnd);
    }
    if (w == "volume") return arity(2, 2) && integer(tokens_[1], 0, 64, &s.volume);
    if (w == "panning") return arity(2, 2) && integer(tokens_[1], 0, 255, &s.panning);
    if (w == "bits") {
      if (!arity(2, 2) || !integer(tokens_[1], 8, 16, &s.bits)) return false;
      if (s.bits != 8 && s.bits != 16) return fail(tokens_[1].column, "expected 8 or 16");
      return true;
    }
    if (w == "seed") {
      int seed;
      if (!arity(2, 2) || !integer(tokens_[1], 1, 0x7FFFFFFF, &seed)) return false;
      s.seed = static_cast<uint32_t>(seed);
      return true;
    }
    if (w == "fadeout") return arity(2, 2) && integer(tokens_[1], 0, 4095, &s.fadeout);
    if (w == "envelope") {
      if (!arity(2, 40)) return false;
      if (tokens_[1].text == "volume") return envelopeLine(&s.volumeEnvelope);
      if (tokens_[1].text == "panning") return envelopeLine(&s.panEnvelope);
      return fail(tokens_[1].column, "expected 'volume' or 'panning'");
    }
    return fail(tokens_[0].column, "unknown instrument setting '" + w + "'");
  }

  // Parses "C-4", "C#4", "---" (no note) or "===" / "OFF" (key off) into an XM note byte.
  bool note(const Token& t, uint8_t* out) {
    const std::string& s = t.text;
    if (s == "---" || s == "...") return *out = 0, true;
    if (s == "===" || s == "OFF") return *out = 97, true;
    static const char* kNames = "C-C#D-D#E-F-F#G-G#A-A#B-";
    if (s.size() == 3 && s[2] >= '0' && s[2] <= '7') {
      for (int i = 0; i < 12; ++i) {
        if (s[0] == kNames[2 * i] && s[1] == kNames[2 * i + 1]) {
          *out = static_cast<uint8_t>((s[2] - '0') * 12 + i + 1);
          return true;
        }
      }
    }
    return fail(t.column, "expected a note like C-4 or F#2, '---' or '==='");
  }
  bool hex(const Token& t, size_t from, int lo, int hi, int* out) {
    const std::string digits = t.text.substr(from);
    char* end = nullptr;
    long v = std::strtol(digits.c_str(), &end, 16);
    if (digits.size() != 2 || *end || v < lo || v > hi) return false;
    *out = static_cast<int>(v);
    return true;
  }
  bool cell(const std::vector<Token>& c, uint8_t* out) {
    if (c.size() > 4)
      return fail(c[4].column, "a cell has at most note, instrument, volume, effect");
    if (c.size() > 0 && !note(c[0], &out[0])) return false;
    if (c.size() > 1 && c[1].text != "..") {
      int v;
      if (!hex(c[1], 0, 1, 0x80, &v))
        return fail(c[1].column, "expected an instrument 01..80 (hex) or '..'");
      out[1] = static_cast<uint8_t>(v);
    }
    if (c.size() > 2 && c[2].text != "..") {
      int v;
      if (!hex(c[2], 0, 0, 0x40, &v))
        return fail(c[2].column, "expected a volume 00..40 (hex) or '..'");
      out[2] = static_cast<uint8_t>(0x10 + v);
    }
    if (c.size() > 3 && c[3].text != "...") {
      const std::string& e = c[3].text;
      int effect = -1, param;
      if (e.size() == 3) {
        char k = e[0];
        if (k >= '0' && k <= '9') effect = k - '0';
        if (k >= 'A' && k <= 'Z') effect = k - 'A' + 10;
      }
      if (effect < 0 || !hex(c[3], 1, 0, 255, &param)) {
        return fail(c[3].column, "expected an effect like A0F or F06, or '...'");
      }
      out[3] = static_cast<uint8_t>(effect);
      out[4] = static_cast<uint8_t>(param);
    }
    return true;
  }

  bool patternLine() {
    if (tokens_[0].text == "end") {
      pattern_ = nullptr;
      return arity(1, 1);
    }
    int row;
    if (!integer(tokens_[0], 0, pattern_->rows - 1, &row)) return false;
    std::vector<Token> c;
    int channel = 0;
    auto flush = [&]() {
      if (channel >= patternChannels_) {
        return fail(c.empty() ? tokens_.back().column : c[0].column, "more cells than channels");
      }
      bool ok = cell(c, &pattern_->cells[(size_t(row) * patternChannels_ + channel) * 5]);
      c.clear();
      ++channel;
      return ok;
    };
    for (size_t i = 1; i < tokens_.size(); ++i) {
      if (tokens_[i].text == "|") {
        if (!flush()) return false;
      } else {
        c.push_back(tokens_[i]);
      }
    }
    return c.empty() && channel > 0 ? true : flush();
  }

  SongSpec* song_;
  BuildError* error_;
  std::vector<Token> tokens_;
  int lineNumber_ = 0;
  InstrumentSpec* instrument_ = nullptr;
  PatternSpec* pattern_ = nullptr;
  int patternChannels_ = 0;
  int orderLine_ = 0;
  std::vector<int> orderColumns_;
  int restartLine_ = 0;
};

// ---------------------------------------------------------------------------------------------
// XM writer

class Writer {
 public:
  void u8(int v) { out.push_back(static_cast<uint8_t>(v)); }
  void u16(int v) {
    u8(v & 0xFF);
    u8((v >> 8) & 0xFF);
  }
  void u32(uint32_t v) {
    u16(static_cast<int>(v & 0xFFFF));
    u16(static_cast<int>(v >> 16));
  }
  void text(const std::string& s, size_t width, char pad = 0) {
    for (size_t i = 0; i < width; ++i) u8(i < s.size() ? s[i] : pad);
  }
  std::vector<uint8_t> out;
};

void writePattern(Writer& w, const PatternSpec& p, int channels) {
  std::vector<uint8_t> packed;
  for (size_t slot = 0; slot < size_t(p.rows) * channels; ++slot) {
    const uint8_t* c = &p.cells[slot * 5];
    uint8_t mask = 0;
    for (int f = 0; f < 5; ++f) {
      if (c[f]) mask |= static_cast<uint8_t>(1 << f);
    }
    if (mask == 0x1F) {
      packed.insert(packed.end(), c, c + 5);
    } else {
      packed.push_back(0x80 | mask);
      for (int f = 0; f < 5; ++f) {
        if (c[f]) packed.push_back(c[f]);
      }
    }
  }
  w.u32(9);
  w.u8(0);
  w.u16(p.rows);
  w.u16(static_cast<int>(packed.size()));
  w.out.insert(w.out.end(), packed.begin(), packed.end());
}

void writeEnvelope(Writer& w, const EnvelopeSpec& e) {
  for (int i = 0; i < kEnvelopePoints; ++i) {
    EnvelopePoint p = i < static_cast<int>(e.points.size()) ? e.points[i] : EnvelopePoint{};
    w.u16(p.tick);
    w.u16(p.value);
  }
}

uint8_t envelopeType(const EnvelopeSpec& e) {
  if (e.points.size() < 2) return 0;
  uint8_t t = kEnvelopeOn;
  if (e.sustain >= 0) t |= kEnvelopeSustain;
  if (e.loopStart >= 0) t |= kEnvelopeLoop;
  return t;
}

void writeInstrument(Writer& w, const InstrumentSpec& s) {
  if (!s.defined) {
    w.u32(29);
    w.text("", 22);
    w.u8(0);
    w.u16(0);
    return;
  }
  w.u32(263);
  w.text(s.name, 22);
  w.u8(0);
  w.u16(1);
  w.u32(40);
  for (int i = 0; i < 96; ++i) w.u8(0);
  writeEnvelope(w, s.volumeEnvelope);
  writeEnvelope(w, s.panEnvelope);
  w.u8(static_cast<int>(s.volumeEnvelope.points.size()));
  w.u8(static_cast<int>(s.panEnvelope.points.size()));
  w.u8(std::max(s.volumeEnvelope.sustain, 0));
  w.u8(std::max(s.volumeEnvelope.loopStart, 0));
  w.u8(std::max(s.volumeEnvelope.loopEnd, 0));
  w.u8(std::max(s.panEnvelope.sustain, 0));
  w.u8(std::max(s.panEnvelope.loopStart, 0));
  w.u8(std::max(s.panEnvelope.loopEnd, 0));
  w.u8(envelopeType(s.volumeEnvelope));
  w.u8(envelopeType(s.panEnvelope));
  w.u8(0);
  w.u8(0);
  w.u8(0);
  w.u8(0);
  w.u16(s.fadeout);
  w.text("", 22);  // reserved

  // Tuning: the base oscillator repeats every `period` frames, so C-4 plays middle C when the
  // sample runs at 261.63 x period Hz; relative note and finetune encode that rate.
  int relative = 0, finetune = 0;
  if (!s.fixedPitch) {
    double semitones = 12.0 * std::log2(kMiddleC * s.period / 8363.0);
    int total = static_cast<int>(std::lround(semitones * 128));
    relative = static_cast<int>(std::lround(total / 128.0));
    finetune = total - relative * 128;
  }
  const int bytesPerFrame = s.bits / 8;
  uint32_t loopStart = 0, loopLength = 0;
  uint8_t type = s.bits == 16 ? 0x10 : 0;
  if (s.loop != LoopMode::None) {
    loopStart = static_cast<uint32_t>(s.loopStart);
    loopLength = static_cast<uint32_t>(s.loopEnd - s.loopStart);
    type |= s.loop == LoopMode::Forward ? 1 : 2;
  }
  w.u32(static_cast<uint32_t>(s.length * bytesPerFrame));
  w.u32(loopStart * bytesPerFrame);
  w.u32(loopLength * bytesPerFrame);
  w.u8(s.volume);
  w.u8(finetune & 0xFF);
  w.u8(type);
  w.u8(s.panning);
  w.u8(relative & 0xFF);
  w.u8(0);
  w.text(s.name, 22);

  std::vector<int16_t> data = synthesise(s);
  int previous = 0;
  for (int16_t v : data) {
    if (s.bits == 16) {
      w.u16(static_cast<uint16_t>(v - previous));
      previous = v;
    } else {
      int b = v >> 8;
      w.u8((b - previous) & 0xFF);
      previous = b;
    }
  }
}

std::vector<uint8_t> writeSong(const SongSpec& song) {
  Writer w;
  w.text("Extended Module: ", 17);
  w.text(song.title, 20, ' ');
  w.u8(0x1A);
  w.text("glimmerc", 20, ' ');
  w.u16(0x0104);
  w.u32(276);
  w.u16(static_cast<int>(song.order.size()));
  w.u16(song.restart);
  w.u16(song.channels);
  w.u16(static_cast<int>(song.patterns.size()));
  w.u16(static_cast<int>(song.instruments.size()));
  w.u16(song.linear ? 1 : 0);
  w.u16(song.speed);
  w.u16(song.tempo);
  for (int i = 0; i < 256; ++i) w.u8(i < static_cast<int>(song.order.size()) ? song.order[i] : 0);
  for (const PatternSpec& p : song.patterns) {
    if (p.defined) {
      writePattern(w, p, song.channels);
    } else {
      PatternSpec empty;
      empty.rows = 64;
      empty.cells.assign(size_t(64) * song.channels * 5, 0);
      writePattern(w, empty, song.channels);
    }
  }
  for (const InstrumentSpec& s : song.instruments) writeInstrument(w, s);
  return w.out;
}

}  // namespace

bool buildSong(const std::string& source, std::vector<uint8_t>* xm, BuildError* error) {
  SongSpec song;
  BuildError local;
  Parser parser(&song, error ? error : &local);
  if (!parser.run(source)) return false;
  *xm = writeSong(song);
  return true;
}

}  // namespace glimmer::music
