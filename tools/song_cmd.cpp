// glimmerc song: build (text notation to XM), render (offline to WAV), info and timeline.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "music/music.h"
#include "tools/compile/compile.h"
#include "tools/commands.h"

namespace glimmerc {

namespace {

namespace music = glimmer::music;

constexpr const char* kUsage =
    "usage: glimmerc song build SONG.txt -o OUT.xm\n"
    "       glimmerc song render IN.xm -o OUT.wav [--seconds N]\n"
    "       glimmerc song info IN.xm\n"
    "       glimmerc song timeline IN.xm [--max-seconds N]\n"
    "\n"
    "build     compiles the text song notation into an Extended Module\n"
    "render    renders the module with the player's own mixer (44100 Hz, 16-bit stereo) until\n"
    "          the song ends, or for N seconds\n"
    "info      prints channels, patterns, instruments, samples, length and the effects used\n"
    "timeline  prints one line per row start: frame<TAB>order<TAB>pattern<TAB>row, where frame\n"
    "          counts output frames at 44100 Hz\n";

constexpr double kDefaultMaxSeconds = 1800.0;

bool readFile(const std::string& path, std::vector<uint8_t>* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

int usage(const std::string& message) {
  if (!message.empty()) std::fprintf(stderr, "glimmerc song: %s\n", message.c_str());
  std::fputs(kUsage, stderr);
  return 2;
}

bool wantsHelp(const Args& args) {
  for (const auto& a : args) {
    if (a == "--help" || a == "-h") return true;
  }
  return false;
}

// Splits "IN [-o OUT] [--seconds N]"-style arguments; false on anything unknown.
struct Options {
  std::string input, output;
  double seconds = -1;
  double maxSeconds = kDefaultMaxSeconds;
};
bool parseOptions(const Args& args, Options* o, std::string* problem) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* v) {
      if (i + 1 >= args.size()) {
        *problem = a + " needs a value";
        return false;
      }
      *v = args[++i];
      return true;
    };
    std::string v;
    if (a == "-o") {
      if (!value(&o->output)) return false;
    } else if (a == "--seconds" || a == "--max-seconds") {
      if (!value(&v)) return false;
      char* end = nullptr;
      double d = std::strtod(v.c_str(), &end);
      if (end == v.c_str() || *end || !(d > 0) || d > 36000) {
        *problem = a + " needs a positive number of seconds";
        return false;
      }
      (a == "--seconds" ? o->seconds : o->maxSeconds) = d;
    } else if (!a.empty() && a[0] == '-') {
      *problem = "unknown option " + a;
      return false;
    } else if (o->input.empty()) {
      o->input = a;
    } else {
      *problem = "unexpected argument " + a;
      return false;
    }
  }
  if (o->input.empty()) {
    *problem = "missing input file";
    return false;
  }
  return true;
}

// Loads a module file; prints the error (FILE: offset N: error: ...) and returns null on failure.
music::SongPtr loadModule(const std::string& path, int* exitCode) {
  std::vector<uint8_t> bytes;
  if (!readFile(path, &bytes)) {
    std::fprintf(stderr, "%s: error: cannot read file\n", path.c_str());
    *exitCode = 1;
    return nullptr;
  }
  music::LoadError error;
  music::SongPtr song(music::loadSongFromMemory(bytes, &error));
  if (!song) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), error.describe().c_str());
    *exitCode = 1;
  }
  return song;
}

int buildCommand(const Options& o) {
  if (o.output.empty()) return usage("song build needs -o OUT.xm");
  std::ifstream in(o.input, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: error: cannot read file\n", o.input.c_str());
    return 1;
  }
  std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint8_t> xm;
  music::BuildError error;
  if (!music::buildSong(source, &xm, &error)) {
    std::fprintf(stderr, "%s:%d:%d: error: %s\n", o.input.c_str(), error.line, error.column,
                 error.message.c_str());
    return 1;
  }
  if (!writeFile(o.output, xm)) {
    std::fprintf(stderr, "%s: error: cannot write file\n", o.output.c_str());
    return 1;
  }
  return 0;
}

int renderCommand(const Options& o) {
  if (o.output.empty()) return usage("song render needs -o OUT.wav");
  int code = 0;
  music::SongPtr song = loadModule(o.input, &code);
  if (!song) return code;
  int64_t frames;
  if (o.seconds > 0) {
    frames = static_cast<int64_t>(o.seconds * music::kMixRate);
  } else {
    auto timeline =
        music::songTimeline(song.get(), static_cast<int64_t>(o.maxSeconds * music::kMixRate));
    frames = timeline.endFrame;
  }
  std::vector<int16_t> pcm(static_cast<size_t>(frames) * 2);
  music::startOffline(song.get());
  music::renderOffline(pcm);
  music::resetPlayer();
  if (!writeFile(o.output, music::encodeWav(pcm))) {
    std::fprintf(stderr, "%s: error: cannot write file\n", o.output.c_str());
    return 1;
  }
  return 0;
}

