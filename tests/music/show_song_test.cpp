// The show's own song (content/song.txt): it builds, lasts the whole show and is mastered: peaks
// at or below -1 dBFS, no clipped sample, integrated loudness between -18 and -12 LUFS, measured
// with the ITU-R BS.1770 meter below (K-weighting, 400 ms blocks, absolute and relative gates).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "music/music.h"
#include "tools/compile/compile.h"

namespace glimmer::music {
namespace {

constexpr double kPi = 3.14159265358979323846;

// One biquad section in direct form I.
struct Biquad {
  double b0, b1, b2, a1, a2;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  double run(double x) {
    double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1, x1 = x, y2 = y1, y1 = y;
    return y;
  }
};

// BS.1770's K-weighting at any rate: its high-shelf pre-filter and its high-pass, with the
// analogue prototypes' frequencies, gain and Q as the standard's 48 kHz coefficients imply.
void kWeighting(double rate, Biquad* shelf, Biquad* highpass) {
  double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
  double k = std::tan(kPi * f0 / rate), vh = std::pow(10.0, gainDb / 20.0);
  double vb = std::pow(vh, 0.4996667741545416), a0 = 1 + k / q + k * k;
  *shelf = {(vh + vb * k / q + k * k) / a0, 2 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
            2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
  f0 = 38.13547087602444, q = 0.5003270373238773;
  k = std::tan(kPi * f0 / rate);
  a0 = 1 + k / q + k * k;
  *highpass = {1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
}

// Integrated loudness in LUFS of 16-bit interleaved stereo.
double integratedLoudness(const std::vector<int16_t>& pcm, double rate) {
  Biquad shelf[2], highpass[2];
  for (int c = 0; c < 2; ++c) kWeighting(rate, &shelf[c], &highpass[c]);
  size_t frames = pcm.size() / 2;
  std::vector<double> energy(frames);  // summed K-weighted square of both channels
  for (size_t i = 0; i < frames; ++i) {
    double sum = 0;
    for (int c = 0; c < 2; ++c) {
      double y = highpass[c].run(shelf[c].run(pcm[2 * i + c] / 32768.0));
      sum += y * y;
    }
    energy[i] = sum;
  }
  // 400 ms blocks every 100 ms.
  size_t block = static_cast<size_t>(rate * 0.4), hop = static_cast<size_t>(rate * 0.1);
  std::vector<double> blocks;
  for (size_t start = 0; start + block <= frames; start += hop) {
    double sum = 0;
    for (size_t i = start; i < start + block; ++i) sum += energy[i];
    blocks.push_back(sum / static_cast<double>(block));
  }
  auto lufs = [](double z) { return -0.691 + 10 * std::log10(z); };
  auto gatedMean = [&](double gate) {
    double sum = 0;
    int n = 0;
    for (double z : blocks) {
      if (z > 0 && lufs(z) > gate) sum += z, ++n;
    }
    return n ? sum / n : 0.0;
  };
  double relativeGate = lufs(gatedMean(-70.0)) - 10.0;
  return lufs(gatedMean(relativeGate));
}

// The meter against the standard's calibration: a 997 Hz sine at 0 dBFS in one channel reads
// -3.01 LKFS, so a sine at A dBFS reads A - 3.01 in one channel and A in both.
TEST(ShowSong, LoudnessMeterReadsCalibrationTones) {
  struct Row {
    double amplitudeDb;
    bool bothChannels;
    double expectedLufs;
  };
  const Row rows[] = {{-20.0, true, -20.0}, {-20.0, false, -23.01}, {-6.0, true, -6.0}};
  for (const Row& row : rows) {
    double amplitude = 32767.0 * std::pow(10.0, row.amplitudeDb / 20.0);
    std::vector<int16_t> pcm(2 * kMixRate * 5);
    for (size_t i = 0; i < pcm.size() / 2; ++i) {
      double v = amplitude * std::sin(2 * kPi * 997.0 * static_cast<double>(i) / kMixRate);
      pcm[2 * i] = static_cast<int16_t>(std::lround(v));
      pcm[2 * i + 1] = row.bothChannels ? pcm[2 * i] : 0;
    }
    EXPECT_NEAR(integratedLoudness(pcm, kMixRate), row.expectedLufs, 0.1)
        << row.amplitudeDb << " dBFS, both channels " << row.bothChannels;
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

  // The show runs 178 s; the song ends at or just after that, never before.
  SongTimeline timeline = songTimeline(song.get(), int64_t{200} * kMixRate);
  ASSERT_TRUE(timeline.ended);
  double seconds = static_cast<double>(timeline.endFrame) / kMixRate;
  EXPECT_GE(seconds, 178.0);
  EXPECT_LE(seconds, 178.5);

  std::vector<int16_t> pcm(static_cast<size_t>(timeline.endFrame) * 2);
  startOffline(song.get());
  renderOffline(pcm);
  resetPlayer();
  int peak = 0, clipped = 0;
  for (int16_t v : pcm) {
    peak = std::max(peak, std::abs(static_cast<int>(v)));
    if (v == 32767 || v == -32768) ++clipped;
  }
  EXPECT_EQ(clipped, 0);
  EXPECT_LE(20 * std::log10(peak / 32768.0), -1.0);
  double lufs = integratedLoudness(pcm, kMixRate);
  EXPECT_GE(lufs, -18.0);
  EXPECT_LE(lufs, -12.0);
}

}  // namespace
}  // namespace glimmer::music
