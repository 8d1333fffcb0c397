// Offline modes: --frame writes one PNG, --capture writes PNG frames or an MP4 (through ffmpeg,
// with the music rendered offline and muxed in), --bench measures frame times.
//
// Demo time never comes from the clock here: a counter that the loop advances by exact amounts
// feeds the timeline's DemoClock, so every frame step is exactly 1/fps and the same command
// gives the same pixels. The order of one frame is the main loop's: the timeline's step(), then
// the frame is rendered.
#include "app/offline.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/shell.h"
#include "music/music.h"
#include "platform/gl.h"
#include "platform/platform.h"
#include "render/render.h"
#include "resources/resources.h"
#include "texgen/texgen.h"

namespace app {

namespace {

// ---------------------------------------------------------------------------------------------
// Fixed-step demo clock

// The DemoClock divides counter ticks by frequency / 256; with frequency = fps * 256 and 256
// ticks per frame every step is the single-precision 1 / fps exactly.
constexpr uint64_t kTicksPerFrame = 256;
uint64_t gTicks = 0;
uint64_t gFrequency = kDefaultFps * kTicksPerFrame;

uint64_t offlineCounter() { return gTicks; }
uint64_t offlineFrequency() { return gFrequency; }

void installFixedClock(int fps) {
  gTicks = 0;
  gFrequency = static_cast<uint64_t>(fps) * kTicksPerFrame;
  glimmer::setCounterSource({offlineCounter, offlineFrequency});
}

// One frame step of the main loop: time advances by `frames` steps of 1 / fps (0: an update
// at the current time), then every active entity is updated.
void stepFrames(uint64_t frames) {
  gTicks += frames * kTicksPerFrame;
  glimmer::timeline->step();
}

// Starts the timeline of content just loaded on the fixed clock: frame 0, every entity updated
// at demo time 0.
void startFixedTimeline(int fps) {
  installFixedClock(fps);
  // The timeline's clock was made before this run's counter existed for it: take it again.
  glimmer::timeline->clock = glimmer::DemoClock();
  glimmer::timeline->start();
  stepFrames(0);
}

void fail(const std::string& line) { std::fprintf(stderr, "glimmer: %s\n", line.c_str()); }

// ---------------------------------------------------------------------------------------------
// Start-up and teardown shared by the three modes

bool startOffline(const Options& options) {
  screenWidth = options.width > 0 ? options.width : 640;
  screenHeight = options.height > 0 ? options.height : 480;
  fullScreen = false;
  installFixedClock(options.fps);
  platform::prepareOfflineVideo(options.mode == RunMode::Bench);
  std::string failure;
  if (!openShowWindow(failure)) {
    fail(failure);
    platform::stopVideo();
    return false;
  }
  if (!loadContent(options, false, failure)) {
    fail(failure);
    closeShow();
    return false;
  }
  startFixedTimeline(options.fps);
  return true;
}

// Frame k of the run lies at demo time k / fps.
int64_t firstFrameAtOrAfter(float seconds, int fps) {
  return std::max<int64_t>(
      0, static_cast<int64_t>(std::ceil(static_cast<double>(seconds) * fps - 1e-6)));
}
int64_t lastFrameAtOrBefore(float seconds, int fps) {
  return static_cast<int64_t>(std::floor(static_cast<double>(seconds) * fps + 1e-6));
}

// Steps from frame `current` to frame `target` without rendering, except the frame just before
// the target, which is rendered so that the projection carried from frame to frame and the
// frame copy are those of a run that drew every frame.
void advanceTo(int64_t& current, int64_t target) {
  while (current < target && glimmer::timeline->running) {
    stepFrames(1);
    ++current;
    if (current == target - 1) render::renderFrame();
  }
}

// RGBA rows of the frame just rendered, bottom row first (as OpenGL reads them).
void readFrame(std::vector<uint8_t>& rgba) {
  rgba.resize(static_cast<size_t>(screenWidth) * static_cast<size_t>(screenHeight) * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, screenWidth, screenHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
}

bool writePng(const std::string& path, std::vector<uint8_t>& rgba) {
  // PNG rows run from the top; the surface has no alpha channel, so alpha is made opaque.
  const size_t row = static_cast<size_t>(screenWidth) * 4;
  std::vector<uint8_t> flipped(rgba.size());
  for (int y = 0; y < screenHeight; ++y)
    std::memcpy(flipped.data() + row * static_cast<size_t>(y),
                rgba.data() + row * static_cast<size_t>(screenHeight - 1 - y), row);
  for (size_t i = 3; i < flipped.size(); i += 4) flipped[i] = 255;
  return glimmer::writePngRgba(path.c_str(), screenWidth, screenHeight, flipped.data());
}

// ---------------------------------------------------------------------------------------------
// --frame T --out FILE.png

int runFrame(const Options& options) {
  if (!startOffline(options)) return kExitFailure;
  std::vector<uint8_t> rgba;
  const int64_t frame = renderFrameFromStart(options.frameTime, options.fps, rgba);
  const float shown = glimmer::timeline->time;
  const bool ok = writePng(options.outFile, rgba);
  closeShow();
  if (!ok) {
    fail("cannot write " + options.outFile);
    return kExitFailure;
  }
  std::error_code ec;
  const std::string where = std::filesystem::absolute(options.outFile, ec).string();
  std::printf("glimmer: frame %lld at demo time %.4f s (%dx%d) written to %s\n",
              static_cast<long long>(frame), static_cast<double>(shown), screenWidth, screenHeight,
              ec ? options.outFile.c_str() : where.c_str());
  return kExitOk;
}

// ---------------------------------------------------------------------------------------------
// --capture DIR|FILE.mp4

bool endsWithMp4(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".mp4";
}

bool haveFfmpeg() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

// The music of frames first .. last (inclusive) rendered offline, as a WAV file next to the
// video; empty path when there is no music to add.
std::string renderMusicWav(const Options& options, int64_t first, int64_t last,
                           const std::string& videoPath) {
  std::span<const uint8_t> module;
  std::string failure;
  if (!resourceBytes(resources::kMusicModule, options.musicFile, module, failure) ||
      module.empty()) {
    fail("no music for the video: " +
         (failure.empty() ? std::string("the module is empty") : failure));
    return {};
  }
  glimmer::music::LoadError error;
  glimmer::music::SongPtr song(glimmer::music::loadSongFromMemory(module, &error));
  if (!song || !glimmer::music::startOffline(song.get())) {
    fail("no music for the video: " + error.describe());
    return {};
  }
  const auto frameAt = [&](int64_t videoFrame) {
    return static_cast<int64_t>(
        std::llround(static_cast<double>(videoFrame) * glimmer::music::kMixRate / options.fps));
  };
  const int64_t begin = frameAt(first), end = frameAt(last + 1);
  std::vector<int16_t> samples(static_cast<size_t>(end) * 2);
  constexpr size_t kBlock = 4096;  // stereo frames per call, as a device would ask for them
  for (size_t at = 0; at < samples.size(); at += kBlock * 2)
    glimmer::music::renderOffline(
        std::span<int16_t>(samples).subspan(at, std::min(kBlock * 2, samples.size() - at)));
  const auto wav = glimmer::music::encodeWav(
      std::span<const int16_t>(samples).subspan(static_cast<size_t>(begin) * 2));
  const std::string path = videoPath + ".music.wav";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(wav.data(), 1, wav.size(), f) != wav.size()) {
    if (f) std::fclose(f);
    fail("cannot write " + path);
    return {};
  }
  std::fclose(f);
  return path;
}

std::string shellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The frames of --from/--to at the options' frame rate; false (with the message printed) when
// the range holds none.
bool frameRange(const Options& options, const char* what, int64_t& first, int64_t& last) {
  const float from = options.from.value_or(0.0f);
  const float to = std::min(options.to.value_or(glimmer::kShowLength), glimmer::kShowLength);
  first = firstFrameAtOrAfter(from, options.fps);
  last = lastFrameAtOrBefore(to, options.fps);
  if (last < first) {
    fail(std::string("nothing to ") + what + " between --from and --to");
    return false;
  }
  return true;
}

int runCapture(const Options& options) {
  const bool video = endsWithMp4(options.capturePath);
  if (video && !haveFfmpeg()) {
    fail("--capture " + options.capturePath +
         " needs ffmpeg, which is not installed (apt-get install ffmpeg); --capture DIR writes PNG "
         "frames instead");
    return kExitFailure;
  }
  if (!video) {
    std::error_code ec;
    std::filesystem::create_directories(options.capturePath, ec);
    if (ec) {
      fail("cannot create " + options.capturePath + ": " + ec.message());
      return kExitFailure;
    }
  }
  int64_t first = 0, last = 0;
  if (!frameRange(options, "capture", first, last)) return kExitUsage;
  if (!startOffline(options)) return kExitFailure;

  FILE* pipe = nullptr;
  std::string wavPath;
  if (video) {
    wavPath = renderMusicWav(options, first, last, options.capturePath);
    const std::string command =
        "ffmpeg -y -loglevel error -f rawvideo -pix_fmt rgba -s " + std::to_string(screenWidth) +
        "x" + std::to_string(screenHeight) + " -r " + std::to_string(options.fps) + " -i -" +
        (wavPath.empty() ? std::string() : " -i " + shellQuote(wavPath)) +
        " -vf vflip -c:v libx264 -preset medium -crf 18 -pix_fmt yuv420p" +
        (wavPath.empty() ? std::string() : " -c:a aac -b:a 192k -shortest") +
        " -movflags +faststart " + shellQuote(options.capturePath);
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);  // an ffmpeg that quits shows up as a failed write instead
#endif
    pipe = popen(command.c_str(), "w");
    if (!pipe) {
      fail("cannot start ffmpeg");
      closeShow();
      return kExitFailure;
    }
  }

