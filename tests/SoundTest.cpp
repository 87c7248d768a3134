// SoundTest.cpp -- effects and music through SDL's disk audio driver.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "platform/Audio.h"
#include "services/Sound.h"
#include "support/TempDir.h"

namespace {

// A 16-bit mono WAV of a sine tone.
std::string SineWav(double seconds, double hz, double amplitude) {
  const uint32_t rate = 44100;
  const uint32_t samples = static_cast<uint32_t>(seconds * rate);
  std::string data;
  for (uint32_t i = 0; i < samples; ++i) {
    const auto v = static_cast<int16_t>(amplitude * 32767 * std::sin(2 * M_PI * hz * i / rate));
    data += static_cast<char>(v & 0xFF);
    data += static_cast<char>((v >> 8) & 0xFF);
  }
  auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  auto u16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
  return "RIFF" + u32(36 + static_cast<uint32_t>(data.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(rate) +
         u32(rate * 2) + u16(2) + u16(16) + "data" + u32(static_cast<uint32_t>(data.size())) + data;
}

TEST(Sound, VolumeScalesReachTheMixer) {
  TTempDir dir;
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  WriteBytes(dir.File("beep.wav"), SineWav(0.5, 880, 0.5));
  TSound sound;
  sound.SetVolumeScales(40, 50);
  const int effect = sound.Play(dir.File("beep.wav"), false, 75);  // 37.5 to even: 38
  const int music = sound.Play(dir.File("beep.wav"), true, 50);    // 20
  EXPECT_EQ(platform::MixerVolume(effect), 38 * 128 / 100);
  EXPECT_EQ(platform::MixerVolume(music), 20 * 128 / 100);
  // A new music scale reaches the music now playing; effects keep theirs.
  sound.SetVolumeScales(100, 0);
  EXPECT_EQ(platform::MixerVolume(music), 50 * 128 / 100);
  EXPECT_EQ(platform::MixerVolume(effect), 38 * 128 / 100);
  EXPECT_EQ(platform::MixerVolume(sound.Play(dir.File("beep.wav"), false, 75)), 0);
  sound.SetVolumeScales(-20, 300);  // clamped
  EXPECT_EQ(platform::MixerVolume(music), 0);
  EXPECT_EQ(platform::MixerVolume(sound.Play(dir.File("beep.wav"), false, 100)), 128);

}

TEST(Sound, EffectsOverlapAndMusicLoopsUntilStopped) {
  TTempDir dir;
  const std::string raw = dir.File("out.raw");
  ::setenv("SDL_AUDIODRIVER", "disk", 1);
  ::setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
  ::setenv("SDL_DISKAUDIODELAY", "1", 1);
  WriteBytes(dir.File("beep.wav"), SineWav(0.3, 880, 0.5));
  WriteBytes(dir.File("loop.wav"), SineWav(0.1, 220, 0.3));

  auto sound = std::make_unique<TSound>();
  const int first = sound->Play(dir.File("beep.wav"), false, 100);
  const int second = sound->Play(dir.File("beep.wav"), false, 100);
  EXPECT_NE(first, 0);
  EXPECT_NE(second, first);
  const int music = sound->Play(dir.File("loop.wav"), true, 50);
  EXPECT_EQ(platform::PlayingAudioCount(), 3);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  // The effects ended by themselves; the looped music goes on.
  EXPECT_EQ(platform::PlayingAudioCount(), 1);
  sound->Stop(music);
  EXPECT_EQ(platform::PlayingAudioCount(), 0);
  sound.reset();  // the device closes: the capture is complete

  // What reached the device (float samples) is sound, not silence.
  const std::string bytes = ReadBytes(raw);
  ASSERT_GT(bytes.size(), 44100u);
  float peak = 0;
  for (std::size_t i = 0; i + sizeof(float) <= bytes.size(); i += sizeof(float)) {
    float sample = 0;
    std::memcpy(&sample, bytes.data() + i, sizeof sample);
    peak = std::max(peak, std::fabs(sample));
  }
  EXPECT_GT(peak, 0.25f);
}

}  // namespace
