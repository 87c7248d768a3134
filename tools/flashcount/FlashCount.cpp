// FlashCount.cpp -- luminance, the areas' means and the flash count.
#include "flashcount/FlashCount.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace flash {
namespace {

// sRGB byte to linear light.
const std::array<float, 256>& LinearTable() {
  static const std::array<float, 256> table = [] {
    std::array<float, 256> t{};
    for (int i = 0; i < 256; ++i) {
      const double c = i / 255.0;
      t[static_cast<std::size_t>(i)] =
          static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return t;
  }();
  return table;
}

// A quarter of an area changing by the guidelines' step moves its mean by a
// quarter of the step.
constexpr float kLightStep = 0.1f / 4;
constexpr float kRedStep = 20.0f / 4;
constexpr float kDarkBelow = 0.8f;
// A run turns only once the mean moved back by more than this share of a
// step: rounding in the picture does not cut a slow fade into pieces.
constexpr float kTurnShare = 0.05f;

// (R - G - B) x 320 in linear light for a saturated red, else 0.
float RedValue(uint8_t r, uint8_t g, uint8_t b) {
  const auto& lin = LinearTable();
  const float R = lin[r], G = lin[g], B = lin[b];
  if (!(R > 0) || R < 0.8f * (R + G + B)) return 0;
  return std::max((R - G - B) * 320, 0.0f);
}

}  // namespace

float Luminance(uint8_t r, uint8_t g, uint8_t b) {
  const auto& lin = LinearTable();
  return 0.2126f * lin[r] + 0.7152f * lin[g] + 0.0722f * lin[b];
}

TFlashCounter::TFlashCounter(int width, int height, int framesPerSecond)
    : fWidth(std::max(width, 1)), fHeight(std::max(height, 1)), fFramesPerSecond(std::max(framesPerSecond, 1)),
      fSpotPixels(kGrid * kGrid, 0), fColumnStart(kGrid + 1, fWidth), fRowStart(kGrid + 1, fHeight),
      fLightKept(kKept), fRedKept(kKept) {
  for (int x = fWidth - 1; x >= 0; --x) fColumnStart[static_cast<std::size_t>(x * kGrid / fWidth)] = x;
  for (int y = fHeight - 1; y >= 0; --y) fRowStart[static_cast<std::size_t>(y * kGrid / fHeight)] = y;
  for (int y = 0; y < fHeight; ++y)
    for (int x = 0; x < fWidth; ++x) ++fSpotPixels[static_cast<std::size_t>(y * kGrid / fHeight * kGrid + x * kGrid / fWidth)];
  auto add = [&](int x0, int y0, int x1, int y1) {
    TArea area;
    area.X0 = x0, area.Y0 = y0, area.X1 = x1, area.Y1 = y1;
    for (int sy = y0; sy < y1; ++sy)
      for (int sx = x0; sx < x1; ++sx) area.Pixels += fSpotPixels[static_cast<std::size_t>(sy * kGrid + sx)];
    fAreas.push_back(area);
  };
  add(0, 0, kGrid, kGrid);
  constexpr int sixth = kGrid / 6;
  fFirstPart = fAreas.size();
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 5; ++i) add(i * sixth, j * sixth, (i + 2) * sixth, (j + 2) * sixth);
  fFirstSpot = fAreas.size();
  for (int j = 0; j < kGrid; ++j)
    for (int i = 0; i < kGrid; ++i) add(i, j, i + 1, j + 1);
}

void TFlashCounter::Add(const std::vector<uint8_t>& pixels, int channels) {
  const std::size_t n = static_cast<std::size_t>(fWidth) * static_cast<std::size_t>(fHeight);
  if (channels < 3 || pixels.size() < n * static_cast<std::size_t>(channels)) std::abort();
  std::vector<double> light(kGrid * kGrid, 0), red(kGrid * kGrid, 0);
  std::vector<uint8_t>& lightKept = fLightKept[static_cast<std::size_t>(fFrames % kKept)];
  std::vector<uint8_t>& redKept = fRedKept[static_cast<std::size_t>(fFrames % kKept)];
  lightKept.resize(n);
  redKept.resize(n);
  for (int y = 0; y < fHeight; ++y) {
    const int row = y * kGrid / fHeight * kGrid;
    for (int x = 0; x < fWidth; ++x) {
      const uint8_t* p = &pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(fWidth) +
                                  static_cast<std::size_t>(x)) * static_cast<std::size_t>(channels)];
      const std::size_t spot = static_cast<std::size_t>(row + x * kGrid / fWidth);
      const float l = Luminance(p[0], p[1], p[2]), r = RedValue(p[0], p[1], p[2]);
      light[spot] += l;
      red[spot] += r;
      const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(fWidth) + static_cast<std::size_t>(x);
      lightKept[i] = static_cast<uint8_t>(std::lround(std::min(l, 1.0f) * 255));
      redKept[i] = static_cast<uint8_t>(std::lround(std::min(r, 320.0f) * 255 / 320));
    }
  }
  for (TArea& area : fAreas) {
    double l = 0, r = 0;
    for (int sy = area.Y0; sy < area.Y1; ++sy) {
      for (int sx = area.X0; sx < area.X1; ++sx) {
        l += light[static_cast<std::size_t>(sy * kGrid + sx)];
        r += red[static_cast<std::size_t>(sy * kGrid + sx)];
      }
    }
    const double count = std::max(area.Pixels, 1);
    Follow(area, area.Light, static_cast<float>(l / count), kLightStep, kDarkBelow, false);
    Follow(area, area.Red, static_cast<float>(r / count), kRedStep, 1e30f, true);
  }
  ++fFrames;
}

