// Sound.h -- sound effects and music, fire and forget.
#pragma once

#include <cstdint>
#include <string>

// Opens the default audio device; fatal when it cannot be opened. With
// `enabled` false (settings.ini: sound=0) the device is never opened and
// every later sound call does nothing, so the game runs on machines without
// any audio device.
void InitAudio(bool enabled = true);
// Stops everything and closes the device.
void DoneAudio();
// Starts `path` at once (looped music or a one-shot effect) at volume 0..100
// and returns its channel handle. Fatal when the file is missing or cannot
// be played. Effects overlap freely and release themselves when they end.
// Returns 0 and does nothing while sound is switched off.
int PlaySoundFile(const std::string& path, bool loop, int volume);
// Decodes an effect ahead of its first play (stage and menu loads do this).
// A missing or undecodable file is left for its first play to report.
void PreloadSound(const std::string& path);
// Stops and releases a playing sound (music); unknown handles are ignored.
void StopSound(int handle);
// Holds the music and every playing effect where they are (a paused
// stage), or lets them go on.
void PauseSounds(bool paused);
// The player's volume settings in percent (each clamped to 0..100; both 100
// until set). Every volume passed to PlaySoundFile is scaled by one of
// them: looped sounds (music) by the first, one-shot effects by the second.
// A changed music scale applies to the music playing now.
void SetVolumeScales(int music, int effects);

// Sounds started since the program began (for tests and diagnostics).
[[nodiscard]] uint64_t PlayedSoundCount();
