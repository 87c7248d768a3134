// Bolt.cpp -- building, reshaping and drawing lightning.
#include "objects/Bolt.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "geometry/CubicSpline.h"
#include "geometry/SimMath.h"
#include "render/draw/Draw.h"
#include "services/Random.h"

namespace {

constexpr double kDegrees = 180.0 / M_PI;
// The steady line's alpha against one strand's: the strands overlap only in
// part, so less than their count.
constexpr float kSteadyBrightness = 3;

void Direction(const TVector3f& d, TBoltPoint& point) {
  point.fYaw = static_cast<float>(simmath::Atan2(d.z, d.x) * kDegrees);
  point.fPitch = static_cast<float>(simmath::Atan2(d.y, std::sqrt(d.x * d.x + d.z * d.z)) * kDegrees);
}

// Keeps `value` within `step` of a neighbour's value.
float HoldNear(float value, float neighbour, float step) {
  if (value > neighbour + step) return neighbour + step;
  if (value < neighbour - step) return neighbour - step;
  return value;
}

}  // namespace

TBolt::TBolt(const std::vector<TVector3f>& points, int32_t count, TRandom& random) : fRandom(random), fCount(count) {
  if (points.size() < 2) throw std::invalid_argument("TBolt: Zu wenig Punkte im Array (mind. 2)");
  if (count < 2) throw std::invalid_argument("TBolt: Zu wenig Punkte im Bogen (mind. 2)");
  fBoltPoints.resize(static_cast<std::size_t>(count));
  SetStrands(5);
  fControlPoints = points;
  Build();
  for (TBoltPoint& point : fBoltPoints) point.fCurrent = point.fBase;
}

void TBolt::SetStrands(int32_t strands) {
  fStrands = strands;
  for (TBoltPoint& point : fBoltPoints) point.fJitter.assign(static_cast<std::size_t>(std::max(strands, 0)), TVector3f{});
}

void TBolt::Build() {
  const std::size_t controls = fControlPoints.size();
  if (controls < 2) return;
  const float h = static_cast<float>(fCount - 1);
  if (controls == 2) {
    const TVector3f p0 = fControlPoints[0];
    const TVector3f d{fControlPoints[1].x - p0.x, fControlPoints[1].y - p0.y, fControlPoints[1].z - p0.z};
    for (int32_t i = 0; i < fCount; ++i) {
      TBoltPoint& point = fBoltPoints[static_cast<std::size_t>(i)];
      const float f = static_cast<float>(i) / h;
      point.fBase = {p0.x + d.x * f, p0.y + d.y * f, p0.z + d.z * f};
      Direction(d, point);
    }
    return;
  }
  TExtendedArray xs, ys, zs, cx, cy, cz;
  for (const TVector3f& p : fControlPoints) {
    xs.push_back(p.x);
    ys.push_back(p.y);
    zs.push_back(p.z);
  }
  CalcCubicSpline(xs, cx);
  CalcCubicSpline(ys, cy);
  CalcCubicSpline(zs, cz);
  for (int32_t i = 0; i < fCount; ++i) {
    TBoltPoint& point = fBoltPoints[static_cast<std::size_t>(i)];
    const TExtended u = static_cast<TExtended>(i) / h;
    point.fBase = {static_cast<float>(EvalCubicSpline(cx, u)), static_cast<float>(EvalCubicSpline(cy, u)),
                   static_cast<float>(EvalCubicSpline(cz, u))};
    TVector3f d{};
    if (i > 0) {
      const TVector3f& prev = fBoltPoints[static_cast<std::size_t>(i - 1)].fBase;
      d = {point.fBase.x - prev.x, point.fBase.y - prev.y, point.fBase.z - prev.z};
    }
    Direction(d, point);
  }
}

