// ParticleManager.cpp -- moving, hitting and drawing shots.
#include "objects/ParticleManager.h"

#include <algorithm>
#include <cmath>

#include "objects/Enemy.h"
#include "objects/Particle.h"
#include "objects/Ship.h"
#include "objects/StageHub.h"
#include "render/draw/Draw.h"
#include "render/TubeTransform.h"
#include "services/FatalError.h"
#include "services/Sound.h"

TParticleListItem& TParticleListItem::Init(bool spin, float pos, float roll, float speed, float rollSpeed, float accel,
                                           float rollAccel, float lifeTime) {
  fSpin = spin;
  fPos = pos;
  fRoll = roll;
  fSpeed = speed;
  fRollSpeed = rollSpeed;
  fAccel = accel;
  fRollAccel = rollAccel;
  fLifeTime = lifeTime;
  return *this;
}

void TParticleListItem::Move(float elapsed) {
  fPos += fSpeed * elapsed / 1000;
  fRoll += fRollSpeed * elapsed / 1000;
  fSpeed += fAccel * elapsed / 1000;
  fRollSpeed += fRollAccel * elapsed / 1000;
  if (fPos > 1) {
    // On the opened floor a shot that rolls over the top is gone.
    if (fRoll > 180 || fRoll < -180) Kill();
  } else {
    if (fRoll > 180) fRoll -= 360;
    if (fRoll < -180) fRoll += 360;
  }
  if (fSpin) fSpinAngle += elapsed / 10;
  if (fSpinAngle > 360) fSpinAngle -= 360;
  fAge += elapsed;
}

TParticleListItem& TParticleManager::Add(const TParticle* model) {
  Guarded("ParticleManager, Add: Fehler beim hinzuf\xFCgen",
          [&] { fItems.emplace_back(model); });
  ++fAdded;
  return fItems.back();
}

void TParticleManager::Progress(float elapsed) {
  for (TParticleListItem& item : fItems) item.Move(elapsed);
  fItems.erase(std::remove_if(fItems.begin(), fItems.end(), [](const TParticleListItem& item) { return item.Dead(); }),
               fItems.end());
}

void TParticleManager::CheckPlayerHit(THitCause cause) {
  const THitBox ship = HitBoxAt(*fLevel.fPlayer.Ship, fLevel.ShipPos(), fLevel.fRoll);
  for (TParticleListItem& item : fItems) {
    if (item.Dead() || !ship.Contains(item.fPos, item.fRoll)) continue;
    item.Kill();
    fLevel.HitPlayer(cause, item.fSource);
  }
}

float ShotDrawScale(const TParticle& model, float distance, float minSize) {
  const float radius = model.Radius();
  const float least = distance * minSize;
  return radius > 0 && radius < least ? least / radius : 1.0f;
}

void TParticleManager::Render(float minSize) const {
  gfx::LineWidth(2.0f);
  for (const TParticleListItem& item : fItems) {
    if (!item.fModel) continue;
    gfx::PushMatrix();
    ApplyTubeTransform(fLevel.fSpline, item.fPos, item.fRoll);
    gfx::Rotate(item.fSpinAngle, 0, 1, 0);
    if (minSize > 0) {
      const gfx::TMatrix m = gfx::GetMatrix(gfx::TMatrixStack::ModelView);
      const float scale = ShotDrawScale(*item.fModel, std::sqrt(m[12] * m[12] + m[13] * m[13] + m[14] * m[14]), minSize);
      gfx::Scale(scale, scale, scale);
    }
    item.fModel->Render();
    gfx::PopMatrix();
  }
}

void TParticleManager::SetSpeed(float speed) {
  for (TParticleListItem& item : fItems) item.fSpeed = speed;
}
