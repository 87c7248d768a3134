// StageSettings.h -- every value a stage file gives, read and checked
// without building anything that draws (the stage loader applies them; the
// stage-file fuzzer reads them alone).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/Spline3D.h"
#include "objects/PowerUp.h"
#include "services/Types.h"

class TIniFile;

// Documented limits of stage values: anything outside is a load error.
inline constexpr int32_t kMaxControlPoints = 100000;
inline constexpr int32_t kMaxCircles = 100000;
inline constexpr int32_t kMinPointsPerCircle = 4;
inline constexpr int32_t kMaxPointsPerCircle = 360;
inline constexpr int32_t kMaxEndLength = 100000;
inline constexpr int64_t kMaxTubeGridPoints = 2000000;  // (Circles + EndLength + 1) x (PointsPerCircle + 1)
inline constexpr double kMaxDistance = 100000;          // rings, degrees, (degrees or rings) per second, radii
inline constexpr double kMaxTime = 1e9;                 // ms
inline constexpr double kMaxScale = 1000;               // model scales
inline constexpr int32_t kMaxShootValue = 1000000000;   // ms, either sign
inline constexpr int32_t kMaxSmallEnemies = 10000;
inline constexpr int32_t kMaxBossLife = 1000000000;

struct TStageSettings {
  TTubeDimensions Tube;  // TubeSize, Circles
  int32_t PointsPerCircle = 20;
  int32_t EndLength = 50;  // rings
  float PowerUpScale = 0.4f;
  float ShootInterval = 100;  // ms (MaxShootCount)
  float PathLength = 0;       // summed over the rings
  TVector4f TubeStartColor, TubeEndColor;

  struct {
    float Height = 0.5f, Dist = 5, EndAngle = 85, EndHeight = 10;
  } Camera;

  // A ship or shot model: the file as written (relative to the program's
  // folder unless absolute) and its scale.
  struct TModelRef {
    std::string File;
    float Scale = 0;
  };

  struct {
    float MinSpeed = 10, MaxSpeed = 25, ParticleLifeTime = 2000;
    TModelRef Ship, Particle;
    TVector4f ShipColor, ParticleColor;
  } Player;

  struct {
    int32_t Count = 25;
    float MinCreateDist = 50, MaxCreateDist = 200, MinRollSpeed = 10, MaxRollSpeed = 30, MinSpeed = 0, MaxSpeed = 15;
    float ExplodeSize = 1, ParticleSpeed = 15, ExplodeTime = 500;
    int32_t ShootValue = -5000;
    TModelRef Ship, Particle;
    TVector4f Color, ParticleColor;
  } SmallEnemy;

  struct {
    float ExplodeSize = 1, RollSpeed = 90, ParticleSpeed = 15, ActionDist = 30, PlayerDist = 15, ExplodeTime = 500;
    int32_t Life = 10, ShootValue = -1000;
    std::vector<float> Position;
    TModelRef Ship, Particle;
    TVector4f Color, ParticleColor;
  } MediumEnemy;

  struct {
    float RollSpeed = 20;
    int32_t Life = 800;
    TModelRef Model;  // the boss file and its scale
    TVector4f Color, ParticleColor;
  } Boss;

  std::vector<TPowerUp> PowerUps;
  // The arena shows its moves for a few seconds as the ship arrives: the
  // first stage of the campaign asks for it.
  bool ArenaHint = false;
  float PowerUpAngle = 0;   // degrees: half width for pick-up
  float PowerUpLength = 0;  // path parameter: half length for pick-up
};

// The path's control points ([SplinePoints] count and p0, p1, ...). Throws
// EDataError for a count outside 3..kMaxControlPoints or two equal
// consecutive points, EConvertError for a malformed point.
[[nodiscard]] T3DPoints ReadControlPoints(const TIniFile& ini, const std::string& fileName);

// Every other value of the stage file, with the path length measured on the
// path through `points`. Malformed values throw EConvertError, values the
// game cannot use (a division by zero, a count beyond its limit, a size
// beyond the tube) EDataError naming the file and the key.
[[nodiscard]] TStageSettings ReadStageSettings(const TIniFile& ini, const std::string& fileName,
                                               const T3DPoints& points);
