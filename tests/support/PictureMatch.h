// PictureMatch.h -- how closely two frames of the same moment agree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TPictureMatch {
  int Lit = 0;      // lit pixels of the first frame
  int Matched = 0;  // of them, those with a lit pixel of the same colour class in the second, one pixel away at most
  [[nodiscard]] double Share() const { return Lit == 0 ? 1.0 : static_cast<double>(Matched) / Lit; }
};

// A pixel is lit when a channel reaches 48; its colour class is the set of
// channels that reach half of the brightest one (red, yellow, white, ...).
// RGBA frames of width x height.
[[nodiscard]] TPictureMatch MatchPicture(const std::vector<uint8_t>& first, const std::vector<uint8_t>& second,
                                         int width, int height);

// Writes an RGBA frame (rows from the top) as a binary PPM, for looking at a
// failure; the path is reported by the caller.
void WritePpm(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height);
