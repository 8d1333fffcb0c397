// The output ring against a scripted device, the SDL sound ring on SDL's dummy driver (no sound
// card needed) with a lost device, and seeking while the device plays.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/sound.h"
#include "tests/music/test_support.h"

namespace glimmer::music {
namespace {

constexpr uint64_t kBlock = 884;  // frames per block at 44100 Hz: (882 + 3) with two bits cleared
constexpr uint64_t kRing = 100;   // blocks in the ring

// Polls `done` every millisecond for at most `ms` milliseconds; returns its last answer.
bool waitFor(auto done, int ms) {
  for (int i = 0; i < ms && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return done();
}

// A device whose read and heard positions the test sets; it counts the output thread's polls.
struct ScriptedDevice : SoundDevice {
  bool open(int) override { return true; }
  void start(const int16_t*, uint32_t) override {}
  uint64_t readBytes() override { return polls.fetch_add(1), read.load() * 4; }
  uint64_t heardBytes() override { return heard.load() * 4; }
  void close() override {}
  // Sets the positions (in frames) and waits until the thread has seen them twice over.
  void moveTo(uint64_t readFrames, uint64_t heardFrames) {
    read.store(readFrames), heard.store(heardFrames);
    const uint64_t seen = polls.load();
    waitFor([&] { return polls.load() >= seen + 2; }, 5000);
  }
  std::atomic<uint64_t> read{0}, heard{0}, polls{0};
};

// One channel, one tick (882 frames) per row: a looping ramp whose volume changes every row, so
// that no two blocks of the first seconds hold the same samples.
SongPtr rampSong(int orders) {
  test::TestSong t(1, 1);
  const int p = t.addPattern(64);
  std::vector<int16_t> ramp(100);
  for (int i = 0; i < 100; ++i) ramp[size_t(i)] = static_cast<int16_t>((i - 50) * 400);
  t.addInstrument(ramp, LoopMode::Forward, 0, 100);
  t.set(p, 0, 0, {test::noteByte(4, 0), 1, 0x50, 0, 0});
  for (int r = 1; r < 64; ++r) t.set(p, r, 0, {0, 0, static_cast<uint8_t>(0x10 + r), 0, 0});
  return t.finish(std::vector<int>(size_t(orders), 0));
}

// Only blocks the device has wholly read are rendered again, one ring later: slot k holds block
// k, or k + 100 once block k was finished, and so on. The position queries describe the heard
// block h, whose record is the row reached at its end: tick floor(884 (h + 1) / 882), one row a
// tick, 64 rows an order.
TEST(OutputRing, RefillsWhatTheDeviceReadAndReportsWhatItHeard) {
  const struct {
    uint64_t read, heard, refilled;  // frames read and heard; blocks finished (read / 884)
    int order, row;
  } rows[] = {
      {0, 0, 0, 0, 1},                                      // nothing read; block 0 ends in tick 1
      {883, 883, 0, 0, 1},                                  // one frame short of the first block
      {884, 884, 1, 0, 2},                                  // block 0 finished: 1768 / 882
      {3 * kBlock + 500, 3 * kBlock + 500, 3, 0, 4},        // inside block 3: 3536 / 882
      {kRing * kBlock - 1, kRing * kBlock - 1, 99, 1, 36},  // last block of the ring: tick 100
      {(kRing + 1) * kBlock, (kRing + 1) * kBlock, 101, 1, 38},  // slot 0 holds block 200
      {10 * kBlock, 10 * kBlock - 2000, 10, 0, 8},      // heard block 7 ends at 7072: tick 8
      {150 * kBlock, 150 * kBlock - 1024, 150, 2, 21},  // block 148, refilled since: tick 149
  };
  SongPtr song = rampSong(8);
  // The song rendered offline in uneven slices (1, 6, then 31, 156, 781 and 906 frames round and
  // round): however the output is sliced, the samples are those of the ring's whole blocks.
  std::vector<int16_t> pcm(3 * kRing * kBlock * 2);
  startOffline(song.get());
  for (size_t at = 0, n = 2; at < pcm.size(); at += n, n = (n * 5 + 2) % 3000)
    renderOffline(std::span(pcm).subspan(at, std::min(n, pcm.size() - at)));
  installResourceCallbacks();
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "read " << row.read << " heard " << row.heard);
    ScriptedDevice device;
    ASSERT_TRUE(play(song.get(), device));
    device.moveTo(row.read, row.heard);
    for (uint64_t slot = 0; slot < kRing; ++slot) {
      const uint64_t block = slot + (row.refilled + kRing - 1 - slot) / kRing * kRing;
      const int16_t* have = output.ring.data() + slot * kBlock * 2;
      ASSERT_TRUE(std::equal(have, have + kBlock * 2, pcm.data() + block * kBlock * 2))
          << "slot " << slot << " should hold block " << block;
    }
    EXPECT_EQ(positionOrder(song.get()), row.order);
    EXPECT_EQ(positionRow(song.get()), row.row);
    stop(song.get());
  }
  resetPlayer();
}

// The dummy driver consumes the ring in real time. Once its callback stops coming, within the
// stall limit the device counts as lost and the read position (and the song) follows the clock.
TEST(SdlSoundDevice, DummyDriverPlaysTheRingAndALostDeviceLeavesThePositionToTheClock) {
  platform::SdlSoundDevice device;
  ASSERT_TRUE(device.open(kMixRate));
  EXPECT_TRUE(device.silent()) << device.driver();
  SongPtr song = rampSong(1);
  installResourceCallbacks();
  ASSERT_TRUE(play(song.get(), device));
  EXPECT_TRUE(waitFor([] { return output.audibleBlock.load() >= 2; }, 5000));
  EXPECT_GT(positionTimeMs(song.get()), 0u);
  EXPECT_GT(device.heardBytes(), 0u);

  device.simulateLoss();
  EXPECT_TRUE(waitFor([&] { return device.lost(); }, 2000));
  // Once the clock has passed what the callback had read ahead, heardBytes() follows the clock
  // (at the distance of the read position the output thread polls): over 400 ms, 44100 frames a
  // second give or take that thread's 5 ms polling on either side (441 frames).
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto start = std::chrono::steady_clock::now();
  const uint64_t before = device.heardBytes() / 4;
  const uint32_t timeBefore = positionTimeMs(song.get());
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const uint64_t after = device.heardBytes() / 4;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_NEAR(double(after - before), elapsed.count() * 44100, 441);
  EXPECT_TRUE(waitFor([&] { return positionTimeMs(song.get()) >= timeBefore + 200; }, 2000));
  EXPECT_TRUE(stop(song.get()));
  EXPECT_EQ(device.readBytes(), 0u);  // closed
  resetPlayer();
}

// Two orders of 16 rows, speed 6 at 125 BPM (882 frames a tick, 44100 * 2.5 / 125). Row 8 sets
// speed 3 (F03); order 1 row 0 sets 150 BPM (F96: 735 frames a tick). Channel 0 strikes a note
// at volume 0x20 on row 0 (volume column 0x30); channel 1 one at volume 0x30 on order 1 row 0.
SongPtr seekSong() {
  test::TestSong t(2);
  t.addInstrument(std::vector<int16_t>(2000, 8000), LoopMode::Forward, 0, 2000);
  const int p0 = t.addPattern(16), p1 = t.addPattern(16);
  t.set(p0, 0, 0, {test::noteByte(4, 0), 1, 0x30, 0, 0});
  t.set(p0, 8, 0, {0, 0, 0, 0x0F, 0x03});
  t.set(p1, 0, 0, {0, 0, 0, 0x0F, 0x96});
  t.set(p1, 0, 1, {test::noteByte(4, 2), 1, 0x40, 0, 0});
  return t.finish({p0, p1});
}

// Rows 0-7: 6 x 882 = 5292 frames; rows 8-15: 3 x 882 = 2646, so order 1 starts at
// 8 x 5292 + 8 x 2646 = 63504; its rows last 3 x 735 = 2205. volume1 is channel 1's volume once
// the row has started.
struct RowCase {
  int64_t frame;
  int order, row, speed, samplesPerTick, volume1;
};
constexpr RowCase kRows[] = {
    {0, 0, 0, 6, 882, 0},      {26460, 0, 5, 6, 882, 0},    {42336, 0, 8, 3, 882, 0},
    {55566, 0, 13, 3, 882, 0}, {63504, 1, 0, 3, 735, 0x30}, {63504 + 9 * 2205, 1, 9, 3, 735, 0x30},
};

// The row of the table above that holds song frame f.
int rowAt(int64_t f) {
  const int64_t inOrder = f % (63504 + 16 * 2205);
  if (inOrder < 42336) return static_cast<int>(inOrder / 5292);
  if (inOrder < 63504) return 8 + static_cast<int>((inOrder - 42336) / 2646);
  return 16 + static_cast<int>((inOrder - 63504) / 2205);
}

// For each row: a silent seek (which renders nothing ahead, so the state can be read) puts the
// sequencer at the row with the speed, tempo and channel volumes the rows before left, and one
// frame earlier still belongs to the row before. A seek while playing then makes the device's
// position follow the timeline from the row.
TEST(Seek, ChasePlacesTheSongAtTheRowAndTheDeviceFollowsFromThere) {
  SongPtr song = seekSong();
  installResourceCallbacks();
  platform::SdlSoundDevice device;
  ASSERT_TRUE(device.open(kMixRate));
  ASSERT_TRUE(play(song.get(), device));
  for (const RowCase& r : kRows) {
    SCOPED_TRACE(testing::Message() << "order " << r.order << " row " << r.row);
    if (r.frame > 0) {
      EXPECT_TRUE(seekTo(song.get(), r.frame - 1, true));
      EXPECT_EQ(song->playback->order * 16 + song->playback->row, r.order * 16 + r.row - 1);
    }
    EXPECT_TRUE(seekTo(song.get(), r.frame, true));
    const SongPlayback& at = *song->playback;  // order, row, speed, tick, volumes, frame
    EXPECT_EQ((std::vector<int64_t>{at.order, at.row, at.speed, at.samplesPerTick,
                                    musicChannels[0].volume, musicChannels[1].volume,
                                    playingFrame(song.get())}),
              (std::vector<int64_t>{r.order, r.row, r.speed, r.samplesPerTick, 0x20, r.volume1,
                                    r.frame}));

    const uint64_t before = device.heardBytes();
    EXPECT_TRUE(seekTo(song.get(), r.frame));
    // Once the rewritten blocks are audible (two 20 ms blocks ahead), the position the device
    // has reached maps onto the song at the row's frame plus what the device played since.
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    const int64_t now = playingFrame(song.get());
    const int64_t played = static_cast<int64_t>(device.heardBytes() - before) / 4;
    EXPECT_NEAR(static_cast<double>(now), static_cast<double>(r.frame + played), r.samplesPerTick);
    // What the output actually rendered for the block the device plays names the same row,
    // give or take the tick and the 884-frame block that the record lags or leads by.
    const int reported = positionOrder(song.get()) * 16 + positionRow(song.get());
    EXPECT_GE(reported, rowAt(now - r.samplesPerTick - 884));
    EXPECT_LE(reported, rowAt(now + r.samplesPerTick + 884));
  }
  stop(song.get());
  resetPlayer();
}

TEST(Seek, TheRingHoldsTheNextRowsNoteAtItsFrame) {
  // A device moved by hand, so that nothing it plays is rewritten while the ring is read.
  SongPtr song = seekSong();
  installResourceCallbacks();
  NullSoundDevice device;
  device.setManual(true);
  ASSERT_TRUE(play(song.get(), device));
  // Channel 1's note at frame 63504 raises the level. Seeking before it from places all round
  // the ring (rows: frames from the point sought to the note, frames the device plays first), the
  // ring must hold the rise where the device will be when the song reaches that frame.
  const std::pair<int64_t, uint64_t> cases[] = {
      {20000, 30000}, {7000, 41000}, {2500, 12345}, {2500, 60000}};
  for (auto [before, move] : cases) {
    SCOPED_TRACE(testing::Message() << before << " frames before the note");
    device.advanceFrames(move);
    ASSERT_TRUE(seekTo(song.get(), 63504 - before));
    const int64_t ringFrames = static_cast<int64_t>(output.ring.size() / 2);
    const int64_t deviceFrame = static_cast<int64_t>(device.heardBytes() / 4);
    const int64_t songFrame = playingFrame(song.get());
    ASSERT_EQ(songFrame, 63504 - before);
    auto left = [&](int64_t frame) {
      const int64_t at = ((deviceFrame + frame - songFrame) % ringFrames + ringFrames) % ringFrames;
      return static_cast<int>(output.ring[static_cast<size_t>(at) * 2]);
    };
    // Up to two blocks (1768 frames) after the point sought to, the ring still holds the old
    // sound (the device may be playing it); the search starts after that.
    const int low = left(63504 - 300), high = left(63504 + 600);
    ASSERT_GT(high, low + 500);
    int64_t rise = 63504 - 300;
    while (rise < 63504 + 600 && left(rise) < (low + high) / 2) ++rise;
    // The new note ramps in over 128 frames; its middle lies well within one 735-frame tick.
    EXPECT_NEAR(static_cast<double>(rise), 63504.0, 735.0);
  }
  stop(song.get());
  resetPlayer();
}

}  // namespace
}  // namespace glimmer::music
