// MediumEnemyManager.h -- the medium enemies of a stage and their shots.
#pragma once

#include <memory>
#include <vector>

#include "objects/MediumEnemy.h"
#include "objects/ParticleManager.h"

class TStageHub;

class TMediumEnemyManager {
 public:
  explicit TMediumEnemyManager(TStageHub& level);

  // One enemy per path position, in list order, with a random roll.
  void SetPositions(const std::vector<float>& positions);
  // One frame: each enemy within reach of the player shoots, turns toward
  // the player, keeps its distance ahead, ages and takes the player's shots;
  // then the own shots, and the dead are removed for good.
  void Progress(float elapsed);
  void Render() const;
  void Clear();

  std::vector<std::unique_ptr<TMediumEnemy>> fMediumEnemys;
  TParticleManager fParticleManager;

 private:
  TStageHub& fLevel;
};
