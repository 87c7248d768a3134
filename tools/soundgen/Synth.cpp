// Synth.cpp -- oscillators, envelopes, filter, note rendering and the track.
#include "Synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace soundgen {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kWarmUpSeconds = 12;

// Smooths the jump of a naive saw or square over one sample on each side, so
// that high notes do not alias into a whistle.
double PolyBlep(double phase, double step) {
  if (phase < step) {
    const double t = phase / step;
    return t + t - t * t - 1;
  }
  if (phase > 1 - step) {
    const double t = (phase - 1) / step;
    return t * t + t + t + 1;
  }
  return 0;
}

double Wrap(double phase) { return phase - std::floor(phase); }

std::size_t SecondsToFrames(double seconds) {
  return static_cast<std::size_t>(std::max(0.0, std::ceil(seconds * kRate)));
}

float Saturate(float sample, float drive) {
  if (drive <= 0) return sample;
  return std::tanh(sample * (1 + drive)) / std::tanh(1 + drive);
}

}  // namespace

float TRandom::Next() {
  fState ^= fState << 13;
  fState ^= fState >> 17;
  fState ^= fState << 5;
  return static_cast<float>(fState / 2147483648.0 - 1.0);
}

float TEnvelope::At(double t, double gate) const {
  auto held = [this](double u) {
    if (u < 0) return 0.0;
    if (u < Attack) return u / Attack;
    return Sustain + (1 - Sustain) * std::exp(-5 * (u - Attack) / std::max(Decay, 1e-4f));
  };
  if (t < gate) return static_cast<float>(held(t));
  const double x = (t - gate) / std::max(Release, 1e-4f);
  if (x >= 1) return 0;
  return static_cast<float>(held(gate) * (1 - x) * (1 - x));
}

float TFilter::Process(float input, float cutoffHz) {
  if (cutoffHz != fCutoff) {
    fCutoff = cutoffHz;
    fG = std::tan(std::numbers::pi * std::clamp(static_cast<double>(cutoffHz), 10.0, 0.45 * kRate) / kRate);
  }
  const double g = fG;
  const double k = 1 / fQ;
  const double a1 = 1 / (1 + g * (g + k));
  const double a2 = g * a1;
  const double a3 = g * a2;
  const double v3 = input - fIc2;
  const double v1 = a1 * fIc1 + a2 * v3;
  const double v2 = fIc2 + a2 * fIc1 + a3 * v3;
  fIc1 = static_cast<float>(2 * v1 - fIc1);
  fIc2 = static_cast<float>(2 * v2 - fIc2);
  switch (fMode) {
    case TMode::HighPass: return static_cast<float>(input - k * v1 - v2);
    case TMode::BandPass: return static_cast<float>(v1);
    case TMode::LowPass: break;
  }
  return static_cast<float>(v2);
}

double MidiToHz(double note) { return 440.0 * std::pow(2.0, (note - 69) / 12); }

float Oscillator(TWave wave, double phase, float pulseWidth, TRandom& noise) {
  switch (wave) {
    case TWave::Sine: return static_cast<float>(std::sin(kTwoPi * phase));
    case TWave::Triangle: return static_cast<float>(4 * std::abs(phase - 0.5) - 1);
    case TWave::Saw: return static_cast<float>(2 * phase - 1);
    case TWave::Square: return phase < 0.5 ? 1.0f : -1.0f;
    // Centred: a narrow pulse would otherwise carry a large DC offset.
    case TWave::Pulse: return (phase < pulseWidth ? 1.0f : -1.0f) - (2 * pulseWidth - 1);
    case TWave::Noise: return noise.Next();
  }
  return 0;
}

namespace {

// One band-limited oscillator step: the naive wave with its edges smoothed.
float OscillatorStep(TWave wave, double phase, double step, float pulseWidth, TRandom& noise) {
  double value = Oscillator(wave, phase, pulseWidth, noise);
  if (wave == TWave::Saw) {
    value -= PolyBlep(phase, step);
  } else if (wave == TWave::Square || wave == TWave::Pulse) {
    const double width = wave == TWave::Square ? 0.5 : pulseWidth;
    value += PolyBlep(phase, step) - PolyBlep(Wrap(phase - width + 1), step);
  }
  return static_cast<float>(value);
}

}  // namespace

