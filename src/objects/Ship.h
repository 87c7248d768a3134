// Ship.h -- a model that knows its hit box on the tube wall.
#pragma once

#include "objects/Particle.h"

class TStageHub;

// A body at path position t and roll r occupies the open box
// (t + fPosMin, t + fPosMax) x (r + fRollMin, r + fRollMax).
class TShip : public TParticle {
 public:
  using TParticle::TParticle;
  // Extents from the points, fScale, the stage's tube radius and path length.
  // Call after loading and after setting fScale. A model wider than the
  // tube's diameter throws EDataError.
  void CalcExtents(const TStageHub& level);

  float fRollMin = -1;  // degrees, at most -1
  float fRollMax = 1;   // degrees, at least +1
  float fPosMin = 0;    // path parameter, at most 0
  float fPosMax = 0;    // path parameter, at least 0
};
