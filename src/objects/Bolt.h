// Bolt.h -- a lightning arc: thin additive line strips crackling along a
// smooth curve through its control points.
#pragma once

#include <cstdint>
#include <vector>

#include "services/Types.h"

struct TBoltPoint {
  TVector3f fBase;     // on the smooth curve
  TVector3f fCurrent;  // displaced, drawn
  float fSideOffset = 0;
  float fUpOffset = 0;
  float fYaw = 0;      // degrees
  float fPitch = 0;    // degrees
  std::vector<TVector3f> fJitter;  // one per strand
};

class TRandom;

class TBolt {
 public:
  // An arc of `count` points (at least 2) through at least two control
  // points, flickering by draws from `random`; throws std::invalid_argument
  // otherwise.
  TBolt(const std::vector<TVector3f>& points, int32_t count, TRandom& random);

  void SetStrands(int32_t strands);
  // Recomputes the points' places on the curve from fControlPoints.
  void Build();
  // Flicker and random walk.
  void Progress(float elapsed);
  // Draws in world coordinates with additive blending. `steady`: instead of
  // flickering, one strand without its jitter glows with fGlow, so the arc
  // fades in and out slowly and never flashes.
  void Render(bool steady = false) const;

  TRandom& fRandom;
  std::vector<TVector3f> fControlPoints;
  TVector4f fColor{0, 0.4f, 1.0f, 0.5f};
  std::vector<TBoltPoint> fBoltPoints;
  int32_t fCount;
  int32_t fStrands = 5;
  int32_t fLineWidth = 2;
  float fReshapeTime = 10;
  float fReshapeTimer = 0;
  float fFlickerTime = 0;
  float fFlickerTimer = 0;
  int32_t fFlickerChance = 10;
  float fMaxSide = 1.0f;
  float fMaxUp = 1.0f;
  float fMaxSideStep = 0.2f;
  float fMaxUpStep = 0.2f;
  float fWalkStep = 0.1f;
  float fJitterSize = 0.2f;
  bool fFadeEnds = true;
  bool fVisible = true;
  // fVisible smoothed over time (0 .. 1), for the steady drawing: it follows
  // the flicker with a time constant of kGlowMs, so a quick run of on and
  // off becomes a slow swell. Drawing only: no draw, no rule reads it.
  float fGlow = 1;
  static constexpr float kGlowMs = 400;
};
