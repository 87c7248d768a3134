// SmallEnemyManager.cpp -- creating, placing and drawing the swarm.
#include "objects/SmallEnemyManager.h"

#include <cmath>

#include "objects/Ship.h"
#include "objects/StageHub.h"
#include "render/draw/Draw.h"
#include "services/Arith.h"
#include "services/FatalError.h"
#include "services/Random.h"
#include "services/Sound.h"

TSmallEnemyManager::TSmallEnemyManager(TStageHub& level) : fParticleManager(level), fLevel(level) {}

void TSmallEnemyManager::SetCount(int32_t count) {
  fSmallEnemy.clear();
  for (int32_t i = 0; i < count; ++i) {
    fSmallEnemy.push_back(std::make_unique<TSmallEnemy>(fLevel.fSmallEnemy.Ship.get(), fLevel.Random()));
    Spawn(fSmallEnemy.size() - 1);
  }
}

void TSmallEnemyManager::Spawn(std::size_t index) {
  const auto& settings = fLevel.fSmallEnemy;
  const float circles = static_cast<float>(fLevel.fCircles);
  TSmallEnemy& enemy = *fSmallEnemy[index];
  enemy.fShootValue = EnemyShootValue(fLevel.Rules(), settings.ShootValue);
  enemy.Reset();
  enemy.fPos = (static_cast<float>(fLevel.Random().Rnd(RoundToInt32(settings.MaxCreateDist - settings.MinCreateDist) * 1000)) / 1000 +
                settings.MinCreateDist) /
                   circles +
               fLevel.fPos;
  enemy.fRoll = static_cast<float>(fLevel.Random().Rnd(360) - 180);
  enemy.fRollSpeed =
      static_cast<float>(fLevel.Random().Rnd(RoundToInt32(settings.MaxRollSpeed - settings.MinRollSpeed) * 100)) / 100 + settings.MinRollSpeed;
  if (fLevel.Random().Rnd(2) == 0) enemy.fRollSpeed = -enemy.fRollSpeed;
  enemy.fSpeed =
      -(static_cast<float>(fLevel.Random().Rnd(RoundToInt32(settings.MaxSpeed - settings.MinSpeed) * 100)) / 100 + settings.MinSpeed) /
      circles;
  enemy.fExplodeTime = settings.ExplodeTime;
  enemy.fExplodeSize = settings.ExplodeSize;
}

void TSmallEnemyManager::Progress(float elapsed) {
  TStageHub& level = fLevel;
  const float circles = static_cast<float>(level.fCircles);
  const float c = level.fPos;
  const float p = level.ShipPos();
  const float r = level.fRoll;
  const TShip& ship = *level.fPlayer.Ship;
  for (std::size_t i = 0; i < fSmallEnemy.size(); ++i) {
    TSmallEnemy& enemy = *fSmallEnemy[i];
    GuardedItem("SmallEnemyManager, Progress: Fehler beim Abarbeiten von 'fSmallEnemy(", i, ")'", [&] {
      enemy.Move(elapsed);
      if (enemy.fPos < c) enemy.Explode();
      if (enemy.fDead && c + level.fSmallEnemy.MaxCreateDist / circles < 1) Spawn(i);
    });
    const TShip& model = *enemy.fModel;
    GuardedItem("SmallEnemyManager, Progress: Fehler beim Kollisionstest von 'fPlayer.ParticleManager' und 'fSmallEnemy(",
              i, ")'", [&] {
                // Once it explodes the enemy takes no further shot.
                if (enemy.fExploding) return;
                const THitBox box = HitBoxAt(model, enemy.fPos, enemy.fRoll);
                level.fPlayer.ParticleManager->TakeHits(box, [&] {
                  enemy.Explode();
                  level.Sound().Play(level.fSounds.Hit0, false, 75);
                  level.AddScore(KillValue(level));
                  return false;  // one shot is enough
                });
              });
    GuardedItem("SmallEnemyManager, Progress: Fehler beim Kollisionstest von 'fPlayer' und 'fSmallEnemy(", i, ")'", [&] {
      if (enemy.fExploding) return;
      if (p + ship.fPosMax > enemy.fPos + model.fPosMin && p + ship.fPosMin < enemy.fPos + model.fPosMax &&
          r + ship.fRollMax > enemy.fRoll + model.fRollMin && r + ship.fRollMin < enemy.fRoll + model.fRollMax) {
        enemy.Explode();
        level.Sound().Play(level.fSounds.Hit0, false, 75);
        level.HitPlayer(THitCause::SmallBody);
      }
    });
    GuardedItem("SmallEnemyManager, Progress: Fehler beim Schie\xDF" "en (", i, ")", [&] {
      // A wreck that has burnt out is not there any more: it does not fire.
      if (enemy.fDead) return;
      if (!enemy.ShootNow(elapsed)) return;
      const float shotSpeed = level.fSmallEnemy.ParticleSpeed * level.Rules().EnemyShotSpeed;
      fParticleManager.Add(level.fSmallEnemy.Particle.get())
          .Init(false, enemy.fPos, enemy.fRoll, enemy.fSpeed - shotSpeed / circles, 0, 0, 0, 5000);
    });
  }
  Guarded("SmallEnemyManager, Progress: Fehler beim Abarbeiten von 'fParticleManager'", [&] {
    fParticleManager.CheckPlayerHit(THitCause::SmallShot);
    fParticleManager.Progress(elapsed);
  });
}

void TSmallEnemyManager::Render() const {
  const auto& settings = fLevel.fSmallEnemy;
  gfx::LineWidth(1.0f);
  for (const auto& enemy : fSmallEnemy) enemy->RenderOnTube(fLevel.fSpline, settings.Color);
  gfx::Color(settings.ParticleColor.r, settings.ParticleColor.g, settings.ParticleColor.b, settings.ParticleColor.a);
  fParticleManager.Render(kEnemyShotMinSize);
}

void TSmallEnemyManager::Clear() {
  fParticleManager.Clear();
  fSmallEnemy.clear();
}
