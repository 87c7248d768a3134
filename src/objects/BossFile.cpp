// BossFile.cpp -- reading a boss file's fire points and loops.
#include "objects/BossFile.h"

#include <cmath>
#include <string_view>

#include "geometry/SimMath.h"
#include "services/DataError.h"
#include "services/IniFile.h"
#include "services/ValueLists.h"

namespace {

// Value i of a list whose values each end with ';'. A missing value is
// empty, which fails its conversion.
std::string_view Item(const std::vector<std::string_view>& items, std::size_t i) {
  return i < items.size() ? items[i] : std::string_view{};
}

}  // namespace

TBossFileData ReadBossFile(const TIniFile& ini, const std::string& fileName) {
  TBossFileData boss;
  boss.MaxTime = ini.ReadInteger("FirePoints", "MaxTime", 0);
  const int32_t count = ReadCount(ini, "Boss " + fileName, "FirePoints", "count", kMaxBossCount);
  for (int32_t i = 0; i < count; ++i) {
    const std::string index = std::to_string(i);
    TBossFirePointData point;
    const std::string text = ini.ReadString("FirePoints", "Point" + index, "0;0;0;0;0;0");
    const std::vector<std::string_view> values = TerminatedItems(text);
    point.X = StrToInt(Item(values, 0));
    point.Z = StrToInt(Item(values, 1));
    point.Speed = StrToFloat(Item(values, 2));
    point.RollSpeed = StrToFloat(Item(values, 3));
    point.Accel = StrToFloat(Item(values, 4));
    point.RollAccel = StrToFloat(Item(values, 5));
    point.LifeTime = StrToInt(Item(values, 6));
    point.Scale = StrToFloat(Item(values, 7));
    point.Particle = ini.ReadString("FirePoints", "Particle" + index, "data\\SmallEnemy.part");
    const std::string times = ini.ReadString("FirePoints", "Point" + index + "TimeList", "");
    const std::vector<std::string_view> items = TerminatedItems(times);
    if (items.size() > static_cast<std::size_t>(kMaxBossCount))
      throw EDataError("Boss " + fileName + ", [FirePoints] Point" + index + "TimeList: mehr als " +
                       std::to_string(kMaxBossCount) + " Zeiten");
    for (std::string_view time : items) point.Times.push_back(StrToInt(time));
    boss.FirePoints.push_back(std::move(point));
  }

  const int32_t loops = ReadCount(ini, "Boss " + fileName, "Loops", "count", kMaxBossCount);
  for (int32_t i = 0; i < loops; ++i) {
    const std::string text = ini.ReadString("Loops", "Loop" + std::to_string(i), "0;0;0");
    const std::vector<std::string_view> values = TerminatedItems(text);
    boss.Loops.push_back({StrToInt(Item(values, 0)), StrToInt(Item(values, 1)), StrToInt(Item(values, 2))});
  }
  return boss;
}

float FirePointAngle(int32_t x, double scale, double tubeSize, const std::string& fileName, std::size_t index) {
  const double sine = x * scale / (2 * tubeSize);
  if (!(std::fabs(sine) <= 1.0))
    throw EDataError("Boss " + fileName + ", Point" + std::to_string(index) + ": der Feuerpunkt liegt au\xDF" +
                     "erhalb der R\xF6hre");
  return static_cast<float>(-std::trunc(2 * simmath::Asin(sine) * 180 / M_PI));
}
