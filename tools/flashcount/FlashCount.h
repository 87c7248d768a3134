// FlashCount.h -- counts flashes in a run of frames, the way photosensitivity
// guidelines define them, to check what a stage shows against "no more than
// three flashes in any one second".
//
// A flash is a pair of opposing changes of relative luminance (sRGB decoded
// to linear light, 0.2126 R + 0.7152 G + 0.0722 B) of 0.1 or more over a
// quarter of an area, the darker state below 0.8. The counter follows the
// mean luminance of each area from frame to frame: a quarter of the area
// changing by 0.1 moves the mean by 0.025, so a change is a rise or fall of
// the mean by 0.025 or more, however many frames it takes (a flash that
// fades out over a few frames still ends in a change), and then checks the
// rule itself: at least a quarter of the area's pixels must differ by 0.1
// from the frame where the change began (a smaller share that changes by
// more moves the mean as far, but is no flash). Lines that merely move
// leave the mean as it is, and so count neither.
//
// Red flashes are counted on their own, as the guidelines ask, with the
// red value (R - G - B) x 320 in linear light of every pixel whose red is
// at least 0.8 of R + G + B (0 for any other): a change of the area's mean
// by 5, and a quarter of its pixels changed by more than 20. Saturated red provokes
// seizures at a lower contrast than other colours.
//
// The count is the most flashes whose changes fall into any window of
// `framesPerSecond` frames, over three kinds of area: the whole picture; every
// part a third as wide and a third as high (about what central vision
// covers), on a grid of sixths so that neighbours overlap by half; and, far
// stricter than any guideline, every spot a 24th as wide and as high, where
// a blinking bar or a thick arc can fill a quarter on its own.
#pragma once

#include <cstdint>
#include <vector>

namespace flash {

// Relative luminance (0 .. 1) of an sRGB colour given as bytes.
[[nodiscard]] float Luminance(uint8_t r, uint8_t g, uint8_t b);

// Most flashes in any one second, each the larger of the general and the
// red flashes.
struct TFlashes {
  int Screen = 0;  // over the whole picture
  int Part = 0;    // over the worst part of a third by a third
  int Spot = 0;    // over the worst spot of a 24th by a 24th
};

class TFlashCounter {
 public:
  // Frames of `width` x `height` pixels, shown `framesPerSecond` a second.
  TFlashCounter(int width, int height, int framesPerSecond = 60);

  // Adds the next frame: `channels` bytes a pixel (3 RGB or 4 RGBA, alpha
  // ignored), rows in either order (the order changes no count).
  void Add(const std::vector<uint8_t>& pixels, int channels);

  [[nodiscard]] TFlashes Most() const;
  [[nodiscard]] int Frames() const { return fFrames; }

 private:
  static constexpr int kGrid = 24;  // spots across and down

  // One signal of an area (its mean luminance or mean red value) and the
  // changes found in it: the frame of each, signed by its direction.
  struct TTrack {
    float Start = 0;   // where the current run began
    float Peak = 0;    // how far it went
    int StartFrame = 0, PeakFrame = 0;
    int Direction = 0; // +1 rising, -1 falling, 0 not yet moved
    bool Counted = false;
    std::vector<int> Changes;
  };
  struct TArea {
    int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;  // spots
    int Pixels = 0;
    TTrack Light, Red;
  };
  // Follows the area's `track` to the mean `now`; a change needs `step`,
  // the darker end below `darkBelow`, and a quarter of the pixels changed
  // since the run began (`red`: in red value, else in luminance).
  void Follow(const TArea& area, TTrack& track, float now, float step, float darkBelow, bool red) const;
  // At least a quarter of the area's pixels changed enough between the
  // kept frames `from` and this one.
  [[nodiscard]] bool QuarterChanged(const TArea& area, int from, bool red) const;
  [[nodiscard]] int MostPerWindow(const std::vector<int>& changes) const;

  int fWidth, fHeight, fFramesPerSecond;
  int fFrames = 0;
  std::vector<int> fSpotPixels;
  std::vector<int> fColumnStart, fRowStart;  // first pixel of each spot column and row, and the end
  // The last kKept frames, per pixel: luminance x 255 and red value x 255 / 320.
  static constexpr int kKept = 64;
  std::vector<std::vector<uint8_t>> fLightKept, fRedKept;
  // The whole picture, then the parts, then every spot.
  std::vector<TArea> fAreas;
  std::size_t fFirstPart = 1, fFirstSpot = 0;
};

}  // namespace flash
