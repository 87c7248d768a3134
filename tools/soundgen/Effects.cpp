// Effects.cpp -- the effects, built from sweeps, filtered noise and FM.
//
// No effect peaks above -6 dBFS: several of them at once, over the music,
// still fit under full scale. The fire sound, heard ten times a second for a
// whole stage, is quieter still, short and soft at the top, so that the music
// stays audible under it.
#include "Effects.h"

#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

namespace soundgen {

namespace {

constexpr float kEffectPeak = 0.5f;   // -6 dBFS
constexpr float kFirePeak = 0.4f;     // -8 dBFS
constexpr float kMp3Peak = 0.45f;     // -7 dBFS: the encoder's ringing adds about half a decibel

TEnvelope Percussive(float attack, float decay, float release) { return {attack, decay, 0, release}; }

// An explosion: a low thump under noise whose cut-off falls.
void Blast(TTrack& track, double at, double seconds, float size, TRandom& noise) {
  track.Mix(NoiseBurst(3000 + 4000 * size, 120, seconds, Percussive(0.002f, seconds * 0.5f, seconds * 0.5f), noise, 0.9f),
            at, 0.9f);
  track.Mix(Sweep(TWave::Sine, 110 + 40 * size, 32, seconds * 0.8, Percussive(0.002f, seconds * 0.4f, seconds * 0.4f), noise),
            at, 0.8f + 0.3f * size);
}

// Brings an effect to its peak level. A drive soft-clips it first, so that
// the body of an explosion is loud and not only its first crack.
TTrack Finish(TTrack track, float drive = 0, float peak = kEffectPeak) {
  if (drive > 0) {
    track.Normalise(1);
    track.Saturate(drive);
  }
  track.Normalise(peak);
  return track;
}

}  // namespace

TTrack MakeLaser() {
  TRandom noise(11);
  TTrack track(0.085, false, 1);
  track.Mix(Sweep(TWave::Triangle, 1500, 330, 0.085, Percussive(0.002f, 0.06f, 0.04f), noise), 0, 0.7f);
  track.Mix(Sweep(TWave::Square, 750, 165, 0.075, Percussive(0.002f, 0.05f, 0.035f), noise), 0, 0.2f);
  // A low-pass falling with the pitch keeps the top end soft.
  TFilter soft(TFilter::TMode::LowPass, 0.6f);
  std::vector<float>& samples = track.Left();
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = soft.Process(samples[i], 3200.0f - 2200.0f * static_cast<float>(i) / static_cast<float>(samples.size()));
  }
  return Finish(std::move(track), 0, kFirePeak);
}

TTrack MakeSmallHit() {
  TRandom noise(23);
  TTrack track(0.5, false, 1);
  Blast(track, 0, 0.48, 0.4f, noise);
  track.Mix(NoiseBurst(9000, 2500, 0.05, Percussive(0.0005f, 0.02f, 0.02f), noise), 0, 0.5f);
  return Finish(std::move(track), 3);
}

TTrack MakePlayerHit() {
  TRandom noise(37);
  TTrack track(0.36, false, 1);
  // A harsh, falling double buzz: clearly "you were hit", unlike the blasts.
  const TEnvelope buzz{0.002f, 0.2f, 0.5f, 0.12f};
  auto a = Sweep(TWave::Square, 330, 110, 0.34, buzz, noise);
  auto b = Sweep(TWave::Square, 349, 104, 0.34, buzz, noise);
  for (std::size_t i = 0; i < a.size(); ++i) {
    // Ring modulation of the two detuned squares roughens the tone.
    a[i] = 0.55f * a[i] + 0.45f * b[i] * (0.6f + 0.4f * static_cast<float>(std::sin(2 * 3.14159265 * 55 * i / kRate)));
  }
  track.Mix(a, 0, 0.7f);
  track.Mix(NoiseBurst(6000, 1500, 0.06, Percussive(0.0005f, 0.03f, 0.02f), noise), 0, 0.6f);
  return Finish(std::move(track), 0.8f);
}

TTrack MakeMediumHit() {
  TRandom noise(41);
  TTrack track(1.0, false, 1);
  Blast(track, 0, 0.7, 0.8f, noise);
  Blast(track, 0.14, 0.85, 1.0f, noise);
  // A metallic clang of the hull breaking apart.
  track.Mix(FmTone(196, 1.41, 6, 0.9, Percussive(0.001f, 0.35f, 0.3f)), 0.02, 0.35f);
  return Finish(std::move(track), 3);
}

