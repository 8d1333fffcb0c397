// Comparison with a reference player (libopenmpt, used as a black box) and real modules from
// Debian packages (tests/data/fetch-modules.sh). Skipped when either is missing.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>

#include "tests/music/test_support.h"

namespace glimmer::music {
namespace {

namespace fs = std::filesystem;

// Row starts of the reference (order, row and frame; the row started within one chunk before
// the frame) seen by watching its position after each chunk, and its whole output.
struct ReferenceRun {
  std::vector<RowStart> rows;
  std::vector<int16_t> stereo;
};

// Renders the module to its end through the reference in chunks of `chunk` frames.
ReferenceRun runReference(const std::vector<uint8_t>& bytes, size_t chunk) {
  ReferenceRun run;
  openmpt_module* mod = openmpt_module_create_from_memory2(
      bytes.data(), bytes.size(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (!mod) return run;
  openmpt_module_set_repeat_count(mod, 0);
  openmpt_module_ctl_set_text(mod, "play.at_end", "stop");
  // Linear interpolation, no volume ramping, no dither: the closest to this player's mixer.
  openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 2);
  openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, 0);
  openmpt_module_ctl_set_text(mod, "dither", "0");
  int64_t frame = 0;
  for (size_t n = chunk;; frame += static_cast<int64_t>(n)) {
    const RowStart at{frame, openmpt_module_get_current_order(mod), 0,
                      openmpt_module_get_current_row(mod)};
    if (run.rows.empty() || at.order != run.rows.back().order || at.row != run.rows.back().row) {
      run.rows.push_back(at);
    }
    run.stereo.resize(size_t(frame + int64_t(chunk)) * 2);
    n = openmpt_module_read_interleaved_stereo(mod, kMixRate, chunk,
                                               &run.stereo[size_t(frame) * 2]);
    if (n == 0) break;
  }
  run.stereo.resize(size_t(frame) * 2);
  // At the end the reference reports its start position again; that is not a row start.
  if (run.rows.size() > 1 && run.rows.back().frame == frame) run.rows.pop_back();
  openmpt_module_destroy(mod);
  return run;
}

// RMS of each 10 ms window of the first `frames` frames, left windows then right windows.
std::vector<double> loudnessEnvelope(const std::vector<int16_t>& stereo, size_t frames) {
  constexpr size_t kWindow = kMixRate / 100;
  const size_t windows = frames / kWindow;
  std::vector<double> out(windows * 2);
  for (size_t i = 0; i < windows * kWindow; ++i) {
    for (size_t c = 0; c < 2; ++c) out[c * windows + i / kWindow] += std::pow(stereo[2 * i + c], 2);
  }
  for (double& v : out) v = std::sqrt(v / kWindow);
  return out;
}

double correlation(std::vector<double> a, std::vector<double> b) {
  for (std::vector<double>* v : {&a, &b}) {
    const double mean = std::accumulate(v->begin(), v->end(), 0.0) / double(v->size());
    for (double& x : *v) x -= mean;
  }
  auto dot = [](auto& x, auto& y) {
    return std::inner_product(x.begin(), x.end(), y.begin(), 0.0);
  };
  return dot(a, b) / std::sqrt(dot(a, a) * dot(b, b));
}

// One module: it loads, plays to its end audibly, follows the reference's loudness envelope over
// its first minute and starts every row where the reference does.
void checkModule(const std::vector<uint8_t>& bytes) {
  LoadError error;
  SongPtr song(loadSongFromMemory(bytes, &error));
  ASSERT_TRUE(song) << error.describe();
  const SongTimeline ours = songTimeline(song.get(), int64_t{kMixRate} * 1200);
  ASSERT_TRUE(ours.ended);
  EXPECT_GT(ours.endFrame, kMixRate * 10);
  const std::vector<int16_t> pcm = test::renderFrames(song.get(), size_t(ours.endFrame));
  resetPlayer();
  const double energy = std::inner_product(pcm.begin(), pcm.end(), pcm.begin(), 0.0);
  EXPECT_GT(energy / double(pcm.size()), 1000.0) << "the song should be audible";

  const ReferenceRun ref = runReference(bytes, 16);
  ASSERT_FALSE(ref.rows.empty()) << "the reference cannot open it";
  const size_t frames = std::min({pcm.size(), ref.stereo.size(), size_t{kMixRate} * 60 * 2}) / 2;
  EXPECT_GE(correlation(loudnessEnvelope(pcm, frames), loudnessEnvelope(ref.stereo, frames)), 0.97)
      << "loudness correlation";

  // An order naming a pattern the file does not store plays 64 empty rows here; the reference
  // ends the song there instead. Compare up to the first such order.
  const int stored = bytes[70] | bytes[71] << 8;
  size_t comparable = 0;
  while (comparable < ours.rows.size() && ours.rows[comparable].pattern < stored) ++comparable;
  EXPECT_EQ(comparable, ref.rows.size());
  // The reference reports its position at tick boundaries, read here every 16 frames; both
  // count whole frames per tick, so the allowance is one tick.
  for (size_t i = 0; i < std::min(ref.rows.size(), comparable); ++i) {
    const RowStart& r = ours.rows[i];
    ASSERT_EQ(std::pair(r.order, r.row), std::pair(ref.rows[i].order, ref.rows[i].row))
        << "row start " << i;
    ASSERT_NEAR(double(r.frame), double(ref.rows[i].frame), r.samplesPerTick)
        << "order " << r.order << " row " << r.row;
  }
}

TEST(RealModules, PlayLikeTheReference) {
  const char* env = std::getenv("GLIMMER_MODULE_CACHE");
  const char* home = std::getenv("HOME");
  const fs::path cache =
      env ? fs::path(env) : fs::path(home ? home : "/") / ".cache/glimmer-modules";
  std::vector<fs::path> modules;
  std::error_code ec;  // no folder: no modules
  for (const auto& e : fs::directory_iterator(cache, ec)) {
    if (e.path().extension() == ".xm" || e.path().extension() == ".XM") modules.push_back(e.path());
  }
  std::sort(modules.begin(), modules.end());
  if (modules.empty()) {
    GTEST_SKIP() << "no modules in " << cache << " (run tests/data/fetch-modules.sh)";
  }
  for (const fs::path& path : modules) {
    SCOPED_TRACE(path.filename().string());
    std::ifstream in(path, std::ios::binary);
    checkModule({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
  }
}

// Frequency of a periodic signal (left + right) from its rising zero crossings, interpolated
// between frames.
double measureFrequency(const std::vector<int16_t>& stereo, size_t from, size_t to) {
  auto mono = [&](size_t i) { return double(stereo[2 * i]) + stereo[2 * i + 1]; };
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = from + 1; i < to; ++i) {
    if (mono(i - 1) < 0 && mono(i) >= 0) {
      last = double(i - 1) - mono(i - 1) / (mono(i) - mono(i - 1));
      if (first < 0) first = last;
      ++crossings;
    }
  }
  return crossings < 2 ? 0 : (crossings - 1) / (last - first) * kMixRate;
}

TEST(ReferencePitch, SustainedNotesMatchTheReferenceWithinHalfAPercent) {
  for (const char* table : {"linear", "amiga"}) {
    SCOPED_TRACE(table);
    // Six notes of 8 rows each (6 ticks of 882 frames at 125 BPM), over two sample tunings.
    const std::string source =
        std::string("frequencies ") + table +
        "\nchannels 2\norder 0\n"
        "instrument 1\n  wave sine 0.9\n  period 64\n  length 64\n  loop forward 0 64\nend\n"
        "instrument 2\n  wave sine 0.9\n  period 200\n  length 200\n  loop forward 0 200\nend\n"
        "pattern 0 48\n   0 C-4 01 40\n   8 A-4 01 40\n  16 F#2 01 40\n  24 C-6 01 40\n"
        "  32 D#3 02 40\n  40 B-5 02 40\nend\n";
    std::vector<uint8_t> xm;
    BuildError error;
    ASSERT_TRUE(buildSong(source, &xm, &error)) << error.message;
    SongPtr song(loadSongFromMemory(xm));
    ASSERT_TRUE(song);
    const size_t rowFrames = 6 * 882;
    const std::vector<int16_t> ours = test::renderFrames(song.get(), 48 * rowFrames);
    resetPlayer();
    const ReferenceRun ref = runReference(xm, 1024);
    ASSERT_FALSE(ref.rows.empty()) << "the reference cannot open it";
    for (size_t note = 0; note < 6; ++note) {
      const size_t from = note * 8 * rowFrames + rowFrames * 2, to = from + rowFrames * 5;
      const double a = measureFrequency(ours, from, to), b = measureFrequency(ref.stereo, from, to);
      ASSERT_GT(b, 20.0) << "note " << note;
      EXPECT_NEAR(a / b, 1.0, 0.005) << "note " << note << ": " << a << " Hz against " << b;
    }
  }
}

}  // namespace
}  // namespace glimmer::music
