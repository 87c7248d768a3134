// Spline3D.h -- the stage's path: a 3D spline with a frame and the tube
// placement used by everything drawn on the tube wall.
#pragma once

#include <array>

#include "geometry/CubicSpline.h"
#include "geometry/Vector.h"

// Control points: entry i of each array is point i.
struct T3DPoints {
  TExtendedArray x;
  TExtendedArray y;
  TExtendedArray z;
};

// Position on the path and its orientation in radians (Roll is always 0).
struct TSplineFrame {
  TVector3f Position;
  float Pitch = 0;
  float Yaw = 0;
  float Roll = 0;
};

// The two values of the stage the path reads: the tube radius and the number
// of rings over the path parameter 0..1. The stage object provides them.
struct TTubeDimensions {
  float fTubeSize = 4;
  int fCircles = 1200;
};

// A column-major 4x4 matrix as OpenGL takes it.
using TMatrix4f = std::array<float, 16>;

class T3DSpline {
 public:
  // Keeps `level` (not owned) and a copy of the points; builds the curves
  // when there are at least two points.
  void SetPoints(const TTubeDimensions& level, const T3DPoints& points);

  [[nodiscard]] TVector3f GetPoint(float t) const;
  // Orientation at t looking `step` ahead; leaves `frame` untouched when the
  // path has fewer than 3 points.
  void GetFrame(float step, float t, TSplineFrame& frame) const;
  // The transform that puts the local origin on the tube wall at (t, roll
  // degrees): local z backwards along the path, local y towards the axis.
  // Beyond t = 1 the tube opens into a floor. Multiply the modelview by it.
  [[nodiscard]] TMatrix4f TubeTransform(float t, float roll) const;

  [[nodiscard]] const T3DPoints& Points() const { return fPoints; }
  [[nodiscard]] const TTubeDimensions* Level() const { return fLevel; }

 private:
  const TTubeDimensions* fLevel = nullptr;
  T3DPoints fPoints;
  T3DPoints fCoefficients;
};
