// Music.cpp -- the tracks, written bar by bar onto looping stems.
//
// Every part goes onto a stem of the song's exact length; notes that ring on
// past the end wrap round to the start, and the echoes and reverbs run round
// the loop, so the track loops without a seam.
#include "Music.h"

#include <algorithm>
#include <array>
#include <vector>

namespace soundgen {

namespace {

// The tracks are levelled by loudness, so that each sits alike under the
// effects: a soft saturation of the master first rounds off the drum peaks,
// then the track is scaled to its RMS, its peak kept below -1 dBFS.
constexpr float kMasterDrive = 0.6f;
constexpr float kMusicRms = 0.16f;  // -15.9 dBFS
constexpr float kMusicPeak = 0.89f;

// A triad (or any chord) as MIDI notes.
using TChord = std::vector<int>;

struct TMelodyNote {
  double Beat;   // from the start of the bar
  double Beats;  // gate length
  int Note;      // MIDI
};

class TSong {
 public:
  TSong(double bpm, int bars, uint32_t seed)
      : fBeat(60.0 / bpm),
        fNoise(seed),
        Drums(Seconds(bars), true),
        Bass(Seconds(bars), true),
        Pad(Seconds(bars), true),
        Lead(Seconds(bars), true) {}

  [[nodiscard]] double Beat() const { return fBeat; }
  [[nodiscard]] TRandom& Noise() { return fNoise; }
  [[nodiscard]] double At(int bar, double beat) const { return (bar * 4 + beat) * fBeat; }

  void Note(TTrack& stem, const TInstrument& instrument, int bar, double beat, double beats, int note, float gain,
            float pan = 0) {
    stem.Mix(RenderNote(instrument, MidiToHz(note), beats * fBeat, fNoise), At(bar, beat), gain, pan);
  }
  void Hit(const std::vector<float>& drum, int bar, double beat, float gain, float pan = 0) {
    Drums.Mix(drum, At(bar, beat), gain, pan);
  }
  void Chord(TTrack& stem, const TInstrument& instrument, int bar, double beat, double beats, const TChord& chord,
             float gain) {
    for (std::size_t i = 0; i < chord.size(); ++i) {
      const float pan = chord.size() > 1 ? -0.5f + static_cast<float>(i) / static_cast<float>(chord.size() - 1) : 0;
      Note(stem, instrument, bar, beat, beats, chord[i], gain, pan);
    }
  }
  void Melody(const TInstrument& instrument, int bar, const std::vector<TMelodyNote>& notes, int transpose, float gain) {
    for (const TMelodyNote& n : notes) Note(Lead, instrument, bar, n.Beat, n.Beats, n.Note + transpose, gain, 0.1f);
  }

  TTrack Master(float drums, float bass, float pad, float lead) {
    TTrack master(Drums.Frames() / static_cast<double>(kRate), true);
    master.Add(Drums, drums);
    master.Add(Bass, bass);
    master.Add(Pad, pad);
    master.Add(Lead, lead);
    master.Normalise(1);
    master.Saturate(kMasterDrive);
    master.Normalise(std::min(kMusicPeak, kMusicRms / std::max(master.Rms(), 1e-6f)));
    return master;
  }

 private:
  [[nodiscard]] double Seconds(int bars) const { return bars * 4 * fBeat; }

  double fBeat;
  TRandom fNoise;

