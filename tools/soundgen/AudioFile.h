// AudioFile.h -- writes a finished track as 16-bit PCM WAV, as MP3 or as Ogg
// Vorbis.
#pragma once

#include <string>

namespace soundgen {

class TTrack;

// Both throw std::runtime_error when the file cannot be written. Samples are
// clamped to full scale; the tracks are normalised below it beforehand.
void WriteWav(const std::string& path, const TTrack& track);
// Constant bit rate with a LAME info frame, so that decoders that honour it
// drop the encoder's padding and a looped track plays without a gap.
void WriteMp3(const std::string& path, const TTrack& track, int kbps);
// Variable bit rate at QUALITY (libvorbis's scale, -0.1 to 1). Ogg Vorbis
// stores the exact number of samples: a looped track plays without a gap in
// every decoder.
void WriteOggVorbis(const std::string& path, const TTrack& track, float quality);

}  // namespace soundgen
