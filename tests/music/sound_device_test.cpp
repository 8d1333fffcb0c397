// The SDL sound ring on SDL's dummy driver (no sound card needed): the output thread keeps
// rendering as the dummy device consumes the ring in real time.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/sound.h"
#include "tests/music/test_support.h"

namespace glimmer::music {
namespace {

TEST(SdlSoundDevice, DummyDriverPlaysTheRingAndTheOutputThreadFollows) {
  platform::SdlSoundDevice device;
  ASSERT_TRUE(device.open(kMixRate));
  EXPECT_TRUE(device.silent()) << device.driver();

  test::TestSong t(1, 1);
  t.addPattern(64);
  SongPtr song = t.finish({0});
  installResourceCallbacks();
  ASSERT_TRUE(play(song.get(), device));
  // The dummy driver consumes in real time: within a few seconds the device has finished at
  // least one block and the thread has rendered its replacement.
  for (int i = 0; i < 5000 && output.audibleBlock.load() < 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_GE(output.audibleBlock.load(), 2);
  EXPECT_GT(positionTimeMs(song.get()), 0u);
  EXPECT_TRUE(stop(song.get()));
  EXPECT_EQ(device.playPosition(), 0u);  // closed
  resetPlayer();
}

TEST(SdlSoundDevice, ALostDeviceKeepsThePositionMovingWithTheClock) {
  platform::SdlSoundDevice device;
  ASSERT_TRUE(device.open(kMixRate));
  test::TestSong t(1, 1);
  t.addPattern(64);
  SongPtr song = t.finish({0});
  installResourceCallbacks();
  ASSERT_TRUE(play(song.get(), device));
  for (int i = 0; i < 5000 && output.audibleBlock.load() < 1; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  device.simulateLoss();
  const auto lostAt = std::chrono::steady_clock::now();
  // The output thread keeps sequencing: the song time goes on advancing after the loss.
  const uint32_t before = positionTimeMs(song.get());
  for (int i = 0; i < 5000 && positionTimeMs(song.get()) < before + 200; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(device.lost());
  EXPECT_GE(positionTimeMs(song.get()), before + 200);
  EXPECT_LT(std::chrono::steady_clock::now() - lostAt, std::chrono::seconds(4));
  EXPECT_TRUE(stop(song.get()));
  resetPlayer();
}

}  // namespace
}  // namespace glimmer::music
