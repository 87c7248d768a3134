// Vector.h -- the single-precision 3D vector of positions and model points.
#pragma once

#include <vector>

struct TVector3f {
  float x = 0;
  float y = 0;
  float z = 0;
};

using TVector3fArray = std::vector<TVector3f>;
