// The mixer: voice updates from the sequencer, click-free volume ramps, linear interpolation,
// forward and ping-pong loops, and block rendering into 16-bit stereo.
#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "music/internal.h"

namespace glimmer::music {

MixerVoice mixerVoices[kVoiceCount];
MusicChannel musicChannels[kMaxChannels];
OutputState output;

namespace {

constexpr int64_t kOne = int64_t{1} << 32;
constexpr int64_t kZeroStepSubstitute = 24932236;  // used instead of a zero step when counting
constexpr float kFractionScale = 1.0f / 2147483648.0f;
constexpr float kVolumeScale = 7.4214768e-9f;

// Square-root pan law in 16.16: sqrt(p / 255) for p = 0..255.
struct SquareRootPan {
  int32_t gain[256];
  SquareRootPan() {
    for (int p = 0; p < 256; ++p)
      gain[p] = static_cast<int32_t>(std::lround(std::sqrt(p / 255.0) * 65536));
  }
};
const SquareRootPan kSquareRootPan;

void setStereo(MixerVoice& v, bool squareRoot) {
  // Panning 0 is the left side and 255 the right, as trackers show it. FastTracker 2 itself
  // pans with the square root, which keeps a centred voice as loud as one on either side.
  if (squareRoot) {
    v.leftVolume = (v.volume * kSquareRootPan.gain[255 - v.panning]) >> 16;
    v.rightVolume = (v.volume * kSquareRootPan.gain[v.panning]) >> 16;
    return;
  }
  v.leftVolume = v.volume * (255 - v.panning) / 255;
  v.rightVolume = v.volume * v.panning / 255;
}

#if defined(__SSE2__)
// Linear interpolation of four frames from `pos` on: the two neighbours of each frame come in one
// 32-bit load, and the arithmetic is the one-frame formula in the same order, four at a time.
inline __m128 interpolate4(const int16_t* d, int64_t pos, int64_t step) {
  auto pair = [d](int64_t p) {
    int32_t v32;
    std::memcpy(&v32, d + (p >> 32), 4);  // value at the position (low half) and the next one
    return v32;
  };
  auto fraction = [](int64_t p) { return static_cast<int32_t>(static_cast<uint32_t>(p) >> 1); };
  const int64_t p1 = pos + step, p2 = pos + 2 * step, p3 = pos + 3 * step;
  const __m128i both = _mm_setr_epi32(pair(pos), pair(p1), pair(p2), pair(p3));
  const __m128 s0 = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(both, 16), 16));
  const __m128 s1 = _mm_cvtepi32_ps(_mm_srai_epi32(both, 16));
  const __m128i fr = _mm_setr_epi32(fraction(pos), fraction(p1), fraction(p2), fraction(p3));
  const __m128 f = _mm_mul_ps(_mm_cvtepi32_ps(fr), _mm_set1_ps(kFractionScale));
  return _mm_add_ps(s0, _mm_mul_ps(f, _mm_sub_ps(s1, s0)));
}
#endif

// Mixes `n` frames of one voice with constant gains; positions stay within the sample.
// Four frames per pass, then one at a time for the remainder.
void mixPlain(MixerVoice& v, float* out, int n, float gl, float gr) {
  const int16_t* d = v.sample->data;
  int64_t pos = v.position;
  const int64_t step = v.direction == 1 ? v.step : -v.step;
  int i = 0;
#if defined(__SSE2__)
  const __m128 gains = _mm_setr_ps(gl, gr, gl, gr);
  for (; i + 4 <= n; i += 4) {
    const __m128 samples = interpolate4(d, pos, step);
    pos += 4 * step;
    float* o = out + 2 * i;
    _mm_storeu_ps(
        o, _mm_add_ps(_mm_loadu_ps(o), _mm_mul_ps(_mm_unpacklo_ps(samples, samples), gains)));
    _mm_storeu_ps(o + 4, _mm_add_ps(_mm_loadu_ps(o + 4),
                                    _mm_mul_ps(_mm_unpackhi_ps(samples, samples), gains)));
  }
#endif
  for (; i < n; ++i) {
    const int64_t idx = pos >> 32;
    const float f = static_cast<float>(static_cast<uint32_t>(pos) >> 1) * kFractionScale;
    const float s0 = d[idx], s1 = d[idx + 1];
    const float s = s0 + f * (s1 - s0);
    out[2 * i] += s * gl;
    out[2 * i + 1] += s * gr;
    pos += step;
  }
  v.position = pos;
}