TTrack MakeBossExplode() {
  TRandom noise(53);
  TTrack track(3.6, false, 1);
  const double times[] = {0.0, 0.35, 0.6, 1.0, 1.45};
  for (int i = 0; i < 5; ++i) Blast(track, times[i], 0.7 + 0.3 * i, 0.5f + 0.2f * static_cast<float>(i), noise);
  // Long rumble and a falling whine as the core collapses.
  track.Mix(NoiseBurst(400, 60, 3.5, {0.3f, 1.5f, 0.6f, 1.6f}, noise, 1.2f), 0.1, 1.6f);
  track.Mix(Sweep(TWave::Triangle, 900, 45, 3.0, {0.05f, 1.0f, 0.5f, 1.2f}, noise), 0.2, 0.25f);
  // Debris: short clicks thinning out.
  for (int i = 0; i < 40; ++i) {
    const double at = 0.3 + 3.0 * std::pow(i / 40.0, 1.6) + 0.03 * noise.Next();
    track.Mix(NoiseBurst(7000, 3000, 0.02, Percussive(0.0005f, 0.008f, 0.01f), noise), at, 0.35f * (1 - i / 50.0f));
  }
  return Finish(std::move(track), 2.5f, kMp3Peak);
}

TTrack MakeMenuChange() {
  TRandom noise(61);
  TTrack track(0.07, false, 1);
  track.Mix(Sweep(TWave::Triangle, 1180, 1560, 0.07, Percussive(0.002f, 0.03f, 0.03f), noise), 0, 1);
  return Finish(std::move(track));
}

TTrack MakeMenuEnter() {
  TRandom noise(67);
  TTrack track(0.3, false, 1);
  const TEnvelope chime{0.002f, 0.1f, 0.2f, 0.12f};
  TInstrument bell;
  bell.Wave = TWave::Triangle;
  bell.Wave2 = TWave::Sine;
  bell.Mix2 = 0.5f;
  bell.Octave2 = 2;
  bell.Amp = chime;
  track.Mix(RenderNote(bell, MidiToHz(81), 0.08, noise), 0, 0.8f);
  track.Mix(RenderNote(bell, MidiToHz(88), 0.1, noise), 0.07, 0.8f);
  return Finish(std::move(track));
}

TTrack MakePowerUp() {
  // A bright rising arpeggio, a major chord upward: something was gained,
  // unlike the falling buzz of a hit.
  TRandom noise(71);
  TTrack track(0.42, false, 1);
  const TEnvelope pluck{0.002f, 0.08f, 0.3f, 0.1f};
  TInstrument glass;
  glass.Wave = TWave::Triangle;
  glass.Wave2 = TWave::Sine;
  glass.Mix2 = 0.4f;
  glass.Octave2 = 2;
  glass.Amp = pluck;
  const double notes[] = {76, 80, 83, 88};  // E5 G#5 B5 E6
  for (int i = 0; i < 4; ++i) track.Mix(RenderNote(glass, MidiToHz(notes[i]), 0.06 + 0.04 * i, noise), 0.055 * i, 0.7f);
  return Finish(std::move(track));
}

TTrack MakeBossTick() {
  // Heard up to a dozen times a second while the boss is under fire: very
  // short and dry, a metallic knock with no tail to pile up.
  TRandom noise(73);
  TTrack track(0.045, false, 1);
  track.Mix(FmTone(1320, 2.76, 3, 0.04, Percussive(0.0005f, 0.015f, 0.02f)), 0, 0.8f);
  track.Mix(NoiseBurst(8000, 3000, 0.012, Percussive(0.0003f, 0.004f, 0.006f), noise), 0, 0.4f);
  return Finish(std::move(track));
}

TTrack MakeLowLife() {
  // Two falling two-tone beeps: an alarm that stands out of the music once,
  // without the harshness of the hit.
  TRandom noise(79);
  TTrack track(0.62, false, 1);
  const TEnvelope beep{0.004f, 0.02f, 0.8f, 0.03f};
  for (int i = 0; i < 2; ++i) {
    const double at = 0.3 * i;
    for (const auto& [hz, start, length] : {std::tuple{988.0, 0.0, 0.12}, std::tuple{740.0, 0.13, 0.14}}) {
      // A triangle with a little square in it: clear, but not shrill.
      track.Mix(Sweep(TWave::Triangle, hz, hz * 0.99, length, beep, noise), at + start, 0.8f);
      track.Mix(Sweep(TWave::Square, hz, hz * 0.99, length, beep, noise), at + start, 0.15f);
    }
  }
  TFilter soft(TFilter::TMode::LowPass, 0.7f);
  for (float& sample : track.Left()) sample = soft.Process(sample, 3500);
  return Finish(std::move(track));
}

}  // namespace soundgen
