// Real-time factor of the mixer on a dense module: 32 channels retriggering every row (twin
// voices ramping out and in), ping-pong and forward loops, envelopes and slides. The same module
// is rendered by libopenmpt and by openmpt123 for comparison.
//
//   music_bench                       all benchmarks
// Counters: "x realtime" is seconds of music per second of CPU time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "music/music.h"
#include "tools/compile/compile.h"

#ifdef GLIMMER_HAVE_OPENMPT
#include <libopenmpt/libopenmpt.h>
#endif

namespace music = glimmer::music;

namespace {

constexpr int kSeconds = 20;

// 32 channels, speed 2: a new note on every channel every 2 ticks.
std::string denseSource() {
  std::string s = R"(channels 32
speed 2
tempo 150
order 0 1 0 1
instrument 1 "pingpong"
  wave saw 0.5
  wave sine 0.3 harmonic 3
  period 64
  length 3000
  loop pingpong 500 3000
  envelope volume 0:64 8:40 30:30 sustain 2
  fadeout 400
end
instrument 2 "forward"
  wave square 0.4
  period 50
  length 1500
  loop forward 100 1500
  envelope panning 0:0 20:64 40:0 loop 0 2
end
instrument 3 "oneshot"
  wave noise 0.5
  pitch fixed
  length 20000
end
)";
  const char* notes[] = {"C-3", "E-3", "G-3", "C-4", "E-4", "G-4", "A#4", "D-5"};
  for (int p = 0; p < 2; ++p) {
    s += "pattern " + std::to_string(p) + " 64\n";
    for (int r = 0; r < 64; ++r) {
      s += "  " + std::to_string(r);
      for (int c = 0; c < 32; ++c) {
        int ins = 1 + (c + r + p) % 3;
        const char* effect = (r % 4 == 2) ? "A02" : (c % 5 == 0 ? "104" : "...");
        char cell[64];
        std::snprintf(cell, sizeof cell, " %s%s 0%d 30 %s", c ? "| " : "", notes[(c + r) % 8], ins,
                      effect);
        s += cell;
      }
      s += "\n";
    }
    s += "end\n";
  }
  return s;
}

const std::vector<uint8_t>& denseModule() {
  static std::vector<uint8_t> xm = [] {
    std::vector<uint8_t> out;
    music::BuildError error;
    if (!music::buildSong(denseSource(), &out, &error)) {
      std::fprintf(stderr, "bench module: %d:%d: %s\n", error.line, error.column,
                   error.message.c_str());
      std::abort();
    }
    return out;
  }();
  return xm;
}

void BM_GlimmerMixer(benchmark::State& state) {
  music::SongPtr song(music::loadSongFromMemory(denseModule()));
  std::vector<int16_t> pcm(size_t(kSeconds) * music::kMixRate * 2);
  for (auto _ : state) {
    music::startOffline(song.get());
    music::renderOffline(pcm);
    benchmark::DoNotOptimize(pcm.data());
  }
  state.counters["x realtime"] = benchmark::Counter(
      static_cast<double>(kSeconds) * state.iterations(), benchmark::Counter::kIsRate);
  music::resetPlayer();
}
BENCHMARK(BM_GlimmerMixer)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_GlimmerSequencerOnly(benchmark::State& state) {
  music::SongPtr song(music::loadSongFromMemory(denseModule()));
  for (auto _ : state) {
    auto timeline = music::songTimeline(song.get(), int64_t{kSeconds} * music::kMixRate);
    benchmark::DoNotOptimize(timeline.rows.data());
  }
  state.counters["x realtime"] = benchmark::Counter(
      static_cast<double>(kSeconds) * state.iterations(), benchmark::Counter::kIsRate);
  music::resetPlayer();
}
BENCHMARK(BM_GlimmerSequencerOnly)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

#ifdef GLIMMER_HAVE_OPENMPT
// libopenmpt with linear interpolation and no ramping, close to this mixer's work.
void BM_Libopenmpt(benchmark::State& state) {
  const auto& xm = denseModule();
  std::vector<int16_t> pcm(size_t(kSeconds) * music::kMixRate * 2);
  for (auto _ : state) {
    openmpt_module* mod = openmpt_module_create_from_memory2(
        xm.data(), xm.size(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH,
                                    static_cast<int32_t>(state.range(0)));
    openmpt_module_set_repeat_count(mod, -1);
    size_t done = 0, frames = pcm.size() / 2;
    while (done < frames) {
      size_t n = openmpt_module_read_interleaved_stereo(mod, music::kMixRate, frames - done,
                                                        pcm.data() + done * 2);
      if (n == 0) break;
      done += n;
    }
    openmpt_module_destroy(mod);
    benchmark::DoNotOptimize(pcm.data());
  }
  state.counters["x realtime"] = benchmark::Counter(
      static_cast<double>(kSeconds) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Libopenmpt)->Arg(2)->Arg(8)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
#endif

// openmpt123 rendering the module to a WAV file, timed by wall clock around the process.
void BM_Openmpt123ToWav(benchmark::State& state) {
  if (std::system("command -v openmpt123 >/dev/null 2>&1") != 0) {
    state.SkipWithError("openmpt123 not installed");
    return;
  }
  const std::string dir = "/tmp/glimmer-music-bench";
  std::system(("mkdir -p " + dir).c_str());
  {
    std::ofstream out(dir + "/dense.xm", std::ios::binary);
    const auto& xm = denseModule();
    out.write(reinterpret_cast<const char*>(xm.data()), static_cast<std::streamsize>(xm.size()));
  }
  const std::string command =
      "openmpt123 --quiet --force --samplerate 44100 --filter 2 --ramping 0 --dither 0 "
      "--end-time " +
      std::to_string(kSeconds) + " --repeat -1 --render " + dir + "/dense.xm >/dev/null 2>&1";
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    int rc = std::system(command.c_str());
    auto end = std::chrono::steady_clock::now();
    if (rc != 0) {
      state.SkipWithError("openmpt123 failed");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
  }
  state.counters["x realtime"] = benchmark::Counter(
      static_cast<double>(kSeconds) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Openmpt123ToWav)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