bool TFlashCounter::QuarterChanged(const TArea& area, int from, bool red) const {
  from = std::max(from, fFrames - kKept + 1);
  const std::vector<uint8_t>& before = (red ? fRedKept : fLightKept)[static_cast<std::size_t>(from % kKept)];
  const std::vector<uint8_t>& after = (red ? fRedKept : fLightKept)[static_cast<std::size_t>(fFrames % kKept)];
  // In the kept units: 0.1 of luminance (a little less, for the rounding),
  // the darker below 0.8; 20 of red value.
  constexpr int kLightUnits = 25, kDarkUnits = 204, kRedUnits = 16;
  int changed = 0;
  for (int y = fRowStart[static_cast<std::size_t>(area.Y0)]; y < fRowStart[static_cast<std::size_t>(area.Y1)]; ++y) {
    const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(fWidth);
    for (int x = fColumnStart[static_cast<std::size_t>(area.X0)]; x < fColumnStart[static_cast<std::size_t>(area.X1)]; ++x) {
      const int a = before[row + static_cast<std::size_t>(x)], b = after[row + static_cast<std::size_t>(x)];
      changed += red ? std::abs(b - a) > kRedUnits : std::abs(b - a) >= kLightUnits && std::min(a, b) < kDarkUnits;
    }
  }
  return changed * 4 >= area.Pixels;
}

void TFlashCounter::Follow(const TArea& area, TTrack& t, float now, float step, float darkBelow, bool red) const {
  if (fFrames == 0) {
    t.Start = t.Peak = now;
    return;
  }
  const float turn = kTurnShare * step;
  if (t.Direction == 0) {
    if (std::fabs(now - t.Start) > turn) {
      t.Direction = now > t.Start ? 1 : -1;
      t.Peak = now;
      t.PeakFrame = fFrames;
    } else {
      t.Start = now;  // still: the run begins here
      t.StartFrame = fFrames;
    }
  } else if ((now - t.Peak) * static_cast<float>(t.Direction) > 0) {
    t.Peak = now;  // further the same way
    t.PeakFrame = fFrames;
  } else if ((t.Peak - now) * static_cast<float>(t.Direction) > turn) {
    // It turned: a new run from the extreme just reached.
    t.Start = t.Peak;
    t.StartFrame = t.PeakFrame;
    t.Peak = now;
    t.PeakFrame = fFrames;
    t.Direction = -t.Direction;
    t.Counted = false;
  }
  if (t.Direction != 0 && !t.Counted && t.PeakFrame == fFrames && std::fabs(t.Peak - t.Start) >= step &&
      std::min(t.Start, t.Peak) < darkBelow && QuarterChanged(area, t.StartFrame, red)) {
    t.Counted = true;
    // Runs alternate, so counted changes alternate too unless a run too
    // small to count lies between two of one direction: they are one change.
    if (t.Changes.empty() || (t.Changes.back() > 0) != (t.Direction > 0)) t.Changes.push_back(t.Direction * fFrames);
  }
}

int TFlashCounter::MostPerWindow(const std::vector<int>& c) const {
  int most = 0;
  std::size_t end = 0;
  for (std::size_t begin = 0; begin < c.size(); ++begin) {
    end = std::max(end, begin);
    while (end < c.size() && std::abs(c[end]) < std::abs(c[begin]) + fFramesPerSecond) ++end;
    most = std::max(most, static_cast<int>(end - begin) / 2);
  }
  return most;
}

TFlashes TFlashCounter::Most() const {
  auto worst = [&](std::size_t first, std::size_t last) {
    int m = 0;
    for (std::size_t a = first; a < last; ++a)
      m = std::max({m, MostPerWindow(fAreas[a].Light.Changes), MostPerWindow(fAreas[a].Red.Changes)});
    return m;
  };
  TFlashes most;
  most.Screen = worst(0, fFirstPart);
  most.Part = worst(fFirstPart, fFirstSpot);
  most.Spot = worst(fFirstSpot, fAreas.size());
  return most;
}

}  // namespace flash