 public:
  TTrack Drums;
  TTrack Bass;
  TTrack Pad;
  TTrack Lead;
};

// --- drums ------------------------------------------------------------------

std::vector<float> Kick(TRandom& noise, double hz0 = 150, double seconds = 0.35) {
  auto body = Sweep(TWave::Sine, hz0, 42, seconds, {0.001f, 0.12f, 0, static_cast<float>(seconds * 0.5)}, noise);
  const auto click = NoiseBurst(5000, 1500, 0.01, {0.0005f, 0.004f, 0, 0.005f}, noise);
  for (std::size_t i = 0; i < click.size() && i < body.size(); ++i) body[i] += 0.3f * click[i];
  return body;
}

std::vector<float> Snare(TRandom& noise, double seconds = 0.22) {
  auto rattle = NoiseBurst(9000, 2500, seconds, {0.001f, static_cast<float>(seconds * 0.35), 0, static_cast<float>(seconds * 0.5)}, noise, 0.8f);
  const auto tone = Sweep(TWave::Triangle, 200, 150, 0.1, {0.001f, 0.04f, 0, 0.05f}, noise);
  for (std::size_t i = 0; i < tone.size() && i < rattle.size(); ++i) rattle[i] += 0.6f * tone[i];
  return rattle;
}

std::vector<float> HiHat(TRandom& noise, double seconds) {
  std::vector<float> out(static_cast<std::size_t>(seconds * kRate));
  TFilter high(TFilter::TMode::HighPass, 0.9f);
  const TEnvelope env{0.0005f, static_cast<float>(seconds * 0.3), 0, static_cast<float>(seconds * 0.6)};
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = high.Process(noise.Next(), 7500) * env.At(static_cast<double>(i) / kRate, seconds * 0.4);
  }
  return out;
}

std::vector<float> Crash(TRandom& noise) {
  auto out = HiHat(noise, 1.8);
  const auto wash = NoiseBurst(12000, 4000, 1.8, {0.001f, 0.8f, 0, 1.0f}, noise);
  for (std::size_t i = 0; i < out.size() && i < wash.size(); ++i) out[i] = 0.7f * out[i] + 0.4f * wash[i];
  return out;
}

// --- instruments ----------------------------------------------------------

TInstrument SawPad(float cutoff) {
  TInstrument pad;
  pad.Wave = TWave::Saw;
  pad.Wave2 = TWave::Saw;
  pad.Mix2 = 0.8f;
  pad.Detune = 9;
  pad.Amp = {0.35f, 0.6f, 0.8f, 0.7f};
  pad.Cutoff = cutoff;
  pad.Resonance = 0.8f;
  return pad;
}

TInstrument PluckBass(float cutoff, float sweep, float drive) {
  TInstrument bass;
  bass.Wave = TWave::Saw;
  bass.Wave2 = TWave::Square;
  bass.Mix2 = 0.4f;
  bass.Octave2 = 0.5f;
  bass.Amp = {0.003f, 0.15f, 0.6f, 0.06f};
  bass.Cutoff = cutoff;
  bass.CutoffEnv = sweep;
  bass.FilterEnv = {0.002f, 0.12f, 0, 0.05f};
  bass.Resonance = 1.4f;
  bass.Drive = drive;
  return bass;
}

TInstrument Arp(float width) {
  TInstrument arp;
  arp.Wave = TWave::Pulse;
  arp.PulseWidth = width;
  arp.Amp = {0.002f, 0.09f, 0.15f, 0.05f};
  arp.Cutoff = 2500;
  arp.CutoffEnv = 3000;
  arp.FilterEnv = {0.001f, 0.08f, 0, 0.05f};
  return arp;
}

// 16th notes running up and down the chord across two octaves.
void Arpeggio(TSong& song, const TInstrument& arp, int bar, const TChord& chord, float gain) {
  static constexpr std::array<int, 8> kOrder = {0, 1, 2, 3, 4, 3, 2, 1};
  for (int step = 0; step < 16; ++step) {
    const int i = kOrder[static_cast<std::size_t>(step % 8)];
    const int note = chord[static_cast<std::size_t>(i % 3)] + 12 * (i / 3);
    song.Note(song.Lead, arp, bar, step * 0.25, 0.2, note, gain * (step % 4 == 0 ? 1.0f : 0.75f), step % 2 ? 0.35f : -0.35f);
  }
}

}  // namespace

