// MediumEnemy.h -- a sturdy ship at a fixed place that needs several hits.
#pragma once

#include <cstdint>

#include "objects/Enemy.h"

class TMediumEnemy : public TEnemy {
 public:
  using TEnemy::TEnemy;
  // Like the base motion without moving by its own speed: the manager pushes
  // it along.
  void Move(float elapsed);

  int32_t fLife = 0;  // hits still needed
};
