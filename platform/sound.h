// The sound device: SDL2 audio playing one looping ring of 16-bit stereo frames. The audio
// callback copies from the ring and counts what it has read; what has been heard is that count
// less the device buffer still on its way to the listener. When no real device opens it falls
// back to SDL's "dummy" driver, which consumes the ring in real time, so the show runs silently
// with the same timing.
//
// A sound server takes data in bursts and may stall for a while after a stream connects, so the
// device is opened playing silence and the ring is attached only once the callback arrives at a
// steady pace; start() returns right after the callback has taken the ring's first frames.
//
// From then on the read position is held to the clock: when the callback stops coming (a lost
// server, an unplugged card) or, on a device that is heard, falls more than kMaxLagMs behind the
// time since start, the position is moved on with the clock, under the device lock, so the music
// keeps its place against the pictures; should the callback come back, it carries on from there.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "music/music.h"

namespace platform {

class SdlSoundDevice : public glimmer::music::SoundDevice {
 public:
  SdlSoundDevice() = default;
  SdlSoundDevice(const SdlSoundDevice&) = delete;
  SdlSoundDevice& operator=(const SdlSoundDevice&) = delete;
  ~SdlSoundDevice() override;

  // Opens the default output for 16-bit stereo at mixRate (or the dummy driver) and starts it
  // playing silence; false only when even the dummy driver cannot be opened.
  bool open(int mixRate) override;
  // Attaches the ring once the device runs steadily and returns when its first frames are read.
  void start(const int16_t* ring, uint32_t ringBytes) override;
  // Bytes the callback has copied out of the ring since start(), or the clock's count when the
  // device has fallen behind it or is lost.
  uint64_t readBytes() override;
  // What has been played: from one device buffer behind the last callback's read count (the
  // part still queued on its way to the listener), moving on with the clock between callbacks.
  uint64_t heardBytes() override;
  // Stops the callback and closes the device and the audio subsystem.
  void close() override;

  // True when the output goes to the dummy driver (nothing is heard).
  bool silent() const { return silent_; }
  // True while the callback is not coming (device lost or stalled for kStallMs).
  bool lost() const { return lost_.load(); }
  // Makes the device behave as if it had been unplugged: its callback stops being called.
  void simulateLoss();
  // Frames of the device buffer SDL granted (what one callback copies).
  int bufferFrames() const { return bufferFrames_; }
  // Name of the SDL audio driver in use, empty when closed.
  const std::string& driver() const { return driver_; }

  // Device buffer asked for: 23 ms at 44100 Hz; large enough that a renderer keeping every core
  // busy does not starve the server, small enough that one buffer of latency stays well inside
  // what the eye accepts between a picture and its sound.
  static constexpr int kDeviceFrames = 1024;
  static constexpr int64_t kStallMs = 500;
  static constexpr int64_t kMaxLagMs = 40;

 private:
  static void callback(void* self, uint8_t* stream, int length);
  // Loss detection and holding the read position to the clock; output thread only.
  void follow();

  uint32_t device_ = 0;
  bool subsystem_ = false;
  bool silent_ = false;
  std::string driver_;
  int rate_ = 0;
  int bufferFrames_ = 0;
  // Written under the device lock (the callback runs with it held).
  const uint8_t* ring_ = nullptr;
  uint32_t ringBytes_ = 0;
  std::atomic<uint64_t> read_{0};
  // The read count the last callback left and the largest heard count given out.
  std::atomic<uint64_t> readAtCall_{0};
  std::atomic<uint64_t> heard_{0};
  // Kept by the callback: how many calls, the last one's time, how many in a row came on time,
  // and when the ring was first read (0 until then).
  std::atomic<uint64_t> calls_{0};
  std::atomic<int64_t> lastCallNs_{0};
  std::atomic<int> onTime_{0};
  std::atomic<int64_t> firstReadNs_{0};
  // The clock the read position is held to: its start and the byte rate.
  int64_t startNs_ = 0;
  // Loss detection, touched only by the thread that asks for the positions.
  uint64_t seenCalls_ = 0;
  int64_t seenAtNs_ = 0;
  std::atomic<bool> lost_{false};
  std::atomic<bool> forceLoss_{false};
};

}  // namespace platform
