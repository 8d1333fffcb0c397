// Checks what a sound server played against the offline render of the same song.
//
//   sound_check stamp OUT.raw
//       Copies raw 16-bit stereo frames from standard input (parec's output) into OUT.raw and
//       writes OUT.raw.stamps: one line per read, "<monotonic ns> <frames so far>". A frame
//       cannot arrive before the server has played it, so the earliest arrivals bound when each
//       frame was played.
//   sound_check now
//       Prints the monotonic clock in seconds (the clock the show reports demo time 0 on).
//   sound_check compare REC.raw REF.wav [--show-log SHOW.log] [--seconds S] [--max-offset-ms M]
//       Finds the song's first frame in the recording, then walks the recording frame by frame
//       against the render: any skipped, repeated or silenced stretch is reported and fails.
//       The continuous run must cover at least S seconds of the song (default 11.9). With the
//       demo-time-0 instant from SHOW.log ("demo time 0 at T s", monotonic) and the stamps, the
//       time each whole second of song was played is compared with the demo time it belongs to;
//       every offset must stay within M ms (default 40).
// Exit status: 0 pass, 1 check failed, 2 usage or unreadable input.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kRate = 44100;
// Frames a window must match exactly to fix an alignment: 1.5 ms of music.
constexpr size_t kWindow = 64;
constexpr size_t kStride = 16;

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "sound_check: %s\n", message.c_str());
  std::exit(2);
}

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) fail(path + ": cannot open");
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// One stereo frame as a single value: left in the low half, right in the high half.
std::vector<uint32_t> framesOf(const uint8_t* data, size_t bytes) {
  std::vector<uint32_t> frames(bytes / 4);
  std::memcpy(frames.data(), data, frames.size() * 4);
  return frames;
}

// The PCM of a 16-bit stereo 44100 Hz RIFF WAVE file.
std::vector<uint32_t> readWav(const std::string& path) {
  const std::vector<uint8_t> b = readFile(path);
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) || std::memcmp(b.data() + 8, "WAVE", 4))
    fail(path + ": offset 0: not a RIFF WAVE file");
  bool formatSeen = false;
  for (size_t at = 12; at + 8 <= b.size();) {
    const uint32_t size = le32(b, at + 4);
    if (size > b.size() - at - 8)
      fail(path + ": offset " + std::to_string(at) + ": chunk past end");
    if (!std::memcmp(b.data() + at, "fmt ", 4)) {
      if (size < 16 || (b[at + 8] | b[at + 9] << 8) != 1 || (b[at + 10] | b[at + 11] << 8) != 2 ||
          le32(b, at + 12) != kRate || (b[at + 22] | b[at + 23] << 8) != 16)
        fail(path + ": offset " + std::to_string(at) + ": not 16-bit stereo PCM at 44100 Hz");
      formatSeen = true;
    } else if (!std::memcmp(b.data() + at, "data", 4)) {
      if (!formatSeen) fail(path + ": offset " + std::to_string(at) + ": data before format");
      return framesOf(b.data() + at + 8, size);
    }
    at += 8 + size + (size & 1);
  }
  fail(path + ": no data chunk");
}

int64_t monotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int stamp(const std::string& out) {
  std::FILE* raw = std::fopen(out.c_str(), "wb");
  std::FILE* stamps = std::fopen((out + ".stamps").c_str(), "w");
  if (!raw || !stamps) fail(out + ": cannot create");
  std::vector<uint8_t> buffer(1 << 16);
  uint64_t bytes = 0;
  for (;;) {
    const ssize_t n = ::read(0, buffer.data(), buffer.size());
    if (n <= 0) break;
    const int64_t now = monotonicNs();
    std::fwrite(buffer.data(), 1, size_t(n), raw);
    bytes += uint64_t(n);
    std::fprintf(stamps, "%lld %llu\n", static_cast<long long>(now),
                 static_cast<unsigned long long>(bytes / 4));
  }
  std::fclose(raw);
  std::fclose(stamps);
  return 0;
}

// Where the recording's frames stand against the song: song frame = recording frame + offset.
struct Segment {
  size_t recStart = 0;
  size_t recEnd = 0;  // one past the last matching frame
  int64_t offset = 0;
};

