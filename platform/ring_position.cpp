// Play-position bookkeeping of a looping sound ring.
#include "platform/ring_position.h"

namespace platform {

void RingPosition::start(uint32_t ringBytes, int rate, uint64_t nowMs) {
  ringBytes_ = ringBytes & ~3u;
  rate_ = rate;
  lastPlayed_ = 0;
  lastAdvanceMs_ = nowMs;
  lostAtBytes_ = 0;
  lostAtMs_ = nowMs;
  lost_ = false;
  forceLoss_ = false;
}

uint32_t RingPosition::update(uint64_t played, bool stopped, uint64_t nowMs) {
  if (ringBytes_ == 0) return 0;
  if (!lost_) {
    if (played != lastPlayed_) {
      lastPlayed_ = played;
      lastAdvanceMs_ = nowMs;
    }
    if (forceLoss_ || stopped || nowMs - lastAdvanceMs_ > kStallMs) {
      lostAtBytes_ = lastPlayed_;
      lostAtMs_ = nowMs;
      lost_ = true;
    }
  }
  uint64_t position = lastPlayed_;
  if (lost_)
    position = lostAtBytes_ + (nowMs - lostAtMs_) * static_cast<uint64_t>(rate_) / 1000 * 4;
  return static_cast<uint32_t>(position % ringBytes_);
}

uint64_t RingPosition::extend(uint64_t previous, uint64_t counter, int counterBits) {
  if (counterBits >= 64) return counter;
  const uint64_t span = uint64_t{1} << counterBits;
  const uint64_t mask = span - 1;
  uint64_t widened = (previous & ~mask) | (counter & mask);
  if (widened < previous) widened += span;
  return widened;
}

}  // namespace platform
