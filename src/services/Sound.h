// Sound.h -- sound effects and music, fire and forget.
#pragma once

#include <cstdint>
#include <string>

// Opens the default audio device; fatal when it cannot be opened.
void InitAudio();
// Stops everything and closes the device.
void DoneAudio();
// Starts `path` at once (looped music or a one-shot effect) at volume 0..100
// and returns its channel handle. Fatal when the file is missing or cannot
// be played. Effects overlap freely and release themselves when they end.
int PlaySoundFile(const std::string& path, bool loop, int volume);
// Stops and releases a playing sound (music); unknown handles are ignored.
void StopSound(int handle);
// Sounds started since the program began (for tests and diagnostics).
[[nodiscard]] uint64_t PlayedSoundCount();
