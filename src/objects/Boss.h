// Boss.h -- the boss at the end of every stage: its model, fire points,
// timeline loops, shot-model cache and shots.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "objects/ParticleManager.h"
#include "objects/Ship.h"
#include "services/Types.h"

class TStageHub;
class TParticle;

struct TFirePoint {
  float fPos = 0;        // absolute path position of its shots' start
  float fAngle = 0;      // roll offset from the boss's roll, degrees
  float fSpeed = 0;      // rings per second, negated from the file
  float fRollSpeed = 0;  // degrees per second, negated
  float fAccel = 0;      // rings per second squared, negated
  float fRollAccel = 0;  // degrees per second squared, negated
  float fLifeTime = 0;   // ms
  std::vector<int32_t> fTimes;  // timeline moments, ms, ascending
  const TParticle* fModel = nullptr;  // owned by the cache
  int32_t fNextIndex = 0;
};

struct TBossLoop {
  int32_t fJumpTo = 0;
  int32_t fAt = 0;
  int32_t fRemaining = 0;
  int32_t fRepeats = 0;
};

// One cached shot model: the path as looked up and the loaded model.
struct TBossParticle {
  std::string fFileName;
  std::unique_ptr<TParticle> fModel;
};

class TBoss {
 public:
  explicit TBoss(TStageHub& level);
  ~TBoss();

  // Loads model, fire points and loops. The stage sets the model's scale,
  // the colours, roll speed and life first. A missing file is fatal; a
  // malformed value throws EConvertError, an impossible one EDataError.
  void LoadFromFile(const std::string& fileName);
  // The cached shot model of this file at this scale (a scale that rounds
  // to 0 at four decimals means 0.003), loading it on first use.
  const TParticle* GetParticle(const std::string& fileName, float scale);
  // One frame of the fight while fActive: fire points along the timeline,
  // its loops and wrap, the roll swing, the player's shots (the last hit
  // ends the stage with its breakdown), then the own shots.
  void Progress(float elapsed);
  // `flash`: how far the model is in the flash of a hit, 0 .. 1 (white,
  // pale red on a white boss; between, its own colour blended toward it).
  // In the full flash it is drawn a little bolder.
  void Render(float flash = 0) const;
  void Clear();

  TVector4f fColor{1, 1, 1, 1};
  TVector4f fParticleColor{1, 0, 0, 1};
  bool fActive = false;
  float fPos = 0;
  float fRoll = 0;
  float fRollSpeed = 20;
  float fClock = 0;
  float fMaxTime = 0;
  int32_t fLife = 800;
  int32_t fMaxLife = 800;
  std::unique_ptr<TShip> fModel;
  TParticleManager fParticleManager;
  std::vector<TFirePoint> fFirePoints;
  std::vector<TBossLoop> fLoops;
  std::vector<TBossParticle> fParticles;

 private:
  void Fire();
  void RunLoops();
  void Wrap();
  void TakeHits();

  TStageHub& fLevel;
};
