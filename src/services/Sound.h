// Sound.h -- sound effects and music, fire and forget. The form owns the one
// TSound of a run and hands it to the menu, which hands it to the stage;
// the stage's objects play through the stage.
#pragma once

#include <cstdint>
#include <string>

class TSound {
 public:
  // Opens the default audio device; fatal when it cannot be opened. With
  // `enabled` false (settings.ini: sound=0) the device is never opened and
  // every call does nothing, so the game runs on machines without any audio
  // device. The device is the process's: one TSound at a time.
  explicit TSound(bool enabled = true);
  // Stops everything and closes the device.
  ~TSound();
  // The same while the object stays: every later call does nothing (the
  // form ends audio before it frees the menu, which still holds it).
  void Close();
  TSound(const TSound&) = delete;
  TSound& operator=(const TSound&) = delete;

  // Starts `path` at once (looped music or a one-shot effect) at volume
  // 0..100 and returns its channel handle. Fatal when the file is missing or
  // cannot be played. Effects overlap freely and release themselves when
  // they end. Returns 0 and does nothing while sound is switched off.
  int Play(const std::string& path, bool loop, int volume);
  // Decodes an effect ahead of its first play (stage and menu loads do
  // this). A missing or undecodable file is left for its first play to
  // report.
  void Preload(const std::string& path);
  // Stops and releases a playing sound (music); unknown handles are ignored.
  void Stop(int handle);
  // Holds the music and every playing effect where they are (a paused
  // stage), or lets them go on.
  void Pause(bool paused);
  // The player's volume settings in percent (each clamped to 0..100; both
  // 100 until set). Every volume passed to Play is scaled by one of them:
  // looped sounds (music) by the first, one-shot effects by the second. A
  // changed music scale applies to the music playing now.
  void SetVolumeScales(int music, int effects);

  // Sounds started since this object was made (for tests and diagnostics).
  [[nodiscard]] uint64_t PlayedCount() const { return fPlayed; }

 private:
  bool fEnabled;
  uint64_t fPlayed = 0;
  int fMusicScale = 100;
  int fEffectsScale = 100;
  int fMusicVolume = 0;  // as asked for, before scaling
};
