// Sound.cpp -- the game's sound calls on top of the audio device.
#include "services/Sound.h"

#include "platform/Audio.h"
#include "services/FatalError.h"
#include "services/Paths.h"

void InitAudio() {
  if (!platform::OpenAudioDevice()) FatalError("Fehler beim Initialisieren des Audioger\xE4tes.");
}

void DoneAudio() { platform::CloseAudioDevice(); }

namespace {

uint64_t gPlayedSounds = 0;

}  // namespace

uint64_t PlayedSoundCount() { return gPlayedSounds; }

int PlaySoundFile(const std::string& path, bool loop, int volume) {
  ++gPlayedSounds;
  if (!FileExists(path)) FatalError("Datei nicht gefunden: \r\n" + path);
  const int handle = platform::PlayAudioFile(NativePath(path), loop, volume);
  if (handle == 0) FatalError("Fehler beim Abspielen der Datei: " + path);
  return handle;
}

void StopSound(int handle) { platform::StopAudio(handle); }
