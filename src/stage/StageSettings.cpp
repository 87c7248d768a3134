// StageSettings.cpp -- reading and checking a stage file's values.
#include "stage/StageSettings.h"

#include <cmath>

#include "geometry/SimMath.h"
#include "services/DataError.h"
#include "services/IniFile.h"
#include "services/ValueLists.h"

namespace {

std::string Where(const std::string& fileName, const char* section, const std::string& key) {
  return "Level " + fileName + ", [" + section + "] " + key;
}

}  // namespace

T3DPoints ReadControlPoints(const TIniFile& ini, const std::string& fileName) {
  const int32_t count = ini.ReadInteger("SplinePoints", "count", 0);
  if (count < 3 || count > kMaxControlPoints)
    throw EDataError(Where(fileName, "SplinePoints", "count") + " = " + std::to_string(count) +
                     ": ein Pfad braucht 3 bis " + std::to_string(kMaxControlPoints) + " Kontrollpunkte");
  T3DPoints points;
  for (int32_t i = 0; i < count; ++i) {
    const std::string key = "p" + std::to_string(i);
    const std::string text = ini.ReadString("SplinePoints", key, "0;0;0");
    const TVector3f p = StrToVector3f(text);
    // The path would stand still between the two: no direction there for
    // the tube to follow (a count raised past the points does this, since
    // each missing point reads as 0;0;0).
    if (i > 0 && p.x == points.x.back() && p.y == points.y.back() && p.z == points.z.back())
      throw EDataError(Where(fileName, "SplinePoints", key) + " = " + text + ": liegt auf p" + std::to_string(i - 1) +
                       ", der Pfad hat dort keine Richtung");
    points.x.push_back(p.x);
    points.y.push_back(p.y);
    points.z.push_back(p.z);
  }
  return points;
}

