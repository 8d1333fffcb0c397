// Checks what a sound server played against the offline render of the same song.
//   sound_check stamp OUT.raw: copies raw 16-bit stereo frames from standard input (parec's
//     output) into OUT.raw and writes OUT.raw.stamps, one line per read: "<monotonic ns> <frames
//     so far>". A frame cannot arrive before it was played, so the arrivals bound when it was.
//   sound_check now: prints the monotonic clock in seconds (the one the show's demo time 0 uses).
//   sound_check compare REC.raw REF.wav [--show-log SHOW.log] [--seconds S] [--max-offset-ms M]:
//     finds the song's first frame in the recording and walks on frame by frame: a skipped,
//     repeated or silenced stretch fails. The run from the song's start must cover S seconds
//     (11.9). With SHOW.log ("demo time 0 at T s") and the stamps, the time each whole second of
//     song was played must stay within M ms (40) of the demo time it belongs to.
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
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
// Frames a window must match exactly to fix an alignment (1.5 ms of music), and the step by
// which a search moves on over a stretch that matches nothing.
constexpr size_t kWindow = 64, kStep = 16;
// One stereo frame as a single value: left in the low half, right in the high half.
using Frames = std::vector<uint32_t>;

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "sound_check: %s\n", message.c_str());
  std::exit(2);
}

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) fail(path + ": cannot open");
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

Frames framesOf(const std::vector<uint8_t>& b, size_t at = 0, size_t bytes = SIZE_MAX) {
  Frames frames(std::min(bytes, b.size() - at) / 4);
  std::memcpy(frames.data(), b.data() + at, frames.size() * 4);
  return frames;
}

// The PCM of a 16-bit stereo 44100 Hz RIFF WAVE file.
Frames readWav(const std::string& path) {
  const std::vector<uint8_t> b = readFile(path);
  auto le = [&](size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + size_t(i)];
    return v;
  };
  auto bad = [&](size_t at, const char* what) {
    fail(path + ": offset " + std::to_string(at) + ": " + what);
  };
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) || std::memcmp(b.data() + 8, "WAVE", 4))
    bad(0, "not a RIFF WAVE file");
  bool formatSeen = false;
  for (size_t at = 12; at + 8 <= b.size(); at += 8 + le(at + 4, 4) + (le(at + 4, 4) & 1)) {
    const uint32_t size = le(at + 4, 4);
    if (size > b.size() - at - 8) bad(at, "chunk past end");
    if (!std::memcmp(b.data() + at, "fmt ", 4)) {
      if (size < 16 || le(at + 8, 2) != 1 || le(at + 10, 2) != 2 || le(at + 12, 4) != kRate ||
          le(at + 22, 2) != 16)
        bad(at, "not 16-bit stereo PCM at 44100 Hz");
      formatSeen = true;
    } else if (!std::memcmp(b.data() + at, "data", 4)) {
      if (!formatSeen) bad(at, "data before format");
      return framesOf(b, at + 8, size);
    }
  }
  fail(path + ": no data chunk");
}

double monotonicSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int stamp(const std::string& out) {
  std::FILE* raw = std::fopen(out.c_str(), "wb");
  std::FILE* stamps = std::fopen((out + ".stamps").c_str(), "w");
  if (!raw || !stamps) fail(out + ": cannot create");
  std::vector<uint8_t> buffer(1 << 16);
  unsigned long long bytes = 0;
  for (ssize_t n; (n = ::read(0, buffer.data(), buffer.size())) > 0;) {
    const auto ns =
        std::chrono::steady_clock::now().time_since_epoch() / std::chrono::nanoseconds(1);
    std::fwrite(buffer.data(), 1, size_t(n), raw);
    bytes += uint64_t(n);
    std::fprintf(stamps, "%lld %llu\n", static_cast<long long>(ns), bytes / 4);
  }
  std::fclose(raw);
  std::fclose(stamps);
  return 0;
}

// A stretch of the recording equal to one of the song: song frame = recording frame + offset.
struct Segment {
  size_t recStart = 0, recEnd = 0;  // recEnd: one past the last matching frame
  int64_t offset = 0;
  int64_t songStart() const { return int64_t(recStart) + offset; }
  int64_t songEnd() const { return int64_t(recEnd) + offset; }
};

// Splits the recording into stretches that each equal one stretch of the song. A window of the
// recording is looked for where the song should continue first, then from the song's start.
std::vector<Segment> align(const Frames& rec, const Frames& song) {
  std::vector<Segment> segments;
  size_t expect = 0;
  for (size_t at = 0; at + kWindow <= rec.size();) {
    if (std::all_of(rec.begin() + at, rec.begin() + at + kWindow, [](uint32_t v) { return !v; })) {
      ++at;  // silence fixes nothing
      continue;
    }
    const std::boyer_moore_horspool_searcher window(rec.begin() + at, rec.begin() + at + kWindow);
    auto match = std::search(song.begin() + std::min(expect, song.size()), song.end(), window);
    if (match == song.end() && expect > 0) match = std::search(song.begin(), song.end(), window);
    if (match == song.end()) {
      at += kStep;  // a stretch that matches is found again by backing over its start below
      continue;
    }
    Segment s{at, at, (match - song.begin()) - int64_t(at)};
    // Back over leading frames that still match, but not into the previous stretch.
    const size_t floor = segments.empty() ? 0 : segments.back().recEnd;
    while (s.recStart > floor && s.songStart() > 0 &&
           rec[s.recStart - 1] == song[size_t(s.songStart() - 1)])
      --s.recStart;
    while (s.recEnd < rec.size() && size_t(s.songEnd()) < song.size() &&
           rec[s.recEnd] == song[size_t(s.songEnd())])
      ++s.recEnd;
    segments.push_back(s);
    expect = size_t(s.songEnd());
    at = s.recEnd;
  }
  return segments;
}

