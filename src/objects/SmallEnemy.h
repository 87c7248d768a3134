// SmallEnemy.h -- a swarm ship: spins about its own axis as it flies.
#pragma once

#include "objects/Enemy.h"

class TSmallEnemy : public TEnemy {
 public:
  // The base enemy with a random spin angle in [0, 360).
  TSmallEnemy(const TShip* model, TRandom& random);
  void Move(float elapsed);
  void Render() const override;

  float fSpinAngle = 0;  // degrees, 100 per second
};