TStageSettings ReadStageSettings(const TIniFile& ini, const std::string& fileName, const T3DPoints& points) {
  TStageSettings s;
  // Reads a real and requires it to lie in [low, high].
  auto real = [&](const char* section, const char* key, float def, double low, double high) {
    const float value = ini.ReadFloat(section, key, def);
    RequireRange(Where(fileName, section, key), value, low, high);
    return value;
  };
  auto integer = [&](const char* section, const char* key, int32_t def, double low, double high) {
    const int32_t value = ini.ReadInteger(section, key, def);
    RequireRange(Where(fileName, section, key), value, low, high);
    return value;
  };
  auto model = [&](const char* section, const char* fileKey, const char* file, const char* scaleKey, float scale) {
    return TStageSettings::TModelRef{ini.ReadString(section, fileKey, file),
                                     real(section, scaleKey, scale, -kMaxScale, kMaxScale)};
  };
  constexpr double d = kMaxDistance;

  s.Tube.fTubeSize = real("Level", "TubeSize", 4, 0.001, 1e6);
  s.PowerUpScale = ini.ReadFloat("Level", "PowerUpScale", 0.4f);
  s.Tube.fCircles = integer("Level", "Circles", 1200, 1, kMaxCircles);
  s.PointsPerCircle = integer("Level", "PointsPerCircle", 20, kMinPointsPerCircle, kMaxPointsPerCircle);
  // The end flight's camera divides by the zone's length.
  s.EndLength = integer("Level", "EndLength", 50, 1, kMaxEndLength);
  if (int64_t{s.Tube.fCircles + s.EndLength + 1} * (s.PointsPerCircle + 1) > kMaxTubeGridPoints)
    throw EDataError("Level " + fileName + ": Circles, EndLength und PointsPerCircle ergeben mehr als " +
                     std::to_string(kMaxTubeGridPoints) + " Punkte der R\xF6hre");
  s.ShootInterval = static_cast<float>(integer("Level", "MaxShootCount", 100, 0, kMaxTime));

  s.Camera.Height = real("Camera", "Height", 0.5f, -d, d);
  s.Camera.Dist = real("Camera", "Dist", 5, -d, d);
  s.Camera.EndAngle = real("Camera", "EndAngle", 85, -d, d);
  s.Camera.EndHeight = real("Camera", "EndHeight", 10, -d, d);

  s.Player.MinSpeed = real("Player", "MinSpeed", 10, -d, d);
  s.Player.MaxSpeed = real("Player", "MaxSpeed", 25, -d, d);
  s.Player.ParticleLifeTime = real("Player", "ParticleLifeTime", 2000, 0, kMaxTime);

  auto& small = s.SmallEnemy;
  small.MinCreateDist = real("SmallEnemy", "MinCreateDist", 50, 0, d);
  small.MaxCreateDist = real("SmallEnemy", "MaxCreateDist", 200, 0, d);
  small.MinRollSpeed = real("SmallEnemy", "MinRollSpeed", 10, -d, d);
  small.MaxRollSpeed = real("SmallEnemy", "MaxRollSpeed", 30, -d, d);
  small.MinSpeed = real("SmallEnemy", "MinSpeed", 0, -d, d);
  small.MaxSpeed = real("SmallEnemy", "MaxSpeed", 15, -d, d);
  small.ExplodeSize = real("SmallEnemy", "ExplodeSize", 1, -d, d);
  small.ParticleSpeed = real("SmallEnemy", "ParticleSpeed", 15, -d, d);
  // The wreck fades by the share of the explosion time gone.
  small.ExplodeTime = static_cast<float>(integer("SmallEnemy", "ExplodeTime", 500, 1, kMaxTime));
  small.ShootValue = integer("SmallEnemy", "ShootValue", -5000, -kMaxShootValue, kMaxShootValue);

  auto& medium = s.MediumEnemy;
  medium.ExplodeSize = real("MediumEnemy", "ExplodeSize", 1, -d, d);
  medium.RollSpeed = real("MediumEnemy", "RollSpeed", 90, -d, d);
  medium.ParticleSpeed = real("MediumEnemy", "ParticleSpeed", 15, -d, d);
  medium.ActionDist = real("MediumEnemy", "ActionDist", 30, -d, d);
  medium.PlayerDist = real("MediumEnemy", "PlayerDist", 15, -d, d);
  medium.ExplodeTime = static_cast<float>(integer("MediumEnemy", "ExplodeTime", 500, 1, kMaxTime));
  // Each hit takes one; 0 or less falls at the first.
  medium.Life = integer("MediumEnemy", "Life", 10, -kMaxBossLife, kMaxBossLife);
  medium.ShootValue = integer("MediumEnemy", "ShootValue", -1000, -kMaxShootValue, kMaxShootValue);

  s.Boss.RollSpeed = real("Boss", "RollSpeed", 20, -d, d);
  // The boss bar shows the share of life left.
  s.Boss.Life = integer("Boss", "Life", 800, 1, kMaxBossLife);

  // The path, measured ring by ring.
  T3DSpline spline;
  spline.SetPoints(s.Tube, points);
  for (int32_t i = 1; i <= s.Tube.fCircles; ++i) {
    const TVector3f a = spline.GetPoint(static_cast<float>(i - 1) / static_cast<float>(s.Tube.fCircles));
    const TVector3f b = spline.GetPoint(static_cast<float>(i) / static_cast<float>(s.Tube.fCircles));
    s.PathLength += std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y) + (b.z - a.z) * (b.z - a.z));
  }
  if (!(s.PathLength > 0) || !std::isfinite(s.PathLength))
    throw EDataError("Level " + fileName + ", [SplinePoints]: alle Kontrollpunkte liegen aufeinander");

  s.ArenaHint = ini.ReadBool("Level", "ArenaHint", false);
  StrToVector4f(ini.ReadString("Level", "TubeStartColor", "  1;  1;  0;  1"), s.TubeStartColor);
  StrToVector4f(ini.ReadString("Level", "TubeEndColor", "  0;  0;  1;  1"), s.TubeEndColor);
  StrToVector4f(ini.ReadString("Player", "ShipColor", "  1;  1;  0;  1"), s.Player.ShipColor);
  StrToVector4f(ini.ReadString("Player", "ParticleColor", "  0;  1;  0;  1"), s.Player.ParticleColor);
  StrToVector4f(ini.ReadString("SmallEnemy", "Color", "  1;  1;  1;  1"), small.Color);
  StrToVector4f(ini.ReadString("SmallEnemy", "ParticleColor", "  1;  0;  0;  1"), small.ParticleColor);
  StrToVector4f(ini.ReadString("MediumEnemy", "Color", "  1;  1;  1;  1"), medium.Color);
  StrToVector4f(ini.ReadString("MediumEnemy", "ParticleColor", "  1;  0;  0;  1"), medium.ParticleColor);
  StrToVector4f(ini.ReadString("Boss", "Color", "  1;  1;  1;  1"), s.Boss.Color);
  StrToVector4f(ini.ReadString("Boss", "ParticleColor", "  1;  0;  0;  1"), s.Boss.ParticleColor);

  small.Count = integer("SmallEnemy", "Count", 25, 0, kMaxSmallEnemies);

  s.Player.Ship = model("Player", "Ship", "data\\Player.ship", "ShipScale", 0.015f);
  small.Ship = model("SmallEnemy", "Ship", "data\\SmallEnemy.ship", "ShipScale", 0.015f);
  medium.Ship = model("MediumEnemy", "Ship", "data\\MediumEnemy.ship", "ShipScale", 0.03f);
  s.Player.Particle = model("Player", "Particle", "data\\Player.part", "ParticleScale", 0.003f);
  small.Particle = model("SmallEnemy", "Particle", "data\\SmallEnemy.part", "ParticleScale", 0.003f);
  medium.Particle = model("MediumEnemy", "Particle", "data\\MediumEnemy.part", "ParticleScale", 0.003f);
  s.Boss.Model = model("Boss", "FileName", "data\\Level01.boss", "Scale", 0.075f);

  const std::string mediumPositions = ini.ReadString("MediumEnemy", "Position", "0,1;0,2;0,3;");
  for (std::string_view item : TerminatedItems(mediumPositions)) medium.Position.push_back(StrToFloat(item));

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
    TPowerUp powerUp;
    powerUp.Pos = StrToFloat(posItems[i]);
    powerUp.Roll = StrToFloat(rollItems[i]);
    powerUp.Kind = PowerUpKindFromLetter(typeItems[i].empty() ? '\0' : typeItems[i].front());
    powerUp.Value = StrToInt(valueItems[i]);
    powerUp.Scale = s.PowerUpScale;
    s.PowerUps.push_back(powerUp);
  }

  const double pickUpSine = s.PowerUpScale / 2.0 / s.Tube.fTubeSize;
  if (!(std::fabs(pickUpSine) <= 1.0))
    throw EDataError(Where(fileName, "Level", "PowerUpScale") + " = " + FloatToStr(s.PowerUpScale) +
                     ": gr\xF6\xDF" "er als der Durchmesser der R\xF6hre");
  s.PowerUpAngle = static_cast<float>(std::trunc(2 * simmath::Asin(pickUpSine) * 180 / M_PI) + 1);
  s.PowerUpLength = s.PowerUpScale / s.PathLength;
  return s;
}