  int64_t frame = 0;
  advanceTo(frame, first);
  std::vector<uint8_t> rgba;
  bool ok = true;
  int64_t written = 0;
  for (; frame <= last && ok;) {
    render::renderFrame();
    readFrame(rgba);
    if (video) {
      ok = std::fwrite(rgba.data(), 1, rgba.size(), pipe) == rgba.size();
      if (!ok) fail("ffmpeg stopped reading frames");
    } else {
      char name[32];
      std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(frame));
      const std::string path = (std::filesystem::path(options.capturePath) / name).string();
      ok = writePng(path, rgba);
      if (!ok) fail("cannot write " + path);
    }
    ++written;
    if (written % (10 * options.fps) == 0)
      std::fprintf(stderr, "glimmer: captured %lld of %lld frames\n",
                   static_cast<long long>(written), static_cast<long long>(last - first + 1));
    if (frame == last || !glimmer::timeline->running) break;
    stepFrames(1);
    ++frame;
  }
  closeShow();
  if (pipe && pclose(pipe) != 0 && ok) {
    fail("ffmpeg failed to write " + options.capturePath);
    ok = false;
  }
  if (!wavPath.empty()) std::remove(wavPath.c_str());
  if (!ok) return kExitFailure;
  std::error_code ec;
  const std::string where = std::filesystem::absolute(options.capturePath, ec).string();
  std::printf("glimmer: %lld frames (%.3f s to %.3f s at %d fps, %dx%d%s) written to %s\n",
              static_cast<long long>(written), static_cast<double>(first) / options.fps,
              static_cast<double>(first + written - 1) / options.fps, options.fps, screenWidth,
              screenHeight, video && !wavPath.empty() ? ", with music" : "",
              ec ? options.capturePath.c_str() : where.c_str());
  return kExitOk;
}

