// StagePlay.h -- a loaded test stage driven frame by frame through the
// scripted platform: keys and mouse by hand, a real GL context for the
// stage's buffers, sounds on SDL's dummy audio driver.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/ScriptedPlatform.h"
#include "stage/Level.h"
#include "support/GLWindow.h"
#include "support/TempDir.h"
#include "services/Random.h"
#include "services/Sound.h"

struct TQuietServices {
  TRandom QuietRandom;
  TSound NoSound{false};
};

// A stage for tests that load and draw it but play no sound: its own
// generator and a sound that stays off, made before the stage and gone
// after it.
class TSilentLevel : private TQuietServices, public TLevel {
 public:
  explicit TSilentLevel(platform::TPlatform& platform);
};

// Chooses SDL's dummy audio driver unless the environment names one; true.
bool DummyAudio();

class TStagePlay {
 public:
  // The window's size in pixels.
  explicit TStagePlay(int width = 320, int height = 240);
  ~TStagePlay();

  // Writes the test stage with `values` over its defaults and loads it.
  void Load(const std::map<std::string, std::string>& values = {});
  // Stage values for a tube without enemies or power-ups.
  static std::map<std::string, std::string> Empty(std::map<std::string, std::string> values = {});

  // Puts the camera at path parameter `pos` after the intro, with the gate
  // released.
  void FlyTo(float pos);
  void Frame(float ms) { Level->Progress(ms); }
  void Frames(int count, float ms) {
    for (int i = 0; i < count; ++i) Level->Progress(ms);
  }
  // Down for one frame, up for the next: one press for the stage's latch.
  void Press(int vk, float ms = 16);
  void Hold(int vk, bool down) { Input.SetKey(vk, down); }
  // Shots fired by everyone since the stage was loaded.
  [[nodiscard]] uint64_t ShotsFired() const;

  TGLWindow Window;
  platform::ScriptedPlatform Input;
  TRandom Random;  // the stage's generator, seeded 20261207
  TSound Sound{DummyAudio()};  // on SDL's dummy driver unless the run chose one
  TTempDir Dir;
  std::unique_ptr<TLevel> Level;
  std::string StageFile;
};
