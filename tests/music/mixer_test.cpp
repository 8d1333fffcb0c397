// The mixer: interpolation, one-shot ends, forward and ping-pong loops, ramps on retrigger,
// volume and panning, wide modules, block rendering and the output thread over a null device.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "tests/music/test_support.h"

namespace glimmer::music {
namespace {

using test::Cell;
using test::noteByte;
using test::TestSong;

constexpr int64_t kOne = int64_t{1} << 32;

class Mixer : public ::testing::Test {
 protected:
  void SetUp() override {
    resetPlayer();
    prepareMixer(1);
  }
  void TearDown() override { resetPlayer(); }

  // A sample owned by the test with the loader's spare values and guard.
  const Sample* makeSample(std::vector<int16_t> data, LoopMode mode, uint32_t loopStart,
                           uint32_t loopLength) {
    auto s = std::make_unique<Sample>();
    s->length = static_cast<uint32_t>(data.size());
    s->loopMode = mode;
    s->loopStart = mode == LoopMode::None ? 0 : loopStart;
    s->loopLength = mode == LoopMode::None ? s->length : loopLength;
    s->storage = data;
    s->storage.resize(data.size() + 8, 0);
    uint32_t end = s->loopStart + s->loopLength;
    if (mode == LoopMode::PingPong) s->storage[end] = s->storage[end - 1];
    if (mode == LoopMode::Forward) s->storage[end] = s->storage[s->loopStart];
    s->data = s->storage.data();
    samples_.push_back(std::move(s));
    return samples_.back().get();
  }
  // Voice 0 playing the sample at unit gain on the left, no ramp.
  MixerVoice& startVoice(const Sample* s, int64_t step) {
    MixerVoice& v = mixerVoices[0];
    v.sample = s;
    v.step = step;
    v.leftVolume = 255;
    v.rightVolume = 0;
    v.rampLeft = 255 * 256;
    v.rampRight = 0;
    return v;
  }
  std::vector<float> mixLeft(int frames) {
    std::vector<float> out(size_t(frames) * 2, 0.0f);
    mixVoices(out.data(), frames);
    std::vector<float> left(frames);
    for (int i = 0; i < frames; ++i) left[i] = out[2 * i];
    return left;
  }