class Aligner {
 public:
  // Every kStride-th song frame is indexed; a search that moves on frame by frame meets one of
  // them within kStride frames of any match.
  explicit Aligner(const std::vector<uint32_t>& song) : song_(song) {
    for (size_t i = 0; i + kWindow <= song.size(); i += kStride)
      if (!silent(song, i)) index_.emplace(hash(song, i), i);
  }
  // Song frames whose next kWindow frames equal the recording's at rec, nearest to near first.
  std::optional<size_t> find(const std::vector<uint32_t>& rec, size_t at, int64_t near) const {
    auto [first, last] = index_.equal_range(hash(rec, at));
    std::optional<size_t> best;
    for (auto it = first; it != last; ++it) {
      if (!std::equal(rec.begin() + at, rec.begin() + at + kWindow, song_.begin() + it->second))
        continue;
      if (!best || std::llabs(int64_t(it->second) - near) < std::llabs(int64_t(*best) - near))
        best = it->second;
    }
    return best;
  }
  static bool silent(const std::vector<uint32_t>& f, size_t at) {
    return std::all_of(f.begin() + at, f.begin() + at + kWindow, [](uint32_t v) { return !v; });
  }

 private:
  static uint64_t hash(const std::vector<uint32_t>& f, size_t at) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < kWindow; ++i) h = (h ^ f[at + i]) * 1099511628211ull;
    return h;
  }
  const std::vector<uint32_t>& song_;
  std::unordered_multimap<uint64_t, size_t> index_;
};

// Splits the recording into stretches that each equal one stretch of the song.
std::vector<Segment> align(const std::vector<uint32_t>& rec, const std::vector<uint32_t>& song) {
  Aligner aligner(song);
  std::vector<Segment> segments;
  size_t at = 0;
  int64_t expect = 0;  // where the song should continue
  while (at + kWindow <= rec.size()) {
    if (Aligner::silent(rec, at)) {
      ++at;
      continue;
    }
    const std::optional<size_t> match = aligner.find(rec, at, expect);
    if (!match) {
      ++at;
      continue;
    }
    Segment s{at, at, int64_t(*match) - int64_t(at)};
    // Back over leading frames that still match (a window may start mid-way into silence).
    while (s.recStart > 0 && int64_t(s.recStart) + s.offset > 0 &&
           rec[s.recStart - 1] == song[size_t(int64_t(s.recStart) - 1 + s.offset)])
      --s.recStart;
    if (!segments.empty()) s.recStart = std::max(s.recStart, segments.back().recEnd);
    while (s.recEnd < rec.size() && size_t(int64_t(s.recEnd) + s.offset) < song.size() &&
           rec[s.recEnd] == song[size_t(int64_t(s.recEnd) + s.offset)])
      ++s.recEnd;
    segments.push_back(s);
    expect = int64_t(s.recEnd) + s.offset;
    at = s.recEnd;
  }
  return segments;
}

// Monotonic seconds of demo time 0 from the show's log.
std::optional<double> demoStart(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const size_t at = line.find("demo time 0 at ");
    if (at != std::string::npos) return std::strtod(line.c_str() + at + 15, nullptr);
  }
  return std::nullopt;
}

struct Stamp {
  double seconds;
  uint64_t frames;
};

std::vector<Stamp> readStamps(const std::string& path) {
  std::ifstream in(path);
  if (!in) fail(path + ": cannot open");
  std::vector<Stamp> stamps;
  long long ns = 0;
  unsigned long long frames = 0;
  while (in >> ns >> frames) stamps.push_back({ns / 1e9, frames});
  return stamps;
}

// The earliest time recording frame r can have been played: every read that delivered it
// arrived after it was played, and later reads bound it through the frames that followed.
double playedAt(const std::vector<Stamp>& stamps, uint64_t r) {
  double best = 1e300;
  for (const Stamp& s : stamps) {
    if (s.frames <= r) continue;
    best = std::min(best, s.seconds - double(s.frames - r) / kRate);
    if (s.frames > r + kRate / 2) break;  // half a second of later reads is plenty
  }
  return best;
}

