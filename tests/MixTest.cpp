// MixTest.cpp -- the limiter on a plain buffer, and the mix the player hears:
// the game flying Level01 with fire held, captured by SDL's disk driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/Limiter.h"
#include "support/Allocations.h"
#include "support/Run.h"
#include "support/TempDir.h"

namespace {

using platform::TLimiter;
constexpr int kRate = 44100;

// Levels are pinned in decibels here, not by the limiter's own constants, so
// that a slip in one of those shows (within a float's rounding).
float FromDb(double db) { return static_cast<float>(std::pow(10.0, db / 20)); }
double Db(float level) { return 20 * std::log10(static_cast<double>(level)); }

TEST(Limiter, PassesQuietSoundUnchangedAndRampsLoudSoundUnderTheCeiling) {
  // Stereo chords: 1 s just under -3 dBFS, 1 s 4 dB over full scale, 2 s quiet.
  std::vector<float> in(4 * kRate * 2);
  for (std::size_t i = 0; i < in.size(); ++i) {
    const double t = static_cast<double>(i / 2) / kRate;
    in[i] = static_cast<float>(0.44 * (std::sin(2 * M_PI * (i % 2 ? 165 : 110) * t) + 0.6 * std::sin(2 * M_PI * 277 * t)));
    if (t >= 1 && t < 2) in[i] *= 2.2f;
  }
  std::vector<float> out = in;
  TLimiter limiter(kRate);
  const uint64_t allocations = HeapAllocations();
  for (std::size_t at = 0, n = 1; at < out.size() / 2; at += n, n = n * 7 % 1031 + 1) {  // blocks of any size
    n = std::min(n, out.size() / 2 - at);
    limiter.Process(out.data() + 2 * at, n, 2);
  }
  EXPECT_EQ(HeapAllocations(), allocations) << "the audio callback must not allocate";

  const std::size_t lag = TLimiter::kLatency;
  float peak = 0, gain = 1, steepest = 0;
  for (std::size_t f = lag, last = lag; f < out.size() / 2; ++f) {
    const float x = in[2 * (f - lag)], y = out[2 * f];
    // Unchanged, only delayed, below the threshold; and again 1.2 s after the loud part.
    if (f < kRate - TLimiter::kLookahead || f > 13 * kRate / 4) {
      ASSERT_EQ(y, x) << "frame " << f;
    }
    peak = std::max({peak, std::fabs(y), std::fabs(out[2 * f + 1])});
    if (std::fabs(x) < 0.2f) continue;
    steepest = std::max(steepest, std::fabs(y / x - gain) / static_cast<float>(f - last));
    gain = y / x;
    last = f;
  }
  // 4 dB over full scale is bent to just under the ceiling of -1 dBFS; the
  // knee starts at -3 dBFS.
  EXPECT_LE(Db(peak), -1 + 1e-6);
  EXPECT_GT(Db(peak), -1.05);
  EXPECT_EQ(TLimiter::KneeLevel(FromDb(-3.02)), FromDb(-3.02));
  EXPECT_LT(TLimiter::KneeLevel(FromDb(-2.98)), FromDb(-2.98));
  EXPECT_LE(Db(TLimiter::KneeLevel(FromDb(20))), -1 + 1e-6);
  EXPECT_LT(steepest, 1.5f / TLimiter::kLookahead) << "the gain steps instead of ramping: it clicks";
}

// RMS in dBFS of interleaved stereo from `from` to `to` seconds.
double Rms(const std::vector<float>& samples, double from, double to) {
  const auto begin = std::min(samples.size(), static_cast<std::size_t>(from * kRate) * 2);
  const auto end = std::min(samples.size(), static_cast<std::size_t>(to * kRate) * 2);
  double sum = 0;
  for (std::size_t i = begin; i < end; ++i) sum += static_cast<double>(samples[i]) * samples[i];
  return 10 * std::log10(sum / static_cast<double>(std::max<std::size_t>(end - begin, 1)) + 1e-20);
}

TEST(Mix, AStageUnderFireStaysUnderFullScaleAndTheMusicIsNotBuried) {
  // Three copies of the game at once, each beside the runtime folder's data
  // with its own settings: the whole mix, the effects alone, the music alone.
  // The disk driver writes 32-bit float stereo in real time; SIGINT ends a
  // run as closing the window does.
  namespace fs = std::filesystem;
  TTempDir dir;
  const char* const names[] = {"mix", "effects", "music"};
  const char* const volumes[] = {"musicvolume=100", "musicvolume=0", "effectsvolume=0"};
  std::string command;
  for (int i = 0; i < 3; ++i) {
    const fs::path folder = dir.Path() / names[i];
    fs::create_directory(folder);
    fs::copy_file(RV_BIN_DIR "/riftvaulter", folder / "riftvaulter");
    fs::create_directory_symlink(RV_BIN_DIR "/data", folder / "data");
    fs::create_directory_symlink(RV_BIN_DIR "/sound", folder / "sound");
    WriteBytes((folder / "settings.ini").string(), std::string("[main]\r\n") + volumes[i] + "\r\n");
    command += "(cd '" + folder.string() + "' && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=out.raw timeout -s INT 36 " +
               "./riftvaulter --window 160x120 --autopilot --stage Level01 --seed 20261207) & ";
  }
  const TRun run = RunCommand(command + "wait");
  // Compared over the flight: the pilot fires from about the sixth second on
  // (later in a sanitizer build); up to shortly before the shortest capture ends.
  std::vector<float> captures[3];
  const double from = 10;
  double end = 36;
  for (int i = 0; i < 3; ++i) {
    const std::string bytes = ReadBytes(dir.File(std::string(names[i]) + "/out.raw"));
    captures[i].resize(bytes.size() / sizeof(float));
    std::memcpy(captures[i].data(), bytes.data(), captures[i].size() * sizeof(float));
    end = std::min(end, static_cast<double>(captures[i].size()) / 2 / kRate - 1);
  }
  ASSERT_GT(end - from, 15) << run.Output;
  const auto& [mix, effects, music] = captures;

  float peak = 0;
  for (const auto& capture : captures) {
    for (float s : capture) peak = std::max(peak, std::fabs(s));
  }
  const double effectsRms = Rms(effects, from, end), musicRms = Rms(music, from, end);
  std::printf("peak %.2f dBFS; RMS %.0f-%.0f s: mix %.1f dBFS, effects %.1f dBFS, music %.1f dBFS\n",
              20 * std::log10(peak), from, end, Rms(mix, from, end), effectsRms, musicRms);
  EXPECT_LE(Db(peak), -1 + 1e-6) << "over the limiter's ceiling, toward full scale";
  EXPECT_GT(musicRms, -30) << "no music";
  EXPECT_NEAR(effectsRms, musicRms, 3.0) << "effects and music out of balance";
}

}  // namespace
