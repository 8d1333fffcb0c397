// SDL2 implementation of the looping sound ring.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

#include "platform/sound.h"

namespace platform {

namespace {

// Callbacks in a row that must arrive on time before the ring is attached, and how long start()
// waits for that at most (a server that never settles gets the ring anyway).
constexpr int kSteadyCalls = 4;
constexpr int64_t kSettleMs = 3000;

int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Gives the calling thread real-time scheduling just below the music's output thread where the
// system permits it: SDL only asks a desktop service for that, which many systems lack, and a
// renderer busy on every core must not make the device wait.
void raiseAudioThread() {
#if defined(__linux__)
  sched_param param{};
  param.sched_priority = sched_get_priority_max(SCHED_FIFO) - 1;
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
#endif
}

// Opens the default device of the current driver; 0 when none opens.
SDL_AudioDeviceID openDefault(int rate, void* self, SDL_AudioCallback callback) {
  SDL_AudioSpec want{};
  want.freq = rate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = SdlSoundDevice::kDeviceFrames;
  want.callback = callback;
  want.userdata = self;
  SDL_AudioSpec have{};
  return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
}

}  // namespace

SdlSoundDevice::~SdlSoundDevice() { close(); }

bool SdlSoundDevice::open(int mixRate) {
  close();
  rate_ = mixRate;
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
  // With no changes allowed SDL converts to what was asked for: every callback takes
  // kDeviceFrames frames.
  bufferFrames_ = kDeviceFrames;
  const char* name = SDL_GetCurrentAudioDriver();
  driver_ = name ? name : "";
  silent_ = driver_ == "dummy" || driver_ == "disk";
  // Play silence from now on: a sound server settles while the caller prepares the ring.
  SDL_PauseAudioDevice(device_, 0);
  return true;
}

void SdlSoundDevice::start(const int16_t* ring, uint32_t ringBytes) {
  if (device_ == 0) return;
  const int64_t periodNs = int64_t{bufferFrames_} * 1000000000 / rate_;
  auto steady = [&] {
    return onTime_.load() >= kSteadyCalls && nowNs() - lastCallNs_.load() <= 2 * periodNs;
  };
  const int64_t settleBy = nowNs() + kSettleMs * 1000000;
  while (!steady() && nowNs() < settleBy) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  SDL_LockAudioDevice(device_);
  ring_ = reinterpret_cast<const uint8_t*>(ring);
  ringBytes_ = ringBytes & ~3u;
  read_.store(0);
  readAtCall_.store(0);
  heard_.store(0);
  firstReadNs_.store(0);
  lost_.store(false);
  forceLoss_.store(false);
  SDL_UnlockAudioDevice(device_);

  // The next callback takes the first frames; the clock starts when it does.
  const int64_t readBy = nowNs() + 4 * periodNs + 200000000;
  while (firstReadNs_.load() == 0 && nowNs() < readBy)
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  const int64_t first = firstReadNs_.load();
  startNs_ = first != 0 ? first : nowNs();
  seenCalls_ = calls_.load();
  seenAtNs_ = nowNs();
}

void SdlSoundDevice::follow() {
  const int64_t now = nowNs();
  const uint64_t calls = calls_.load();
  if (calls != seenCalls_) {
    seenCalls_ = calls;
    seenAtNs_ = now;
  }
  const bool stopped = SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED;
  const bool lost = forceLoss_.load() || stopped || now - seenAtNs_ > kStallMs * 1000000;
  lost_.store(lost);
  const uint64_t clock = static_cast<uint64_t>(std::max<int64_t>(now - startNs_, 0)) *
                         uint64_t(rate_) / 1000000000 * 4;
  const uint64_t maxLag = uint64_t(rate_) * kMaxLagMs / 1000 * 4;
  // Only a device that is heard is held to the clock while it still calls back: the dummy and
  // disk drivers keep every frame, however their pace wanders.
  if (lost || (!silent_ && clock > read_.load() + maxLag)) {
    // Behind the clock: move on to where the music should be. Under the lock no callback is
    // copying, and the callback then reads from the new place.
    SDL_LockAudioDevice(device_);
    if (clock > read_.load()) read_.store(clock);
    SDL_UnlockAudioDevice(device_);
  }
}

uint64_t SdlSoundDevice::readBytes() {
  if (device_ == 0 || ringBytes_ == 0) return 0;
  follow();
  return read_.load(std::memory_order_acquire);
}

uint64_t SdlSoundDevice::heardBytes() {
  if (device_ == 0 || ringBytes_ == 0) return 0;
  // What the last callback left: its time and the read count after it (a callback marks the pair
  // as changing by clearing the time first).
  int64_t at = 0;
  uint64_t readAtCall = 0;
  for (int tries = 0; tries < 1000; ++tries) {
    at = lastCallNs_.load(std::memory_order_acquire);
    if (at == 0) continue;
    readAtCall = readAtCall_.load(std::memory_order_acquire);
    if (lastCallNs_.load(std::memory_order_acquire) == at) break;
    at = 0;
  }
  // The device plays the buffer it was handed at the rate, so what is heard moves on smoothly
  // from a buffer behind the last callback's count; never past what was read. With no callback
  // to go by (none yet, or one in progress for long) it is a buffer behind what was read.
  const uint64_t held = uint64_t(bufferFrames_) * 4;
  const uint64_t read = read_.load(std::memory_order_acquire);
  uint64_t heard = read > held ? read - held : 0;
  if (at != 0) {
    const uint64_t since = static_cast<uint64_t>(std::max<int64_t>(nowNs() - at, 0)) *
                           uint64_t(rate_) / 1000000000 * 4;
    const uint64_t base = readAtCall > held ? readAtCall - held : 0;
    heard = std::min(base + since, read);
  }
  // Several threads ask; each answer is at least the last one given.
  uint64_t last = heard_.load();
  while (last < heard && !heard_.compare_exchange_weak(last, heard)) {
  }
  return std::max(last, heard);
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
  read_.store(0);
  readAtCall_.store(0);
  heard_.store(0);
  calls_.store(0);
  lastCallNs_.store(0);
  onTime_.store(0);
  firstReadNs_.store(0);
  lost_.store(false);
  forceLoss_.store(false);
  driver_.clear();
}

void SdlSoundDevice::callback(void* self, uint8_t* stream, int length) {
  auto* d = static_cast<SdlSoundDevice*>(self);
  const int64_t now = nowNs();
  // On time: within two buffers of the previous call (plus scheduling slack).
  const int64_t last = d->lastCallNs_.load(std::memory_order_relaxed);
  const int64_t periodNs = int64_t{d->bufferFrames_} * 1000000000 / d->rate_;
  const bool onTime = last != 0 && now - last <= 2 * periodNs + 2000000;
  d->onTime_.store(onTime ? d->onTime_.load(std::memory_order_relaxed) + 1 : 0);
  d->lastCallNs_.store(0, std::memory_order_release);
  if (d->calls_.fetch_add(1) == 0) raiseAudioThread();
  if (!d->ring_ || d->ringBytes_ == 0) {
    std::memset(stream, 0, static_cast<size_t>(length));
    d->lastCallNs_.store(now, std::memory_order_release);
    return;
  }
  const uint64_t read = d->read_.load(std::memory_order_relaxed);
  uint32_t at = static_cast<uint32_t>(read % d->ringBytes_);
  uint32_t left = static_cast<uint32_t>(length);
  uint8_t* out = stream;
  while (left > 0) {
    const uint32_t n = std::min(left, d->ringBytes_ - at);
    std::memcpy(out, d->ring_ + at, n);
    out += n;
    left -= n;
    at = 0;
  }
  if (read == 0) d->firstReadNs_.store(now);
  d->read_.store(read + static_cast<uint64_t>(length), std::memory_order_release);
  d->readAtCall_.store(read + static_cast<uint64_t>(length), std::memory_order_release);
  d->lastCallNs_.store(now, std::memory_order_release);
}

}  // namespace platform