// ---------------------------------------------------------------------------------------------
// --bench

struct SceneTimes {
  std::vector<double> ms;
  double worst = 0.0;
  float worstAt = 0.0f;
};

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const size_t i =
      std::min(v.size() - 1, static_cast<size_t>(std::ceil(p * static_cast<double>(v.size())) - 1));
  return v[i];
}

int runBench(const Options& options) {
  int64_t first = 0, last = 0;
  if (!frameRange(options, "measure", first, last)) return kExitUsage;
  if (!startOffline(options)) return kExitFailure;
  // The precalculation figure runs from process start to the end of the show's first frame.
  // When the measured range starts later that frame is not drawn: the figure then ends when the
  // content is built, before the steps to the range.
  double precalcMs = first == 0 ? -1.0 : platform::msSinceProcessStart();
  const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  int64_t frame = 0;
  advanceTo(frame, first);
  std::vector<double> all;
  std::map<int32_t, SceneTimes> scenes;
  const double tick = 1000.0 / static_cast<double>(platform::counterFrequency());
  double cpuStartMs = -1.0;  // process CPU time (all threads) when the first frame ended
  for (;;) {
    const uint64_t t0 = platform::counter();
    render::renderFrame();
    platform::swapBuffers();
    glFinish();
    const double ms = static_cast<double>(platform::counter() - t0) * tick;
    if (precalcMs < 0.0) precalcMs = platform::msSinceProcessStart();
    if (cpuStartMs < 0.0) cpuStartMs = platform::processCpuMs();
    all.push_back(ms);
    SceneTimes& s = scenes[glimmer::timeline->currentScene];
    s.ms.push_back(ms);
    if (ms > s.worst) {
      s.worst = ms;
      s.worstAt = glimmer::timeline->time;
    }
    if (frame == last || !glimmer::timeline->running) break;
    if (platform::escapePressed()) break;
    platform::takeMessage();
    stepFrames(1);
    ++frame;
  }
  const double cpuMs = platform::processCpuMs() - cpuStartMs;
  closeShow();
  double sum = 0.0;
  for (double v : all) sum += v;
  const double mean = sum / static_cast<double>(all.size());
  int32_t slowest = -1;
  double slowestMean = -1.0;
  for (const auto& [index, s] : scenes) {
    double t = 0.0;
    for (double v : s.ms) t += v;
    t /= static_cast<double>(s.ms.size());
    if (t > slowestMean) {
      slowestMean = t;
      slowest = index;
    }
  }
  std::printf("precalc  %.0f ms\n", precalcMs);
  std::printf("renderer      %s\n", renderer.c_str());
  std::printf("resolution    %dx%d\n", screenWidth, screenHeight);
  std::printf("range         %.3f s to %.3f s, fixed step 1/%d s\n",
              static_cast<double>(first) / options.fps,
              static_cast<double>(first + static_cast<int64_t>(all.size()) - 1) / options.fps,
              options.fps);
  std::printf("frames        %zu\n", all.size());
  std::printf("mean          %.3f ms (%.1f fps)\n", mean, mean > 0.0 ? 1000.0 / mean : 0.0);
  std::printf("median        %.3f ms\n", percentile(all, 0.5));
  std::printf("95th pct      %.3f ms\n", percentile(all, 0.95));
  // CPU time per frame does not depend on what else the machine runs, unlike the wall-clock
  // figures above; the first frame is not counted.
  if (all.size() > 1)
    std::printf("cpu           %.3f ms per frame (all threads)\n",
                cpuMs / static_cast<double>(all.size() - 1));
  if (!scenes.empty()) {
    const SceneTimes& s = scenes[slowest];
    std::printf("slowest scene %d: mean %.3f ms over %zu frames, worst %.3f ms at %.3f s\n",
                slowest, slowestMean, s.ms.size(), s.worst, static_cast<double>(s.worstAt));
  }
  for (const auto& [index, s] : scenes)
    std::printf("scene %3d     %6zu frames, median %7.3f ms (%6.1f fps), 95th pct %7.3f ms\n",
                index, s.ms.size(), percentile(s.ms, 0.5),
                1000.0 / std::max(percentile(s.ms, 0.5), 1e-9), percentile(s.ms, 0.95));
  return kExitOk;
}

}  // namespace

int64_t renderFrameFromStart(float seconds, int fps, std::vector<uint8_t>& rgba) {
  if (glimmer::timeline->time != 0.0f || !glimmer::timeline->running) startFixedTimeline(fps);
  // The frame nearest to T; past the end of the show the last frame before it stops.
  const int64_t target = std::clamp<int64_t>(std::llround(static_cast<double>(seconds) * fps), 0,
                                             lastFrameAtOrBefore(glimmer::kShowLength, fps));
  int64_t frame = 0;
  advanceTo(frame, target);
  render::renderFrame();
  readFrame(rgba);
  return frame;
}

bool writeFramePng(const std::string& path, std::vector<uint8_t>& rgba) {
  return writePng(path, rgba);
}

int runOffline(const Options& options) {
  platform::setUnattended(true);
  if (options.fps <= 0) {
    fail("--fps must be a positive number of frames per second");
    return kExitUsage;
  }
  switch (options.mode) {
    case RunMode::Frame:
      return runFrame(options);
    case RunMode::Capture:
      return runCapture(options);
    case RunMode::Bench:
      return runBench(options);
    default:
      break;
  }
  fail("not an offline mode");
  return kExitUsage;
}

}  // namespace app
