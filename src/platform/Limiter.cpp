// Limiter.cpp -- the look-ahead peak limiter.
//
// Each frame entering asks for the gain that brings its peak onto the knee;
// that wish recovers toward 1 no faster than the release allows. The gain
// applied to a frame is the average, over the look-ahead, of the minimum
// wish over the look-ahead: every value averaged has seen the frame's own
// wish, so the average never exceeds it, and it moves in a straight-sided
// ramp instead of a step. A last clamp to the ceiling catches rounding.
#include "platform/Limiter.h"

#include <algorithm>
#include <cmath>

namespace platform {

void TLimiter::Reset(int sampleRate) {
  for (auto& frame : fDelay) frame.fill(0);
  fWanted.fill(1);
  fHeld.fill(1);
  fIndex = 0;
  fLast = 1;
  fRelease = 1 - std::exp(-1.0 / (0.08 * std::max(sampleRate, 1)));
}

float TLimiter::KneeLevel(float peak) {
  if (!(peak > kThreshold)) return peak;
  constexpr float room = kCeiling - kThreshold;
  return kThreshold + room * std::tanh((peak - kThreshold) / room);
}

void TLimiter::Process(float* samples, std::size_t frames, int channels) {
  if (channels < 1 || channels > kMaxChannels) return;
  for (std::size_t f = 0; f < frames; ++f) {
    float* frame = samples + f * static_cast<std::size_t>(channels);
    float peak = 0;
    for (int c = 0; c < channels; ++c) peak = std::max(peak, std::fabs(frame[c]));

    // The recovery runs in double: in float its last steps would round away
    // and leave the gain stuck just below 1.
    double released = fLast + (1 - fLast) * fRelease;
    if (released > 0.99999) released = 1;
    fLast = std::min(peak > kThreshold ? static_cast<double>(KneeLevel(peak) / peak) : 1.0, released);
    fWanted[fIndex] = static_cast<float>(fLast);
    fHeld[fIndex] = *std::min_element(fWanted.begin(), fWanted.end());
    double sum = 0;
    for (float held : fHeld) sum += held;
    const auto gain = static_cast<float>(sum / kLookahead);

    // The new frame goes into the delay; the oldest one comes out.
    std::array<float, kMaxChannels>& newest = fDelay[fIndex];
    fIndex = (fIndex + 1) % kLookahead;
    const std::array<float, kMaxChannels>& oldest = fDelay[fIndex];
    for (int c = 0; c < channels; ++c) newest[c] = frame[c];
    for (int c = 0; c < channels; ++c) frame[c] = std::clamp(oldest[c] * gain, -kCeiling, kCeiling);
  }
}

}  // namespace platform
