// Playback: the output thread that keeps the device ring filled behind its play position, the
// position queries, offline rendering in the same blocks, the row timeline and WAV encoding.
#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstring>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

#include "music/internal.h"

namespace glimmer::music {

namespace {

int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Raises the calling thread to the highest priority the system grants; keeps it when refused.
void raisePriority() {
#if defined(__linux__)
  sched_param param{};
  param.sched_priority = sched_get_priority_max(SCHED_FIFO);
  if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) != 0) {
    param.sched_priority = 0;  // not permitted without privileges: the normal class it is
  }
#endif
}

// Blocks rendered into the ring since play() started, the prefill included; block n of the song
// always lives in ring slot n % blockCount. Touched by play() and then by the output thread only.
uint64_t renderedBlocks = 0;

// The position table keeps two ring lengths of entries, so that a block's entry outlives its
// samples by a whole ring: the block being heard may already have been refilled, since the device
// still holds what it read last when the thread refills behind it.
int timeInfoEntries() { return output.blockCount * 2; }

void renderNextBlock(Song& song) {
  int16_t* dest = output.ring.data() + size_t(output.fillBlock) * output.blockLength * 2;
  renderBlock(song, dest, &output.timeInfo[renderedBlocks % uint64_t(timeInfoEntries())]);
  output.fillBlock = (output.fillBlock + 1) % output.blockCount;
  ++renderedBlocks;
}

// Refills every block the device has wholly read (never one it has not finished: the block it is
// reading and those after it still hold music it is about to play), then points the position
// queries at the block being heard.
void serviceRing(Song& song) {
  const uint64_t blockBytes = uint64_t(output.blockLength) * 4;
  const uint64_t readBlocks = output.device->readBytes() / blockBytes;
  while (renderedBlocks < readBlocks + uint64_t(output.blockCount) && !output.stopRequest.load()) {
    output.busy.store(true);
    renderNextBlock(song);
    output.busy.store(false);
  }
  const uint64_t heardBlock = output.device->heardBytes() / blockBytes;
  output.audibleBlock.store(static_cast<int>(heardBlock % uint64_t(timeInfoEntries())));
}

void outputThread() {
  output.threadFinished.store(false);
  raisePriority();
  Song& song = *output.current;
  while (!output.stopRequest.load()) {
    serviceRing(song);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  output.threadFinished.store(true);
}

// Song and player state at the start of the song, shared by play and offline rendering.
void startSong(Song& song) {
  prepareMixer(song.channelCount);
  resetSongState(song);
  output.current = &song;
}

}  // namespace

bool NullSoundDevice::open(int mixRate) {
  rate_ = mixRate;
  return true;
}

void NullSoundDevice::start(const int16_t*, uint32_t ringBytes) {
  ringBytes_ = ringBytes;
  manualFrames_ = 0;
  startNs_ = nowNs();
}

uint64_t NullSoundDevice::readBytes() {
  if (ringBytes_ == 0) return 0;
  const uint64_t frames =
      manual_ ? manualFrames_ : static_cast<uint64_t>(nowNs() - startNs_) * rate_ / 1000000000;
  return frames * 4;
}

void NullSoundDevice::close() { ringBytes_ = 0; }

void NullSoundDevice::advanceFrames(uint64_t frames) { manualFrames_ += frames; }

bool play(Song* song, SoundDevice& device) {
  if (!song || !fileCallbacksInstalled()) return false;
  assert(!(output.current == song && output.thread.joinable()) &&
         "play() on a song that already plays; stop() it first");
  stop(song);
  startSong(*song);
  output.timeInfo = std::make_unique<TimeInfo[]>(size_t(timeInfoEntries()));
  if (!device.open(kMixRate)) return false;
  output.device = &device;
  output.ring.assign(size_t(output.bufferLength) * 2, 0);
  output.fillBlock = 0;
  output.audibleBlock.store(0);
  renderedBlocks = 0;
  do {
    renderNextBlock(*song);
  } while (output.fillBlock != 0);
  device.start(output.ring.data(), static_cast<uint32_t>(output.ring.size() * 2));
  output.stopRequest.store(false);
  output.threadFinished.store(false);
  output.thread = std::thread(outputThread);
  return true;
}

bool stop(Song* song) {
  if (!song) return false;
  output.stopRequest.store(true);
  while (output.busy.load()) std::this_thread::yield();
  if (output.thread.joinable()) output.thread.join();
  output.threadFinished.store(true);
  if (output.device) output.device->close();
  output.device = nullptr;
  output.ring.clear();
  output.ring.shrink_to_fit();
  output.current = nullptr;
  output.timeInfo.reset();
  output.fillBlock = 0;
  output.audibleBlock.store(0);
  return true;
}

Song::Song() : playback(std::make_unique<SongPlayback>()) {}
Song::~Song() = default;

bool freeSong(Song* song) {
  if (!song) return false;
  if (output.current == song) stop(song);
  delete song;
  return true;
}

int positionOrder(const Song* song) {
  if (!song || !output.timeInfo) return 0;
  return output.timeInfo[output.audibleBlock.load()].order.load(std::memory_order_relaxed);
}

