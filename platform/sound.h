// The sound device: SDL2 audio playing one looping ring of 16-bit stereo frames, with the play
// position in bytes advanced by the audio callback. When no real device opens it falls back to
// SDL's "dummy" driver, which consumes the ring in real time, so the show runs silently with the
// same timing.
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

  // Opens the default output for 16-bit stereo at mixRate (or the dummy driver); false only when
  // even the dummy driver cannot be opened.
  bool open(int mixRate) override;
  // Starts playing the ring over and over; the ring stays owned by the caller until close().
  void start(const int16_t* ring, uint32_t ringBytes) override;
  // Bytes handed to the device since start(), modulo the ring size. When the device is lost
  // (unplugged, stopped by the system, or its callback stalls for kStallMs) the position goes
  // on with the clock from where the device stopped, so the music keeps time and the show runs on.
  uint32_t playPosition() override;
  // Stops the callback and closes the device and the audio subsystem.
  void close() override;

  // True when the output goes to the dummy driver (nothing is heard).
  bool silent() const { return silent_; }
  // True once the device has been found lost; the position then follows the clock.
  bool lost() const { return lost_.load(); }
  // Makes the device behave as if it had been unplugged: its callback stops being called.
  void simulateLoss();

  static constexpr uint64_t kStallMs = 500;
  // Name of the SDL audio driver in use, empty when closed.
  const std::string& driver() const { return driver_; }

 private:
  static void callback(void* self, uint8_t* stream, int length);
  uint64_t clockBytes(uint64_t nowMs) const;

  uint32_t device_ = 0;
  bool subsystem_ = false;
  bool silent_ = false;
  std::string driver_;
  const uint8_t* ring_ = nullptr;
  uint32_t ringBytes_ = 0;
  std::atomic<uint64_t> played_{0};
  int rate_ = 0;
  // Loss detection, touched only by the thread that asks for the play position.
  uint64_t lastPlayed_ = 0;
  uint64_t lastAdvanceMs_ = 0;
  uint64_t lostAtBytes_ = 0;
  uint64_t lostAtMs_ = 0;
  std::atomic<bool> lost_{false};
  std::atomic<bool> forceLoss_{false};
};

}  // namespace platform
