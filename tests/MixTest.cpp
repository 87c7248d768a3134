// MixTest.cpp -- the last step of the mix on plain buffers, and the mix the
// player hears: the real game flying a stage with fire held, captured by
// SDL's disk audio driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/Limiter.h"
#include "support/Allocations.h"
#include "support/Run.h"
#include "support/TempDir.h"

namespace {

using platform::TLimiter;

constexpr int kRate = 44100;

// Stereo test signal: two detuned chords and a little noise, its peak scaled
// to `peak`.
std::vector<float> Music(double seconds, float peak, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> noise(-0.05f, 0.05f);
  std::vector<float> out(static_cast<std::size_t>(seconds * kRate) * 2);
  float largest = 0;
  for (std::size_t f = 0; f < out.size() / 2; ++f) {
    const double t = static_cast<double>(f) / kRate;
    out[2 * f] = static_cast<float>(std::sin(2 * M_PI * 110 * t) + 0.6 * std::sin(2 * M_PI * 277 * t)) + noise(random);
    out[2 * f + 1] = static_cast<float>(std::sin(2 * M_PI * 165 * t) + 0.6 * std::sin(2 * M_PI * 331 * t)) + noise(random);
    largest = std::max({largest, std::fabs(out[2 * f]), std::fabs(out[2 * f + 1])});
  }
  for (float& s : out) s *= peak / largest;
  return out;
}

// Runs `samples` through a fresh limiter in blocks of varying size, as the
// mixer hands them over.
void Limit(std::vector<float>& samples) {
  TLimiter limiter(kRate);
  const std::size_t blocks[] = {1024, 7, 512, 1, 333};
  std::size_t at = 0;
  for (int i = 0; at < samples.size() / 2; ++i) {
    const std::size_t frames = std::min(blocks[i % 5], samples.size() / 2 - at);
    limiter.Process(samples.data() + 2 * at, frames, 2);
    at += frames;
  }
}

TEST(Limiter, PassesQuietSoundUnchangedAndHoldsLoudSoundUnderTheCeiling) {
  // Quiet (peak just under -3 dBFS), then 6 dB too loud with single-sample
  // spikes beyond that, then quiet again.
  std::vector<float> in = Music(1.0, 0.705f, 1);
  const std::vector<float> loud = Music(1.0, 1.4f, 2);
  in.insert(in.end(), loud.begin(), loud.end());
  for (std::size_t f = kRate + 1000; f < 2 * kRate; f += 4410) in[2 * f] = (f % 2 ? 1.6f : -1.6f);
  const std::vector<float> tail = Music(2.0, 0.705f, 3);
  in.insert(in.end(), tail.begin(), tail.end());

  std::vector<float> out = in;
  const uint64_t allocations = HeapAllocations();
  Limit(out);
  EXPECT_EQ(HeapAllocations(), allocations) << "the audio callback must not allocate";

  // Below the threshold: the input, delayed, bit for bit. The loud second
  // reaches kLookahead frames back into the first one, and recovery takes
  // well under a second after it.
  const std::size_t lag = TLimiter::kLatency;
  for (std::size_t i = 0; i < 2 * lag; ++i) ASSERT_EQ(out[i], 0.0f) << i;
  for (std::size_t f = lag; f < kRate - TLimiter::kLookahead; ++f) {
    ASSERT_EQ(out[2 * f], in[2 * (f - lag)]) << "frame " << f;
    ASSERT_EQ(out[2 * f + 1], in[2 * (f - lag) + 1]) << "frame " << f;
  }
  for (std::size_t f = 13 * kRate / 4; f < out.size() / 2; ++f) {
    ASSERT_EQ(out[2 * f], in[2 * (f - lag)]) << "frame " << f;
  }

  // Above it: never at the ceiling or beyond, yet still loud, and the gain
  // moves in ramps, not steps, so that limiting does not click.
  float peak = 0;
  for (float s : out) peak = std::max(peak, std::fabs(s));
  EXPECT_LT(peak, TLimiter::kCeiling) << "held by the gain, not by the last clamp";
  EXPECT_GT(peak, TLimiter::kThreshold);
  float previousGain = 1;
  std::size_t previousFrame = lag;
  float steepest = 0;  // gain change per frame
  for (std::size_t f = lag + 1; f < out.size() / 2; ++f) {
    const float x = in[2 * (f - lag)];
    if (std::fabs(x) < 0.2f) continue;
    const float gain = out[2 * f] / x;
    steepest = std::max(steepest, std::fabs(gain - previousGain) / static_cast<float>(f - previousFrame));
    previousGain = gain;
    previousFrame = f;
  }
  EXPECT_LT(steepest, 1.5f / TLimiter::kLookahead);

  // However far beyond full scale: the ceiling.
  std::vector<float> wild = Music(0.2, 50.0f, 4);
  Limit(wild);
  for (float s : wild) ASSERT_LE(std::fabs(s), TLimiter::kCeiling);

  // The knee: unchanged to the threshold, then rising toward the ceiling.
  EXPECT_EQ(TLimiter::KneeLevel(0.5f), 0.5f);
  EXPECT_EQ(TLimiter::KneeLevel(TLimiter::kThreshold), TLimiter::kThreshold);
  EXPECT_GT(TLimiter::KneeLevel(0.9f), TLimiter::KneeLevel(0.8f));
  EXPECT_LT(TLimiter::KneeLevel(0.8f), 0.8f);
  EXPECT_LE(TLimiter::KneeLevel(1000.0f), TLimiter::kCeiling);
}

// One capture of the game's output: 32-bit float, stereo, 44.1 kHz.
struct TCapture {
  std::vector<float> Samples;
  [[nodiscard]] double Seconds() const { return static_cast<double>(Samples.size()) / 2 / kRate; }
  [[nodiscard]] double Rms(double from, double to) const {
    const std::size_t begin = std::min(Samples.size(), static_cast<std::size_t>(from * kRate) * 2);
    const std::size_t end = std::min(Samples.size(), static_cast<std::size_t>(to * kRate) * 2);
    double sum = 0;
    for (std::size_t i = begin; i < end; ++i) sum += static_cast<double>(Samples[i]) * Samples[i];
    return end > begin ? 20 * std::log10(std::sqrt(sum / static_cast<double>(end - begin)) + 1e-12) : -240;
  }
  [[nodiscard]] float Peak() const {
    float peak = 0;
    for (float s : Samples) peak = std::max(peak, std::fabs(s));
    return peak;
  }
  // Where the stage's flight begins: the end of the longest silence (the
  // stage's intro, between the menu's sounds and the first shot). Only
  // meaningful without music.
  [[nodiscard]] double FlightStart() const {
    constexpr double kBlock = 0.25;
    const int blocks = static_cast<int>(Seconds() / kBlock);
    int run = 0, longest = 0, end = 0;
    for (int b = 0; b < blocks; ++b) {
      run = Rms(b * kBlock, (b + 1) * kBlock) < -60 ? run + 1 : 0;
      if (run > longest) {
        longest = run;
        end = b + 1;
      }
    }
    return end * kBlock;
  }
  // Samples that a 16-bit output would put at full scale.
  [[nodiscard]] int FullScale() const {
    return static_cast<int>(std::count_if(Samples.begin(), Samples.end(),
                                          [](float s) { return std::fabs(s) * 32767 >= 32766.5f; }));
  }
};

TCapture ReadCapture(const std::string& path) {
  const std::string bytes = ReadBytes(path);
  TCapture capture;
  capture.Samples.resize(bytes.size() / sizeof(float));
  std::memcpy(capture.Samples.data(), bytes.data(), capture.Samples.size() * sizeof(float));
  return capture;
}

// The game in a folder of its own, beside the runtime folder's data and
// sounds, with a settings.ini that sets the two volumes.
std::string GameFolder(const TTempDir& dir, const std::string& name, int musicVolume, int effectsVolume) {
  namespace fs = std::filesystem;
  const fs::path folder = dir.Path() / name;
  fs::create_directories(folder);
  fs::copy_file(RV_BIN_DIR "/riftvaulter", folder / "riftvaulter");
  fs::create_directory_symlink(RV_BIN_DIR "/data", folder / "data");
  fs::create_directory_symlink(RV_BIN_DIR "/sound", folder / "sound");
  WriteBytes((folder / "settings.ini").string(), "[main]\r\nmusicvolume=" + std::to_string(musicVolume) +
                                                     "\r\neffectsvolume=" + std::to_string(effectsVolume) + "\r\n");
  return folder.string();
}

TEST(Mix, AStageUnderFireNeverReachesFullScaleAndTheMusicIsNotBuried) {
  // Three runs at once, each its own audio device: the whole mix, the effects
  // alone (musicvolume=0) and the music alone (effectsvolume=0). The disk
  // driver writes in real time (it waits one buffer's length between
  // buffers), so each run is the first 36 s of Level01 on the real
  // clock; the pilot starts the stage within a second and fires from about
  // the sixth. SIGINT ends a run like closing the window.
  constexpr int kSeconds = 36;
  TTempDir dir;
  const char* const names[] = {"mix", "effects", "music"};
  const int volumes[][2] = {{100, 100}, {0, 100}, {100, 0}};
  std::string command;
  for (int i = 0; i < 3; ++i) {
    command += "(cd '" + GameFolder(dir, names[i], volumes[i][0], volumes[i][1]) +
               "' && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE='" + dir.File(std::string(names[i]) + ".raw") +
               "' timeout -s INT " + std::to_string(kSeconds) +
               " ./riftvaulter --window 160x120 --autopilot --stage Level01 --seed 20261207) & ";
  }
  const TRun run = RunCommand(command + "wait");

  const TCapture mix = ReadCapture(dir.File("mix.raw"));
  const TCapture effects = ReadCapture(dir.File("effects.raw"));
  const TCapture music = ReadCapture(dir.File("music.raw"));
  // A capture starts when the device opens, after the window.
  double end = kSeconds;
  for (const TCapture* capture : {&mix, &effects, &music}) {
    ASSERT_LT(capture->Seconds(), kSeconds + 1) << "not float stereo at 44.1 kHz?";
    end = std::min(end, capture->Seconds() - 1);
  }
  // Compared over the flight: from the first shot to shortly before the
  // first run ends.
  const double from = effects.FlightStart();
  ASSERT_GT(from, 2) << "no silent stage intro in the effects\n" << run.Output;
  ASSERT_GT(end - from, 12) << "too little flight\n" << run.Output;
  const double effectsRms = effects.Rms(from, end);
  const double musicRms = music.Rms(from, end);
  std::printf("mix: peak %.2f dBFS, %d at full scale; from %.2f s: rms %.1f dBFS, effects %.1f dBFS, music %.1f dBFS\n",
              20 * std::log10(mix.Peak()), mix.FullScale(), from, mix.Rms(from, end), effectsRms, musicRms);

  EXPECT_EQ(mix.FullScale(), 0);
  EXPECT_LE(mix.Peak(), TLimiter::kCeiling);
  EXPECT_LE(effects.Peak(), TLimiter::kCeiling);
  EXPECT_GT(musicRms, -30) << "the music is missing";
  EXPECT_GT(effectsRms, -30) << "the effects are missing";
  EXPECT_NEAR(effectsRms, musicRms, 3.0) << "effects and music out of balance";
  // Effects and music add up in the whole mix.
  EXPECT_NEAR(mix.Rms(from, end), 10 * std::log10(std::pow(10, effectsRms / 10) + std::pow(10, musicRms / 10)),
              1.5);
}

}  // namespace