int positionRow(const Song* song) {
  if (!song || !output.timeInfo) return 0;
  return output.timeInfo[output.audibleBlock.load()].row.load(std::memory_order_relaxed);
}

uint32_t positionTimeMs(const Song* song) {
  if (!song || !output.timeInfo) return 0;
  return output.timeInfo[output.audibleBlock.load()].timeMs.load(std::memory_order_relaxed);
}

int songOrder(const Song* song) { return song ? song->playback->order : 0; }
int songRow(const Song* song) { return song ? song->playback->row : 0; }

void resetPlayer() {
  if (output.current) stop(output.current);
  for (auto& v : mixerVoices) v = MixerVoice{};
  for (auto& c : musicChannels) c = MusicChannel{};
  output.mixBuffer.clear();
  output.offlineBlock.clear();
  output.offlineUsed = 0;
  output.current = nullptr;
}

bool startOffline(Song* song) {
  if (!song) return false;
  if (output.current) stop(output.current);
  startSong(*song);
  output.offlineBlock.assign(size_t(output.blockLength) * 2, 0);
  output.offlineUsed = output.blockLength;  // nothing rendered ahead yet
  return true;
}

void renderOffline(std::span<int16_t> out) {
  if (!output.current || output.offlineBlock.empty()) {
    std::fill(out.begin(), out.end(), int16_t{0});
    return;
  }
  size_t frames = out.size() / 2, done = 0;
  while (done < frames) {
    if (output.offlineUsed == output.blockLength) {
      renderBlock(*output.current, output.offlineBlock.data(), nullptr);
      output.offlineUsed = 0;
    }
    size_t n = std::min<size_t>(frames - done, size_t(output.blockLength - output.offlineUsed));
    std::memcpy(out.data() + done * 2, output.offlineBlock.data() + output.offlineUsed * 2, n * 4);
    output.offlineUsed += static_cast<int>(n);
    done += n;
  }
}

SongTimeline songTimeline(Song* song, int64_t maxFrames) {
  SongTimeline timeline;
  if (!song) return timeline;
  if (output.current) stop(output.current);
  startSong(*song);
  int64_t frame = 0;
  while (frame < maxFrames) {
    bool rowStarts = song->playback->tick == 0;
    uint32_t wraps = song->playback->wrapCount;
    song->playback->tickFunction(*song);
    if (song->playback->wrapCount != wraps) {
      timeline.ended = true;
      break;
    }
    if (rowStarts) {
      timeline.rows.push_back({frame, song->playback->order,
                               song->orderTable[song->playback->order], song->playback->row,
                               song->playback->samplesPerTick});
    }
    frame += song->playback->samplesPerTick;
  }
  timeline.endFrame = std::min(frame, maxFrames);
  output.current = nullptr;
  return timeline;
}

std::vector<uint8_t> encodeWav(std::span<const int16_t> interleaved, int rate) {
  const uint32_t dataBytes = static_cast<uint32_t>(interleaved.size() * 2);
  std::vector<uint8_t> out(44 + size_t{dataBytes});
  size_t at = 0;
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at++] = static_cast<uint8_t>(v >> (8 * i));
  };
  auto put16 = [&](uint16_t v) {
    out[at++] = static_cast<uint8_t>(v);
    out[at++] = static_cast<uint8_t>(v >> 8);
  };
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) out[at++] = static_cast<uint8_t>(t[i]);
  };
  tag("RIFF");
  put32(36 + dataBytes);
  tag("WAVE");
  tag("fmt ");
  put32(16);
  put16(1);  // PCM
  put16(2);
  put32(static_cast<uint32_t>(rate));
  put32(static_cast<uint32_t>(rate) * 4);
  put16(4);
  put16(16);
  tag("data");
  put32(dataBytes);
  for (int16_t s : interleaved) put16(static_cast<uint16_t>(s));
  return out;
}

// ---------------------------------------------------------------------------------------------
// Restarting the ring at a new song position

void haltOutput() {
  if (!output.thread.joinable()) return;
  output.stopRequest.store(true);
  output.thread.join();
  output.threadFinished.store(true);
}

void restartOutput(int first, int playing, bool silent) {
  if (!output.device || output.ring.empty()) return;
  haltOutput();
  if (silent) {
    std::fill(output.ring.begin(), output.ring.end(), int16_t{0});
    return;
  }
  // The blocks from `first` round to `playing` (the one the device is reading) are rewritten at
  // once, in play order, so nothing the device reaches is stale. They become the next lap of the
  // ring: `playing` stands for the latest block of that slot the device has reached, and the
  // thread then refills it, and the rest in turn, only once the device has finished it.
  const uint64_t count = uint64_t(output.blockCount);
  const uint64_t readBlocks = output.device->readBytes() / (uint64_t(output.blockLength) * 4);
  const uint64_t slot = uint64_t(playing) % count;
  const uint64_t playingBlock = readBlocks - (readBlocks + count - slot) % count;
  renderedBlocks = playingBlock + (uint64_t(first) + count - slot) % count;
  output.fillBlock = first % output.blockCount;
  while (output.fillBlock != playing) renderNextBlock(*output.current);
  output.stopRequest.store(false);
  output.threadFinished.store(false);
  output.thread = std::thread(outputThread);
}

}  // namespace glimmer::music