TTrack MakeMusic1() {
  TSong song(120, 32, 101);
  TRandom& noise = song.Noise();
  const auto kick = Kick(noise);
  const auto snare = Snare(noise);
  const auto hat = HiHat(noise, 0.06);
  const auto openHat = HiHat(noise, 0.3);
  const auto crash = Crash(noise);

  const std::array<int, 4> roots = {33, 29, 36, 31};  // A F C G
  const std::array<TChord, 4> chords = {TChord{57, 60, 64}, {53, 57, 60}, {55, 60, 64}, {55, 59, 62}};
  const std::vector<TMelodyNote> theme = {
      {0, 1, 76}, {1, 0.5, 72}, {1.5, 0.5, 74}, {2, 1.5, 76}, {3.5, 0.5, 79},   // Am
      {4, 1, 77}, {5, 1, 76}, {6, 1, 72}, {7, 1, 69},                           // F
      {8, 1.5, 72}, {9.5, 0.5, 74}, {10, 1, 76}, {11, 1, 79},                   // C
      {12, 2, 74}, {14, 1, 71}, {15, 1, 67},                                    // G
  };
  const std::vector<TMelodyNote> answer = {
      {0, 1, 76}, {1, 0.5, 72}, {1.5, 0.5, 74}, {2, 1.5, 76}, {3.5, 0.5, 79},
      {4, 1.5, 81}, {5.5, 0.5, 79}, {6, 1, 77}, {7, 1, 76},
      {8, 1, 72}, {9, 1, 76}, {10, 1, 79}, {11, 1, 84},
      {12, 1, 83}, {13, 0.5, 79}, {13.5, 0.5, 76}, {14, 2, 81},
  };
  TInstrument lead;
  lead.Wave = TWave::Square;
  lead.Wave2 = TWave::Pulse;
  lead.Mix2 = 0.5f;
  lead.Detune = 6;
  lead.PulseWidth = 0.2f;
  lead.Amp = {0.01f, 0.3f, 0.6f, 0.15f};
  lead.Cutoff = 3200;
  lead.Resonance = 0.9f;
  lead.Vibrato = 14;
  const TInstrument bass = PluckBass(350, 1800, 0.3f);
  const TInstrument pad = SawPad(1700);
  const TInstrument arp = Arp(0.3f);

  for (int bar = 0; bar < 32; ++bar) {
    const int section = bar / 8;  // 0 groove, 1 theme, 2 breakdown, 3 finale
    const auto c = static_cast<std::size_t>(bar % 4);
    song.Chord(song.Pad, pad, bar, 0, 3.8, chords[c], section == 2 ? 0.3f : 0.22f);
    if (bar % 8 == 0) song.Hit(crash, bar, 0, 0.5f);
    if (section != 2) {
      for (int beat = 0; beat < 4; ++beat) {
        song.Hit(kick, bar, beat, 1.0f);
        if (beat % 2 == 1) song.Hit(snare, bar, beat, 0.7f);
        song.Hit(beat == 3 && bar % 2 ? openHat : hat, bar, beat + 0.5, 0.35f, 0.3f);
        if (section == 3) {
          song.Hit(hat, bar, beat + 0.25, 0.15f, -0.3f);
          song.Hit(hat, bar, beat + 0.75, 0.15f, -0.3f);
        }
      }
      for (int step = 0; step < 8; ++step) {
        song.Note(song.Bass, bass, bar, step * 0.5, 0.4, roots[c] + (step % 2 ? 12 : 0), 0.55f);
      }
    } else {
      for (int step = 0; step < 8; ++step) song.Hit(hat, bar, step * 0.5, 0.18f, step % 2 ? 0.3f : -0.3f);
      song.Note(song.Bass, bass, bar, 0, 3.5, roots[c], 0.45f);
      if (bar == 22 || bar == 23) {
        for (int step = 0; step < 16; ++step) {
          song.Hit(snare, bar, step * 0.25, 0.15f + 0.5f * static_cast<float>((bar - 22) * 16 + step) / 32);
        }
      }
    }
    if (section >= 2) Arpeggio(song, arp, bar, chords[c], section == 2 ? 0.3f : 0.18f);
    if ((section == 1 || section == 3) && bar % 4 == 0) {
      const bool second = bar % 8 == 4;
      song.Melody(lead, bar, second ? answer : theme, section == 3 && second ? 12 : 0, 0.3f);
    }
  }
  song.Lead.Echo(song.Beat() * 0.75, 0.35f, 0.3f);
  song.Lead.Reverb(1.0f, 0.25f);
  song.Pad.Reverb(1.2f, 0.35f);
  return song.Master(0.9f, 0.8f, 0.7f, 0.8f);
}

