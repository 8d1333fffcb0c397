// The sequencer's row flow (jumps, breaks, pattern loops and delays, song end and restart) and
// its timing (speed, tempo, Fxx on both sides of 32).
#include <gtest/gtest.h>

#include "tests/music/test_support.h"

namespace glimmer::music {
namespace {

using test::Cell, test::E;

// Builds one pattern per list (`channels` cells per row) and the order table.
SongPtr song(int channels, int speed, const std::vector<std::vector<Cell>>& patterns,
             std::vector<int> orders, int restart = 0) {
  test::TestSong t(channels, speed);
  for (const auto& cells : patterns) {
    int p = t.addPattern(static_cast<int>(cells.size()) / channels);
    for (int i = 0; i < static_cast<int>(cells.size()); ++i)
      t.set(p, i / channels, i % channels, cells[i]);
  }
  return t.finish(std::move(orders), restart);
}

// At speed 1 every tick starts a row: (order, row) after each tick, two channels per row.
TEST(Sequencer, RowFlow) {
  using Rows = std::vector<std::pair<int, int>>;
  const Cell _{};
  // clang-format off
  const struct {
    const char* name; std::vector<std::vector<Cell>> patterns; std::vector<int> orders; int restart;
    Rows expected;
  } cases[] = {
    // B02 jumps to row 0 of order 2, D01 to row 1 of the next order; B and D together take the
    // order from B and the row from D.
    {"B jump", {{_, _, E(0xB, 2), _, _, _}}, {0, 0, 0}, 0,
     {{0, 0}, {0, 1}, {2, 0}, {2, 1}, {2, 0}}},
    {"D break", {{E(0xD, 0x01), _, _, _, _, _}}, {0, 0}, 0, {{0, 0}, {1, 1}, {1, 2}, {0, 0}}},
    {"B with D", {{E(0xB, 2), E(0xD, 0x01), _, _, _, _}}, {0, 0, 0}, 0,
     {{0, 0}, {2, 1}, {2, 2}, {0, 0}}},
    // D70 (row 70 > 63) breaks to row 0; a break on the last order goes to order 0, while running
    // off the end of the last pattern goes to the restart position.
    {"D70 to order 0", {{_, _, E(0xD, 0x70), _}}, {0, 0}, 1,
     {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 0}}},
    {"restart", {{_, _}}, {0, 0, 0}, 1, {{0, 0}, {1, 0}, {2, 0}, {1, 0}, {2, 0}}},
    // A break to a row the pattern lacks starts it from its top.
    {"D past the rows", {{E(0xD, 0x03), _}, {_, _, _, _}}, {0, 1}, 0,
     {{0, 0}, {1, 0}, {1, 1}, {0, 0}}},
    // E60 marks row 1, E62 on row 2 plays rows 1..2 twice more.
    {"E6 pattern loop", {{_, _, E(0xE, 0x60), _, E(0xE, 0x62), _, _, _}}, {0}, 0,
     {{0, 0}, {0, 1}, {0, 2}, {0, 1}, {0, 2}, {0, 1}, {0, 2}, {0, 3}, {0, 0}}},
    // EE2 makes row 1 last three times its ticks.
    {"EE pattern delay", {{_, _, E(0xE, 0xE2), _, _, _}}, {0}, 0,
     {{0, 0}, {0, 1}, {0, 1}, {0, 1}, {0, 2}}},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SongPtr s = song(2, 1, c.patterns, c.orders, c.restart);
    startOffline(s.get());
    Rows seen;
    while (seen.size() < c.expected.size()) {
      tick(*s);
      seen.emplace_back(s->playback->order, s->playback->row);
    }
    resetPlayer();
    EXPECT_EQ(seen, c.expected);
  }
}

// Row start frames at 44100 Hz from speed 3, tempo 125: a tick lasts 44100 x 5 / (2 x tempo)
// frames, truncated (882 at 125, 3445 at 32, 735 at 150), and the song ends where it would play
// a row again through an order change.
TEST(Sequencer, TimelineFollowsSpeedAndTempo) {
  // clang-format off
  const struct {
    const char* name; std::vector<Cell> rows; std::vector<int> orders; std::vector<int64_t> frames;
    int64_t end;
  } cases[] = {
    // F00 is ignored; F02 speed 2; F20 tempo 32 from its row's first tick; F1F speed 31; F96
    // tempo 150: 3 x 882, 2 x 882, 2 x 3445, 31 x 3445, 31 x 735.
    {"F", {E(0xF, 0), E(0xF, 2), E(0xF, 0x20), E(0xF, 0x1F), E(0xF, 0x96)}, {0},
     {0, 2646, 4410, 11300, 118095}, 140880},
    {"EE2 triples a row", {{}, E(0xE, 0xE2), {}}, {0}, {0, 2646, 10584}, 13230},
    // B01 reaches order 1 row 0 for the first time, then again: the song ends there.
    {"B ends on a played row", {{}, E(0xB, 1)}, {0, 0}, {0, 2646, 5292, 7938}, 10584},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SongPtr s = song(1, 3, {c.rows}, c.orders);
    SongTimeline tl = songTimeline(s.get(), 1 << 22);
    std::vector<int64_t> frames;
    for (const RowStart& r : tl.rows) frames.push_back(r.frame);
    EXPECT_EQ(frames, c.frames);
    EXPECT_EQ(tl.ended ? tl.endFrame : -1, c.end);  // -1: the song did not end
  }
  // One 884-frame block holds a whole tick (882 frames: 20 ms) and 2 frames (0 ms).
  SongPtr s = song(1, 3, {std::vector<Cell>(1)}, {0});
  test::renderFrames(s.get(), 882);
  EXPECT_EQ(s->playback->timeMs, 20u);
  resetPlayer();
}

}  // namespace
}  // namespace glimmer::music