std::vector<float> RenderNote(const TInstrument& in, double hz, double gate, TRandom& noise) {
  std::vector<float> out(SecondsToFrames(in.Amp.Length(gate)));
  TFilter filter(TFilter::TMode::LowPass, in.Resonance);
  const bool filtered = in.Cutoff < 20000 || in.CutoffEnv != 0;
  const double ratio2 = in.Octave2 * std::pow(2.0, in.Detune / 1200.0);
  double phase1 = 0;
  double phase2 = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    double f1 = hz;
    if (in.Vibrato > 0 && t > 0.25) {
      f1 *= std::exp2(in.Vibrato * std::min(1.0, (t - 0.25) / 0.3) * std::sin(kTwoPi * 5.5 * t) / 1200);
    }
    const double f2 = f1 * ratio2;
    float s = OscillatorStep(in.Wave, phase1, f1 / kRate, in.PulseWidth, noise);
    if (in.Mix2 != 0) s += in.Mix2 * OscillatorStep(in.Wave2, phase2, f2 / kRate, in.PulseWidth, noise);
    phase1 = Wrap(phase1 + f1 / kRate);
    phase2 = Wrap(phase2 + f2 / kRate);
    if (filtered) s = filter.Process(s, in.Cutoff + in.CutoffEnv * in.FilterEnv.At(t, gate));
    out[i] = Saturate(s, in.Drive) * in.Amp.At(t, gate);
  }
  return out;
}

std::vector<float> Sweep(TWave wave, double hz0, double hz1, double seconds, const TEnvelope& amp, TRandom& noise) {
  std::vector<float> out(SecondsToFrames(seconds));
  const double gate = std::max(0.0, seconds - amp.Release);
  double phase = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double hz = hz0 * std::pow(hz1 / hz0, t / seconds);
    out[i] = OscillatorStep(wave, phase, hz / kRate, 0.25f, noise) * amp.At(t, gate);
    phase = Wrap(phase + hz / kRate);
  }
  return out;
}

std::vector<float> NoiseBurst(double hz0, double hz1, double seconds, const TEnvelope& amp, TRandom& noise,
                              float resonance) {
  std::vector<float> out(SecondsToFrames(seconds));
  TFilter filter(TFilter::TMode::LowPass, resonance);
  const double gate = std::max(0.0, seconds - amp.Release);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double hz = hz0 * std::pow(hz1 / hz0, t / seconds);
    out[i] = filter.Process(noise.Next(), static_cast<float>(hz)) * amp.At(t, gate);
  }
  return out;
}

std::vector<float> FmTone(double hz, double ratio, double index, double seconds, const TEnvelope& amp) {
  std::vector<float> out(SecondsToFrames(seconds));
  const double gate = std::max(0.0, seconds - amp.Release);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double level = amp.At(t, gate);
    const double modulator = std::sin(kTwoPi * hz * ratio * t) * index * level;
    out[i] = static_cast<float>(std::sin(kTwoPi * hz * t + modulator) * level);
  }
  return out;
}

TTrack::TTrack(double seconds, bool loop, int channels)
    : fLoop(loop), fChannels(channels), fLeft(SecondsToFrames(seconds)) {
  if (channels == 2) fRight.resize(fLeft.size());
}

void TTrack::Mix(const std::vector<float>& sound, double seconds, float gain, float pan) {
  const std::size_t frames = Frames();
  if (frames == 0) return;
  const double angle = (std::clamp(pan, -1.0f, 1.0f) + 1) * std::numbers::pi / 4;
  const float left = fChannels == 2 ? static_cast<float>(gain * std::cos(angle)) : gain;
  const float right = static_cast<float>(gain * std::sin(angle));
  const auto start = static_cast<std::size_t>(std::llround(std::max(0.0, seconds) * kRate));
  for (std::size_t i = 0; i < sound.size(); ++i) {
    std::size_t frame = start + i;
    if (frame >= frames) {
      if (!fLoop) break;
      frame %= frames;
    }
    fLeft[frame] += sound[i] * left;
    if (fChannels == 2) fRight[frame] += sound[i] * right;
  }
}

