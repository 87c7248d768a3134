// MediumEnemy.cpp -- medium enemies age and explode like the others.
#include "objects/MediumEnemy.h"

void TMediumEnemy::Move(float elapsed) {
  if (fDead) return;
  Age(elapsed);
}
