// StageHub.h -- what the game objects of a stage share with it: the path and
// the tube, the player, the settings of each kind of object, and the few
// changes an object may make to the stage (score, the player's life, the
// end of a passed stage). The stage is built on it; objects see only this.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "geometry/Spline3D.h"
#include "services/Difficulty.h"
#include "services/Types.h"

namespace platform {
class TPlatform;
}
class TMediumEnemyManager;
class TParticle;
class TParticleManager;
class TRandom;
class TSound;
class TShip;
class TSmallEnemyManager;

// What took a life point from the player.
enum class THitCause : uint8_t { SmallBody, SmallShot, GunboatShot, BossShot };

// The life points lost in this stage, by cause: counted where a hit costs
// one, for whoever reports on a run. Nothing in the game reads it back.
struct THitTally {
  int32_t SmallBody = 0, SmallShot = 0, GunboatShot = 0;
  std::vector<int32_t> BossShot;  // by the boss's fire point

  // "boss P3 12, boss P4 9, small shot 2": the causes by count, most first
  // (ties: the fire points by number, then as the causes are listed); "none" for no hit.
  [[nodiscard]] std::string Text() const;
  // Every life point lost to a hit.
  [[nodiscard]] int32_t Total() const;
};

// fTubeSize (tube radius) and fCircles (rings over the path 0..1) come from
// TTubeDimensions, which the path reads.
class TStageHub : public TTubeDimensions {
 public:
  TStageHub(TRandom& random, TSound& sound);
  virtual ~TStageHub();
  TStageHub(const TStageHub&) = delete;
  TStageHub& operator=(const TStageHub&) = delete;

  // The ship's path parameter: fCamera.Dist rings ahead of the camera.
  [[nodiscard]] float ShipPos() const { return fPos + fCamera.Dist / static_cast<float>(fCircles); }
  // The game's random generator (the menu's), for every draw of the stage.
  [[nodiscard]] TRandom& Random() { return fRandom; }
  // The game's sound (the form's).
  [[nodiscard]] TSound& Sound() { return fSound; }
  // The program folder (stage files name theirs relative to it), with a
  // trailing separator.
  [[nodiscard]] virtual std::string ProgramDir() const = 0;
  // The platform the stage runs on (models need its GL entry points).
  [[nodiscard]] virtual platform::TPlatform& Platform() = 0;

  // A kill or a hit on the boss: points added, saturating.
  void AddScore(int32_t points);
  // The player's ship is hit: one life point and the hit sound, unless the
  // shield is up or the grace after the last hit still runs. `point`: the
  // boss's fire point of a boss shot.
  void HitPlayer(THitCause cause, int32_t point = 0);
  // The numbers of the difficulty the stage is played on.
  [[nodiscard]] const TDifficultyRules& Rules() const { return DifficultyRules(fDifficulty); }
  // The boss is destroyed: the stage ends as passed, with its breakdown.
  virtual void PassStage() = 0;

  T3DSpline fSpline;

  struct {
    float MinCreateDist = 0, MaxCreateDist = 0;  // rings
    float MaxRollSpeed = 0, MinRollSpeed = 0;    // degrees per second
    float MinSpeed = 0, MaxSpeed = 0;            // rings per second
    float ExplodeSize = 0;
    float ParticleSpeed = 0;  // rings per second
    int32_t ShootValue = 0;
    float ExplodeTime = 0;  // ms
    std::unique_ptr<TShip> Ship;
    std::unique_ptr<TSmallEnemyManager> Manager;
    std::unique_ptr<TParticle> Particle;
    TVector4f Color, ParticleColor;
  } fSmallEnemy;

  struct {
    float ExplodeSize = 0, RollSpeed = 0, ParticleSpeed = 0, ExplodeTime = 0, PlayerDist = 0, ActionDist = 0;
    int32_t ShootValue = 0, Life = 0;
    std::unique_ptr<TShip> Ship;
    std::unique_ptr<TMediumEnemyManager> Manager;
    std::unique_ptr<TParticle> Particle;
    TVector4f Color, ParticleColor;
    std::vector<float> Position;  // path parameters
  } fMediumEnemy;

  struct {
    bool ShieldVisible = false;
    float MinSpeed = 0, MaxSpeed = 0;  // rings per second
    float Radius = 0;                  // largest |x| or |z| of the unscaled ship
    float ShieldTime = 0, ShieldBlinkTime = 0, ParticleLifeTime = 0;  // ms
    float GraceTime = 0;  // ms left in which a hit costs nothing
    int32_t Weapon = 0;  // 0..9
    std::unique_ptr<TShip> Ship;
    std::unique_ptr<TParticle> Particle;
    std::unique_ptr<TParticleManager> ParticleManager;
    TVector4f ShipColor, ParticleColor;
  } fPlayer;

  struct {
    float Dist = 0;       // rings
    float Height = 0;     // tube radii
    float EndAngle = 0;   // degrees
    float EndHeight = 0;  // tube radii
  } fCamera;

  // Full paths of the stage's sounds, made once so that frames build no
  // strings.
  struct {
    std::string Laser, Hit0, Hit1, Hit2, BossExplode, MenuChange, MenuEnter;
    std::string PowerUp, BossTick, LowLife;  // what the stage's feedback adds
  } fSounds;


  float fPos = 0;
  float fRoll = 0;   // degrees, -180..180
  float fSpeed = 0;  // rings per second
  float fPathLength = 0;
  float fTime = 0;  // ms
  int32_t fScore = 0;
  int32_t fEndLength = 0;
  int32_t fLife = 0;
  // Chosen before the stage is loaded; the stage keeps it until the next load.
  TDifficulty fDifficulty = TDifficulty::Normal;
  THitTally fHits;

 private:
  TRandom& fRandom;
  TSound& fSound;
};