void TTrack::Add(const TTrack& other, float gain) {
  const std::size_t frames = std::min(Frames(), other.Frames());
  for (std::size_t i = 0; i < frames; ++i) {
    fLeft[i] += other.Left()[i] * gain;
    if (fChannels == 2) fRight[i] += other.Right()[i] * gain;
  }
}

template <typename TProcess>
void TTrack::Circulate(std::vector<float>& channel, TProcess process) {
  if (!fLoop) {
    for (float& sample : channel) sample = process(sample);
    return;
  }
  // Warming up on the loop's last seconds is enough: the echoes and reverbs
  // used here have died away by 60 dB well within that time.
  const std::vector<float> dry = channel;
  const std::size_t warmUp = std::min(dry.size(), SecondsToFrames(kWarmUpSeconds));
  for (std::size_t i = dry.size() - warmUp; i < dry.size(); ++i) process(dry[i]);
  for (std::size_t i = 0; i < dry.size(); ++i) channel[i] = process(dry[i]);
}

void TTrack::Echo(double delaySeconds, float feedback, float wet, float damping) {
  const std::size_t delay = std::max<std::size_t>(1, SecondsToFrames(delaySeconds));
  for (int c = 0; c < fChannels; ++c) {
    std::vector<float> line(delay, 0.0f);
    std::size_t pos = 0;
    float low = 0;
    Circulate(c == 0 ? fLeft : fRight, [&](float x) {
      const float delayed = line[pos];
      low += (delayed - low) * (1 - damping);
      line[pos] = x + feedback * low;
      if (++pos == delay) pos = 0;
      return x + wet * delayed;
    });
  }
}

void TTrack::Reverb(float size, float wet) {
  static constexpr int kCombs[] = {1116, 1188, 1277, 1356};
  static constexpr int kAllPasses[] = {556, 441};
  for (int c = 0; c < fChannels; ++c) {
    const int spread = c == 0 ? 0 : 23;
    struct TDelay {
      std::vector<float> Line;
      std::size_t Pos = 0;
      float Low = 0;
    };
    std::vector<TDelay> combs;
    for (int length : kCombs) combs.push_back({std::vector<float>(static_cast<std::size_t>((length + spread) * size)), 0, 0});
    std::vector<TDelay> passes;
    for (int length : kAllPasses) passes.push_back({std::vector<float>(static_cast<std::size_t>(length + spread)), 0, 0});
    Circulate(c == 0 ? fLeft : fRight, [&](float x) {
      float sum = 0;
      for (TDelay& comb : combs) {
        const float out = comb.Line[comb.Pos];
        comb.Low += (out - comb.Low) * 0.6f;
        comb.Line[comb.Pos] = x * 0.25f + comb.Low * 0.82f;
        if (++comb.Pos == comb.Line.size()) comb.Pos = 0;
        sum += out;
      }
      for (TDelay& pass : passes) {
        const float buffered = pass.Line[pass.Pos];
        pass.Line[pass.Pos] = sum + buffered * 0.5f;
        if (++pass.Pos == pass.Line.size()) pass.Pos = 0;
        sum = buffered - sum;
      }
      return x + wet * sum;
    });
  }
}

void TTrack::Saturate(float drive) {
  for (float& s : fLeft) s = soundgen::Saturate(s, drive);
  for (float& s : fRight) s = soundgen::Saturate(s, drive);
}

float TTrack::Rms() const {
  double sum = 0;
  for (float s : fLeft) sum += static_cast<double>(s) * s;
  for (float s : fRight) sum += static_cast<double>(s) * s;
  const std::size_t count = fLeft.size() + fRight.size();
  return count == 0 ? 0 : static_cast<float>(std::sqrt(sum / static_cast<double>(count)));
}

float TTrack::Normalise(float peak) {
  float largest = 0;
  for (float s : fLeft) largest = std::max(largest, std::abs(s));
  for (float s : fRight) largest = std::max(largest, std::abs(s));
  if (largest <= 0) return 1;
  const float gain = peak / largest;
  for (float& s : fLeft) s *= gain;
  for (float& s : fRight) s *= gain;
  return gain;
}

}  // namespace soundgen