// The earliest time recording frame r can have been played: every read that delivered it
// arrived after it was played, and later reads bound it through the frames that followed.
double playedAt(const std::vector<std::pair<double, uint64_t>>& stamps, uint64_t r) {
  double best = 1e300;
  for (const auto& [seconds, frames] : stamps) {
    if (frames <= r) continue;
    best = std::min(best, seconds - double(frames - r) / kRate);
    if (frames > r + kRate / 2) break;  // half a second of later reads is plenty
  }
  return best;
}

int compare(int argc, char** argv) {
  if (argc < 4) fail("usage: sound_check compare REC.raw REF.wav [options]");
  const std::string recPath = argv[2];
  std::map<std::string, std::string> o{
      {"--show-log", ""}, {"--seconds", "11.9"}, {"--max-offset-ms", "40"}};
  for (int i = 4; i + 1 < argc; i += 2) {
    if (!o.count(argv[i])) fail(std::string("unknown option ") + argv[i]);
    o[argv[i]] = argv[i + 1];
  }
  const std::string logPath = o["--show-log"];
  const double seconds = std::atof(o["--seconds"].c_str());
  const double maxOffsetMs = std::atof(o["--max-offset-ms"].c_str());
  const Frames rec = framesOf(readFile(recPath)), song = readWav(argv[3]);
  std::printf("recording: %zu frames (%.3f s); reference: %zu frames\n", rec.size(),
              double(rec.size()) / kRate, song.size());
  const std::vector<Segment> segments = align(rec, song);
  if (segments.empty()) return std::printf("FAIL: no stretch of the song found\n"), 1;
  for (const Segment& s : segments)
    std::printf("  recording %.4f..%.4f s = song %.4f..%.4f s\n", double(s.recStart) / kRate,
                double(s.recEnd) / kRate, double(s.songStart()) / kRate,
                double(s.songEnd()) / kRate);
  // The song's own leading silence cannot be told from the silence before it started.
  const auto songFirst =
      std::find_if(song.begin(), song.end(), [](uint32_t v) { return v; }) - song.begin();
  const Segment& first = segments.front();
  bool ok = first.songStart() <= songFirst;
  if (!ok)
    std::printf("FAIL: the recording starts at song frame %lld, not at the song's start\n",
                static_cast<long long>(first.songStart()));
  // Only a first stretch that begins at the song's start counts as heard from the start.
  const double run = ok ? double(first.songEnd()) / kRate : 0.0;
  std::printf("continuous from the song's start: %.4f s\n", run);
  if (run < seconds) {
    std::printf("FAIL: the song breaks off at %.4f s, wanted %.2f s\n", run, seconds);
    if (segments.size() > 1) {
      // After the break the song goes on elsewhere: a jump ahead is a skip, back a repeat.
      const Segment& next = segments[1];
      const int64_t jump = next.offset - first.offset;
      std::printf("  next: %lld frames of recording, then the song %s by %lld frames (%.1f ms)\n",
                  static_cast<long long>(next.recStart - first.recEnd),
                  jump >= 0 ? "skips ahead" : "goes back", static_cast<long long>(std::llabs(jump)),
                  std::fabs(double(jump)) * 1000 / kRate);
    }
    ok = false;
  }

  if (!logPath.empty()) {
    std::ifstream log(logPath), stampFile(recPath + ".stamps");
    double start = -1;
    for (std::string line; start < 0 && std::getline(log, line);)
      if (const size_t at = line.find("demo time 0 at "); at != std::string::npos)
        start = std::strtod(line.c_str() + at + 15, nullptr);
    if (start < 0)
      return std::printf("FAIL: %s does not say when demo time 0 was\n", logPath.c_str()), 1;
    if (!stampFile) fail(recPath + ".stamps: cannot open");
    std::vector<std::pair<double, uint64_t>> stamps;
    long long ns = 0;
    unsigned long long frames = 0;
    while (stampFile >> ns >> frames) stamps.push_back({ns / 1e9, frames});
    double worst = 0;
    std::printf("A/V offset (heard - demo time), per second of song:");
    for (int k = 0; double(k) <= std::min(run, seconds); ++k) {
      const int64_t songFrame = std::max<int64_t>(int64_t(k) * kRate, songFirst);
      const int64_t recFrame = songFrame - first.offset;
      if (recFrame < int64_t(first.recStart)) continue;
      const double offset =
          playedAt(stamps, uint64_t(recFrame)) - (start + double(songFrame) / kRate);
      std::printf(" %+.1f", offset * 1000);
      if (std::fabs(offset) > std::fabs(worst)) worst = offset;
    }
    std::printf(" ms\nlargest A/V offset: %+.1f ms (limit %.0f ms)\n", worst * 1000, maxOffsetMs);
    if (std::fabs(worst) * 1000 > maxOffsetMs) {
      std::printf("FAIL: pictures and sound out of step\n");
      ok = false;
    }
  }
  std::printf("%s\n", ok ? "PASS" : "FAIL");
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc >= 2 ? argv[1] : "";
  if (command == "stamp" && argc >= 3) return stamp(argv[2]);
  if (command == "now") return std::printf("%.6f\n", monotonicSeconds()) < 0;
  if (command == "compare") return compare(argc, argv);
  std::fprintf(stderr,
               "usage: sound_check stamp OUT.raw | now | compare REC.raw REF.wav "
               "[--show-log SHOW.log] [--seconds S] [--max-offset-ms M]\n");
  return 2;
}