TTrack MakeMusic2() {
  TSong song(84, 24, 202);
  TRandom& noise = song.Noise();
  const auto kick = Kick(noise, 110, 0.5);
  const auto clap = Snare(noise, 0.35);
  const auto shaker = HiHat(noise, 0.05);

  const std::array<int, 4> roots = {38, 34, 31, 33};  // Dm Bb Gm A, two bars each
  const std::array<TChord, 4> chords = {TChord{62, 65, 69}, {62, 65, 70}, {62, 67, 70}, {61, 64, 69}};
  TInstrument choir;
  choir.Wave = TWave::Triangle;
  choir.Wave2 = TWave::Sine;
  choir.Mix2 = 0.7f;
  choir.Octave2 = 2;
  choir.Detune = 4;
  choir.Amp = {1.2f, 1.0f, 0.8f, 1.5f};
  choir.Vibrato = 8;
  TInstrument sub;
  sub.Wave = TWave::Sine;
  sub.Wave2 = TWave::Triangle;
  sub.Mix2 = 0.2f;
  sub.Amp = {0.05f, 0.5f, 0.8f, 0.6f};
  TInstrument glass;
  glass.Wave = TWave::Sine;
  glass.Wave2 = TWave::Triangle;
  glass.Mix2 = 0.35f;
  glass.Octave2 = 2;
  glass.Amp = {0.04f, 0.6f, 0.5f, 0.8f};
  glass.Vibrato = 18;
  const std::vector<TMelodyNote> tune = {
      {0, 1.5, 74}, {1.5, 0.5, 77}, {2, 2, 76}, {4, 1.5, 72}, {5.5, 0.5, 74}, {6, 2, 69},
      {8, 1.5, 70}, {9.5, 0.5, 72}, {10, 2, 74}, {12, 1, 73}, {13, 1, 76}, {14, 2, 81},
  };

  for (int bar = 0; bar < 24; ++bar) {
    const int section = bar / 8;  // 0 bells alone, 1 with drums, 2 with the tune
    const auto c = static_cast<std::size_t>((bar / 2) % 4);
    if (bar % 2 == 0) {
      song.Chord(song.Pad, choir, bar, 0, 7.5, chords[c], 0.25f);
      song.Note(song.Bass, sub, bar, 0, 7.6, roots[c], 0.7f);
    }
    // Sparse FM bells on chord tones, high up.
    const TChord& chord = chords[c];
    const double bellBeats[] = {0, 1.5, 3, 3.5};
    for (int i = 0; i < 4; ++i) {
      if (section == 0 && i == 3) continue;
      const int note = chord[static_cast<std::size_t>((bar + i) % 3)] + 12;
      song.Lead.Mix(FmTone(MidiToHz(note), 3.5, 2.2, 1.6, {0.002f, 0.5f, 0, 0.8f}), song.At(bar, bellBeats[i]),
                    0.18f, i % 2 ? 0.5f : -0.5f);
    }
    if (section >= 1) {
      song.Hit(kick, bar, 0, 0.9f);
      song.Hit(kick, bar, 2.5, 0.7f);
      song.Hit(clap, bar, 2, 0.55f, 0.1f);
      for (int step = 0; step < 16; ++step) {
        song.Hit(shaker, bar, step * 0.25, step % 2 ? 0.07f : 0.14f, 0.4f);
      }
    }
    if (section == 2 && bar % 4 == 0) song.Melody(glass, bar, tune, 0, 0.3f);
  }
  song.Lead.Echo(song.Beat() * 0.75, 0.45f, 0.4f, 0.5f);
  song.Lead.Reverb(1.4f, 0.5f);
  song.Pad.Reverb(1.4f, 0.4f);
  song.Drums.Reverb(1.2f, 0.2f);
  return song.Master(0.8f, 0.9f, 0.8f, 0.9f);
}

