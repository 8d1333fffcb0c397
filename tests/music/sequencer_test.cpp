// The sequencer: tick length, row flow (pattern break, song end, restart, speed 0), envelopes,
// key off, fadeout, tone portamento, volume column and retrigger.
#include <gtest/gtest.h>

#include "tests/music/test_support.h"

namespace glimmer::music {
namespace {

using test::Cell;
using test::noteByte;
using test::TestSong;

const uint8_t kC4 = noteByte(4, 0);
const uint8_t kE4 = noteByte(4, 4);

std::vector<int16_t> constantSample(size_t n, int16_t v = 8000) {
  return std::vector<int16_t>(n, v);
}

class Sequencer : public ::testing::Test {
 protected:
  void TearDown() override { resetPlayer(); }
};

TEST_F(Sequencer, TickLastsEightHundredEightyTwoFramesAndTwentyMsAt125Bpm) {
  TestSong t(1, 6, 125);
  t.addPattern(4);
  SongPtr song = t.finish({0});
  startOffline(song.get());
  EXPECT_EQ(song->playback->samplesPerTick, 882);
  std::vector<int16_t> pcm(882 * 2);
  renderOffline(pcm);  // one block of 884 frames: one whole tick and 2 frames of the next
  EXPECT_EQ(song->playback->timeMs, 20u);
  EXPECT_EQ(song->playback->tickSamplesLeft, 880);
  setTempo(*song, 150);
  EXPECT_EQ(song->playback->samplesPerTick, 735);
  setTempo(*song, 32);
  EXPECT_EQ(song->playback->samplesPerTick, 3445);
}

TEST_F(Sequencer, RowsFollowSpeedAndTempo) {
  TestSong t(1, 3, 125);
  int p = t.addPattern(4);
  t.set(p, 2, 0, Cell{0, 0, 0, 0xF, 2});
  SongPtr song = t.finish({0});
  SongTimeline tl = songTimeline(song.get(), 1 << 20);
  ASSERT_TRUE(tl.ended);
  ASSERT_EQ(tl.rows.size(), 4u);
  EXPECT_EQ(tl.rows[1].frame, 3 * 882);
  EXPECT_EQ(tl.rows[2].frame, 6 * 882);
  EXPECT_EQ(tl.rows[3].frame, 8 * 882);  // speed 2 from row 2 on
  EXPECT_EQ(tl.endFrame, 10 * 882);
}

TEST_F(Sequencer, PatternBreak70ContinuesAtRowZeroOfTheNextOrder) {
  TestSong t(1);
  int a = t.addPattern(8);
  int b = t.addPattern(8);
  t.set(a, 2, 0, Cell{0, 0, 0, 0xD, 0x70});
  t.set(b, 1, 0, Cell{0, 0, 0, 0xD, 0x05});
  SongPtr song = t.finish({a, b, a});
  SongTimeline tl = songTimeline(song.get(), 1 << 22);
  ASSERT_GE(tl.rows.size(), 6u);
  EXPECT_EQ(tl.rows[3].order, 1);
  EXPECT_EQ(tl.rows[3].row, 0);
  // D05 jumps to row 5 of the next order.
  EXPECT_EQ(tl.rows[5].order, 2);
  EXPECT_EQ(tl.rows[5].row, 5);
}

TEST_F(Sequencer, BreakOnTheLastOrderGoesToZeroButRunningOffTheEndGoesToRestart) {
  for (bool withBreak : {true, false}) {
    TestSong t(1, 1);
    int p = t.addPattern(2);
    if (withBreak) t.set(p, 1, 0, Cell{0, 0, 0, 0xD, 0});
    SongPtr song = t.finish({p, p, p}, 1);
    startOffline(song.get());
    std::vector<std::pair<int, int>> seen;
    for (int i = 0; i < 8; ++i) {
      tick(*song);
      seen.push_back({song->playback->order, song->playback->row});
    }
    int expectedOrder = withBreak ? 0 : 1;
    EXPECT_EQ(seen[6], std::make_pair(expectedOrder, 0)) << withBreak;
    EXPECT_EQ(song->playback->wrapCount, 1u);
  }
}

TEST_F(Sequencer, BreakIntoARowThePatternLacksStartsAtItsTop) {
  TestSong t(1, 1);
  int a = t.addPattern(4);
  int b = t.addPattern(4);
  t.set(a, 0, 0, Cell{0, 0, 0, 0xD, 0x12});
  SongPtr song = t.finish({a, b});
  startOffline(song.get());
  tick(*song);
  tick(*song);
  EXPECT_EQ(song->playback->order, 1);
  EXPECT_EQ(song->playback->row, 0);
}

// F00 would stop the tracker; players keep the speed, and so does this one.
TEST_F(Sequencer, SpeedZeroKeepsTheSpeed) {
  TestSong t(1, 6);
  int p = t.addPattern(8);
  t.set(p, 0, 0, Cell{0, 0, 0, 0xF, 0x00});
  SongPtr song = t.finish({p});
  SongTimeline tl = songTimeline(song.get(), 1 << 20);
  ASSERT_EQ(tl.rows.size(), 8u);
  for (int r = 0; r < 8; ++r) EXPECT_EQ(tl.rows[r].frame, r * 6 * 882);
}

TEST_F(Sequencer, VolumeEnvelopeInterpolatesHoldsSustainAndReleasesOnKeyOff) {
  TestSong t(1, 16);
  int p = t.addPattern(4);
  Instrument& inst = t.addInstrument(constantSample(64), LoopMode::Forward, 0, 64);
  inst.volumeEnvelope[0] = {0, 64};
  inst.volumeEnvelope[1] = {4, 32};
  inst.volumeEnvelope[2] = {8, 0};
  inst.volumePointCount = 3;
  inst.volumeType = kEnvelopeOn | kEnvelopeSustain;
  inst.volumeSustain = 1;
  inst.fadeout = 0;
  t.set(p, 0, 0, Cell{kC4, 1, 0, 0, 0});
  t.set(p, 1, 0, Cell{kNoteKeyOff, 0, 0, 0, 0});
  SongPtr song = t.finish({p});
  startOffline(song.get());
  std::vector<int> values;
  for (int i = 0; i < 16; ++i) {
    tick(*song);
    values.push_back(musicChannels[0].volumeEnvelope.value);
  }
  EXPECT_EQ(values,
            (std::vector<int>{64, 56, 48, 40, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32}));
  values.clear();
  for (int i = 0; i < 6; ++i) {
    tick(*song);
    values.push_back(musicChannels[0].volumeEnvelope.value);
  }
  // Key off lets the envelope leave the sustain point toward its last point, where it stops.
  EXPECT_EQ(values, (std::vector<int>{32, 24, 16, 8, 0, 0}));
  EXPECT_TRUE(musicChannels[0].volumeEnvelope.stopped);
}

TEST_F(Sequencer, EnvelopeLoopJumpsBack) {
  TestSong t(1, 32);
  int p = t.addPattern(1);
  Instrument& inst = t.addInstrument(constantSample(64), LoopMode::Forward, 0, 64);
  inst.volumeEnvelope[0] = {0, 0};
  inst.volumeEnvelope[1] = {2, 64};
  inst.volumeEnvelope[2] = {4, 32};
  inst.volumePointCount = 3;
  inst.volumeType = kEnvelopeOn | kEnvelopeLoop;
  inst.volumeLoopStart = 1;
  inst.volumeLoopEnd = 2;
  t.set(p, 0, 0, Cell{kC4, 1, 0, 0, 0});
  SongPtr song = t.finish({p});
  startOffline(song.get());
  std::vector<int> values;
  for (int i = 0; i < 9; ++i) {
    tick(*song);
    values.push_back(musicChannels[0].volumeEnvelope.value);
  }
  EXPECT_EQ(values, (std::vector<int>{0, 32, 64, 48, 64, 48, 64, 48, 64}));
}

TEST_F(Sequencer, KeyOffWithoutEnvelopeMutesAtOnce) {
  TestSong t(1, 4);
  int p = t.addPattern(2);
  t.addInstrument(constantSample(64), LoopMode::Forward, 0, 64);
  t.set(p, 0, 0, Cell{kC4, 1, 0, 0, 0});
  t.set(p, 1, 0, Cell{kNoteKeyOff, 0, 0, 0, 0});
  SongPtr song = t.finish({p});
  startOffline(song.get());
  for (int i = 0; i < 4; ++i) tick(*song);
  EXPECT_EQ(musicChannels[0].voice->volume, 127);
  tick(*song);  // row 1: key off
  EXPECT_EQ(musicChannels[0].voice->volume, 0);
  EXPECT_EQ(musicChannels[0].keyOff, 1);
}

TEST_F(Sequencer, KeyOffWithEnvelopeFadesByTheDoubledFadeoutPerTick) {
  TestSong t(1, 4);
  int p = t.addPattern(4);
  Instrument& inst = t.addInstrument(constantSample(64), LoopMode::Forward, 0, 64);
  inst.volumeEnvelope[0] = {0, 64};
  inst.volumeEnvelope[1] = {10, 64};
  inst.volumePointCount = 2;
  inst.volumeType = kEnvelopeOn | kEnvelopeSustain;
  inst.fadeout = 2 * 4096;  // the loader doubles the file's 4096
  t.set(p, 0, 0, Cell{kC4, 1, 0, 0, 0});
  t.set(p, 1, 0, Cell{0, 0, 0, 0x14, 0});  // effect K
  SongPtr song = t.finish({p});
  startOffline(song.get());
  for (int i = 0; i < 4; ++i) tick(*song);
  EXPECT_EQ(musicChannels[0].fadeout, 65536);
  tick(*song);
  EXPECT_EQ(musicChannels[0].fadeout, 65536 - 8192);
  EXPECT_EQ(musicChannels[0].voice->volume, 111);  // 127 x 7/8, truncated
  for (int i = 0; i < 7; ++i) tick(*song);
  EXPECT_EQ(musicChannels[0].fadeout, 0);
  EXPECT_EQ(musicChannels[0].voice->volume, 0);
}

TEST_F(Sequencer, TonePortamentoKeepsTheOldSampleAndSlides) {
  TestSong t(1, 4);
  int p = t.addPattern(2);
  t.addInstrument(constantSample(64, 1000), LoopMode::Forward, 0, 64);
  t.addInstrument(constantSample(64, 2000), LoopMode::Forward, 0, 64);
  t.set(p, 0, 0, Cell{kC4, 1, 0, 0, 0});
  t.set(p, 1, 0, Cell{kE4, 2, 0, 0x3, 0x10});
  SongPtr song = t.finish({p});
  startOffline(song.get());
  for (int i = 0; i < 4; ++i) tick(*song);
  MusicChannel& ch = musicChannels[0];
  const Sample* first = ch.sample;
  MixerVoice* voice = ch.voice;
  EXPECT_EQ(ch.period, 7680 - 48 * 64);
  tick(*song);  // row 1: no retrigger, no pitch change yet
  EXPECT_EQ(ch.sample, first);
  EXPECT_EQ(ch.voice, voice);
  EXPECT_EQ(ch.instrument, 0);
  EXPECT_EQ(ch.period, 7680 - 48 * 64);
  EXPECT_EQ(ch.portaTarget, 7680 - 52 * 64);
  tick(*song);
  EXPECT_EQ(ch.period, 7680 - 48 * 64 - 64);
  tick(*song);
  tick(*song);
  EXPECT_EQ(ch.period, 7680 - 48 * 64 - 192);
  // The target is reached and held.
  for (int i = 0; i < 4; ++i) tick(*song);
  EXPECT_LE(ch.period, 7680 - 48 * 64);
}

TEST_F(Sequencer, PortamentoStopsAtTheTarget) {
  TestSong t(1, 8);
  int p = t.addPattern(2);
  t.addInstrument(constantSample(64), LoopMode::Forward, 0, 64);
  t.set(p, 0, 0, Cell{kC4, 1, 0, 0, 0});
  t.set(p, 1, 0, Cell{noteByte(4, 1), 0, 0, 0x3, 0xFF});
  SongPtr song = t.finish({p});
  startOffline(song.get());
  for (int i = 0; i < 10; ++i) tick(*song);
  EXPECT_EQ(musicChannels[0].period, 7680 - 49 * 64);
}

TEST_F(Sequencer, VolumeColumnAndVolumeSlide) {
  TestSong t(1, 4);
  int p = t.addPattern(3);
  t.addInstrument(constantSample(64), LoopMode::Forward, 0, 64, 40);
  t.set(p, 0, 0, Cell{kC4, 1, 0x30, 0, 0});     // volume 0x20
  t.set(p, 1, 0, Cell{0, 0, 0x63, 0, 0});       // slide down 3 on ticks 1..3
  t.set(p, 2, 0, Cell{0, 0, 0x85, 0xA, 0x20});  // fine down 5 once, then A slides up 2 per tick
  SongPtr song = t.finish({p});
  startOffline(song.get());
  tick(*song);
  EXPECT_EQ(musicChannels[0].volume, 0x20);
  for (int i = 0; i < 3; ++i) tick(*song);
  for (int i = 0; i < 4; ++i) tick(*song);
  EXPECT_EQ(musicChannels[0].volume, 0x20 - 9);
  tick(*song);
  EXPECT_EQ(musicChannels[0].volume, 0x20 - 9 - 5);
  for (int i = 0; i < 3; ++i) tick(*song);
  EXPECT_EQ(musicChannels[0].volume, 0x20 - 14 + 6);
}

TEST_F(Sequencer, RetriggerChangesVolumeAndRestartsTheNote) {
  TestSong t(1, 6);
  int p = t.addPattern(1);
  t.addInstrument(constantSample(64), LoopMode::Forward, 0, 64, 32);
  t.set(p, 0, 0, Cell{kC4, 1, 0, 0x1B, 0x92});  // +1 every 2 ticks
  SongPtr song = t.finish({p});
  startOffline(song.get());
  tick(*song);
  MixerVoice* first = musicChannels[0].voice;
  tick(*song);
  EXPECT_EQ(musicChannels[0].volume, 32);
  tick(*song);  // tick 2: retrigger
  EXPECT_EQ(musicChannels[0].volume, 33);
  EXPECT_NE(musicChannels[0].voice, first);
  tick(*song);
  tick(*song);
  EXPECT_EQ(musicChannels[0].volume, 34);
  EXPECT_EQ(musicChannels[0].voice, first);
}

TEST_F(Sequencer, NoteFrequencyFollowsTheLinearAndAmigaTables) {
  for (bool linear : {true, false}) {
    TestSong t(1, 6, 125, linear);
    int p = t.addPattern(1);
    t.addInstrument(constantSample(64), LoopMode::Forward, 0, 64);
    t.set(p, 0, 0, Cell{noteByte(5, 0), 1, 0, 0, 0});
    SongPtr song = t.finish({p});
    startOffline(song.get());
    tick(*song);
    // C-5 plays the sample at twice 8363 Hz.
    double frequency = static_cast<double>(musicChannels[0].voice->step) / 4294967296.0 * 44100;
    EXPECT_NEAR(frequency, 16726, linear ? 1.0 : 10.0) << linear;
  }
}

TEST_F(Sequencer, MissingInstrumentOrSampleIsSilentNotACrash) {
  TestSong t(2, 2);
  int p = t.addPattern(2);
  t.addInstrument({});  // an instrument whose sample has no data
  t.set(p, 0, 0, Cell{kC4, 1, 0, 0, 0});
  t.set(p, 0, 1, Cell{kC4, 99, 0, 0, 0});
  SongPtr song = t.finish({p});
  std::vector<int16_t> pcm = test::renderFrames(song.get(), 4000);
  for (int16_t v : pcm) ASSERT_EQ(v, 0);
}

}  // namespace
}  // namespace glimmer::music
