// Enemy.cpp -- shared enemy behaviour and the explosion drawing.
#include "objects/Enemy.h"

#include <algorithm>

#include "objects/Ship.h"
#include "objects/StageHub.h"
#include "render/draw/Draw.h"
#include "render/TubeTransform.h"
#include "services/Arith.h"
#include "services/Random.h"

int32_t KillValue(float speed, float minSpeed, float maxSpeed) {
  // Equal limits would divide by zero: that is full speed.
  if (maxSpeed == minSpeed) return 100;
  const int32_t pct = RoundToInt32((static_cast<double>(speed) - minSpeed) / (static_cast<double>(maxSpeed) - minSpeed) * 100);
  return pct < 1 ? 1 : pct;
}

int32_t KillValue(const TStageHub& level) {
  return KillValue(level.fSpeed, level.fPlayer.MinSpeed, level.fPlayer.MaxSpeed);
}

THitBox HitBoxAt(const TShip& model, float pos, float roll) {
  return {pos + model.fPosMin, pos + model.fPosMax, roll + model.fRollMin, roll + model.fRollMax};
}

TEnemy::TEnemy(const TShip* model, TRandom& random) : fModel(model), fRandom(random) { Reset(); }

bool TEnemy::ShootNow(float elapsed) {
  if (fShootValue < 0) {
    const float period = -static_cast<float>(fShootValue);
    if (!(fShootTimer > period)) return false;
    fShootTimer -= period;
    return true;
  }
  const double d = elapsed == 0 ? 1.0 : static_cast<double>(elapsed);
  return fRandom.Rnd(RoundToInt32(fShootValue / d)) == 0;
}

void TEnemy::Reset() {
  fExploding = false;
  fDead = false;
  fExplodeTimer = 0;
  fSpeed = 0;
  fPos = 0;
  fRoll = 0;
  fRollSpeed = 0;
  if (fShootValue < 0) fShootTimer = static_cast<float>(fRandom.Rnd(-fShootValue));
}

void TEnemy::Explode() {
  if (fExploding) return;
  fExplodeTimer = 0;
  fExploding = true;
  fDead = false;
}

void TEnemy::Move(float elapsed) {
  if (fDead) return;
  fPos += fSpeed * elapsed / 1000;
  fRoll += fRollSpeed * elapsed / 1000;
  Age(elapsed);
}

void TEnemy::Age(float elapsed) {
  if (fRoll > 180) fRoll -= 360;
  if (fRoll < -180) fRoll += 360;
  if (fExploding) {
    fExplodeTimer += elapsed;
    if (fExplodeTimer > fExplodeTime) fDead = true;
  }
  if (fShootValue < 0) fShootTimer += elapsed;
  if (fPos > 1 || fPos < 0) Explode();
}

void TEnemy::RenderOnTube(const T3DSpline& spline, const TVector4f& color) const {
  gfx::PushMatrix();
  gfx::Color(color.r, color.g, color.b, std::max(1 - fExplodeTimer / fExplodeTime, 0.0f));
  ApplyTubeTransform(spline, fPos, fRoll);
  gfx::LineWidth(1.0f);
  Render();
  gfx::PopMatrix();
}

void TEnemy::Render() const {
  if (fDead || !fModel) return;
  if (!fExploding) {
    fModel->Render();
    return;
  }
  const float scale = fModel->fScale;
  gfx::Scale(scale, scale, scale);
  gfx::PushMatrix();
  gfx::Begin(gfx::TPrimitive::Lines);
  const float k = fExplodeTimer / fExplodeTime;
  for (const TIndexPair& line : fModel->fLines) {
    const TVector3f& a = fModel->fVertices[static_cast<std::size_t>(line.first)];
    const TVector3f& b = fModel->fVertices[static_cast<std::size_t>(line.second)];
    const TVector3f half{(b.x - a.x) / 2, (b.y - a.y) / 2, (b.z - a.z) / 2};
    TVector3f mid{a.x + half.x, a.y + half.y, a.z + half.z};
    mid = {mid.x + k * mid.x * fExplodeSize, mid.y + k * mid.y * fExplodeSize, mid.z + k * mid.z * fExplodeSize};
    gfx::Vertex(mid.x + half.x, mid.y + half.y, mid.z + half.z);
    gfx::Vertex(mid.x - half.x, mid.y - half.y, mid.z - half.z);
  }
  gfx::End();
  gfx::PopMatrix();
}
