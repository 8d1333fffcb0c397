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

// Flow effects this player does not follow: position jump, pattern loop, pattern delay.
bool usesUnsupportedFlow(const Song& song) {
  for (const Pattern& p : song.patterns) {
    for (size_t i = 0; i + 4 < p.notes.size(); i += 5) {
      int effect = p.notes[i + 3], param = p.notes[i + 4];
      if (effect == 0xB) return true;
      if (effect == 0xE && ((param >> 4) == 0x6 || (param >> 4) == 0xE)) return true;
      if (effect == 0xF && param == 0) return true;
    }
  }
  return false;
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

TEST_F(RealModules, RowTimelineMatchesTheReference) {
  constexpr int kChunk = 32;
  int compared = 0;
  for (const fs::path& path : modules_) {
    SCOPED_TRACE(path.filename().string());
    std::vector<uint8_t> bytes = readBytes(path);
    SongPtr song(loadSongFromMemory(bytes));
    ASSERT_TRUE(song);
    if (usesUnsupportedFlow(*song)) continue;
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
    if (comparable == ours.rows.size()) {
      EXPECT_EQ(ours.rows.size(), expected.size());
      EXPECT_NEAR(
          static_cast<double>(ours.endFrame), static_cast<double>(ref.endFrame()),
          ours.rows.back().samplesPerTick + 0.002 * static_cast<double>(ours.endFrame) + kChunk);
    } else {
      EXPECT_EQ(comparable, expected.size());
    }
    for (size_t i = 0; i < std::min(expected.size(), comparable); ++i) {
      const RowStart& r = ours.rows[i];
      ASSERT_EQ(r.order, expected[i].order) << "row start " << i;
      ASSERT_EQ(r.row, expected[i].row) << "row start " << i;
      // One tick, the drift of whole frames per tick, and the reference's chunk granularity.
      double tolerance = r.samplesPerTick + 0.002 * static_cast<double>(r.frame) + kChunk;
      ASSERT_NEAR(static_cast<double>(r.frame), static_cast<double>(expected[i].frame), tolerance)
          << "order " << r.order << " row " << r.row;
    }
    ++compared;
  }
  EXPECT_GT(compared, 0);
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
