// The mixer: interpolation, one-shot ends, forward and ping-pong loops, ramps on volume changes
// and retriggers, volume and panning, wide modules and block rendering.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/music/test_support.h"

namespace glimmer::music {
namespace {

using test::Cell;
using test::TestSong;

constexpr int64_t kOne = int64_t{1} << 32;
const uint8_t kC4 = test::noteByte(4, 0);

class Mixer : public ::testing::Test {
 protected:
  void SetUp() override {
    resetPlayer();
    prepareMixer(1);
  }
  void TearDown() override { resetPlayer(); }

  // Voice 0 playing the sample at unit gain on the left, no ramp.
  MixerVoice& startVoice(std::vector<int16_t> data, LoopMode mode, uint32_t loopStart,
                         uint32_t loopLength, int64_t step) {
    sample_ = test::makeSample(std::move(data), mode, loopStart, loopLength);
    MixerVoice& v = mixerVoices[0] = MixerVoice{};
    v.sample = sample_.get();
    v.step = step;
    v.leftVolume = 255;
    v.rightVolume = 0;
    v.rampLeft = 255 * 256;
    v.rampRight = 0;
    return v;
  }
  std::vector<float> mixLeft(int frames) {
    std::vector<float> out(size_t(frames) * 2, 0.0f), left;
    mixVoices(out.data(), frames);
    for (int i = 0; i < frames; ++i) left.push_back(out[2 * i]);
    return left;
  }

