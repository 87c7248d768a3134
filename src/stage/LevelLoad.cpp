// LevelLoad.cpp -- reading a stage file and starting the stage.
#include <algorithm>
#include <cmath>
#include <string>

#include "objects/Bolt.h"
#include "objects/Boss.h"
#include "objects/MediumEnemyManager.h"
#include "objects/Particle.h"
#include "objects/ParticleManager.h"
#include "objects/PowerUp.h"
#include "objects/Ship.h"
#include "objects/SmallEnemyManager.h"
#include "platform/Platform.h"
#include "services/DataError.h"
#include "services/FatalError.h"
#include "services/IniFile.h"
#include "services/Paths.h"
#include "services/RC4Stream.h"
#include "services/ValueLists.h"
#include "stage/Level.h"

namespace {

// Limits of the values that sizes, divisions and random ranges depend on.
constexpr double kMaxDistance = 100000;  // rings, degrees per second, rings per second

std::string Where(const std::string& fileName, const char* section, const std::string& key) {
  return "Level " + fileName + ", [" + section + "] " + key;
}

}  // namespace

void TLevel::ResetObjects() {
  fPlayer.ParticleManager->Clear();
  fSmallEnemy.Manager->Clear();
  fMediumEnemy.Manager->Clear();
  fBoss->Clear();
  fMediumEnemy.Position.clear();
  while (!fPowerUp.List.empty()) fPowerUp.List.pop_back();
  fBolts.clear();
}

