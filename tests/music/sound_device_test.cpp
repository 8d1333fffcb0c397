// The output ring against a device scripted by the test (which blocks get refilled, which block
// the position queries describe) and the SDL sound ring on SDL's dummy driver (no sound card
// needed): the output thread follows the device, and a lost device leaves the clock in charge.
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

// A device whose read and heard positions the test sets; it counts the output thread's polls.
class ScriptedDevice : public SoundDevice {
 public:
  bool open(int) override { return true; }
  void start(const int16_t*, uint32_t) override {}
  uint64_t readBytes() override {
    polls.fetch_add(1);
    return read.load() * 4;
  }
  uint64_t heardBytes() override { return heard.load() * 4; }
  void close() override {}
  // Sets the positions (in frames) and waits until the thread has seen them twice over.
  void moveTo(uint64_t readFrames, uint64_t heardFrames) {
    read.store(readFrames);
    heard.store(heardFrames);
    const uint64_t seen = polls.load();
    while (polls.load() < seen + 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
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

TEST(OutputRing, RefillsOnlyBlocksTheDeviceHasWhollyRead) {
  struct Row {
    uint64_t read;      // frames the device has read
    uint64_t refilled;  // blocks it has finished: those are rendered again, one ring later
  } rows[] = {
      {0, 0},                       // nothing read
      {883, 0},                     // one frame short of the first block
      {884, 1},                     // block 0 finished
      {3 * kBlock + 500, 3},        // inside block 3: blocks 0..2 only
      {kRing * kBlock - 1, 99},     // the last block of the ring is still being read
      {(kRing + 1) * kBlock, 101},  // a ring and a block: slot 0 now holds block 200
  };
  SongPtr song = rampSong(8);
  const std::vector<int16_t> pcm = test::renderFrames(song.get(), 3 * kRing * kBlock);
  installResourceCallbacks();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.read);
    ScriptedDevice device;
    ASSERT_TRUE(play(song.get(), device));
    device.moveTo(row.read, row.read);
    // Slot k holds block k, or block k + 100 once block k was finished, and so on.
    for (uint64_t slot = 0; slot < kRing; ++slot) {
      const uint64_t laps = (row.refilled + kRing - 1 - slot) / kRing;
      const uint64_t block = slot + laps * kRing;
      const int16_t* want = pcm.data() + block * kBlock * 2;
      const int16_t* have = output.ring.data() + slot * kBlock * 2;
      ASSERT_TRUE(std::equal(have, have + kBlock * 2, want)) << "slot " << slot;
    }
    stop(song.get());
  }
  resetPlayer();
}

TEST(OutputRing, PositionQueriesDescribeTheHeardBlock) {
  // Row at the end of block h: tick floor(884 (h + 1) / 882), 64 rows per order.
  struct Row {
    uint64_t read, heard;
    int order, row;
  } rows[] = {
      {10 * kBlock, 10 * kBlock, 0, 11},           // nothing held back: block 10, tick 11
      {10 * kBlock, 10 * kBlock - 2000, 0, 8},     // heard block 7 ends at 7072: tick 8
      {150 * kBlock, 150 * kBlock - 1024, 2, 21},  // block 148, refilled since: tick 149
  };
  SongPtr song = rampSong(8);
  installResourceCallbacks();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.heard);
    ScriptedDevice device;
    ASSERT_TRUE(play(song.get(), device));
    device.moveTo(row.read, row.heard);
    EXPECT_EQ(positionOrder(song.get()), row.order);
    EXPECT_EQ(positionRow(song.get()), row.row);
    stop(song.get());
  }
  resetPlayer();
}

TEST(SdlSoundDevice, DummyDriverPlaysTheRingAndTheOutputThreadFollows) {
  platform::SdlSoundDevice device;
  ASSERT_TRUE(device.open(kMixRate));
  EXPECT_TRUE(device.silent()) << device.driver();
  SongPtr song = rampSong(1);
  installResourceCallbacks();
  ASSERT_TRUE(play(song.get(), device));
  // The dummy driver consumes in real time: within a few seconds the device has finished at
  // least two blocks and the thread has rendered their replacements.
  for (int i = 0; i < 5000 && output.audibleBlock.load() < 2; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_GE(output.audibleBlock.load(), 2);
  EXPECT_GT(positionTimeMs(song.get()), 0u);
  EXPECT_GT(device.heardBytes(), 0u);
  EXPECT_TRUE(stop(song.get()));
  EXPECT_EQ(device.readBytes(), 0u);  // closed
  resetPlayer();
}

TEST(SdlSoundDevice, ALostDeviceLeavesThePositionToTheClock) {
  platform::SdlSoundDevice device;
  ASSERT_TRUE(device.open(kMixRate));
  SongPtr song = rampSong(1);
  installResourceCallbacks();
  ASSERT_TRUE(play(song.get(), device));
  device.simulateLoss();
  // The callback no longer comes: within the stall limit the device counts as lost, and the
  // read position (and with it the song) goes on at 44100 frames a second.
  for (int i = 0; i < 2000 && !device.lost(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(device.lost());
  // The callback had read up to a buffer ahead of the clock; once the clock has passed that, the
  // position is the clock's. Only the output thread asks for the read position; heardBytes()
  // follows it at a fixed distance, so its advance over a measured interval is the clock's.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  using Clock = std::chrono::steady_clock;
  const auto t0 = Clock::now();
  const uint64_t before = device.heardBytes() / 4;
  const auto t1 = Clock::now();
  const uint32_t timeBefore = positionTimeMs(song.get());
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const auto t2 = Clock::now();
  const uint64_t after = device.heardBytes() / 4;
  const auto t3 = Clock::now();
  // The thread polls every 5 ms: allow that much on either side.
  auto frames = [](Clock::duration d) { return std::chrono::duration<double>(d).count() * 44100; };
  EXPECT_GE(double(after - before), frames(t2 - t1) - 0.010 * 44100);
  EXPECT_LE(double(after - before), frames(t3 - t0) + 0.010 * 44100);
  for (int i = 0; i < 2000 && positionTimeMs(song.get()) < timeBefore + 200; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_GE(positionTimeMs(song.get()), timeBefore + 200);
  EXPECT_TRUE(stop(song.get()));
  resetPlayer();
}

}  // namespace
}  // namespace glimmer::music
