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

// Polls `done` every millisecond for at most `ms` milliseconds; returns its last answer.
template <class Done>
bool waitFor(Done done, int ms) {
  for (int i = 0; i < ms && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return done();
}

// A device whose read and heard positions the test sets; it counts the output thread's polls.
class ScriptedDevice : public SoundDevice {
 public:
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
  const std::vector<int16_t> pcm = test::renderFrames(song.get(), 3 * kRing * kBlock);
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

// The dummy driver consumes in real time: the device finishes blocks and the thread renders their
// replacements. Once the callback stops coming (a lost device), within the stall limit the device
// counts as lost and the read position (and with it the song) goes on with the clock.
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
  // The callback had read up to a buffer ahead of the clock; once the clock has passed that, the
  // position is the clock's. Only the output thread asks for the read position; heardBytes()
  // follows it at a fixed distance, so over 400 ms it advances as the clock does, give or take
  // the thread's 5 ms polling on either side (441 frames).
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

}  // namespace
}  // namespace glimmer::music