void TLevel::LoadFromFile(const std::string& fileName) {
  ResetObjects();
  TIniFile ini;
  LoadIni(ini, fileName, kLevelKey);

  const int32_t count = ini.ReadInteger("SplinePoints", "count", 0);
  if (count == 0) return;
  Guarded("Level, LoadFromFile: Fehler beim erzeugen und laden von 'fSpline'", [&] {
    if (count < 3 || count > kMaxControlPoints)
      throw EDataError(Where(fileName, "SplinePoints", "count") + " = " + std::to_string(count) +
                       ": ein Pfad braucht 3 bis " + std::to_string(kMaxControlPoints) + " Kontrollpunkte");
    T3DPoints points;
    for (int32_t i = 0; i < count; ++i) {
      const TVector3f p = StrToVector3f(ini.ReadString("SplinePoints", "p" + std::to_string(i), "0;0;0"));
      points.x.push_back(p.x);
      points.y.push_back(p.y);
      points.z.push_back(p.z);
    }
    fSpline.SetPoints(*this, points);
  });

  fTubeSize = ini.ReadFloat("Level", "TubeSize", 4);
  fPowerUp.Scale = ini.ReadFloat("Level", "PowerUpScale", 0.4f);
  fCircles = ini.ReadInteger("Level", "Circles", 1200);
  fPointsPerCircle = ini.ReadInteger("Level", "PointsPerCircle", 20);
  fEndLength = ini.ReadInteger("Level", "EndLength", 50);
  fShootInterval = static_cast<float>(ini.ReadInteger("Level", "MaxShootCount", 100));
  fCamera.Height = ini.ReadFloat("Camera", "Height", 0.5f);
  fCamera.Dist = ini.ReadFloat("Camera", "Dist", 5);
  fCamera.EndAngle = ini.ReadFloat("Camera", "EndAngle", 85);
  fCamera.EndHeight = ini.ReadFloat("Camera", "EndHeight", 10);
  fPlayer.MinSpeed = ini.ReadFloat("Player", "MinSpeed", 10);
  fPlayer.MaxSpeed = ini.ReadFloat("Player", "MaxSpeed", 25);
  fPlayer.ParticleLifeTime = ini.ReadFloat("Player", "ParticleLifeTime", 2000);
  fSmallEnemy.MinCreateDist = ini.ReadFloat("SmallEnemy", "MinCreateDist", 50);
  fSmallEnemy.MaxCreateDist = ini.ReadFloat("SmallEnemy", "MaxCreateDist", 200);
  fSmallEnemy.MinRollSpeed = ini.ReadFloat("SmallEnemy", "MinRollSpeed", 10);
  fSmallEnemy.MaxRollSpeed = ini.ReadFloat("SmallEnemy", "MaxRollSpeed", 30);
  fSmallEnemy.MinSpeed = ini.ReadFloat("SmallEnemy", "MinSpeed", 0);
  fSmallEnemy.MaxSpeed = ini.ReadFloat("SmallEnemy", "MaxSpeed", 15);
  fSmallEnemy.ExplodeSize = ini.ReadFloat("SmallEnemy", "ExplodeSize", 1);
  fSmallEnemy.ParticleSpeed = ini.ReadFloat("SmallEnemy", "ParticleSpeed", 15);
  fSmallEnemy.ExplodeTime = static_cast<float>(ini.ReadInteger("SmallEnemy", "ExplodeTime", 500));
  fSmallEnemy.ShootValue = ini.ReadInteger("SmallEnemy", "ShootValue", -5000);
  fMediumEnemy.ExplodeSize = ini.ReadFloat("MediumEnemy", "ExplodeSize", 1);
  fMediumEnemy.RollSpeed = ini.ReadFloat("MediumEnemy", "RollSpeed", 90);
  fMediumEnemy.ParticleSpeed = ini.ReadFloat("MediumEnemy", "ParticleSpeed", 15);
  fMediumEnemy.ActionDist = ini.ReadFloat("MediumEnemy", "ActionDist", 30);
  fMediumEnemy.PlayerDist = ini.ReadFloat("MediumEnemy", "PlayerDist", 15);
  fMediumEnemy.ExplodeTime = static_cast<float>(ini.ReadInteger("MediumEnemy", "ExplodeTime", 500));
  fMediumEnemy.Life = ini.ReadInteger("MediumEnemy", "Life", 10);
  fMediumEnemy.ShootValue = ini.ReadInteger("MediumEnemy", "ShootValue", -1000);
  fBoss->fRollSpeed = ini.ReadFloat("Boss", "RollSpeed", 20);
  fBoss->fLife = ini.ReadInteger("Boss", "Life", 800);
  fBoss->fMaxLife = fBoss->fLife;

  // Values that size buffers, divide or bound random draws.
  RequireRange(Where(fileName, "Level", "TubeSize"), fTubeSize, 0.001, 1e6);
  RequireRange(Where(fileName, "Level", "Circles"), fCircles, 1, kMaxCircles);
  RequireRange(Where(fileName, "Level", "PointsPerCircle"), fPointsPerCircle, kMinPointsPerCircle, kMaxPointsPerCircle);
  RequireRange(Where(fileName, "Level", "EndLength"), fEndLength, 0, kMaxEndLength);
  if (int64_t{fCircles + fEndLength + 1} * (fPointsPerCircle + 1) > kMaxTubeGridPoints)
    throw EDataError("Level " + fileName + ": Circles, EndLength und PointsPerCircle ergeben mehr als " +
                     std::to_string(kMaxTubeGridPoints) + " Punkte der R\xF6hre");
  RequireRange(Where(fileName, "SmallEnemy", "MinCreateDist"), fSmallEnemy.MinCreateDist, 0, kMaxDistance);
  RequireRange(Where(fileName, "SmallEnemy", "MaxCreateDist"), fSmallEnemy.MaxCreateDist, 0, kMaxDistance);
  RequireRange(Where(fileName, "SmallEnemy", "MinRollSpeed"), fSmallEnemy.MinRollSpeed, -kMaxDistance, kMaxDistance);
  RequireRange(Where(fileName, "SmallEnemy", "MaxRollSpeed"), fSmallEnemy.MaxRollSpeed, -kMaxDistance, kMaxDistance);
  RequireRange(Where(fileName, "SmallEnemy", "MinSpeed"), fSmallEnemy.MinSpeed, -kMaxDistance, kMaxDistance);
  RequireRange(Where(fileName, "SmallEnemy", "MaxSpeed"), fSmallEnemy.MaxSpeed, -kMaxDistance, kMaxDistance);

  fPathLength = 0;
  for (int32_t i = 1; i <= fCircles; ++i) {
    const TVector3f a = fSpline.GetPoint(static_cast<float>(i - 1) / static_cast<float>(fCircles));
    const TVector3f b = fSpline.GetPoint(static_cast<float>(i) / static_cast<float>(fCircles));
    fPathLength += std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y) + (b.z - a.z) * (b.z - a.z));
  }
  if (!(fPathLength > 0) || !std::isfinite(fPathLength))
    throw EDataError("Level " + fileName + ", [SplinePoints]: alle Kontrollpunkte liegen aufeinander");

  StrToVector4f(ini.ReadString("Level", "TubeStartColor", "  1;  1;  0;  1"), fTubeStartColor);
  StrToVector4f(ini.ReadString("Level", "TubeEndColor", "  0;  0;  1;  1"), fTubeEndColor);
  StrToVector4f(ini.ReadString("Player", "ShipColor", "  1;  1;  0;  1"), fPlayer.ShipColor);
  StrToVector4f(ini.ReadString("Player", "ParticleColor", "  0;  1;  0;  1"), fPlayer.ParticleColor);
  StrToVector4f(ini.ReadString("SmallEnemy", "Color", "  1;  1;  1;  1"), fSmallEnemy.Color);
  StrToVector4f(ini.ReadString("SmallEnemy", "ParticleColor", "  1;  0;  0;  1"), fSmallEnemy.ParticleColor);
  StrToVector4f(ini.ReadString("MediumEnemy", "Color", "  1;  1;  1;  1"), fMediumEnemy.Color);
  StrToVector4f(ini.ReadString("MediumEnemy", "ParticleColor", "  1;  0;  0;  1"), fMediumEnemy.ParticleColor);
  StrToVector4f(ini.ReadString("Boss", "Color", "  1;  1;  1;  1"), fBoss->fColor);
  StrToVector4f(ini.ReadString("Boss", "ParticleColor", "  1;  0;  0;  1"), fBoss->fParticleColor);

  const int32_t smallCount = ini.ReadInteger("SmallEnemy", "Count", 25);
  RequireRange(Where(fileName, "SmallEnemy", "Count"), smallCount, 0, kMaxSmallEnemies);
  fSmallEnemy.Manager->SetCount(smallCount);

  // Model paths as written in the stage file are taken relative to the
  // program's folder, so the game finds them wherever it is started from.
  const std::string dir = ProgramDir();
  auto path = [&](const char* section, const char* key, const char* fallback) {
    return ProgramPath(dir, ini.ReadString(section, key, fallback));
  };
  fPlayer.Ship->LoadFromFile(path("Player", "Ship", "data\\Player.ship"));
  fPlayer.Ship->fScale = ini.ReadFloat("Player", "ShipScale", 0.015f);
  fPlayer.Ship->CalcExtents(*this);
  fSmallEnemy.Ship->LoadFromFile(path("SmallEnemy", "Ship", "data\\SmallEnemy.ship"));
  fSmallEnemy.Ship->fScale = ini.ReadFloat("SmallEnemy", "ShipScale", 0.015f);
  fSmallEnemy.Ship->CalcExtents(*this);
  fMediumEnemy.Ship->LoadFromFile(path("MediumEnemy", "Ship", "data\\MediumEnemy.ship"));
  fMediumEnemy.Ship->fScale = ini.ReadFloat("MediumEnemy", "ShipScale", 0.03f);
  fMediumEnemy.Ship->CalcExtents(*this);
  fPlayer.Particle->LoadFromFile(path("Player", "Particle", "data\\Player.part"));
  fPlayer.Particle->fScale = ini.ReadFloat("Player", "ParticleScale", 0.003f);
  fSmallEnemy.Particle->LoadFromFile(path("SmallEnemy", "Particle", "data\\SmallEnemy.part"));
  fSmallEnemy.Particle->fScale = ini.ReadFloat("SmallEnemy", "ParticleScale", 0.003f);
  fMediumEnemy.Particle->LoadFromFile(path("MediumEnemy", "Particle", "data\\MediumEnemy.part"));
  fMediumEnemy.Particle->fScale = ini.ReadFloat("MediumEnemy", "ParticleScale", 0.003f);
  fBoss->fModel->fScale = ini.ReadFloat("Boss", "Scale", 0.075f);
  fBoss->LoadFromFile(path("Boss", "FileName", "data\\Level01.boss"));

  const std::string mediumPositions = ini.ReadString("MediumEnemy", "Position", "0,1;0,2;0,3;");
  for (std::string_view item : TerminatedItems(mediumPositions)) fMediumEnemy.Position.push_back(StrToFloat(item));
  fMediumEnemy.Manager->SetPositions(fMediumEnemy.Position);

  const std::string types = ini.ReadString("Level", "PowerUpType", "");
  const std::string values = ini.ReadString("Level", "PowerUpValue", "");
  const std::string rolls = ini.ReadString("Level", "PowerUpRoll", "");
  const std::string positions = ini.ReadString("Level", "PowerUpPos", "");
  const auto typeItems = TerminatedItems(types);
  const auto valueItems = TerminatedItems(values);
  const auto rollItems = TerminatedItems(rolls);
  const auto posItems = TerminatedItems(positions);
  for (std::size_t i = 0; i < posItems.size(); ++i) {
    if (i >= rollItems.size() || i >= typeItems.size() || i >= valueItems.size())
      throw EDataError("Level " + fileName + ", [Level] PowerUpPos nennt " + std::to_string(posItems.size()) +
                       " Power-ups, PowerUpRoll, PowerUpType oder PowerUpValue weniger");
    auto powerUp = std::make_unique<TPowerUp>();
    powerUp->Pos = StrToFloat(posItems[i]);
    powerUp->Roll = StrToFloat(rollItems[i]);
    powerUp->Kind = PowerUpKindFromLetter(typeItems[i].empty() ? '\0' : typeItems[i].front());
    powerUp->Value = StrToInt(valueItems[i]);
    powerUp->Scale = fPowerUp.Scale;
    fPowerUp.List.push_back(std::move(powerUp));
  }

  const double pickUpSine = fPowerUp.Scale / 2.0 / fTubeSize;
  if (!(std::fabs(pickUpSine) <= 1.0))
    throw EDataError(Where(fileName, "Level", "PowerUpScale") + " = " + FloatToStr(fPowerUp.Scale) +
                     ": gr\xF6\xDF" "er als der Durchmesser der R\xF6hre");
  fPowerUp.Angle = static_cast<float>(std::trunc(2 * std::asin(pickUpSine) * 180 / M_PI) + 1);
  fPowerUp.Length = fPowerUp.Scale / fPathLength;

  fPlayer.Radius = 0;
  for (const TVector3f& v : fPlayer.Ship->fVertices)
    fPlayer.Radius = std::max({fPlayer.Radius, std::fabs(v.x), std::fabs(v.z)});

  fLifeVisible = true;
  fFinish.NameEntry = false;
  fLifeBlinkTime = 0;
  fScore = 0;
  fRoll = 0;
  fTime = 0;
  fPlayer.Weapon = 0;
  fPlayer.ShieldTime = 0;
  fPlayer.ShieldVisible = false;
  fFinish.Time = 0;
  fEndPos = 0;
  fEndRoll = 0;
  fLife = 100;
  fPos = -20.0f / static_cast<float>(fCircles);
  fFileName = fileName;
  fSpeed = fPlayer.MinSpeed;
  fShootTime = fShootInterval - 1;
  fFinish.State = 0;
  fKeyLatch.Clear();
  fProgressReported.fill(false);
  fPlayer.ShieldBlinkTime = 0;
  fFinish.CountTime = 0;
  fFinish.CursorTime = 0;
  fFinish.CursorVisible = false;
  fFinish.EntryIndex = 0;
  fFinish.Points = fFinish.LifeBonus = fFinish.TimeBonus = fFinish.Total = 0;

  BuildTube();
  BuildRings();
  BuildBolts();

  const platform::TScreenSize screen = fPlatform.ScreenSize();
  fPlatform.SetCursorPos(screen.Width / 2, screen.Height / 2);
  fActive = true;
}