// Mixes `n` frames with gains that grow by the ramp steps every frame; returns the final gains.
void mixRamp(MixerVoice& v, float* out, int n, float& gl, float& gr) {
  const int16_t* d = v.sample->data;
  int64_t pos = v.position;
  const int64_t step = v.direction == 1 ? v.step : -v.step;
  float l = gl, r = gr;
  int i = 0;
#if defined(__SSE2__)
  // Frame k of a pass gets the pass's starting gains plus k steps.
  const float sl = v.rampStepLeft, sr = v.rampStepRight;
  const __m128 steps = _mm_setr_ps(sl, sr, sl, sr);
  const __m128 k01 = _mm_mul_ps(steps, _mm_setr_ps(0, 0, 1, 1));
  const __m128 k23 = _mm_mul_ps(steps, _mm_setr_ps(2, 2, 3, 3));
  for (; i + 4 <= n; i += 4) {
    const __m128 samples = interpolate4(d, pos, step);
    pos += 4 * step;
    const __m128 base = _mm_setr_ps(l, r, l, r);
    float* o = out + 2 * i;
    _mm_storeu_ps(o, _mm_add_ps(_mm_loadu_ps(o), _mm_mul_ps(_mm_unpacklo_ps(samples, samples),
                                                            _mm_add_ps(base, k01))));
    _mm_storeu_ps(o + 4,
                  _mm_add_ps(_mm_loadu_ps(o + 4),
                             _mm_mul_ps(_mm_unpackhi_ps(samples, samples), _mm_add_ps(base, k23))));
    l += 4 * sl;
    r += 4 * sr;
  }
#endif
  for (; i < n; ++i) {
    const int64_t idx = pos >> 32;
    const float f = static_cast<float>(static_cast<uint32_t>(pos) >> 1) * kFractionScale;
    const float s0 = d[idx], s1 = d[idx + 1];
    const float s = s0 + f * (s1 - s0);
    out[2 * i] += s * l;
    out[2 * i + 1] += s * r;
    l += v.rampStepLeft;
    r += v.rampStepRight;
    pos += step;
  }
  v.position = pos;
  gl = l;
  gr = r;
}

// Mixes `count` frames that lie before the voice's next boundary, splitting at ramp ends.
void mixSegment(MixerVoice& v, float* out, int count) {
  while (count > 0) {
    bool running = v.rampFramesLeft > 0 && v.rampTargetLeft == v.leftVolume &&
                   v.rampTargetRight == v.rightVolume;
    if (!running) {
      v.rampFramesLeft = 0;
      v.rampStepLeft = v.rampStepRight = 0;
      int currentLeft = v.rampLeft / 256, currentRight = v.rampRight / 256;
      if (currentLeft != v.leftVolume || currentRight != v.rightVolume) {
        if (currentLeft != v.leftVolume) {
          v.rampStepLeft = static_cast<float>(v.leftVolume - currentLeft) * (1.0f / 255.0f) *
                           output.invRampLength;
        }
        if (currentRight != v.rightVolume) {
          v.rampStepRight = static_cast<float>(v.rightVolume - currentRight) * (1.0f / 255.0f) *
                            output.invRampLength;
        }
        v.rampFramesLeft = output.rampLength;
        v.rampTargetLeft = v.leftVolume;
        v.rampTargetRight = v.rightVolume;
      }
    }
    if (v.rampFramesLeft == 0 && v.leftVolume == 0 && v.rightVolume == 0) {
      // Silent: adding zeros changes no output sample, so only the position moves on.
      v.position += (v.direction == 1 ? v.step : -v.step) * count;
      return;
    }
    if (v.rampFramesLeft == 0) {
      mixPlain(v, out, count, static_cast<float>(v.leftVolume) * (1.0f / 255.0f),
               static_cast<float>(v.rightVolume) * (1.0f / 255.0f));
      return;
    }
    int n = std::min(count, v.rampFramesLeft);
    float gl = static_cast<float>(v.rampLeft) * (1.0f / (256.0f * 255.0f));
    float gr = static_cast<float>(v.rampRight) * (1.0f / (256.0f * 255.0f));
    mixRamp(v, out, n, gl, gr);
    v.rampLeft = static_cast<int32_t>(std::lrint(gl * 255.0f * 256.0f));
    v.rampRight = static_cast<int32_t>(std::lrint(gr * 255.0f * 256.0f));
    v.rampFramesLeft -= n;
    if (v.rampFramesLeft == 0) {
      v.rampStepLeft = v.rampStepRight = 0;
      v.rampLeft = v.rampTargetLeft * 256;
      v.rampRight = v.rampTargetRight * 256;
    }
    out += 2 * n;
    count -= n;
  }
}

