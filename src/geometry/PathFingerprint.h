// PathFingerprint.h -- one number for every spline result of a set of
// paths, to show that a target computes the paths with the same bits.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/Vector.h"

// A stage's path as its file gives it: control points and ring count.
struct TPathProbe {
  std::vector<TVector3f> Points;
  int Circles = 1;
};

// Builds each path's three curves in the extended type E and evaluates
// them where the game does: at every ring from a tenth of the path before
// its start to a fifth beyond its end, and one ring ahead of each (the
// frame's second point), each t computed in single precision as the game
// computes it. FNV-1a over the ten bytes of every coefficient and every
// result. E is TExtended, or on x86 also TSoftExtended.
template <typename E>
[[nodiscard]] uint64_t PathFingerprint(const std::vector<TPathProbe>& paths);
