// AudioFile.h -- writes a finished track as 16-bit PCM WAV or as MP3.
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

}  // namespace soundgen
