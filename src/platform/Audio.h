// Audio.h -- the audio device on SDL2_mixer.
//
// Effects play on free mixer channels and are released when they end; looped
// sounds and module files use the single music stream. Handles are our own
// positive integers; 0 means nothing is playing.
#pragma once

#include <string>

namespace platform {

// Opens the default device at 44100 Hz. False on failure.
bool OpenAudioDevice();
// Stops everything and closes the device (safe when it is not open).
void CloseAudioDevice();
bool AudioDeviceOpen();

// Starts `path` at once, looped or once, at volume 0..100. Returns 0 when the
// file is neither a sample stream nor a module (or the device is closed).
int PlayAudioFile(const std::string& path, bool loop, int volume);
// Decodes an effect into the cache before its first play, so that no frame
// waits for a decoder. A file that cannot be decoded so is left alone: its
// first play behaves as without the preload.
void PreloadAudioFile(const std::string& path);
// Stops and releases the sound behind `handle`; unknown handles are ignored.
void StopAudio(int handle);
// Number of sounds currently playing (effects and music).
int PlayingAudioCount();
// Holds every playing effect and the music where they are, or lets them go
// on from there. Sounds started while held play at once.
void PauseAudio(bool paused);
// True while PauseAudio holds the music stream.
bool AudioPaused();
// Sets the volume (0..100) of the music stream now playing, if any.
void SetMusicVolume(int volume);
// The mixer's volume (0..128) of the sound behind `handle`; -1 for an
// unknown handle or a closed device.
int MixerVolume(int handle);

// Seconds of sound in `path`, decoded the way PlayAudioFile opens it: a
// one-shot effect as a sample in memory, a looped track as a music stream.
// Negative when the file cannot be decoded so (or the device is closed; a
// stream of unknown length also gives a negative value).
double AudioFileSeconds(const std::string& path, bool loop);

}  // namespace platform
