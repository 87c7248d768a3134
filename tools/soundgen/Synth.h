// Synth.h -- the small synthesiser behind every sound of the game:
// oscillators, envelopes, a resonant filter, and a sample track that can wrap
// round so that music loops without a seam.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace soundgen {

constexpr int kRate = 44100;

// Deterministic noise, so that every build writes the same files.
class TRandom {
 public:
  explicit TRandom(uint32_t seed) : fState(seed ? seed : 1) {}
  // Uniform in [-1, 1).
  float Next();

 private:
  uint32_t fState;
};

enum class TWave { Sine, Triangle, Saw, Square, Pulse, Noise };

// Attack, decay and release in seconds, sustain as a level 0..1.
struct TEnvelope {
  float Attack = 0.005f;
  float Decay = 0.1f;
  float Sustain = 1;
  float Release = 0.05f;
  // Level at `t` seconds after the note starts, the gate open for `gate` s.
  [[nodiscard]] float At(double t, double gate) const;
  // Seconds until the note is silent.
  [[nodiscard]] double Length(double gate) const { return gate + Release; }
};

// Topology-preserving state-variable filter; stable for any cut-off.
class TFilter {
 public:
  enum class TMode { LowPass, HighPass, BandPass };
  explicit TFilter(TMode mode = TMode::LowPass, float resonance = 0.7f) : fMode(mode), fQ(resonance) {}
  float Process(float input, float cutoffHz);

 private:
  TMode fMode;
  float fQ;
  float fIc1 = 0;
  float fIc2 = 0;
  float fCutoff = -1;  // the cut-off fG was computed for
  double fG = 0;
};

// A pitched voice: two oscillators through a filter with its own envelope.
struct TInstrument {
  TWave Wave = TWave::Saw;
  TWave Wave2 = TWave::Saw;
  float Mix2 = 0;          // level of the second oscillator
  float Detune = 0;        // second oscillator, in cents
  float Octave2 = 1;       // frequency ratio of the second oscillator
  float PulseWidth = 0.25f;
  TEnvelope Amp;
  float Cutoff = 20000;    // Hz
  float CutoffEnv = 0;     // Hz added at the filter envelope's peak
  TEnvelope FilterEnv;
  float Resonance = 0.7f;
  float Vibrato = 0;       // depth in cents, at 5.5 Hz after 0.25 s
  float Drive = 0;         // tanh saturation amount, 0 = clean
};

[[nodiscard]] double MidiToHz(double note);
[[nodiscard]] float Oscillator(TWave wave, double phase, float pulseWidth, TRandom& noise);

// One note of `instrument` at `hz`, gate open for `gate` seconds, with its tail.
[[nodiscard]] std::vector<float> RenderNote(const TInstrument& instrument, double hz, double gate, TRandom& noise);
// A tone gliding exponentially from `hz0` to `hz1` over `seconds`, enveloped.
[[nodiscard]] std::vector<float> Sweep(TWave wave, double hz0, double hz1, double seconds, const TEnvelope& amp,
                                       TRandom& noise);
// Noise through a low-pass whose cut-off glides from `hz0` to `hz1`.
[[nodiscard]] std::vector<float> NoiseBurst(double hz0, double hz1, double seconds, const TEnvelope& amp,
                                            TRandom& noise, float resonance = 0.7f);
// Two-operator FM: a sine carrier at `hz` modulated at `ratio` times it; the
// index decays from `index` to 0 with the amplitude.
[[nodiscard]] std::vector<float> FmTone(double hz, double ratio, double index, double seconds, const TEnvelope& amp);

// A stereo track. A looping track wraps everything written past its end round
// to its start, so its last sample runs on into its first.
class TTrack {
 public:
  TTrack(double seconds, bool loop, int channels = 2);
  [[nodiscard]] std::size_t Frames() const { return fLeft.size(); }
  [[nodiscard]] int Channels() const { return fChannels; }
  [[nodiscard]] bool Loops() const { return fLoop; }
  [[nodiscard]] std::vector<float>& Left() { return fLeft; }
  [[nodiscard]] std::vector<float>& Right() { return fChannels == 2 ? fRight : fLeft; }
  [[nodiscard]] const std::vector<float>& Left() const { return fLeft; }
  [[nodiscard]] const std::vector<float>& Right() const { return fChannels == 2 ? fRight : fLeft; }

  // Adds `sound` from `seconds` on; pan -1 (left) .. 1 (right), equal power.
  void Mix(const std::vector<float>& sound, double seconds, float gain, float pan = 0);
  // Adds another track of the same length, sample by sample.
  void Add(const TTrack& other, float gain);
  // Feedback echo; on a looping track its tail runs on round the loop.
  void Echo(double delaySeconds, float feedback, float wet, float damping = 0.4f);
  // A small plate: parallel combs into all-passes, different per side.
  void Reverb(float size, float wet);
  // Soft-clips every sample (tanh): denser, louder after normalising.
  void Saturate(float drive);
  // Scales so that the largest sample is `peak` (0..1) and returns the gain.
  float Normalise(float peak);
  // Root mean square over every sample of both sides.
  [[nodiscard]] float Rms() const;

 private:
  // Runs `process(sample)` over every frame and stores its result. On a
  // looping track the effect first runs over the loop's end, so that what
  // rings on from there is in its state when it starts writing at frame 0.
  template <typename TProcess>
  void Circulate(std::vector<float>& channel, TProcess process);

  bool fLoop;
  int fChannels;
  std::vector<float> fLeft;
  std::vector<float> fRight;
};

}  // namespace soundgen
