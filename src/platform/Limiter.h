// Limiter.h -- the last step of the mix: a look-ahead peak limiter.
//
// Below the threshold (-3 dBFS) it passes every sample through unchanged,
// only delayed by the look-ahead. A peak above it is bent down along a soft
// knee that approaches the ceiling (-1 dBFS) and never passes it; the gain
// falls smoothly over the look-ahead before the peak and recovers over about
// 80 ms after it. Everything it needs lives in the object: processing neither
// allocates nor locks, so it can run in the audio callback.
#pragma once

#include <array>
#include <cstddef>

namespace platform {

class TLimiter {
 public:
  static constexpr int kLookahead = 64;    // frames: the gain ramp before a peak
  static constexpr int kLatency = kLookahead - 1;  // frames the output lags
  static constexpr int kMaxChannels = 8;
  static constexpr float kThreshold = 0.70794578f;  // -3 dBFS
  static constexpr float kCeiling = 0.89125094f;    // -1 dBFS

  explicit TLimiter(int sampleRate = 44100) { Reset(sampleRate); }

  // Silence in the look-ahead, full gain.
  void Reset(int sampleRate);
  // Limits `frames` interleaved frames of `channels` (1..kMaxChannels)
  // float samples in place; the output is the input kLatency frames ago.
  void Process(float* samples, std::size_t frames, int channels);

  // The level a peak of `peak` is brought to: itself up to the threshold,
  // then a soft knee towards the ceiling.
  [[nodiscard]] static float KneeLevel(float peak);

 private:
  std::array<std::array<float, kMaxChannels>, kLookahead> fDelay{};
  std::array<float, kLookahead> fWanted{};  // gain each input frame asks for, after release
  std::array<float, kLookahead> fHeld{};    // minimum of fWanted over the look-ahead
  int fIndex = 0;
  double fRelease = 0;  // per-frame recovery toward full gain
  double fLast = 1;     // the last wanted gain
};

}  // namespace platform
