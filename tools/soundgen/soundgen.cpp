// soundgen.cpp -- writes every sound and music file of the game into one
// folder. Nothing is sampled: all of it is synthesised here.
//
//   soundgen OUTDIR
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "AudioFile.h"
#include "Effects.h"
#include "Music.h"

namespace {

using namespace soundgen;

struct TOutput {
  const char* Name;
  std::function<TTrack()> Make;
};

// The first track was once 16-bit WAV, and players' settings.ini files name
// it so: it keeps the name and holds Ogg Vorbis, which the game tells by the
// content. Vorbis, unlike MP3, loops without a gap, and a tenth of the size.
constexpr const char* kVorbisMusic = "music1.wav";
constexpr float kVorbisQuality = 0.5f;

double Decibels(double level) { return level > 0 ? 20 * std::log10(level) : -200; }

void Report(const std::string& name, const TTrack& track) {
  double peak = 0;
  double sum = 0;
  for (std::size_t i = 0; i < track.Frames(); ++i) {
    for (float s : {track.Left()[i], track.Right()[i]}) {
      peak = std::max(peak, static_cast<double>(std::abs(s)));
      sum += static_cast<double>(s) * s;
    }
  }
  const double rms = std::sqrt(sum / std::max<double>(1, 2.0 * static_cast<double>(track.Frames())));
  std::printf("soundgen: %-18s %6.2f s  peak %6.1f dBFS  rms %6.1f dBFS\n", name.c_str(),
              static_cast<double>(track.Frames()) / kRate, Decibels(peak), Decibels(rms));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Aufruf: soundgen ZIELORDNER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const std::vector<TOutput> outputs = {
      {"laser.wav", MakeLaser},           {"hit_0.wav", MakeSmallHit},        {"hit_1.wav", MakePlayerHit},
      {"hit_2.wav", MakeMediumHit},       {"boss_explode.mp3", MakeBossExplode}, {"menu_change.wav", MakeMenuChange},
      {"menu_enter.wav", MakeMenuEnter},  {"powerup.wav", MakePowerUp},       {"boss_tick.wav", MakeBossTick},
      {"low_life.wav", MakeLowLife},      {"music1.wav", MakeMusic1},         {"music2.mp3", MakeMusic2},
      {"music3.mp3", MakeMusic3},
  };
  try {
    std::filesystem::create_directories(folder);
    for (const TOutput& output : outputs) {
      const TTrack track = output.Make();
      const std::string path = (folder / output.Name).string();
      if (path.ends_with(".mp3")) {
        WriteMp3(path, track, track.Channels() == 2 ? 160 : 128);
      } else if (output.Name == std::string(kVorbisMusic)) {
        WriteOggVorbis(path, track, kVorbisQuality);
      } else {
        WriteWav(path, track);
      }
      Report(output.Name, track);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "soundgen: %s\n", error.what());
    return 1;
  }
  return 0;
}
