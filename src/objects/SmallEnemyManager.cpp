// SmallEnemyManager.cpp -- creating, placing and drawing the swarm.
#include "objects/SmallEnemyManager.h"

#include <cmath>

#include "render/GL.h"
#include "services/Random.h"
#include "stage/Level.h"

namespace {

int32_t RoundToInt(double value) { return static_cast<int32_t>(std::nearbyint(value)); }

}  // namespace

TSmallEnemyManager::TSmallEnemyManager(TLevel& level) : fParticleManager(level), fLevel(level) {}

void TSmallEnemyManager::SetCount(int32_t count) {
  fSmallEnemy.clear();
  for (int32_t i = 0; i < count; ++i) {
    fSmallEnemy.push_back(std::make_unique<TSmallEnemy>(fLevel.fSmallEnemy.Ship.get()));
    Spawn(fSmallEnemy.size() - 1);
  }
}

void TSmallEnemyManager::Spawn(std::size_t index) {
  const auto& settings = fLevel.fSmallEnemy;
  const float circles = static_cast<float>(fLevel.fCircles);
  TSmallEnemy& enemy = *fSmallEnemy[index];
  enemy.fShootValue = settings.ShootValue;
  enemy.Reset();
  enemy.fPos = (static_cast<float>(Rnd(RoundToInt(settings.MaxCreateDist - settings.MinCreateDist) * 1000)) / 1000 +
                settings.MinCreateDist) /
                   circles +
               fLevel.fPos;
  enemy.fRoll = static_cast<float>(Rnd(360) - 180);
  enemy.fRollSpeed =
      static_cast<float>(Rnd(RoundToInt(settings.MaxRollSpeed - settings.MinRollSpeed) * 100)) / 100 + settings.MinRollSpeed;
  if (Rnd(2) == 0) enemy.fRollSpeed = -enemy.fRollSpeed;
  enemy.fSpeed =
      -(static_cast<float>(Rnd(RoundToInt(settings.MaxSpeed - settings.MinSpeed) * 100)) / 100 + settings.MinSpeed) /
      circles;
  enemy.fExplodeTime = settings.ExplodeTime;
  enemy.fExplodeSize = settings.ExplodeSize;
}

void TSmallEnemyManager::Render() const {
  const auto& settings = fLevel.fSmallEnemy;
  glLineWidth(1.0f);
  for (const auto& enemy : fSmallEnemy) enemy->RenderOnTube(fLevel.fSpline, settings.Color);
  glColor4f(settings.ParticleColor.r, settings.ParticleColor.g, settings.ParticleColor.b, settings.ParticleColor.a);
  fParticleManager.Render();
}

void TSmallEnemyManager::Clear() {
  fParticleManager.Clear();
  fSmallEnemy.clear();
}