int compare(int argc, char** argv) {
  if (argc < 4) fail("usage: sound_check compare REC.raw REF.wav [options]");
  const std::string recPath = argv[2], refPath = argv[3];
  std::string logPath;
  double seconds = 11.9, maxOffsetMs = 40;
  for (int i = 4; i + 1 < argc; i += 2) {
    const std::string o = argv[i];
    if (o == "--show-log")
      logPath = argv[i + 1];
    else if (o == "--seconds")
      seconds = std::atof(argv[i + 1]);
    else if (o == "--max-offset-ms")
      maxOffsetMs = std::atof(argv[i + 1]);
    else
      fail("unknown option " + o);
  }
  const std::vector<uint8_t> recBytes = readFile(recPath);
  const std::vector<uint32_t> rec = framesOf(recBytes.data(), recBytes.size());
  const std::vector<uint32_t> song = readWav(refPath);
  std::printf("recording: %zu frames (%.3f s); reference: %zu frames\n", rec.size(),
              double(rec.size()) / kRate, song.size());

  const std::vector<Segment> segments = align(rec, song);
  bool ok = true;
  if (segments.empty()) {
    std::printf("FAIL: no stretch of the song found in the recording\n");
    return 1;
  }
  for (const Segment& s : segments)
    std::printf("  recording %.4f..%.4f s = song %.4f..%.4f s\n", double(s.recStart) / kRate,
                double(s.recEnd) / kRate, double(int64_t(s.recStart) + s.offset) / kRate,
                double(int64_t(s.recEnd) + s.offset) / kRate);
  // The song's own leading silence cannot be told from the silence before it started.
  const size_t songFirst = size_t(
      std::find_if(song.begin(), song.end(), [](uint32_t v) { return v != 0; }) - song.begin());
  const Segment& first = segments.front();
  const int64_t firstSong = int64_t(first.recStart) + first.offset;
  if (firstSong > int64_t(songFirst)) {
    std::printf("FAIL: the recording starts at song frame %lld, not at the song's start\n",
                static_cast<long long>(firstSong));
    ok = false;
  }
  // Only a first stretch that begins at the song's start counts as heard from the start.
  const double run = ok ? double(int64_t(first.recEnd) + first.offset) / kRate : 0.0;
  std::printf("continuous from the song's start: %.4f s (%lld frames)\n", run,
              static_cast<long long>(std::llround(run * kRate)));
  if (run < seconds) {
    const bool more = segments.size() > 1;
    std::printf("FAIL: the song breaks off at %.4f s, wanted %.2f s%s\n", run, seconds,
                more ? "" : " (nothing more of it was recorded)");
    if (more) {
      const Segment& next = segments[1];
      const int64_t gap =
          (int64_t(next.recStart) + next.offset) - (int64_t(first.recEnd) + first.offset);
      const int64_t recGap = int64_t(next.recStart) - int64_t(first.recEnd);
      std::printf("  next: %lld frames of recording, then the song %s by %lld frames (%.1f ms)\n",
                  static_cast<long long>(recGap), gap - recGap >= 0 ? "skips ahead" : "goes back",
                  static_cast<long long>(std::llabs(gap - recGap)),
                  std::fabs(double(gap - recGap)) * 1000 / kRate);
    }
    ok = false;
  }

  if (logPath.empty()) {
    std::printf("%s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
  }
  const std::optional<double> start = demoStart(logPath);
  if (!start) {
    std::printf("FAIL: %s does not say when demo time 0 was\n", logPath.c_str());
    return 1;
  }
  const std::vector<Stamp> stamps = readStamps(recPath + ".stamps");
  double worst = 0;
  std::printf("A/V offset (heard - demo time), per second of song:");
  for (int k = 0; double(k) <= std::min(run, seconds); ++k) {
    const int64_t songFrame = std::max<int64_t>(int64_t(k) * kRate, int64_t(songFirst));
    const int64_t recFrame = songFrame - first.offset;
    if (recFrame < int64_t(first.recStart)) continue;
    const double offset =
        playedAt(stamps, uint64_t(recFrame)) - (*start + double(songFrame) / kRate);
    std::printf(" %+.1f", offset * 1000);
    if (std::fabs(offset) > std::fabs(worst)) worst = offset;
  }
  std::printf(" ms\nlargest A/V offset: %+.1f ms (limit %.0f ms)\n", worst * 1000, maxOffsetMs);
  if (std::fabs(worst) * 1000 > maxOffsetMs) {
    std::printf("FAIL: pictures and sound out of step\n");
    ok = false;
  }
  std::printf("%s\n", ok ? "PASS" : "FAIL");
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "stamp") return stamp(argv[2]);
  if (argc >= 2 && std::string(argv[1]) == "now") {
    std::printf("%.6f\n", double(monotonicNs()) / 1e9);
    return 0;
  }
  if (argc >= 2 && std::string(argv[1]) == "compare") return compare(argc, argv);
  std::fprintf(stderr,
               "usage: sound_check stamp OUT.raw\n"
               "       sound_check now\n"
               "       sound_check compare REC.raw REF.wav [--show-log SHOW.log] [--seconds S] "
               "[--max-offset-ms M]\n");
  return 2;
}
