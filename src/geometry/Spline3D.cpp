// Spline3D.cpp -- path points, frames and the tube transform.
#include "geometry/SimMath.h"
#include "geometry/Spline3D.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

TMatrix4f Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

TMatrix4f Multiply(const TMatrix4f& a, const TMatrix4f& b) {
  TMatrix4f r{};
  for (int col = 0; col < 4; ++col) {
    for (int row = 0; row < 4; ++row) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += static_cast<double>(a[k * 4 + row]) * b[col * 4 + k];
      r[col * 4 + row] = static_cast<float>(sum);
    }
  }
  return r;
}

TMatrix4f Translation(double x, double y, double z) {
  TMatrix4f m = Identity();
  m[12] = static_cast<float>(x);
  m[13] = static_cast<float>(y);
  m[14] = static_cast<float>(z);
  return m;
}

// The rotation glRotate builds for an axis of unit length.
TMatrix4f Rotation(double degrees, double x, double y, double z) {
  const double a = degrees * kPi / 180.0;
  const double c = simmath::Cos(a);
  const double s = simmath::Sin(a);
  TMatrix4f m = Identity();
  m[0] = static_cast<float>(x * x * (1 - c) + c);
  m[1] = static_cast<float>(y * x * (1 - c) + z * s);
  m[2] = static_cast<float>(x * z * (1 - c) - y * s);
  m[4] = static_cast<float>(x * y * (1 - c) - z * s);
  m[5] = static_cast<float>(y * y * (1 - c) + c);
  m[6] = static_cast<float>(y * z * (1 - c) + x * s);
  m[8] = static_cast<float>(x * z * (1 - c) + y * s);
  m[9] = static_cast<float>(y * z * (1 - c) - x * s);
  m[10] = static_cast<float>(z * z * (1 - c) + c);
  return m;
}

}  // namespace

void T3DSpline::SetPoints(const TTubeDimensions& level, const T3DPoints& points) {
  fLevel = &level;
  fPoints = points;
  if (fPoints.x.size() >= 2) {
    CalcCubicSpline(fPoints.x, fCoefficients.x);
    CalcCubicSpline(fPoints.y, fCoefficients.y);
    CalcCubicSpline(fPoints.z, fCoefficients.z);
  }
}

TVector3f T3DSpline::GetPoint(float t) const {
  return {static_cast<float>(EvalCubicSpline(fCoefficients.x, t)),
          static_cast<float>(EvalCubicSpline(fCoefficients.y, t)),
          static_cast<float>(EvalCubicSpline(fCoefficients.z, t))};
}

void T3DSpline::GetFrame(float step, float t, TSplineFrame& frame) const {
  if (fPoints.x.size() < 3) return;
  const TVector3f p = GetPoint(t);
  const TVector3f q = GetPoint(t + step);
  const float dx = p.x - q.x;
  const float dy = p.y - q.y;
  const float dz = p.z - q.z;
  const float len = std::sqrt(dx * dx + dy * dy + dz * dz);
  // Where the path stands still (a load refuses equal neighbouring control
  // points, but a step can still end where it began) it has no slope.
  frame.Pitch = len > 0 ? simmath::Asin(dy / len) : 0.0f;
  frame.Yaw = static_cast<float>(simmath::Atan2(dz, dx) - kPi / 2);
  frame.Roll = 0;
  frame.Position = p;
}

TMatrix4f T3DSpline::TubeTransform(float t, float roll) const {
  const double radius = fLevel ? fLevel->fTubeSize : 0.0;
  const int circles = fLevel ? fLevel->fCircles : 1;
  double r = roll;
  if (t > 1) r = r / simmath::Pow(static_cast<double>(t), 50.0);
  const double e = simmath::Pow(std::max(static_cast<double>(t) - 1.0, 0.0) + 1.0, 50.0);
  TSplineFrame f;
  GetFrame(1.0f / static_cast<float>(circles), t, f);

  TMatrix4f m = Translation(f.Position.x, f.Position.y, f.Position.z);
  m = Multiply(m, Rotation(-f.Yaw * 180.0 / kPi, 0, 1, 0));
  m = Multiply(m, Rotation(-f.Pitch * 180.0 / kPi, 1, 0, 0));
  m = Multiply(m, Translation(0, (e - 1) * radius, 0));
  m = Multiply(m, Rotation(-r, 0, 0, 1));
  m = Multiply(m, Translation(0, -0.9 * radius - (e - 1) * radius, 0));
  return m;
}
