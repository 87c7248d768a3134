// Ship.cpp -- hit-box extents of a ship model.
#include "objects/Ship.h"

#include <cmath>
#include <string>

#include "geometry/SimMath.h"
#include "objects/StageHub.h"
#include "services/DataError.h"
#include "services/ValueLists.h"

void TShip::CalcExtents(const TStageHub& level) {
  const double s = fScale;
  const double r = level.fTubeSize;
  const double length = level.fPathLength;
  float maxX = 0, minX = 0, maxZ = 0, minZ = 0;
  for (const TVector3f& v : fVertices) {
    if (v.x > maxX) maxX = v.x;
    if (v.x < minX) minX = v.x;
    if (v.z > maxZ) maxZ = v.z;
    if (v.z < minZ) minZ = v.z;
  }
  // Degrees subtended by a chord of length s*d on the tube's circle.
  auto angle = [&](float d) {
    const double sine = s * d / (2 * r);
    if (!(std::fabs(sine) <= 1.0))
      throw EDataError("Modell " + FileName() + ": bei Skalierung " + FloatToStr(s) +
                       " breiter als der Durchmesser der R\xF6hre (" + FloatToStr(2 * r) + ")");
    return std::trunc(2 * simmath::Asin(sine) * 180 / M_PI);
  };
  fRollMin = static_cast<float>(-(angle(maxX) + 1));
  fRollMax = static_cast<float>(-angle(minX) + 1);
  fPosMin = static_cast<float>(-(maxZ * s / length));
  fPosMax = static_cast<float>(-(minZ * s / length));
}
