// StageHub.cpp -- the changes objects make to their stage.
#include "objects/StageHub.h"

#include "objects/MediumEnemyManager.h"
#include "objects/ParticleManager.h"
#include "objects/Ship.h"
#include "objects/SmallEnemyManager.h"
#include "services/Arith.h"
#include "services/Sound.h"

TStageHub::TStageHub(TRandom& random, TSound& sound) : fRandom(random), fSound(sound) {}

TStageHub::~TStageHub() = default;

void TStageHub::AddScore(int32_t points) { fScore = SaturatingAdd(fScore, points); }

void TStageHub::HitPlayer() {
  if (fPlayer.ShieldTime > 0 || fPlayer.GraceTime > 0) return;
  fLife -= 1;
  ++fHitsTaken;
  fPlayer.GraceTime = Rules().GraceMs;
  fSound.Play(fSounds.Hit1, false, 75);
}
