// SmallEnemy.cpp -- spinning swarm ships.
#include "objects/SmallEnemy.h"

#include "render/draw/Draw.h"
#include "services/Random.h"

TSmallEnemy::TSmallEnemy(const TShip* model, TRandom& random) : TEnemy(model, random) {
  fSpinAngle = static_cast<float>(fRandom.Rnd(360));
}

void TSmallEnemy::Move(float elapsed) {
  if (!fDead) fSpinAngle += elapsed / 10;
  TEnemy::Move(elapsed);
}

void TSmallEnemy::Render() const {
  if (fDead) return;
  gfx::Rotate(fSpinAngle, 0, 1, 0);
  TEnemy::Render();
}
