// The show's sound device on Win32: waveOut on the default device, playing one looping buffer
// (the ring itself) and polled for its play position. When no device opens (no sound card, no
// sound server) the device stays silent and its position follows the clock.
#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>

#include <atomic>

#include "platform/ring_position.h"
#include "platform/sound_device.h"

namespace platform {

namespace {

uint64_t nowMs() { return GetTickCount64(); }

class WaveOutDevice : public glimmer::music::SoundDevice {
 public:
  ~WaveOutDevice() override { close(); }

  bool open(int mixRate) override {
    close();
    rate_ = mixRate;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(mixRate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = format.nSamplesPerSec * 4;
    const MMRESULT result = waveOutOpen(&device_, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
    if (result != MMSYSERR_NOERROR) device_ = nullptr;
    return true;
  }

  void start(const int16_t* ring, uint32_t ringBytes) override {
    clock_.start(ringBytes, rate_, nowMs());
    ringBytes_ = ringBytes & ~3u;
    position_.store(0);
    startThread_ = GetCurrentThreadId();
    raised_.store(false);
    played_ = 0;
    if (!device_) return;
    header_ = WAVEHDR{};
    header_.lpData = reinterpret_cast<LPSTR>(const_cast<int16_t*>(ring));
    header_.dwBufferLength = ringBytes & ~3u;
    header_.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    header_.dwLoops = 0xFFFFFFFFu;
    if (waveOutPrepareHeader(device_, &header_, sizeof header_) != MMSYSERR_NOERROR ||
        waveOutWrite(device_, &header_, sizeof header_) != MMSYSERR_NOERROR) {
      waveOutClose(device_);
      device_ = nullptr;
    }
  }

  // waveOut reports the position it plays at; the driver's own read-ahead is not reported, so
  // the ring is refilled behind that position, as the device has read everything before it.
  uint64_t readBytes() override {
    // The output thread is the one that polls: it runs at time-critical priority so the ring
    // is refilled in time even on a busy machine.
    if (!raised_.load() && GetCurrentThreadId() != startThread_) {
      SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
      raised_.store(true);
    }
    bool stopped = device_ == nullptr;
    if (device_) {
      MMTIME time{};
      time.wType = TIME_BYTES;
      if (waveOutGetPosition(device_, &time, sizeof time) != MMSYSERR_NOERROR) {
        stopped = true;
      } else {
        uint64_t counter = time.u.cb;
        if (time.wType == TIME_SAMPLES) counter = uint64_t{time.u.sample} * 4;
        played_ = RingPosition::extend(played_, counter, 32);
      }
    }
    // The ring position (the device's, or the clock's once it is lost) widened to a count: it
    // is polled far more often than once per ring.
    const uint32_t at = clock_.update(played_, stopped, nowMs());
    const uint32_t ringBytes = ringBytes_ ? ringBytes_ : 1;
    position_.store(position_.load() + (at + ringBytes - position_.load() % ringBytes) % ringBytes);
    return position_.load();
  }
  uint64_t heardBytes() override { return position_.load(); }

  void close() override {
    if (device_) {
      waveOutReset(device_);
      waveOutUnprepareHeader(device_, &header_, sizeof header_);
      waveOutClose(device_);
      device_ = nullptr;
    }
  }

 private:
  HWAVEOUT device_ = nullptr;
  WAVEHDR header_{};
  int rate_ = 0;
  uint64_t played_ = 0;
  RingPosition clock_;
  uint32_t ringBytes_ = 0;
  std::atomic<uint64_t> position_{0};
  DWORD startThread_ = 0;
  std::atomic<bool> raised_{false};
};

}  // namespace

glimmer::music::SoundDevice& systemSoundDevice() {
  static WaveOutDevice device;
  return device;
}

}  // namespace platform
