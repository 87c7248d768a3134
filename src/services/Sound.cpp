// Sound.cpp -- the game's sound calls on top of the audio device.
#include "services/Sound.h"

#include <algorithm>
#include <cmath>

#include "platform/Audio.h"
#include "services/FatalError.h"
#include "services/Paths.h"

namespace {

int Scaled(int volume, int scale) {
  return static_cast<int>(std::nearbyint(static_cast<double>(volume) * scale / 100));
}

}  // namespace

TSound::TSound(bool enabled) : fEnabled(enabled) {
  if (!enabled) return;
  if (!platform::OpenAudioDevice())
    FatalError(
        "Fehler beim Initialisieren des Audioger\xE4tes.\r\n"
        "Ohne Ton spielen: sound=0 in settings.ini eintragen.");
}

TSound::~TSound() { Close(); }

void TSound::Close() {
  if (fEnabled) platform::CloseAudioDevice();
  fEnabled = false;
}

int TSound::Play(const std::string& path, bool loop, int volume) {
  if (!fEnabled) return 0;
  ++fPlayed;
  if (!FileExists(path)) FatalError("Datei nicht gefunden: \r\n" + path);
  if (loop) fMusicVolume = volume;
  const int handle = platform::PlayAudioFile(NativePath(path), loop, Scaled(volume, loop ? fMusicScale : fEffectsScale));
  if (handle == 0) FatalError("Fehler beim Abspielen der Datei: " + path);
  return handle;
}

void TSound::Preload(const std::string& path) {
  if (fEnabled && FileExists(path)) platform::PreloadAudioFile(NativePath(path));
}

void TSound::Stop(int handle) {
  if (fEnabled) platform::StopAudio(handle);
}

void TSound::Pause(bool paused) {
  if (fEnabled) platform::PauseAudio(paused);
}

void TSound::SetVolumeScales(int music, int effects) {
  fMusicScale = std::clamp(music, 0, 100);
  fEffectsScale = std::clamp(effects, 0, 100);
  if (fEnabled) platform::SetMusicVolume(Scaled(fMusicVolume, fMusicScale));
}
