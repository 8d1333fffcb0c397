// Comparison with a reference player (libopenmpt, used as a black box) and real modules from
// Debian packages (tests/data/fetch-modules.sh). Skipped when either is missing.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/music/test_support.h"

namespace glimmer::music {
namespace {

namespace fs = std::filesystem;

fs::path moduleCache() {
  if (const char* dir = std::getenv("GLIMMER_MODULE_CACHE")) return dir;
  if (const char* home = std::getenv("HOME")) return fs::path(home) / ".cache/glimmer-modules";
  return {};
}

std::vector<fs::path> realModules() {
  std::vector<fs::path> out;
  std::error_code ec;
  fs::path dir = moduleCache();
  if (dir.empty() || !fs::is_directory(dir, ec)) return out;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    std::string ext = e.path().extension().string();
    if (ext == ".xm" || ext == ".XM") out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<uint8_t> readBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct ReferenceRow {
  int64_t frame;  // the row started within `chunk` frames before this
  int order, row;
};

class Reference {
 public:
  explicit Reference(const std::vector<uint8_t>& bytes) {
    mod_ = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr);
    if (mod_) {
      openmpt_module_set_repeat_count(mod_, 0);
      openmpt_module_ctl_set_text(mod_, "play.at_end", "stop");
      // Linear interpolation, no volume ramping, no dither: the closest to this player's mixer.
      openmpt_module_set_render_param(mod_, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 2);
      openmpt_module_set_render_param(mod_, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, 0);
      openmpt_module_ctl_set_text(mod_, "dither", "0");
    }
  }
  ~Reference() {
    if (mod_) openmpt_module_destroy(mod_);
  }
  bool ok() const { return mod_ != nullptr; }
  int64_t endFrame() const { return endFrame_; }

  // Row starts, found by rendering in small chunks and watching the reported position.
  std::vector<ReferenceRow> timeline(int chunk) {
    std::vector<ReferenceRow> rows;
    std::vector<int16_t> buffer(size_t(chunk) * 2);
    int64_t frame = 0;
    rows.push_back(
        {0, openmpt_module_get_current_order(mod_), openmpt_module_get_current_row(mod_)});
    for (;;) {
      size_t n = openmpt_module_read_interleaved_stereo(mod_, kMixRate, chunk, buffer.data());
      if (n == 0) break;
      frame += static_cast<int64_t>(n);
      int order = openmpt_module_get_current_order(mod_);
      int row = openmpt_module_get_current_row(mod_);
      if (order != rows.back().order || row != rows.back().row) rows.push_back({frame, order, row});
    }
    // At the end the reference reports its start position again; that is not a row start.
    if (rows.size() > 1 && rows.back().frame == frame) rows.pop_back();
    endFrame_ = frame;
    return rows;
  }

  std::vector<int16_t> renderStereo(size_t frames) {
    std::vector<int16_t> out(frames * 2, 0);
    size_t done = 0;
    while (done < frames) {
      size_t n = openmpt_module_read_interleaved_stereo(mod_, kMixRate, frames - done,
                                                        out.data() + done * 2);
      if (n == 0) break;
      done += n;
    }
    out.resize(done * 2);  // the song may end sooner
    return out;
  }

  std::vector<int16_t> renderMono(size_t frames) {
    std::vector<int16_t> out(frames, 0);
    size_t done = 0;
    while (done < frames) {
      size_t n = openmpt_module_read_mono(mod_, kMixRate, frames - done, out.data() + done);
      if (n == 0) break;
      done += n;
    }
    return out;
  }

 private:
  openmpt_module* mod_ = nullptr;
  int64_t endFrame_ = 0;
};

class RealModules : public ::testing::Test {
 protected:
  void SetUp() override {
    modules_ = realModules();
    if (modules_.empty()) {
      GTEST_SKIP() << "no modules in " << moduleCache() << " (run tests/data/fetch-modules.sh)";
    }
  }
  void TearDown() override { resetPlayer(); }
  std::vector<fs::path> modules_;
};

TEST_F(RealModules, AllLoadAndPlayToTheirEnd) {
  for (const fs::path& path : modules_) {
    SCOPED_TRACE(path.filename().string());
    std::vector<uint8_t> bytes = readBytes(path);
    LoadError error;
    SongPtr song(loadSongFromMemory(bytes, &error));
    ASSERT_TRUE(song) << error.describe();
    SongTimeline tl = songTimeline(song.get(), int64_t{kMixRate} * 1200);
    EXPECT_TRUE(tl.ended);
    EXPECT_GT(tl.endFrame, kMixRate * 10);
    std::vector<int16_t> pcm(size_t(tl.endFrame) * 2);
    startOffline(song.get());
    renderOffline(pcm);
    double energy = 0;
    for (int16_t v : pcm) energy += double(v) * v;
    EXPECT_GT(energy / pcm.size(), 1000.0) << "the song should be audible";
    resetPlayer();
  }
}

TEST_F(RealModules, RowTimelineMatchesTheReferenceWithinOneTick) {
  // The reference reports its position at tick boundaries; reading it every 16 frames finds
  // each row start to within 16 frames.
  constexpr int kChunk = 16;
  for (const fs::path& path : modules_) {
    SCOPED_TRACE(path.filename().string());
    std::vector<uint8_t> bytes = readBytes(path);
    SongPtr song(loadSongFromMemory(bytes));
    ASSERT_TRUE(song);
    Reference ref(bytes);
    ASSERT_TRUE(ref.ok());
    std::vector<ReferenceRow> expected = ref.timeline(kChunk);
    SongTimeline ours = songTimeline(song.get(), int64_t{kMixRate} * 1200);
    // An order naming a pattern the file does not store plays 64 empty rows here; the reference
    // ends the song there instead. Compare up to the first such order.
    const int storedPatterns = bytes[70] | bytes[71] << 8;
    size_t comparable = 0;
    while (comparable < ours.rows.size() && ours.rows[comparable].pattern < storedPatterns) {
      ++comparable;
    }
    EXPECT_EQ(comparable, expected.size());
    // Both count whole frames per tick, so row starts agree to the reading granularity; the
    // allowance is one tick.
    for (size_t i = 0; i < std::min(expected.size(), comparable); ++i) {
      const RowStart& r = ours.rows[i];
      ASSERT_EQ(r.order, expected[i].order) << "row start " << i;
      ASSERT_EQ(r.row, expected[i].row) << "row start " << i;
      ASSERT_NEAR(static_cast<double>(r.frame), static_cast<double>(expected[i].frame),
                  r.samplesPerTick)
          << "order " << r.order << " row " << r.row;
    }
  }
}

// RMS of each 10 ms window, left windows then right windows.
std::vector<double> loudnessEnvelope(const std::vector<int16_t>& stereo) {
  constexpr size_t kWindow = kMixRate / 100;
  const size_t windows = stereo.size() / 2 / kWindow;
  std::vector<double> out(windows * 2);
  for (size_t w = 0; w < windows; ++w) {
    double l = 0, r = 0;
    for (size_t i = w * kWindow; i < (w + 1) * kWindow; ++i) {
      l += double(stereo[2 * i]) * stereo[2 * i];
      r += double(stereo[2 * i + 1]) * stereo[2 * i + 1];
    }
    out[w] = std::sqrt(l / kWindow);
    out[windows + w] = std::sqrt(r / kWindow);
  }
  return out;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b) {
  const size_t n = std::min(a.size(), b.size());
  double ma = 0, mb = 0;
  for (size_t i = 0; i < n; ++i) ma += a[i], mb += b[i];
  ma /= n, mb /= n;
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < n; ++i) {
    ab += (a[i] - ma) * (b[i] - mb);
    aa += (a[i] - ma) * (a[i] - ma);
    bb += (b[i] - mb) * (b[i] - mb);
  }
  return ab / std::sqrt(aa * bb);
}

TEST_F(RealModules, LoudnessEnvelopeFollowsTheReference) {
  for (const fs::path& path : modules_) {
    SCOPED_TRACE(path.filename().string());
    std::vector<uint8_t> bytes = readBytes(path);
    SongPtr song(loadSongFromMemory(bytes));
    ASSERT_TRUE(song);
    Reference ref(bytes);
    ASSERT_TRUE(ref.ok());
    const size_t frames = size_t{kMixRate} * 60;
    // Songs shorter than a minute are compared up to their end.
    std::vector<int16_t> theirs = ref.renderStereo(frames);
    std::vector<int16_t> ours = test::renderFrames(song.get(), theirs.size() / 2);
    double r = correlation(loudnessEnvelope(ours), loudnessEnvelope(theirs));
    std::printf("%-40s loudness correlation %.4f\n", path.filename().c_str(), r);
    EXPECT_GE(r, 0.97);
    resetPlayer();
  }
}

// Frequency of a periodic signal from its rising zero crossings, interpolated between frames.
double measureFrequency(const std::vector<int16_t>& mono, size_t from, size_t to) {
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = from + 1; i < to; ++i) {
    if (mono[i - 1] < 0 && mono[i] >= 0) {
      double t = static_cast<double>(i - 1) +
                 static_cast<double>(-mono[i - 1]) / static_cast<double>(mono[i] - mono[i - 1]);
      if (first < 0) first = t;
      last = t;
      ++crossings;
    }
  }
  if (crossings < 2) return 0;
  return (crossings - 1) / (last - first) * kMixRate;
}

