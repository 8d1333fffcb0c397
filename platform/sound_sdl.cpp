// SDL2 implementation of the looping sound ring.
#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/sound.h"

namespace platform {

namespace {

constexpr uint16_t kDeviceFrames = 512;  // small, so that the play position moves finely

// Opens the default device of the current driver; 0 when none opens.
SDL_AudioDeviceID openDefault(int rate, void* self, SDL_AudioCallback callback) {
  SDL_AudioSpec want{};
  want.freq = rate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = kDeviceFrames;
  want.callback = callback;
  want.userdata = self;
  SDL_AudioSpec have{};
  return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
}

}  // namespace

SdlSoundDevice::~SdlSoundDevice() { close(); }

bool SdlSoundDevice::open(int mixRate) {
  close();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    subsystem_ = true;
    device_ = openDefault(mixRate, this, callback);
  }
  if (device_ == 0) {
    // No sound card (or no audio server): the dummy driver consumes in real time.
    if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_ = false;
    SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    subsystem_ = true;
    device_ = openDefault(mixRate, this, callback);
    if (device_ == 0) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      subsystem_ = false;
      return false;
    }
  }
  rate_ = mixRate;
  const char* name = SDL_GetCurrentAudioDriver();
  driver_ = name ? name : "";
  silent_ = driver_ == "dummy" || driver_ == "disk";
  return true;
}

void SdlSoundDevice::start(const int16_t* ring, uint32_t ringBytes) {
  if (device_ == 0) return;
  SDL_LockAudioDevice(device_);
  ring_ = reinterpret_cast<const uint8_t*>(ring);
  ringBytes_ = ringBytes & ~3u;
  played_.store(0);
  lastPlayed_ = 0;
  lastAdvanceMs_ = SDL_GetTicks64();
  lost_.store(false);
  forceLoss_.store(false);
  SDL_UnlockAudioDevice(device_);
  SDL_PauseAudioDevice(device_, 0);
}

uint64_t SdlSoundDevice::clockBytes(uint64_t nowMs) const {
  return lostAtBytes_ + (nowMs - lostAtMs_) * static_cast<uint64_t>(rate_) / 1000 * 4;
}

uint32_t SdlSoundDevice::playPosition() {
  if (ringBytes_ == 0) return 0;
  const uint64_t played = played_.load(std::memory_order_acquire);
  const uint64_t now = SDL_GetTicks64();
  if (!lost_.load()) {
    if (played != lastPlayed_) {
      lastPlayed_ = played;
      lastAdvanceMs_ = now;
    }
    const bool stopped = device_ == 0 || SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED;
    if (forceLoss_.load() || stopped || now - lastAdvanceMs_ > kStallMs) {
      lostAtBytes_ = played;
      lostAtMs_ = now;
      lost_.store(true);
    }
  }
  const uint64_t position = lost_.load() ? clockBytes(now) : played;
  return static_cast<uint32_t>(position % ringBytes_);
}

void SdlSoundDevice::simulateLoss() {
  if (device_ != 0) SDL_PauseAudioDevice(device_, 1);
  forceLoss_.store(true);
}

void SdlSoundDevice::close() {
  if (device_ != 0) {
    SDL_PauseAudioDevice(device_, 1);
    SDL_CloseAudioDevice(device_);
    device_ = 0;
  }
  if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  subsystem_ = false;
  ring_ = nullptr;
  ringBytes_ = 0;
  driver_.clear();
}

void SdlSoundDevice::callback(void* self, uint8_t* stream, int length) {
  auto* d = static_cast<SdlSoundDevice*>(self);
  if (!d->ring_ || d->ringBytes_ == 0) {
    std::memset(stream, 0, static_cast<size_t>(length));
    return;
  }
  uint64_t played = d->played_.load(std::memory_order_relaxed);
  uint32_t at = static_cast<uint32_t>(played % d->ringBytes_);
  uint32_t left = static_cast<uint32_t>(length);
  uint8_t* out = stream;
  while (left > 0) {
    uint32_t n = std::min(left, d->ringBytes_ - at);
    std::memcpy(out, d->ring_ + at, n);
    out += n;
    left -= n;
    at = 0;
  }
  d->played_.store(played + static_cast<uint64_t>(length), std::memory_order_release);
}

}  // namespace platform
