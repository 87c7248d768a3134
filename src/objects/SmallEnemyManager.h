// SmallEnemyManager.h -- the swarm of a stage and its shots.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "objects/ParticleManager.h"
#include "objects/SmallEnemy.h"

class TStageHub;

class TSmallEnemyManager {
 public:
  explicit TSmallEnemyManager(TStageHub& level);

  // Creates `count` enemies with the stage's small-enemy ship and spawns
  // each, in index order.
  void SetCount(int32_t count);
  // (Re)places enemy `index` ahead of the camera with random distance,
  // roll, roll speed and speed, drawn in that order.
  void Spawn(std::size_t index);
  // One frame for every enemy by index: move (and respawn the dead while
  // there is room ahead), the player's shots, ramming, shooting; then the
  // own shots against the player and their motion. Each step is guarded
  // with its fatal message.
  void Progress(float elapsed);
  void Render() const;
  void Clear();

  std::vector<std::unique_ptr<TSmallEnemy>> fSmallEnemy;
  TParticleManager fParticleManager;

 private:
  TStageHub& fLevel;
};