TEST(ReferencePitch, SustainedNotesMatchTheReferenceWithinHalfAPercent) {
  for (const char* table : {"linear", "amiga"}) {
    SCOPED_TRACE(table);
    std::string source = std::string("frequencies ") + table + R"(
channels 2
speed 6
tempo 125
order 0
instrument 1 "sine"
  wave sine 0.9
  period 64
  length 64
  loop forward 0 64
end
instrument 2 "sine low"
  wave sine 0.9
  period 200
  length 200
  loop forward 0 200
end
pattern 0 48
   0 C-4 01 40
   8 A-4 01 40
  16 F#2 01 40
  24 C-6 01 40
  32 D#3 02 40
  40 B-5 02 40
end
)";
    std::vector<uint8_t> xm;
    BuildError error;
    ASSERT_TRUE(buildSong(source, &xm, &error)) << error.message;
    SongPtr song(loadSongFromMemory(xm));
    ASSERT_TRUE(song);
    const size_t rowFrames = 6 * 882;
    const size_t total = 48 * rowFrames;
    std::vector<int16_t> stereo = test::renderFrames(song.get(), total);
    std::vector<int16_t> ours(total);
    for (size_t i = 0; i < total; ++i)
      ours[i] = static_cast<int16_t>((stereo[2 * i] + stereo[2 * i + 1]) / 2);
    Reference ref(xm);
    ASSERT_TRUE(ref.ok());
    std::vector<int16_t> theirs = ref.renderMono(total);
    for (int note = 0; note < 6; ++note) {
      size_t from = note * 8 * rowFrames + rowFrames * 2, to = from + rowFrames * 5;
      double a = measureFrequency(ours, from, to), b = measureFrequency(theirs, from, to);
      ASSERT_GT(b, 20.0) << "note " << note;
      EXPECT_NEAR(a / b, 1.0, 0.005) << "note " << note << ": " << a << " Hz against " << b;
    }
    resetPlayer();
  }
}

}  // namespace
}  // namespace glimmer::music
