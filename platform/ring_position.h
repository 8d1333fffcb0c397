// Play-position bookkeeping of a looping sound ring, shared by the sound devices: turns the byte
// counter a device reports into a position in the ring, and takes over with the clock when the
// device is lost, so the music keeps time and the show runs on.
#pragma once

#include <cstdint>

namespace platform {

class RingPosition {
 public:
  // A device whose counter does not move for this long is taken as lost.
  static constexpr uint64_t kStallMs = 500;

  // Starts counting for a ring of ringBytes (16-bit stereo frames, 4 bytes each) at rate frames
  // per second; nowMs is any millisecond clock.
  void start(uint32_t ringBytes, int rate, uint64_t nowMs);
  // Position in the ring for the device's counter: played is the byte count since start (see
  // extend for 32-bit counters), stopped says the device reported itself stopped. After a loss
  // the position advances with the clock from where the device stopped.
  uint32_t update(uint64_t played, bool stopped, uint64_t nowMs);
  // Makes the next update take the device as lost.
  void forceLoss() { forceLoss_ = true; }
  bool lost() const { return lost_; }

  // Widens a device counter of counterBits bits that wraps around into a 64-bit count, given the
  // previous 64-bit count (the counter never moves back by itself).
  static uint64_t extend(uint64_t previous, uint64_t counter, int counterBits);

 private:
  uint32_t ringBytes_ = 0;
  int rate_ = 0;
  uint64_t lastPlayed_ = 0;
  uint64_t lastAdvanceMs_ = 0;
  uint64_t lostAtBytes_ = 0;
  uint64_t lostAtMs_ = 0;
  bool lost_ = false;
  bool forceLoss_ = false;
};

}  // namespace platform