// After a boundary: a one-shot sample stops, a forward loop wraps, a ping-pong loop reflects.
void crossBoundary(MixerVoice& v) {
  const Sample& s = *v.sample;
  const int64_t loopStart = int64_t{s.loopStart} << 32;
  const int64_t loopLength = int64_t{s.loopLength} << 32;
  const int64_t loopEnd = loopStart + loopLength;
  switch (s.loopMode) {
    case LoopMode::None:
      v.sample = nullptr;
      v.position = 0;
      break;
    case LoopMode::Forward:
      if (v.position >= loopEnd) v.position = loopStart + (v.position - loopStart) % loopLength;
      break;
    case LoopMode::PingPong: {
      // Unfold the bouncing motion onto a circle of twice the loop length: the first half runs
      // forward from the loop start, the second half backward from the loop end. Repeated
      // reflections at both ends are one modulo.
      const int64_t period = 2 * loopLength;
      int64_t u = v.direction == 1 ? v.position - loopStart : period - (v.position - loopStart);
      u %= period;
      if (u < 0) u += period;
      if (u < loopLength) {
        v.position = loopStart + u;
        v.direction = 1;
      } else {
        v.position = loopStart + (period - u);
        v.direction = 2;
      }
      break;
    }
  }
}

void mixVoice(MixerVoice& v, float* out, int frames) {
  while (frames > 0 && v.sample) {
    const Sample& s = *v.sample;
    if (v.detached && v.leftVolume == 0 && v.rightVolume == 0 && v.rampFramesLeft == 0 &&
        v.rampLeft == 0 && v.rampRight == 0) {
      // An old note that has faded out completely: nothing it mixes can be heard.
      v.sample = nullptr;
      return;
    }
    const int64_t loopStart = int64_t{s.loopStart} << 32;
    const int64_t loopEnd = int64_t{s.loopStart + s.loopLength} << 32;
    const int64_t end = int64_t{s.length} << 32;
    if (v.position < 0 || v.position > end) {  // cannot happen; never read outside the data
      v.sample = nullptr;
      return;
    }
    int64_t distance;
    if (v.direction == 1) {
      distance = (v.position >= loopEnd ? end : loopEnd) - v.position;
    } else {
      distance = v.position - loopStart;
    }
    int count = frames;
    bool boundary = false;
    if (distance <= 0) {
      count = 0;
      boundary = true;
    } else {
      // Frames until the position reaches the boundary, computed exactly so that every mixed
      // frame interpolates between values inside the sample (or its guard value).
      const int64_t step = v.step != 0 ? v.step : kZeroStepSubstitute;
      const int64_t need = distance / step + (distance % step != 0 ? 1 : 0);
      if (need <= frames) {
        count = static_cast<int>(need);
        boundary = true;
      }
    }
    if (count > 0) mixSegment(v, out, count);
    out += 2 * count;
    frames -= count;
    if (boundary) crossBoundary(v);
  }
}

}  // namespace

void prepareMixer(int channelCount) {
  output.blockLength = ((kMixRate * 20) / 1000 + 3) & ~3;
  output.bufferLength = output.blockLength * (1000 / 20) * 2;
  output.blockCount = output.bufferLength / output.blockLength;
  output.rampLength = (kMixRate * 128) / 44100;
  output.invRampLength = 1.0f / static_cast<float>(output.rampLength);
  output.invMixRate = 1.0f / static_cast<float>(kMixRate);
  // Modules of up to 32 channels pair voice i with i + 32; wider modules pair it with
  // i + channelCount so that no two channels ever share a voice.
  output.voiceHalf = std::max(kTwinOffset, std::min(channelCount, kMaxChannels));
  for (int i = 0; i < kVoiceCount; ++i) {
    mixerVoices[i] = MixerVoice{};
    mixerVoices[i].index = i;
    mixerVoices[i].step = kOne;
  }
  output.mixBuffer.assign(size_t(output.blockLength) * 2, 0.0f);
}

void resetSongState(Song& song) {
  SongPlayback& p = *song.playback;
  p.globalVolume = song.defaultGlobalVolume;
  p.speed = song.defaultSpeed;
  p.row = 0;
  p.order = 0;
  p.nextOrder = -1;
  p.nextRow = -1;
  p.tickSamplesLeft = 0;
  p.tick = 0;
  p.timeMs = 0;
  p.nextOrderWraps = false;
  p.wrapCount = 0;
  p.jumpOrder = p.breakRow = p.loopJumpRow = -1;
  p.patternDelay = 0;
  p.visited.fill(0);
  setTempo(song, song.defaultTempo);
  for (int c = 0; c < kMaxChannels; ++c) musicChannels[c] = MusicChannel{};
  for (int c = 0; c < song.channelCount; ++c) musicChannels[c].voice = &mixerVoices[c];
}

// Channel volume with tremolo and tremor applied.
int32_t effectiveVolume(const MusicChannel& ch) {
  return ch.muted ? 0 : std::clamp(ch.volume + ch.volumeDelta, 0, 64);
}

