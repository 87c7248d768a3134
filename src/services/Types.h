// Types.h -- small value types shared by the whole game.
#pragma once

#include <cstdint>

#include "geometry/Vector.h"

// An RGBA colour, components normally 0..1.
struct TVector4f {
  float r = 0;
  float g = 0;
  float b = 0;
  float a = 0;
};

// The two end-point indices of a model line.
struct TIndexPair {
  int32_t first = 0;
  int32_t second = 0;
};
