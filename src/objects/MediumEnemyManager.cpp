// MediumEnemyManager.cpp -- placing and drawing the medium enemies.
#include "objects/MediumEnemyManager.h"

#include "objects/Ship.h"
#include "objects/StageHub.h"
#include "render/draw/Draw.h"
#include "services/Arith.h"
#include "services/FatalError.h"
#include "services/Random.h"
#include "services/Sound.h"

TMediumEnemyManager::TMediumEnemyManager(TStageHub& level) : fParticleManager(level), fLevel(level) {}

void TMediumEnemyManager::SetPositions(const std::vector<float>& positions) {
  const auto& settings = fLevel.fMediumEnemy;
  for (float position : positions) {
    // Created while its shoot value is still 0, so the timer starts at 0.
    auto enemy = std::make_unique<TMediumEnemy>(settings.Ship.get(), fLevel.Random());
    enemy->fPos = position;
    enemy->fRoll = static_cast<float>(fLevel.Random().Rnd(360));
    enemy->fExplodeSize = settings.ExplodeSize;
    enemy->fExplodeTime = settings.ExplodeTime;
    enemy->fRollSpeed = settings.RollSpeed;
    enemy->fSpeed = 0;
    enemy->fLife = settings.Life;
    enemy->fShootValue = EnemyShootValue(fLevel.Rules(), settings.ShootValue);
    fMediumEnemys.push_back(std::move(enemy));
  }
}

void TMediumEnemyManager::Progress(float elapsed) {
  TStageHub& level = fLevel;
  const auto& settings = level.fMediumEnemy;
  const float circles = static_cast<float>(level.fCircles);
  const float c = level.fPos;
  const float r = level.fRoll;
  for (std::size_t i = 0; i < fMediumEnemys.size(); ++i) {
    TMediumEnemy& enemy = *fMediumEnemys[i];
    if (!(c + (level.fCamera.Dist + settings.ActionDist) / circles > enemy.fPos)) continue;
    const TShip& model = *enemy.fModel;
    GuardedItem("MediumEnemyManager, Progress: Fehler beim Schie\xDF" "en (", i, ")", [&] {
      if (!enemy.ShootNow(elapsed)) return;
      const float speed = enemy.fSpeed - settings.ParticleSpeed * level.Rules().EnemyShotSpeed / circles;
      fParticleManager.Add(settings.Particle.get())
          .Init(false, enemy.fPos, enemy.fRoll + model.fRollMin, speed, 0, 0, 0, 5000);
      fParticleManager.Add(settings.Particle.get())
          .Init(false, enemy.fPos, enemy.fRoll + model.fRollMax, speed, 0, 0, 0, 5000);
    });

    // Turn the shorter way toward the player; hold within 10 degrees.
    const float delta = enemy.fRoll - r;
    const float turn = enemy.fRollSpeed * elapsed / 1000;
    if (delta >= 10) {
      enemy.fRoll += delta < 180 ? -turn : turn;
    } else if (delta <= -10) {
      enemy.fRoll += delta > -180 ? turn : -turn;
    }

    const float ahead = c + (level.fCamera.Dist + settings.PlayerDist) / circles;
    if (enemy.fPos <= ahead) enemy.fPos = ahead;
    enemy.Move(elapsed);

    GuardedItem("MediumEnemyManager, Progress: Fehler beim Kollisionstest von 'fPlayer.ParticleManager' und "
                "'fMediumEnemys(",
                i, ")'", [&] {
                  if (enemy.fExploding) return;
                  const THitBox box = HitBoxAt(model, enemy.fPos, enemy.fRoll);
                  level.fPlayer.ParticleManager->TakeHits(box, [&] {
                    enemy.fLife -= 1;
                    if (enemy.fLife > 0) return true;
                    level.Sound().Play(level.fSounds.Hit2, false, 75);
                    enemy.Explode();
                    level.AddScore(RoundToInt32(KillValue(level) * 10.0));
                    return false;  // the wreck takes no further shot
                  });
                });
  }
  Guarded("MediumEnemyManager, Progress: Fehler beim Abarbeiten von 'fParticleManager'", [&] {
    fParticleManager.CheckPlayerHit(THitCause::GunboatShot);
    fParticleManager.Progress(elapsed);
  });
  for (std::size_t i = fMediumEnemys.size(); i-- > 0;) {
    if (fMediumEnemys[i]->fDead) fMediumEnemys.erase(fMediumEnemys.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

void TMediumEnemyManager::Render() const {
  const auto& settings = fLevel.fMediumEnemy;
  for (const auto& enemy : fMediumEnemys) enemy->RenderOnTube(fLevel.fSpline, settings.Color);
  gfx::Color(settings.ParticleColor.r, settings.ParticleColor.g, settings.ParticleColor.b, settings.ParticleColor.a);
  fParticleManager.Render(kEnemyShotMinSize);
}

void TMediumEnemyManager::Clear() {
  fParticleManager.Clear();
  fMediumEnemys.clear();
}
