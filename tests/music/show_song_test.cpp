// The show's own song (content/song.txt): it builds, lasts the whole show and is mastered: peaks
// at or below -1 dBFS, no clipped sample, integrated loudness between -18 and -12 LUFS, measured
// with the ITU-R BS.1770 meter below (K-weighting, 400 ms blocks, absolute and relative gates).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numeric>
#include <tuple>

#include "tests/music/test_support.h"

namespace glimmer::music {
namespace {

constexpr double kPi = 3.14159265358979323846;

// One biquad section in direct form I.
struct Biquad {
  double b0, b1, b2, a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  double run(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1, x1 = x, y2 = y1, y1 = y;
    return y;
  }
};

// BS.1770's K-weighting at any rate: its high-shelf pre-filter and its high-pass, with the
// analogue prototypes' frequencies, gain and Q as the standard's 48 kHz coefficients imply.
std::array<Biquad, 2> kWeighting(double rate) {
  double k = std::tan(kPi * 1681.974450955533 / rate), q = 0.7071752369554196;
  const double vh = std::pow(10.0, 3.999843853973347 / 20.0), vb = std::pow(vh, 0.4996667741545416);
  double a0 = 1 + k / q + k * k;
  const Biquad shelf{(vh + vb * k / q + k * k) / a0, 2 * (k * k - vh) / a0,
                     (vh - vb * k / q + k * k) / a0, 2 * (k * k - 1) / a0,
                     (1 - k / q + k * k) / a0};
  k = std::tan(kPi * 38.13547087602444 / rate), q = 0.5003270373238773, a0 = 1 + k / q + k * k;
  return {shelf, Biquad{1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0}};
}

// Integrated loudness in LUFS of 16-bit interleaved stereo: mean squares of 400 ms blocks every
// 100 ms, gated at -70 LUFS and then at 10 LU below the mean of what passed.
double integratedLoudness(const std::vector<int16_t>& pcm, double rate) {
  std::array<Biquad, 2> filters[2] = {kWeighting(rate), kWeighting(rate)};
  std::vector<double> energy(pcm.size() / 2);  // summed K-weighted square of both channels
  for (size_t i = 0; i < pcm.size(); ++i) {
    energy[i / 2] += std::pow(filters[i % 2][1].run(filters[i % 2][0].run(pcm[i] / 32768.0)), 2);
  }
  const size_t block = static_cast<size_t>(rate * 0.4), hop = static_cast<size_t>(rate * 0.1);
  std::vector<double> blocks;
  for (auto at = energy.begin(); at + long(block) <= energy.end(); at += long(hop)) {
    blocks.push_back(std::accumulate(at, at + long(block), 0.0) / double(block));
  }
  auto lufs = [](double z) { return -0.691 + 10 * std::log10(z); };
  auto gatedMean = [&](double gate) {
    double sum = 0, n = 0;
    for (double z : blocks) {
      if (z > 0 && lufs(z) > gate) sum += z, ++n;
    }
    return n ? sum / n : 0.0;
  };
  return lufs(gatedMean(lufs(gatedMean(-70.0)) - 10.0));
}

// The meter against the standard's calibration: a 997 Hz sine at 0 dBFS in one channel reads
// -3.01 LKFS, so a sine at A dBFS reads A - 3.01 in one channel and A in both.
TEST(ShowSong, LoudnessMeterReadsCalibrationTones) {
  for (auto [db, both, lufs] :
       {std::tuple{-20.0, true, -20.0}, {-20.0, false, -23.01}, {-6.0, true, -6.0}}) {
    const double amplitude = 32767.0 * std::pow(10.0, db / 20.0);
    std::vector<int16_t> pcm(2 * kMixRate * 5);
    for (size_t i = 0; i < pcm.size(); i += both ? 1 : 2) {
      pcm[i] =
          int16_t(std::lround(amplitude * std::sin(2 * kPi * 997.0 * double(i / 2) / kMixRate)));
    }
    EXPECT_NEAR(integratedLoudness(pcm, kMixRate), lufs, 0.1)
        << db << " dBFS, both channels " << both;
  }
}

TEST(ShowSong, LastsTheShowAndIsMastered) {
  std::ifstream in(GLIMMER_SHOW_SONG, std::ios::binary);
  ASSERT_TRUE(in) << GLIMMER_SHOW_SONG;
  std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint8_t> xm;
  BuildError error;
  ASSERT_TRUE(buildSong(source, &xm, &error))
      << error.line << ":" << error.column << " " << error.message;
  SongPtr song(loadSongFromMemory(xm));
  ASSERT_TRUE(song);

  // The show runs 178 s; the song ends at or just after that (by 178.5 s), never before.
  SongTimeline timeline = songTimeline(song.get(), int64_t{200} * kMixRate);
  ASSERT_TRUE(timeline.ended);
  EXPECT_NEAR(static_cast<double>(timeline.endFrame) / kMixRate, 178.25, 0.25);
  const std::vector<int16_t> pcm = test::renderFrames(song.get(), size_t(timeline.endFrame));
  resetPlayer();
  // Peaks at or below -1 dBFS (so no sample is clipped), loudness between -18 and -12 LUFS.
  const auto [low, high] = std::minmax_element(pcm.begin(), pcm.end());
  EXPECT_LE(20 * std::log10(std::max(-*low, int{*high}) / 32768.0), -1.0);
  EXPECT_NEAR(integratedLoudness(pcm, kMixRate), -15.0, 3.0);
}

}  // namespace
}  // namespace glimmer::music
