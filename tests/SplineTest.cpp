// SplineTest.cpp -- the cubic spline, the 3D path and its tube transform.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/CubicSpline.h"
#include "geometry/Spline3D.h"
#include "render/draw/Draw.h"
#include "render/TubeTransform.h"
#include "support/GLWindow.h"

namespace {

long double Eval(const TExtendedArray& values, long double t) {
  TExtendedArray c;
  CalcCubicSpline(values, c);
  return EvalCubicSpline(c, t);
}

TEST(CubicSpline, ShortInputsAreConstantOrLinear) {
  for (long double t : {-3.0L, 0.0L, 0.4L, 1.0L, 7.0L}) {
    EXPECT_EQ(Eval({}, t), 0.0L);
    EXPECT_EQ(Eval({2.5L}, t), 2.5L);
  }
  struct Case {
    long double t, expected;
  } line[] = {{0, 3}, {0.5L, 4}, {1, 5}, {2, 7}, {-1, 1}};
  for (const Case& c : line) EXPECT_EQ(Eval({3, 5}, c.t), c.expected) << static_cast<double>(c.t);
}

TEST(CubicSpline, ThreeValuesGiveTheWorkedCoefficients) {
  TExtendedArray c;
  const TExtendedArray values{0, 1, 0};
  CalcCubicSpline(values, c);
  const TExtendedArray expected{1, 0, -1.5L, -0.5L, 0, -1.5L, 0, 0.5L};
  ASSERT_EQ(c.size(), expected.size());
  for (std::size_t i = 0; i < c.size(); ++i) EXPECT_NEAR(static_cast<double>(c[i]), static_cast<double>(expected[i]), 1e-15) << i;
  EXPECT_EQ(values, (TExtendedArray{0, 1, 0}));  // the caller's values stay
  EXPECT_NEAR(static_cast<double>(EvalCubicSpline(c, 0.25L)), 0.6875, 1e-15);
  EXPECT_NEAR(static_cast<double>(EvalCubicSpline(c, 0.5L)), 1.0, 1e-15);
  EXPECT_NEAR(static_cast<double>(EvalCubicSpline(c, 0.0L)), 0.0, 1e-15);
  EXPECT_EQ(EvalCubicSpline(c, 1.0L), 0.0L);  // last segment at u = 0, exactly
}

TEST(CubicSpline, PassesThroughEveryKnotAndIsNatural) {
  const TExtendedArray values{2, -1, 4, 4, 0.5L, -3, 8};
  TExtendedArray c;
  CalcCubicSpline(values, c);
  const long double n = static_cast<long double>(values.size() - 1);
  for (std::size_t i = 0; i < values.size(); ++i)
    EXPECT_NEAR(static_cast<double>(EvalCubicSpline(c, i / n)), static_cast<double>(values[i]), 1e-12) << i;
  // Natural ends: no curvature at the first and last knot.
  EXPECT_NEAR(static_cast<double>(c[2] - 3 * c[3]), 0.0, 1e-12);  // second derivative at u = -1
  EXPECT_NEAR(static_cast<double>(c[c.size() - 2]), 0.0, 1e-15);    // C at the last knot
  // Continuity of slope across an interior knot: B(k) at the end of segment
  // k equals the slope at the start of segment k+1 (u = -1).
  for (std::size_t k = 0; k + 1 < c.size() / 4; ++k) {
    const long double* next = &c[4 * (k + 1)];
    const long double startSlope = next[1] - 2 * next[2] + 3 * next[3];
    EXPECT_NEAR(static_cast<double>(c[4 * k + 1]), static_cast<double>(startSlope), 1e-12) << k;
  }
}

TEST(CubicSpline, ExtrapolatesAlongTheEndTangentsWithoutAJump) {
  const TExtendedArray values{0, 1, 0, 2};
  TExtendedArray c;
  CalcCubicSpline(values, c);
  const long double eps = 1e-6L;
  EXPECT_NEAR(static_cast<double>(EvalCubicSpline(c, -eps)), static_cast<double>(EvalCubicSpline(c, 0)), 1e-3);
  EXPECT_NEAR(static_cast<double>(EvalCubicSpline(c, 1 + eps)), static_cast<double>(EvalCubicSpline(c, 1)), 1e-3);
  // Straight lines: equal steps give equal differences.
  const long double a = EvalCubicSpline(c, -1), b = EvalCubicSpline(c, -2), d = EvalCubicSpline(c, -3);
  EXPECT_NEAR(static_cast<double>(b - a), static_cast<double>(d - b), 1e-9);
  const long double e = EvalCubicSpline(c, 2), f = EvalCubicSpline(c, 3), g = EvalCubicSpline(c, 4);
  EXPECT_NEAR(static_cast<double>(f - e), static_cast<double>(g - f), 1e-9);
  // Four equal values: constant everywhere.
  for (long double t : {-5.0L, 0.3L, 1.0L, 9.0L}) EXPECT_EQ(Eval({7, 7, 7, 7}, t), 7.0L);
}

T3DPoints StraightDown() {
  return {{0, 0, 0}, {0, 0, 0}, {0, -10, -20}};
}

TEST(Spline3D, PointsAndFrames) {
  TTubeDimensions level;
  T3DSpline path;
  path.SetPoints(level, T3DPoints{{1, 5, -2, 8}, {0, 3, 3, 1}, {0, -10, -20, -35}});
  const TVector3f first = path.GetPoint(0);
  const TVector3f last = path.GetPoint(1);
  EXPECT_EQ(first.x, 1.0f);
  EXPECT_EQ(first.z, 0.0f);
  EXPECT_EQ(last.x, 8.0f);
  EXPECT_EQ(last.y, 1.0f);
  EXPECT_EQ(last.z, -35.0f);

  path.SetPoints(level, StraightDown());
  TSplineFrame frame;
  path.GetFrame(1.0f / 1200, 0.3f, frame);
  EXPECT_NEAR(frame.Pitch, 0.0f, 1e-6);
  EXPECT_NEAR(frame.Yaw, 0.0f, 1e-6);
  EXPECT_EQ(frame.Roll, 0.0f);
  EXPECT_NEAR(frame.Position.z, -6.0f, 1e-4);

  // A path that climbs: the frame pitches up (local -z looks forward).
  path.SetPoints(level, T3DPoints{{0, 0, 0}, {0, 10, 20}, {0, 0, 0}});
  path.GetFrame(0.01f, 0.5f, frame);
  EXPECT_NEAR(frame.Pitch, -M_PI / 2, 1e-3);
}

TEST(Spline3D, TwoPointsFollowTheLineButGiveNoFrame) {
  TTubeDimensions level;
  T3DSpline path;
  path.SetPoints(level, T3DPoints{{0, 4}, {0, 0}, {0, -8}});
  EXPECT_FLOAT_EQ(path.GetPoint(0.5f).z, -4.0f);
  TSplineFrame frame;
  frame.Pitch = 42;
  path.GetFrame(0.01f, 0.5f, frame);
  EXPECT_EQ(frame.Pitch, 42);
}

// The transform as OpenGL itself composes it from the same steps.
TMatrix4f ReferenceTransform(const T3DSpline& path, const TTubeDimensions& level, float t, float roll) {
  float r = roll;
  if (t > 1) r = static_cast<float>(r / std::pow(t, 50.0));
  const double e = std::pow(std::max(t - 1.0, 0.0) + 1.0, 50.0);
  TSplineFrame f;
  path.GetFrame(1.0f / level.fCircles, t, f);
  gfx::MatrixMode(gfx::TMatrixStack::ModelView);
  gfx::LoadIdentity();
  gfx::Translate(f.Position.x, f.Position.y, f.Position.z);
  gfx::Rotate(static_cast<float>(-f.Yaw * 180 / M_PI), 0, 1, 0);
  gfx::Rotate(static_cast<float>(-f.Pitch * 180 / M_PI), 1, 0, 0);
  gfx::Translate(0, static_cast<float>((e - 1) * level.fTubeSize), 0);
  gfx::Rotate(-r, 0, 0, 1);
  gfx::Translate(0, static_cast<float>(-0.9 * level.fTubeSize - (e - 1) * level.fTubeSize), 0);
  return gfx::GetMatrix(gfx::TMatrixStack::ModelView);
}

TEST(Spline3D, TubeTransformMatchesOpenGLsOwnComposition) {
  TGLWindow window(64, 64);
  TTubeDimensions level;
  level.fTubeSize = 4;
  level.fCircles = 1200;
  T3DSpline path;
  path.SetPoints(level, T3DPoints{{0, 10, -5, 20}, {0, 5, 12, -3}, {0, -30, -60, -90}});
  for (float t : {-0.02f, 0.0f, 0.37f, 0.999f, 1.02f, 1.05f}) {
    for (float roll : {-170.0f, 0.0f, 33.0f, 180.0f}) {
      const TMatrix4f expected = ReferenceTransform(path, level, t, roll);
      gfx::LoadIdentity();
      ApplyTubeTransform(path, t, roll);
      const TMatrix4f actual = gfx::GetMatrix(gfx::TMatrixStack::ModelView);
      for (int i = 0; i < 16; ++i) {
        const float tolerance = 1e-4f * std::max(1.0f, std::fabs(expected[i]));
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "t " << t << " roll " << roll << " element " << i;
      }
    }
  }
}

TEST(Spline3D, TubeTransformPlacesObjectsOnTheWallAndOpensBeyondTheEnd) {
  TTubeDimensions level;
  level.fTubeSize = 4;
  T3DSpline path;
  path.SetPoints(level, StraightDown());
  auto origin = [&](float t, float roll) {
    const TMatrix4f m = path.TubeTransform(t, roll);
    return TVector3f{m[12], m[13], m[14]};
  };
  // Roll 0 is the bottom of the tube, 0.9 radii below the axis.
  const TVector3f bottom = origin(0.5f, 0);
  EXPECT_NEAR(bottom.x, 0, 1e-5);
  EXPECT_NEAR(bottom.y, -3.6f, 1e-5);
  const TVector3f side = origin(0.5f, 90);
  EXPECT_NEAR(std::hypot(side.x, side.y), 3.6f, 1e-4);
  // At t = 1.05 the opening factor is about 11.5: the floor stays at the
  // same height, the roll shrinks by the same factor.
  const double e = std::pow(1.05, 50);
  EXPECT_NEAR(e, 11.467, 1e-3);
  const TVector3f opened = origin(1.05f, 0);
  EXPECT_NEAR(opened.y, -3.6f, 1e-3);
  const TVector3f openedSide = origin(1.05f, 60);
  EXPECT_NEAR(-openedSide.x / ((e - 0.1) * 4), std::sin(60 / e * M_PI / 180), 1e-4);
}

}  // namespace
