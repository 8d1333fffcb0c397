// The mixer: interpolation, one-shot ends, forward and ping-pong loops, volume ramps on
// retriggers, volume and panning, wide modules.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/music/test_support.h"

namespace glimmer::music {
namespace {

using test::Cell, test::TestSong;

constexpr int64_t kOne = int64_t{1} << 32;
constexpr uint8_t kC4 = test::noteByte(4, 0);

TEST(Mixer, VoiceRendering) {
  // clang-format off
  struct {
    const char* name; std::vector<int16_t> data; LoopMode mode; uint32_t loopStart, loopLength;
    int64_t step; std::vector<float> left; bool sounding;  // whether the voice plays on
  } cases[] = {
    // Half steps interpolate linearly between neighbours.
    {"interpolation", {0, 1000, 3000, 3000}, LoopMode::None, 0, 0, kOne / 2,
     {0, 500, 1000, 2000, 3000, 3000}, true},
    // A one-shot sample ends at its last frame and the voice stops.
    {"one-shot", {0, 100, 200, 300}, LoopMode::None, 0, 0, kOne, {0, 100, 200, 300, 0, 0}, false},
    // Loop frames 2..4: back to frame 2 after frame 4.
    {"forward loop", {0, 10, 20, 30, 40, 50}, LoopMode::Forward, 2, 3, kOne,
     {0, 10, 20, 30, 40, 20, 30, 40, 20, 30, 40, 20}, true},
    // Loop frames 2..5 forward then backward; frame 6 is the guard, the last loop frame again.
    {"ping-pong", {0, 10, 20, 30, 40, 50, 60, 70}, LoopMode::PingPong, 2, 4, kOne,
     {0, 10, 20, 30, 40, 50, 50, 50, 40, 30, 20, 30, 40, 50, 50, 50, 40, 30, 20}, true},
    // A step longer than the loop (frames 4..6, which and whose guard alone hold 100) reflects as
    // often as it must: after the first frame every frame reads 100.
    {"ping-pong, long step", {0, 0, 0, 0, 100, 100, 100, 0}, LoopMode::PingPong, 4, 3,
     5 * kOne + kOne / 3, {0, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100}, true},
  };
  // clang-format on
  prepareMixer(1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Voice 0 plays the sample at unit gain on the left, no ramp.
    auto sample = test::makeSample(c.data, c.mode, c.loopStart, c.loopLength);
    MixerVoice& v = mixerVoices[0] = {
        .sample = sample.get(), .leftVolume = 255, .step = c.step, .rampLeft = 255 * 256};
    std::vector<float> out(c.left.size() * 2), left;
    mixVoices(out.data(), static_cast<int>(c.left.size()));
    for (size_t i = 0; i < c.left.size(); ++i) left.push_back(out[2 * i]);
    EXPECT_EQ(left, c.left);
    EXPECT_EQ(v.sample != nullptr, c.sounding);
  }
}

// A note retriggered at speed 1 on row 1 (frame 882): the old note ramps out on its voice while
// the new one ramps in on the twin (voice 32) over 128 frames. Volume 64 gives 127 and panning p
// sends 127 x (255 - p) / 255 left and 127 x p / 255 right. Two constant samples of the same value
// at panning 128 (63 a side: 12000 x 63 / 255 = 2964) keep the sum flat (no click); of opposite
// values hard left (12000 x 127 / 255 = 5976, nothing right) the output crosses linearly, about
// 2 x 5976 / 128 per frame, through 0 at frame 882 + 64.
TEST(Mixer, RetriggerRampsOutTheOldNoteAndInTheNew) {
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
      for (size_t i = 2 * 500; i < pcm.size(); ++i)
        ASSERT_NEAR(pcm[i], 2964, 2) << "frame " << i / 2;
      EXPECT_EQ(musicChannels[0].voice, &mixerVoices[32]);
      EXPECT_EQ(mixerVoices[0].sample, nullptr);  // the old voice went quiet and stopped
      EXPECT_EQ(mixerVoices[32].rampFramesLeft, 0);
    } else {
      EXPECT_NEAR(pcm[2 * 881], 5976, 2);
      EXPECT_EQ(pcm[2 * 881 + 1], 0);
      EXPECT_NEAR(pcm[2 * (882 + 200)], -5976, 2);
      EXPECT_NEAR(pcm[2 * (882 + 64)], 0, 100);
      for (int f = 882; f < 882 + 128; ++f)
        ASSERT_LE(std::abs(pcm[2 * f] - pcm[2 * f - 2]), 96) << "frame " << f;
    }
  }
}

// Channel c of a module up to 32 channels wide sounds on voice c or c + 32; in wider ones (40
// here) on c or c + 40, so channels 3 and 35 never share a voice.
TEST(Mixer, WideModulesGiveEachChannelItsOwnPairOfVoices) {
  TestSong t(40, 1);
  int p = t.addPattern(2);
  t.addInstrument(std::vector<int16_t>(64, 100), LoopMode::Forward, 0, 64);
  for (int cell : {0, 1, 2, 3}) t.set(p, cell / 2, cell % 2 ? 35 : 3, Cell{kC4, 1, 0, 0, 0});
  SongPtr song = t.finish({p});
  startOffline(song.get());
  tick(*song);
  EXPECT_EQ(musicChannels[35].voice, &mixerVoices[35]);
  tick(*song);
  EXPECT_EQ(musicChannels[3].voice, &mixerVoices[43]);
  EXPECT_EQ(musicChannels[35].voice, &mixerVoices[75]);
  EXPECT_NE(mixerVoices[35].sample, nullptr);  // ramping out, not overwritten by channel 3
}

}  // namespace
}  // namespace glimmer::music
