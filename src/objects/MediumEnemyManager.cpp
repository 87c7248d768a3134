// MediumEnemyManager.cpp -- placing and drawing the medium enemies.
#include "objects/MediumEnemyManager.h"


#include "render/GL.h"
#include "services/Random.h"
#include "stage/Level.h"

TMediumEnemyManager::TMediumEnemyManager(TLevel& level) : fParticleManager(level), fLevel(level) {}

void TMediumEnemyManager::SetPositions(const std::vector<float>& positions) {
  const auto& settings = fLevel.fMediumEnemy;
  for (float position : positions) {
    // Created while its shoot value is still 0, so the timer starts at 0.
    auto enemy = std::make_unique<TMediumEnemy>(settings.Ship.get());
    enemy->fPos = position;
    enemy->fRoll = static_cast<float>(Rnd(360));
    enemy->fExplodeSize = settings.ExplodeSize;
    enemy->fExplodeTime = settings.ExplodeTime;
    enemy->fRollSpeed = settings.RollSpeed;
    enemy->fSpeed = 0;
    enemy->fLife = settings.Life;
    enemy->fShootValue = settings.ShootValue;
    fMediumEnemys.push_back(std::move(enemy));
  }
}

void TMediumEnemyManager::Render() const {
  const auto& settings = fLevel.fMediumEnemy;
  for (const auto& enemy : fMediumEnemys) enemy->RenderOnTube(fLevel.fSpline, settings.Color);
  glColor4f(settings.ParticleColor.r, settings.ParticleColor.g, settings.ParticleColor.b, settings.ParticleColor.a);
  fParticleManager.Render();
}

void TMediumEnemyManager::Clear() {
  fParticleManager.Clear();
  fMediumEnemys.clear();
}
