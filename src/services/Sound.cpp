// Sound.cpp -- the game's sound calls on top of the audio device.
#include "services/Sound.h"

#include <algorithm>
#include <cmath>

#include "platform/Audio.h"
#include "services/FatalError.h"
#include "services/Paths.h"

namespace {

// Off only when the player switched sound off; the device itself is opened
// (or its failure reported) by InitAudio.
bool gSoundEnabled = true;
uint64_t gPlayedSounds = 0;
int gMusicScale = 100;
int gEffectsScale = 100;
int gMusicVolume = 0;  // as asked for, before scaling

int Scaled(int volume, int scale) {
  return static_cast<int>(std::nearbyint(static_cast<double>(volume) * scale / 100));
}

}  // namespace

void InitAudio(bool enabled) {
  gSoundEnabled = enabled;
  if (!enabled) return;
  if (!platform::OpenAudioDevice())
    FatalError(
        "Fehler beim Initialisieren des Audioger\xE4tes.\r\n"
        "Ohne Ton spielen: sound=0 in settings.ini eintragen.");
}

void DoneAudio() { platform::CloseAudioDevice(); }

uint64_t PlayedSoundCount() { return gPlayedSounds; }

int PlaySoundFile(const std::string& path, bool loop, int volume) {
  if (!gSoundEnabled) return 0;
  ++gPlayedSounds;
  if (!FileExists(path)) FatalError("Datei nicht gefunden: \r\n" + path);
  if (loop) gMusicVolume = volume;
  const int handle = platform::PlayAudioFile(NativePath(path), loop, Scaled(volume, loop ? gMusicScale : gEffectsScale));
  if (handle == 0) FatalError("Fehler beim Abspielen der Datei: " + path);
  return handle;
}

void PreloadSound(const std::string& path) {
  if (gSoundEnabled && FileExists(path)) platform::PreloadAudioFile(NativePath(path));
}

void PauseSounds(bool paused) {
  if (gSoundEnabled) platform::PauseAudio(paused);
}

void SetVolumeScales(int music, int effects) {
  gMusicScale = std::clamp(music, 0, 100);
  gEffectsScale = std::clamp(effects, 0, 100);
  if (gSoundEnabled) platform::SetMusicVolume(Scaled(gMusicVolume, gMusicScale));
}

void StopSound(int handle) {
  if (gSoundEnabled) platform::StopAudio(handle);
}
