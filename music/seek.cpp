// Seeking: the song chased to any output frame without mixing (the sequencer alone, tick by
// tick, from the song's start), the notes of the target row mixed from its start, and the ring
// restarted so that the device plays the target frame in step with the caller's clock.
#include <algorithm>
#include <vector>

#include "music/internal.h"

namespace glimmer::music {

namespace {

// Lead between the block the device plays and the first block rewritten: the block playing
// now cannot change under the device, and the next one gives the rewrite time to start.
constexpr int kLeadBlocks = 2;
// A song whose ticks never reach the target (a zero-length tick) gives up after this many.
constexpr int64_t kMaxChaseTicks = int64_t{1} << 26;

// The song position against what the device has played, kept by the thread that seeks and
// queries.
struct SeekState {
  const Song* song = nullptr;
  int64_t frame = 0;  // song frame heard when the device had played `heardFrame` frames
  uint64_t heardFrame = 0;
  bool paused = false;
};
SeekState gSeek;

// Song and player state at the song's start, as play() leaves them before its first block.
void restartSong(Song& song) {
  prepareMixer(song.channelCount);
  resetSongState(song);
}

// Runs the sequencer alone from the song's start up to, not including, the first tick of the
// row that holds `target`; returns the frame where that row starts.
int64_t chaseRow(Song& song, int64_t target) {
  restartSong(song);
  int64_t frame = 0, rowFrame = 0, ticks = 0, rowTicks = 0;
  for (; ticks < kMaxChaseTicks; ++ticks) {
    if (song.playback->tick == 0) {
      if (frame > target) break;
      rowFrame = frame;
      rowTicks = ticks;
    }
    song.playback->tickFunction(song);
    if (song.playback->samplesPerTick <= 0) break;
    frame += song.playback->samplesPerTick;
  }
  // The pass above ran past the row; the channels now hold the state of later rows, so the
  // song is run once more from its start to just before the row.
  restartSong(song);
  for (int64_t t = 0; t < rowTicks; ++t) song.playback->tickFunction(song);
  song.playback->tickSamplesLeft = 0;
  song.playback->timeMs = static_cast<uint32_t>(rowFrame * 1000 / kMixRate);
  // Notes struck before the row are not resumed part-way, as a tracker playing from a row does:
  // the voices start silent and the channels keep their instrument and volume memory.
  prepareMixer(song.channelCount);
  return rowFrame;
}

// Plays `frames` frames of the song into a scratch buffer, tick by tick as the output does.
void mixAhead(Song& song, int64_t frames) {
  std::vector<float> scratch(size_t(output.blockLength) * 2);
  int framesLeft = song.playback->tickSamplesLeft;
  while (frames > 0) {
    if (framesLeft == 0) {
      song.playback->tickFunction(song);
      framesLeft = song.playback->samplesPerTick;
      if (framesLeft <= 0) break;
    }
    const int n = static_cast<int>(std::min<int64_t>({framesLeft, frames, output.blockLength}));
    std::fill(scratch.begin(), scratch.end(), 0.0f);
    mixVoices(scratch.data(), n);
    song.playback->timeMs +=
        static_cast<uint32_t>(static_cast<float>(n) * output.invMixRate * 1000.0f);
    framesLeft -= n;
    frames -= n;
  }
  // At a tick boundary the next tick runs now, as the next block would run it first: the song
  // then names the row that sounds at the frame reached.
  if (framesLeft == 0 && song.playback->samplesPerTick > 0) {
    song.playback->tickFunction(song);
    framesLeft = song.playback->samplesPerTick;
  }
  song.playback->tickSamplesLeft = framesLeft;
}

// Frames the device has played to the listener since play() started.
uint64_t heardFrames() { return output.device->heardBytes() / 4; }

}  // namespace

bool seekTo(Song* song, int64_t frame, bool silent) {
  if (!song || output.current != song || !output.device || output.ring.empty()) return false;
  haltOutput();
  frame = std::max<int64_t>(frame, 0);
  const int64_t rowFrame = chaseRow(*song, frame);
  if (silent) {
    mixAhead(*song, frame - rowFrame);
    restartOutput(0, 0, true);
    gSeek = {song, frame, heardFrames(), true};
    return true;
  }
  // The block the device is reading cannot change under it; the first rewritten block comes
  // kLeadBlocks after it, `lead` frames after what is heard now, and the song is mixed on from
  // the row's start to the frame that belongs there. (The output thread is halted, so this thread
  // alone asks the device for its read position.)
  const uint64_t read = output.device->readBytes() / 4;
  const uint64_t heard = heardFrames();
  const uint64_t length = uint64_t(output.blockLength);
  const int playing = static_cast<int>(read / length % uint64_t(output.blockCount));
  const int first = (playing + kLeadBlocks) % output.blockCount;
  const int64_t lead = static_cast<int64_t>((read / length + kLeadBlocks) * length - heard);
  mixAhead(*song, frame + lead - rowFrame);
  restartOutput(first, playing, false);
  gSeek = {song, frame, heard, false};
  return true;
}

int64_t playingFrame(const Song* song) {
  if (!song || gSeek.song != song || !output.device || output.ring.empty()) return -1;
  if (gSeek.paused) return gSeek.frame;
  return gSeek.frame + static_cast<int64_t>(heardFrames() - gSeek.heardFrame);
}

}  // namespace glimmer::music
