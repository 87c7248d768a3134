// Level.h -- one running stage: the hub every game object of a stage reads.
#pragma once

#include "geometry/Spline3D.h"

// The stage. fTubeSize (tube radius, world units) and fCircles (rings over
// the path parameter 0..1) come from TTubeDimensions, which the path reads.
class TLevel : public TTubeDimensions {
 public:
  TLevel();
  TLevel(const TLevel&) = delete;
  TLevel& operator=(const TLevel&) = delete;

  T3DSpline fSpline;
};