  std::vector<std::unique_ptr<Sample>> samples_;
};

std::vector<int16_t> ramp(int n, int scale) {
  std::vector<int16_t> d(n);
  for (int i = 0; i < n; ++i) d[i] = static_cast<int16_t>(i * scale);
  return d;
}

TEST_F(Mixer, LinearInterpolationBetweenNeighbours) {
  const Sample* s = makeSample({0, 1000, 3000, 3000}, LoopMode::None, 0, 0);
  startVoice(s, kOne / 2);
  std::vector<float> left = mixLeft(6);
  EXPECT_EQ(left, (std::vector<float>{0, 500, 1000, 2000, 3000, 3000}));
}

TEST_F(Mixer, OneShotSampleEndsAtItsLastFrameAndTheVoiceStops) {
  const Sample* s = makeSample(ramp(10, 100), LoopMode::None, 0, 0);
  MixerVoice& v = startVoice(s, kOne);
  std::vector<float> left = mixLeft(16);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(left[i], i * 100.0f) << i;
  for (int i = 10; i < 16; ++i) EXPECT_EQ(left[i], 0.0f) << i;
  EXPECT_EQ(v.sample, nullptr);
  EXPECT_EQ(v.position, 0);
}

TEST_F(Mixer, ForwardLoopWrapsToTheLoopStart) {
  const Sample* s = makeSample(ramp(6, 10), LoopMode::Forward, 2, 3);  // loop frames 2..4
  startVoice(s, kOne);
  std::vector<float> left = mixLeft(12);
  EXPECT_EQ(left, (std::vector<float>{0, 10, 20, 30, 40, 20, 30, 40, 20, 30, 40, 20}));
}

TEST_F(Mixer, PingPongPlaysForwardThenBackwardAndSoOn) {
  const Sample* s = makeSample(ramp(8, 10), LoopMode::PingPong, 2, 4);  // loop frames 2..5
  MixerVoice& v = startVoice(s, kOne);
  std::vector<float> left = mixLeft(19);
  // Frame 6 is the guard, which repeats the last loop frame.
  EXPECT_EQ(left, (std::vector<float>{0, 10, 20, 30, 40, 50, 50, 50, 40, 30, 20, 30, 40, 50, 50, 50,
                                      40, 30, 20}));
  EXPECT_EQ(v.direction, 1);
}

TEST_F(Mixer, PingPongWithAStepLongerThanTheLoopStaysInside) {
  const Sample* s = makeSample(ramp(16, 10), LoopMode::PingPong, 4, 3);
  MixerVoice& v = startVoice(s, 5 * kOne + kOne / 3);
  for (int i = 0; i < 200; ++i) {
    mixLeft(7);
    ASSERT_NE(v.sample, nullptr);
    ASSERT_GE(v.position, int64_t{4} << 32);
    ASSERT_LE(v.position, int64_t{7} << 32);
  }
}

TEST_F(Mixer, VolumeChangeRampsOverRampLengthFrames) {
  const Sample* s = makeSample(std::vector<int16_t>(4096, 10000), LoopMode::Forward, 0, 4096);
  MixerVoice& v = startVoice(s, kOne);
  v.leftVolume = 0;  // from unit gain down to silence
  std::vector<float> left = mixLeft(200);
  EXPECT_FLOAT_EQ(left[0], 10000.0f);
  EXPECT_NEAR(left[64], 5000.0f, 1.0f);
  EXPECT_NEAR(left[127], 10000.0f / 128, 1.0f);
  for (int i = 128; i < 200; ++i) EXPECT_EQ(left[i], 0.0f);
  EXPECT_EQ(v.rampFramesLeft, 0);
  EXPECT_EQ(v.rampLeft, 0);
}

TEST_F(Mixer, VolumeAndPanningFormulas) {
  TestSong t(1, 6);
  int p = t.addPattern(1);
  t.addInstrument(std::vector<int16_t>(64, 100), LoopMode::Forward, 0, 64, 32, 0);
  t.set(p, 0, 0, Cell{noteByte(4, 0), 1, 0, 0, 0});
  SongPtr song = t.finish({p});
  startOffline(song.get());
  tick(*song);
  MixerVoice& v = *musicChannels[0].voice;
  EXPECT_EQ(v.volume, 63);      // 32 of 64 gives 63.75, truncated
  EXPECT_EQ(v.leftVolume, 63);  // panning 0 is hard left
  EXPECT_EQ(v.rightVolume, 0);
  musicChannels[0].panning = 255;
  musicChannels[0].dirty = kDirtyPanning;
  updateVoice(*song, musicChannels[0]);
  EXPECT_EQ(v.leftVolume, 0);
  EXPECT_EQ(v.rightVolume, 63);
  musicChannels[0].panning = 128;
  musicChannels[0].dirty = kDirtyPanning;
  updateVoice(*song, musicChannels[0]);
  EXPECT_EQ(v.leftVolume, 63 * 127 / 255);
  EXPECT_EQ(v.rightVolume, 63 * 128 / 255);
}

// The old note fades out on its voice while the new one fades in on the twin; with a constant
// sample the sum stays flat, so there is no click at the retrigger.
TEST_F(Mixer, RetriggerRampsOutOldAndRampsInNewWithoutAClick) {
  TestSong t(1, 1);
  int p = t.addPattern(4);
  t.addInstrument(std::vector<int16_t>(1024, 12000), LoopMode::Forward, 0, 1024, 64, 128);
  t.set(p, 0, 0, Cell{noteByte(4, 0), 1, 0, 0, 0});
  t.set(p, 1, 0, Cell{noteByte(4, 0), 1, 0, 0, 0});
  SongPtr song = t.finish({p});
  std::vector<int16_t> pcm = test::renderFrames(song.get(), 882 + 400);
  // The first note ramps in from silence over 128 frames.
  EXPECT_EQ(pcm[0], 0);
  EXPECT_GT(pcm[2 * 127], 2900);
  int steady = pcm[2 * 500];
  EXPECT_NEAR(steady, 12000 * 63 / 255, 2);  // volume 127 split evenly: 63 on each side
  for (int f = 800; f < 882 + 400; ++f) {
    ASSERT_NEAR(pcm[2 * f], steady, 2) << "frame " << f;
    ASSERT_NEAR(pcm[2 * f], pcm[2 * f - 2], 2) << "frame " << f;
  }
  // The new note sounds on voice 32 and the old voice has gone quiet and stopped.
  EXPECT_EQ(musicChannels[0].voice, &mixerVoices[32]);
  EXPECT_EQ(mixerVoices[0].sample, nullptr);
  EXPECT_EQ(mixerVoices[32].rampFramesLeft, 0);
}

TEST_F(Mixer, RetriggerOfADifferentSampleCrossfadesOver128Frames) {
  TestSong t(1, 1);
  int p = t.addPattern(2);
  t.addInstrument(std::vector<int16_t>(1024, 12000), LoopMode::Forward, 0, 1024, 64, 0);
  t.addInstrument(std::vector<int16_t>(1024, -12000), LoopMode::Forward, 0, 1024, 64, 0);
  t.set(p, 0, 0, Cell{noteByte(4, 0), 1, 0, 0, 0});
  t.set(p, 1, 0, Cell{noteByte(4, 0), 2, 0, 0, 0});
  SongPtr song = t.finish({p});
  std::vector<int16_t> pcm = test::renderFrames(song.get(), 882 + 300);
  int before = pcm[2 * 881], after = pcm[2 * (882 + 200)];
  EXPECT_NEAR(before, 5976, 2);
  EXPECT_NEAR(after, -5976, 2);
  for (int f = 882; f < 882 + 128; ++f) {
    // Linear crossfade: each frame moves by about 2 x 5976 / 128.
    ASSERT_LE(std::abs(pcm[2 * f] - pcm[2 * f - 2]), 96) << "frame " << f;
  }
  EXPECT_NEAR(pcm[2 * (882 + 64)], 0, 100);
}

TEST_F(Mixer, WideModulesGiveEachChannelItsOwnPairOfVoices) {
  TestSong t(40, 1);
  int p = t.addPattern(2);
  t.addInstrument(std::vector<int16_t>(64, 100), LoopMode::Forward, 0, 64);
  for (int c : {3, 35}) {
    t.set(p, 0, c, Cell{noteByte(4, 0), 1, 0, 0, 0});
    t.set(p, 1, c, Cell{noteByte(4, 0), 1, 0, 0, 0});
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

TEST_F(Mixer, OutputThreadFillsTheRingBehindTheDevicePosition) {
  std::vector<uint8_t> xm;
  BuildError error;
  ASSERT_TRUE(buildSong(R"(
channels 2
speed 2
order 0 1
instrument 1
  wave saw 0.5
  length 128
  loop forward 0 128
end
pattern 0 16
  0 C-4 01
end
pattern 1 16
  0 D-4 01
end
)",
                        &xm, &error))
      << error.message;
  setModuleBytes(xm);
  installResourceCallbacks();
  SongPtr song(loadSong("song.xm"));
  ASSERT_TRUE(song);
  std::vector<int16_t> expected = test::renderFrames(song.get(), 88400 + 884 * 3);

  NullSoundDevice device;
  device.setManual(true);
  ASSERT_TRUE(play(song.get(), device));
  EXPECT_EQ(positionOrder(song.get()), 0);
  EXPECT_EQ(positionRow(song.get()), 0);
  const std::vector<int16_t>& ring = output.ring;
  ASSERT_EQ(ring.size(), 88400u * 2);
  EXPECT_TRUE(std::equal(ring.begin(), ring.end(), expected.begin()));

  // The device finishes three blocks: the thread renders three more in their place.
  device.advanceFrames(884 * 3);
  for (int i = 0; i < 2000 && output.audibleBlock.load() != 3; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(output.audibleBlock.load(), 3);
  stop(song.get());
  EXPECT_EQ(positionOrder(song.get()), 0);  // nothing plays any more
}

TEST_F(Mixer, PositionQueriesReportTheAudibleBlock) {
  TestSong t(1, 1);
  t.addPattern(64);
  t.addPattern(64);
  SongPtr song = t.finish({0, 1});
  installResourceCallbacks();
  NullSoundDevice device;
  device.setManual(true);
  ASSERT_TRUE(play(song.get(), device));
  // Block 0 was rendered first: it ends inside row 1 (one tick of 882 frames per row).
  EXPECT_EQ(positionRow(song.get()), 1);
  EXPECT_EQ(positionTimeMs(song.get()), 20u);
  device.advanceFrames(884 * 80);
  for (int i = 0; i < 2000 && output.audibleBlock.load() != 80; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(output.audibleBlock.load(), 80);
  // Block 80 ends at frame 81 x 884 = 71604, in tick 81 (row 81 = order 1 row 17).
  EXPECT_EQ(positionOrder(song.get()), 1);
  EXPECT_EQ(positionRow(song.get()), 17);
  stop(song.get());
}

}  // namespace
}  // namespace glimmer::music