void updateVoice(Song& song, MusicChannel& ch) {
  MixerVoice* v = ch.voice;
  if (!v) return;
  if (ch.dirty & kDirtyTrigger) {
    if (v->sample) {
      // The old note keeps sounding on this voice and ramps out; the new one starts on the twin.
      int half = output.voiceHalf;
      int twinIndex = v->index < half ? v->index + half : v->index - half;
      MixerVoice& twin = mixerVoices[twinIndex];
      twin = *v;
      twin.index = twinIndex;
      twin.detached = false;
      v->volume = v->leftVolume = v->rightVolume = 0;
      v->detached = true;
      ch.voice = &twin;
      v = &twin;
    }
    v->sample = ch.sample && ch.sample->data && ch.sample->length ? ch.sample : nullptr;
    v->position = int64_t{ch.startOffset} << 32;
    // An offset past the end of the sample leaves the voice silent.
    if (v->sample && ch.startOffset >= v->sample->length) v->sample = nullptr, v->position = 0;
    v->direction = 1;
    v->rampLeft = v->rampRight = 0;
    v->rampFramesLeft = 0;
    v->rampStepLeft = v->rampStepRight = 0;
    v->detached = false;
  }
  if (ch.dirty & kDirtyVolume) {
    float volume = static_cast<float>(ch.fadeout) *
                   static_cast<float>(effectiveVolume(ch) * ch.volumeEnvelope.value) *
                   static_cast<float>(song.playback->globalVolume) * kVolumeScale;
    v->volume = std::clamp(static_cast<int32_t>(volume), 0, 127);
    setStereo(*v, song.squareRootPanning);
  }
  if (ch.dirty & kDirtyPanning) {
    int p = ch.panning + (ch.panEnvelope.value - 32) * ((128 - std::abs(ch.panning - 128)) / 32);
    v->panning = std::clamp(p, 0, 255);
    setStereo(*v, song.squareRootPanning);
  }
  const int32_t base = ch.period + ch.periodDelta;
  int32_t period = base + (song.linear() ? -ch.periodShift : ch.periodShift);
  if (base + ch.periodShift == 0 || (!song.linear() && period <= 0)) {
    ch.dirty &= static_cast<uint8_t>(~kDirtyFrequency);
  }
  if (ch.dirty & kDirtyFrequency) {
    // The frequency keeps its fraction: a whole-hertz frequency puts low notes out of phase
    // with the tracker's within seconds. Amiga periods count 8363 Hz at 1712.
    double frequency =
        song.linear() ? 8363.0 * std::exp2((4608 - period) / 768.0) : 8363.0 * 1712.0 / period;
    frequency = std::clamp(frequency, 100.0, 1073741824.0);
    v->step = std::llround(frequency / kMixRate * 4294967296.0);
  }
}

void mixVoices(float* out, int frames) {
  const int count = 2 * output.voiceHalf;
  for (int i = 0; i < count; ++i) {
    if (mixerVoices[i].sample) mixVoice(mixerVoices[i], out, frames);
  }
}

void renderBlock(Song& song, int16_t* dest, TimeInfo* info) {
  SongPlayback& p = *song.playback;
  float* mix = output.mixBuffer.data();
  const int length = output.blockLength;
  std::fill(mix, mix + 2 * length, 0.0f);
  int framesLeft = p.tickSamplesLeft;
  int done = 0;
  while (done < length) {
    if (framesLeft == 0) {
      p.tickFunction(song);
      framesLeft = p.samplesPerTick;
    }
    int n = std::min(framesLeft, length - done);
    mixVoices(mix + 2 * done, n);
    p.timeMs += static_cast<uint32_t>(static_cast<float>(n) * output.invMixRate * 1000.0f);
    framesLeft -= n;
    done += n;
  }
  p.tickSamplesLeft = framesLeft;
  if (info) {
    info->order.store(static_cast<uint8_t>(p.order), std::memory_order_relaxed);
    info->row.store(static_cast<uint8_t>(p.row), std::memory_order_relaxed);
    info->timeMs.store(p.timeMs, std::memory_order_relaxed);
  }
  // Round to nearest (even on ties) and saturate to 16 bits.
  int i = 0;
#if defined(__SSE2__)
  for (; i + 8 <= 2 * length; i += 8) {
    const __m128i a = _mm_cvtps_epi32(_mm_loadu_ps(mix + i));
    const __m128i b = _mm_cvtps_epi32(_mm_loadu_ps(mix + i + 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), _mm_packs_epi32(a, b));
  }
#endif
  for (; i < 2 * length; ++i) {
    float r = std::nearbyint(mix[i]);
    dest[i] = static_cast<int16_t>(std::clamp(r, -32768.0f, 32767.0f));
  }
}

}  // namespace glimmer::music
