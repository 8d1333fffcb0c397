// Seeking the playing song: the chase places the sequencer at the row a timeline names (speed,
// tempo and channel state as the rows before left them), and on SDL's dummy driver the device's
// position then follows the song's timeline from that row.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/sound.h"
#include "tests/music/test_support.h"

namespace glimmer::music {
namespace {

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

struct RowCase {
  int order, row;
  int64_t frame;  // worked out by hand from the speeds and tempos above
  int speed, samplesPerTick;
  int volume1;  // channel 1's volume once the row has started
};
// Rows 0-7: 6 x 882 = 5292 frames; rows 8-15: 3 x 882 = 2646, so order 1 starts at
// 8 x 5292 + 8 x 2646 = 63504; its rows last 3 x 735 = 2205.
constexpr RowCase kRows[] = {
    {0, 0, 0, 6, 882, 0},      {0, 5, 26460, 6, 882, 0},    {0, 8, 42336, 3, 882, 0},
    {0, 13, 55566, 3, 882, 0}, {1, 0, 63504, 3, 735, 0x30}, {1, 9, 63504 + 9 * 2205, 3, 735, 0x30},
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
  // Channel 1's note on order 1 row 0 (frame 63504) raises the level; seeking to points before
  // it, from places all round the ring, the ring must hold that rise where the device will be
  // when the song reaches the frame.
  const struct {
    int64_t before;  // frames between the point sought to and the note
    uint64_t move;   // frames the device plays before the seek
  } cases[] = {{20000, 30000}, {7000, 41000}, {2500, 12345}, {2500, 60000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.before << " frames before the note");
    device.advanceFrames(c.move);
    ASSERT_TRUE(seekTo(song.get(), 63504 - c.before));
    const int64_t ringFrames = static_cast<int64_t>(output.ring.size() / 2);
    const int64_t deviceFrame = static_cast<int64_t>(device.heardBytes() / 4);
    const int64_t songFrame = playingFrame(song.get());
    ASSERT_EQ(songFrame, 63504 - c.before);
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