  std::unique_ptr<Sample> sample_;
};

TEST_F(Mixer, VoiceRendering) {
  struct {
    const char* name;
    std::vector<int16_t> data;
    LoopMode mode;
    uint32_t loopStart, loopLength;
    int64_t step;
    std::vector<float> left;
    bool sounding;  // whether the voice still plays afterwards
  } cases[] = {
      // clang-format off
    // Half steps interpolate linearly between neighbours.
    {"interpolation", {0, 1000, 3000, 3000}, LoopMode::None, 0, 0, kOne / 2,
     {0, 500, 1000, 2000, 3000, 3000}, true},
    // A one-shot sample ends at its last frame and the voice stops.
    {"one-shot end", {0, 100, 200, 300}, LoopMode::None, 0, 0, kOne, {0, 100, 200, 300, 0, 0}, false},
    // Loop frames 2..4: back to frame 2 after frame 4.
    {"forward loop", {0, 10, 20, 30, 40, 50}, LoopMode::Forward, 2, 3, kOne,
     {0, 10, 20, 30, 40, 20, 30, 40, 20, 30, 40, 20}, true},
    // Loop frames 2..5 forward then backward; frame 6 is the guard, the last loop frame again.
    {"ping-pong", {0, 10, 20, 30, 40, 50, 60, 70}, LoopMode::PingPong, 2, 4, kOne,
     {0, 10, 20, 30, 40, 50, 50, 50, 40, 30, 20, 30, 40, 50, 50, 50, 40, 30, 20}, true},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MixerVoice& v = startVoice(c.data, c.mode, c.loopStart, c.loopLength, c.step);
    EXPECT_EQ(mixLeft(static_cast<int>(c.left.size())), c.left);
    EXPECT_EQ(v.sample != nullptr, c.sounding);
    if (!c.sounding) {
      EXPECT_EQ(v.position, 0);
    }
  }
}

TEST_F(Mixer, PingPongWithAStepLongerThanTheLoopStaysInside) {
  std::vector<int16_t> data(16, 100);
  MixerVoice& v = startVoice(data, LoopMode::PingPong, 4, 3, 5 * kOne + kOne / 3);
  for (int i = 0; i < 200; ++i) {
    mixLeft(7);
    ASSERT_NE(v.sample, nullptr);
    ASSERT_GE(v.position, int64_t{4} << 32);
    ASSERT_LE(v.position, int64_t{7} << 32);
  }
}

TEST_F(Mixer, VolumeChangeRampsOverRampLengthFrames) {
  MixerVoice& v = startVoice(std::vector<int16_t>(4096, 10000), LoopMode::Forward, 0, 4096, kOne);
  v.leftVolume = 0;  // from unit gain down to silence over 128 frames
  std::vector<float> left = mixLeft(200);
  EXPECT_FLOAT_EQ(left[0], 10000.0f);
  EXPECT_NEAR(left[64], 5000.0f, 1.0f);
  EXPECT_NEAR(left[127], 10000.0f / 128, 1.0f);
  for (int i = 128; i < 200; ++i) EXPECT_EQ(left[i], 0.0f);
  EXPECT_EQ(v.rampFramesLeft, 0);
  EXPECT_EQ(v.rampLeft, 0);
}

// Volume 32 of 64 gives 127 x 32 / 64 = 63 (63.75 truncated); panning p sends 63 x (255 - p) /
// 255 to the left and 63 x p / 255 to the right.
TEST_F(Mixer, VolumeAndPanning) {
  TestSong t(1, 6);
  t.addInstrument(std::vector<int16_t>(64, 100), LoopMode::Forward, 0, 64, 32, 0);
  t.set(t.addPattern(1), 0, 0, Cell{kC4, 1, 0, 0, 0});
  SongPtr song = t.finish({0});
  startOffline(song.get());
  tick(*song);
  MixerVoice& v = *musicChannels[0].voice;
  EXPECT_EQ(v.volume, 63);
  for (auto [panning, left, right] : {std::tuple{0, 63, 0}, {255, 0, 63}, {128, 31, 31}}) {
    musicChannels[0].panning = panning;
    musicChannels[0].dirty = kDirtyPanning;
    updateVoice(*song, musicChannels[0]);
    EXPECT_EQ(v.leftVolume, left) << panning;
    EXPECT_EQ(v.rightVolume, right) << panning;
  }
}

// A note retriggered at speed 1 on row 1 (frame 882): the old note ramps out on its voice while
// the new one ramps in on the twin (voice 32) over 128 frames. Two constant samples of the same
// value keep the sum flat (no click); of opposite values (volume 64, hard left: 12000 x 127 / 255
// = 5976) the output crosses linearly, about 2 x 5976 / 128 per frame, through 0 at frame 882 + 64.
TEST_F(Mixer, RetriggerRampsOutTheOldNoteAndInTheNew) {
  for (int16_t second : {12000, -12000}) {
    SCOPED_TRACE(second);
    TestSong t(1, 1);
    int p = t.addPattern(4);
    int pan = second > 0 ? 128 : 0;
    t.addInstrument(std::vector<int16_t>(1024, 12000), LoopMode::Forward, 0, 1024, 64, pan);
    t.addInstrument(std::vector<int16_t>(1024, second), LoopMode::Forward, 0, 1024, 64, pan);
    t.set(p, 0, 0, Cell{kC4, 1, 0, 0, 0});
    t.set(p, 1, 0, Cell{kC4, 2, 0, 0, 0});
    SongPtr song = t.finish({p});
    std::vector<int16_t> pcm = test::renderFrames(song.get(), 882 + 400);
    EXPECT_EQ(pcm[0], 0);  // the first note ramps in from silence
    if (second > 0) {
      EXPECT_GT(pcm[2 * 127], 2900);
      const int steady = 12000 * 63 / 255;  // volume 127 split evenly: 63 on each side
      for (int f = 500; f < 882 + 400; ++f) ASSERT_NEAR(pcm[2 * f], steady, 2) << "frame " << f;
      EXPECT_EQ(musicChannels[0].voice, &mixerVoices[32]);
      EXPECT_EQ(mixerVoices[0].sample, nullptr);  // the old voice went quiet and stopped
      EXPECT_EQ(mixerVoices[32].rampFramesLeft, 0);
    } else {
      EXPECT_NEAR(pcm[2 * 881], 5976, 2);
      EXPECT_NEAR(pcm[2 * (882 + 200)], -5976, 2);
      EXPECT_NEAR(pcm[2 * (882 + 64)], 0, 100);
      for (int f = 882; f < 882 + 128; ++f) {
        ASSERT_LE(std::abs(pcm[2 * f] - pcm[2 * f - 2]), 96) << "frame " << f;
      }
    }
  }
}

// Channel c sounds on voice c or c + 32 (c - 32 from 32 on), so channels 3 and 35 never share.
TEST_F(Mixer, WideModulesGiveEachChannelItsOwnPairOfVoices) {
  TestSong t(40, 1);
  int p = t.addPattern(2);
  t.addInstrument(std::vector<int16_t>(64, 100), LoopMode::Forward, 0, 64);
  for (int c : {3, 35}) {
    t.set(p, 0, c, Cell{kC4, 1, 0, 0, 0});
    t.set(p, 1, c, Cell{kC4, 1, 0, 0, 0});
  }
  SongPtr song = t.finish({p});
  startOffline(song.get());
  tick(*song);
  EXPECT_EQ(musicChannels[35].voice, &mixerVoices[35]);
  tick(*song);
  EXPECT_EQ(musicChannels[3].voice, &mixerVoices[43]);
  EXPECT_EQ(musicChannels[35].voice, &mixerVoices[75]);
  EXPECT_NE(mixerVoices[35].sample, nullptr);  // ramping out, not overwritten by channel 3
}

TEST_F(Mixer, OfflineRenderingDoesNotDependOnHowTheOutputIsSliced) {
  std::vector<uint8_t> xm;
  BuildError error;
  ASSERT_TRUE(buildSong(R"(
channels 3
speed 3
tempo 141
order 0 0
instrument 1
  wave triangle 0.8
  period 32
  length 256
  loop pingpong 32 256
  envelope volume 0:64 6:20 20:40 sustain 2
  fadeout 800
end
pattern 0 8
  0 C-4 01 .. ... | E-4 01 30 ... | G-4 01 .. 1B4
  3 === .. .. ... | C-5 01 .. 305 | === .. .. ...
  5 A-3 01 .. A0F
end
)",
                        &xm, &error))
      << error.message;
  SongPtr song(loadSongFromMemory(xm));
  ASSERT_TRUE(song);
  std::vector<int16_t> whole = test::renderFrames(song.get(), 20000);
  startOffline(song.get());
  std::vector<int16_t> sliced(whole.size());
  size_t at = 0;
  for (size_t n : {1u, 883u, 884u, 7u, 5000u}) {
    renderOffline(std::span<int16_t>(sliced.data() + at, n * 2));
    at += n * 2;
  }
  renderOffline(std::span<int16_t>(sliced.data() + at, sliced.size() - at));
  EXPECT_EQ(whole, sliced);
  int peak = 0;
  for (int16_t v : whole) peak = std::max(peak, std::abs(static_cast<int>(v)));
  EXPECT_GT(peak, 1000);
}

}  // namespace
}  // namespace glimmer::music
