// Enemy.h -- what small and medium enemies share: motion, explosion, the
// shooting timer and the wreck drawing.
#pragma once

#include <cstdint>

#include "services/Types.h"

class T3DSpline;
class TRandom;
class TStageHub;
class TShip;

// Points a kill is worth at the player's speed `speed` between the limits
// (rings per second): 1 at the slowest, 100 at the fastest. Slower than the
// lower limit still earns 1; equal limits count as full speed.
[[nodiscard]] int32_t KillValue(float speed, float minSpeed, float maxSpeed);
// The same for the stage's current speed and its player's limits.
[[nodiscard]] int32_t KillValue(const TStageHub& level);

// The open hit box of a body at one place: path parameter and roll bounds.
// Angles are compared as stored, without wrap-around.
struct THitBox {
  float PosMin, PosMax, RollMin, RollMax;
  // Strictly inside: a shot on the edge misses.
  [[nodiscard]] bool Contains(float pos, float roll) const {
    return PosMin < pos && pos < PosMax && RollMin < roll && roll < RollMax;
  }
};

// The box of `model` placed at (pos, roll).
[[nodiscard]] THitBox HitBoxAt(const TShip& model, float pos, float roll);

class TEnemy {
 public:
  // Stores the model (not owned) and the generator it draws from; explode
  // time 1000 ms; then Reset.
  TEnemy(const TShip* model, TRandom& random);
  virtual ~TEnemy() = default;

  // Back to alive and still; draws the first shoot timer in timer mode.
  void Reset();
  // Starts the explosion unless one is running.
  void Explode();
  void Move(float elapsed);
  // The ship, or its wreck flying apart; nothing when dead.
  virtual void Render() const;
  // Draws the enemy at its place on the tube wall in `color`, fading out
  // while it explodes.
  void RenderOnTube(const T3DSpline& spline, const TVector4f& color) const;
  // The shoot rule for one frame: true when the enemy fires now. Timer mode
  // (shoot value below 0) pays off one period; random mode draws once.
  [[nodiscard]] bool ShootNow(float elapsed);

  float fPos = 0;
  float fRoll = 0;          // degrees, kept in [-180, 180]
  float fSpeed = 0;         // path parameter per second
  float fRollSpeed = 0;     // degrees per second
  float fExplodeSize = 0;   // multiples of the model's size
  float fExplodeTimer = 0;  // ms
  float fExplodeTime = 1000;
  float fShootTimer = 0;    // ms
  int32_t fShootValue = 0;  // < 0: every -value ms; >= 0: at random, once per value ms on average
  bool fExploding = false;
  bool fDead = false;
  const TShip* fModel;

 protected:
  TRandom& fRandom;

  // Steps 2 to 5 of the motion: everything but moving by the own speed.
  void Age(float elapsed);
};