TTrack MakeMusic3() {
  TSong song(150, 40, 303);
  TRandom& noise = song.Noise();
  const auto kick = Kick(noise, 170, 0.25);
  const auto snare = Snare(noise, 0.18);
  const auto hat = HiHat(noise, 0.04);
  const auto openHat = HiHat(noise, 0.25);
  const auto crash = Crash(noise);

  const std::array<int, 4> roots = {28, 36, 38, 35};  // Em C D B
  const std::array<TChord, 4> chords = {TChord{64, 67, 71}, {64, 67, 72}, {62, 66, 69}, {63, 66, 71}};
  const TInstrument bass = PluckBass(220, 2600, 2.5f);
  const TInstrument arp = Arp(0.15f);
  const TInstrument pad = SawPad(1200);
  TInstrument stab = SawPad(2600);
  stab.Amp = {0.003f, 0.12f, 0.3f, 0.08f};
  static constexpr std::array<int, 16> kBassLine = {0, 0, 12, 0, 0, 7, 0, 12, 0, 0, 12, 0, 10, 0, 7, 12};
  static constexpr std::array<double, 5> kStabs = {0, 0.75, 1.5, 2.5, 3};

  for (int bar = 0; bar < 40; ++bar) {
    const int section = bar / 8;  // 0 drums+bass, 1 arp, 2 stabs, 3 break, 4 all
    const auto c = static_cast<std::size_t>(bar % 4);
    if (bar % 8 == 0) song.Hit(crash, bar, 0, 0.55f);
    if (section != 3) {
      for (double beat : {0.0, 1.5, 2.5}) song.Hit(kick, bar, beat, 1.0f);
      if (bar % 2) song.Hit(kick, bar, 3.75, 0.6f);
      song.Hit(snare, bar, 1, 0.75f);
      song.Hit(snare, bar, 3, 0.75f);
      for (int step = 0; step < 16; ++step) {
        if (step == 14) {
          song.Hit(openHat, bar, 3.5, 0.3f, 0.3f);
        } else if (step != 15) {
          song.Hit(hat, bar, step * 0.25, step % 2 ? 0.12f : 0.28f, 0.3f);
        }
      }
      for (int step = 0; step < 16; ++step) {
        song.Note(song.Bass, bass, bar, step * 0.25, 0.2, roots[c] + kBassLine[static_cast<std::size_t>(step)], 0.5f);
      }
    } else {
      song.Hit(kick, bar, 0, 0.9f);
      song.Hit(snare, bar, 2, 0.5f);
      song.Chord(song.Pad, pad, bar, 0, 3.8, chords[c], 0.3f);
      song.Note(song.Bass, bass, bar, 0, 3.6, roots[c], 0.4f);
      if (bar == 31) song.Pad.Mix(NoiseBurst(400, 9000, song.Beat() * 4, {1.5f, 0.2f, 1, 0.1f}, noise), song.At(bar, 0), 0.3f);
    }
    if (section == 1 || section == 4) Arpeggio(song, arp, bar, chords[c], section == 1 ? 0.25f : 0.16f);
    if (section == 2 || section == 4) {
      const TChord power = {roots[c] + 24, roots[c] + 31, roots[c] + 36};
      for (double beat : kStabs) song.Chord(song.Lead, stab, bar, beat, 0.3, power, 0.2f);
    }
  }
  song.Lead.Echo(song.Beat() * 0.75, 0.3f, 0.25f);
  song.Lead.Reverb(0.9f, 0.2f);
  song.Pad.Reverb(1.3f, 0.4f);
  return song.Master(1.0f, 0.75f, 0.7f, 0.75f);
}

}  // namespace soundgen