void TBolt::Progress(float elapsed) {
  if (fFlickerTime > 0) {
    fFlickerTimer += elapsed;
    if (fFlickerTimer > fFlickerTime) {
      fFlickerTimer -= fFlickerTime;
      fVisible = fRandom.Rnd(fFlickerChance) == 0;
    }
  }
  // Exact for any frame length: the share of the way to the target that a
  // first-order lag covers in `elapsed`.
  if (elapsed > 0) fGlow += ((fVisible ? 1.0f : 0.0f) - fGlow) * (1 - std::exp(-elapsed / kGlowMs));
  fReshapeTimer += elapsed;
  if (!(fReshapeTimer > fReshapeTime)) return;
  fReshapeTimer -= fReshapeTime;
  if (fReshapeTime == 0) fReshapeTimer = 0;

  const std::size_t n = fBoltPoints.size();
  for (std::size_t i = 0; i < n; ++i) {
    TBoltPoint& point = fBoltPoints[i];
    const TBoltPoint* prev = i > 0 ? &fBoltPoints[i - 1] : nullptr;
    const TBoltPoint* next = i + 1 < n ? &fBoltPoints[i + 1] : nullptr;

    point.fUpOffset += static_cast<float>((fRandom.Real() - 0.5) * fWalkStep);
    if (prev) point.fUpOffset = HoldNear(point.fUpOffset, prev->fUpOffset, fMaxUpStep);
    if (next) point.fUpOffset = HoldNear(point.fUpOffset, next->fUpOffset, fMaxUpStep);
    point.fUpOffset = std::clamp(point.fUpOffset, -fMaxUp, fMaxUp);

    point.fSideOffset += static_cast<float>((fRandom.Real() - 0.5) * fWalkStep);
    if (prev) point.fSideOffset = HoldNear(point.fSideOffset, prev->fSideOffset, fMaxSideStep);
    if (next) point.fSideOffset = HoldNear(point.fSideOffset, next->fSideOffset, fMaxSideStep);
    point.fSideOffset = std::clamp(point.fSideOffset, -fMaxSide, fMaxSide);

    const double yaw = point.fYaw / kDegrees;
    const double pitch = point.fPitch / kDegrees;
    const double a = point.fSideOffset;
    const double b = point.fUpOffset;
    point.fCurrent = {static_cast<float>(point.fBase.x + a * simmath::Sin(yaw) - b * simmath::Sin(pitch) * simmath::Cos(yaw)),
                      static_cast<float>(point.fBase.y + b * simmath::Cos(pitch)),
                      static_cast<float>(point.fBase.z - a * simmath::Cos(yaw) - b * simmath::Sin(pitch) * simmath::Sin(yaw))};
    for (TVector3f& jitter : point.fJitter) {
      jitter.x = static_cast<float>((fRandom.Real() - 0.5) * fJitterSize);
      jitter.y = static_cast<float>((fRandom.Real() - 0.5) * fJitterSize);
      jitter.z = static_cast<float>((fRandom.Real() - 0.5) * fJitterSize);
    }
  }
}

void TBolt::Render(bool steady) const {
  const std::size_t n = fBoltPoints.size();
  if (steady) {
    // The strands would shimmer round each other every few milliseconds:
    // one line on the arc's smooth walk instead, as bright as the strands
    // are on average together.
    const float alpha = std::min(fColor.a * fGlow * kSteadyBrightness, 1.0f);
    if (!(alpha > 0.004f)) return;
    gfx::BlendFunc(gfx::TBlend::Additive);
    gfx::LineWidth(static_cast<float>(fLineWidth));
    gfx::Begin(gfx::TPrimitive::LineStrip);
    for (std::size_t i = 0; i < n; ++i) {
      const bool end = fFadeEnds && (i == 0 || i + 1 == n);
      gfx::Color(fColor.r, fColor.g, fColor.b, end ? 0.0f : alpha);
      gfx::Vertex(fBoltPoints[i].fCurrent.x, fBoltPoints[i].fCurrent.y, fBoltPoints[i].fCurrent.z);
    }
    gfx::End();
    gfx::BlendFunc(gfx::TBlend::Alpha);
    return;
  }
  if (!fVisible) return;
  gfx::BlendFunc(gfx::TBlend::Additive);
  gfx::Color(fColor.r, fColor.g, fColor.b, fColor.a);
  for (int32_t k = 0; k < fStrands; ++k) {
    gfx::LineWidth(static_cast<float>(fLineWidth));
    gfx::Begin(gfx::TPrimitive::LineStrip);
    for (std::size_t i = 0; i < n; ++i) {
      if (fFadeEnds) {
        const bool end = i == 0 || i + 1 == n;
        gfx::Color(fColor.r, fColor.g, fColor.b, end ? 0.0f : fColor.a);
      }
      const TBoltPoint& point = fBoltPoints[i];
      const TVector3f& jitter = point.fJitter[static_cast<std::size_t>(k)];
      gfx::Vertex(point.fCurrent.x + jitter.x, point.fCurrent.y + jitter.y, point.fCurrent.z + jitter.z);
    }
    gfx::End();
  }
  gfx::BlendFunc(gfx::TBlend::Alpha);
}