std::string effectName(int effect) {
  static const char* kNames[] = {"arpeggio",
                                 "portamento up",
                                 "portamento down",
                                 "tone portamento",
                                 "vibrato",
                                 "tone porta + volume slide",
                                 "vibrato + volume slide",
                                 "tremolo",
                                 "set panning",
                                 "sample offset",
                                 "volume slide",
                                 "position jump",
                                 "set volume",
                                 "pattern break",
                                 "extended",
                                 "speed/tempo",
                                 "global volume",
                                 "global volume slide",
                                 "",
                                 "",
                                 "key off",
                                 "envelope position",
                                 "",
                                 "",
                                 "",
                                 "panning slide",
                                 "",
                                 "retrigger",
                                 "",
                                 "tremor",
                                 "",
                                 "",
                                 "",
                                 "extra fine portamento"};
  if (effect < static_cast<int>(std::size(kNames)) && kNames[effect][0]) return kNames[effect];
  return "unknown";
}

char effectLetter(int effect) {
  return static_cast<char>(effect < 10 ? '0' + effect : 'A' + effect - 10);
}

bool effectSupported(int effect) {
  switch (effect) {
    case 0x0:
    case 0x1:
    case 0x2:
    case 0x3:
    case 0x5:
    case 0x8:
    case 0xA:
    case 0xD:
    case 0xF:
    case 0x14:
    case 0x1B:
      return true;
    default:
      return false;
  }
}

int infoCommand(const Options& o) {
  int code = 0;
  music::SongPtr song = loadModule(o.input, &code);
  if (!song) return code;
  int samples = 0;
  for (const auto& inst : song->instruments) samples += static_cast<int>(inst.sampleCount);
  auto timeline =
      music::songTimeline(song.get(), static_cast<int64_t>(o.maxSeconds * music::kMixRate));
  std::set<int> effects;
  std::set<int> extended;
  std::set<int> volumeColumn;
  for (const auto& pattern : song->patterns) {
    for (size_t i = 0; i + 4 < pattern.notes.size(); i += 5) {
      int effect = pattern.notes[i + 3], param = pattern.notes[i + 4];
      if (effect != 0 || param != 0) effects.insert(effect);
      if (effect == 0xE) extended.insert(param >> 4);
      if (pattern.notes[i + 2] >= 0x10) volumeColumn.insert(pattern.notes[i + 2] >> 4);
    }
  }
  std::printf("title: %s\n", song->name.c_str());
  std::printf("channels: %d\n", song->channelCount);
  std::printf("patterns: %d (order list names %d, %d slots)\n",
              static_cast<int>(song->patterns.size()), song->patternsUsed, song->patternSlots);
  std::printf("instruments: %d\n", song->instrumentCount);
  std::printf("samples: %d\n", samples);
  std::printf("song length: %d orders, restart at %d\n", song->songLength, song->restartPosition);
  std::printf("frequency table: %s\n", song->linear() ? "linear" : "amiga");
  std::printf("speed: %d, tempo: %d\n", song->defaultSpeed, song->defaultTempo);
  std::printf("length: %.3f s (%lld frames)%s\n",
              static_cast<double>(timeline.endFrame) / music::kMixRate,
              static_cast<long long>(timeline.endFrame),
              timeline.ended ? "" : " or more: the song did not end within the limit");
  std::printf("effects:\n");
  for (int e : effects) {
    if (e == 0xE && !extended.empty()) continue;  // listed by sub-effect below
    std::printf("  %c %s%s\n", effectLetter(e), effectName(e).c_str(),
                effectSupported(e) ? "" : " (ignored)");
  }
  for (int x : extended) std::printf("  E%X (ignored)\n", x);
  if (!volumeColumn.empty()) {
    std::printf("volume column:");
    for (int v : volumeColumn) std::printf(" %X", v);
    std::printf("\n");
  }
  music::resetPlayer();
  return 0;
}

int timelineCommand(const Options& o) {
  int code = 0;
  music::SongPtr song = loadModule(o.input, &code);
  if (!song) return code;
  auto timeline =
      music::songTimeline(song.get(), static_cast<int64_t>(o.maxSeconds * music::kMixRate));
  for (const auto& r : timeline.rows) {
    std::printf("%lld\t%d\t%d\t%d\n", static_cast<long long>(r.frame), r.order, r.pattern, r.row);
  }
  music::resetPlayer();
  return 0;
}

}  // namespace

int songCommand(const Args& args) {
  if (args.empty()) return usage("missing subcommand");
  if (args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (wantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  Options o;
  std::string problem;
  const std::string& sub = args[0];
  if (sub != "build" && sub != "render" && sub != "info" && sub != "timeline") {
    return usage("unknown subcommand " + sub);
  }
  if (!parseOptions(args, &o, &problem)) return usage(problem);
  if (sub == "build") return buildCommand(o);
  if (sub == "render") return renderCommand(o);
  if (sub == "info") return infoCommand(o);
  return timelineCommand(o);
}

}  // namespace glimmerc
