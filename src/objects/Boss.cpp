// Boss.cpp -- loading the boss file and drawing the boss.
#include "objects/Boss.h"

#include <cmath>
#include <string_view>

#include "objects/Enemy.h"
#include "objects/Particle.h"
#include "render/GL.h"
#include "render/TubeTransform.h"
#include "services/Arith.h"
#include "services/DataError.h"
#include "services/FatalError.h"
#include "services/IniFile.h"
#include "services/Paths.h"
#include "services/Sound.h"
#include "services/ValueLists.h"
#include "stage/Level.h"

namespace {

// Value i of a list whose values each end with ';'. A missing value is
// empty, which fails its conversion.
std::string_view Item(const std::vector<std::string_view>& items, std::size_t i) {
  return i < items.size() ? items[i] : std::string_view{};
}

}  // namespace

TBoss::TBoss(TLevel& level) : fModel(std::make_unique<TShip>()), fParticleManager(level), fLevel(level) {}

TBoss::~TBoss() = default;

void TBoss::LoadFromFile(const std::string& fileName) {
  Clear();
  CheckFileExists(fileName, "Boss, LoadFromFile: ");
  fModel->LoadFromFile(fileName);
  fModel->CalcExtents(fLevel);

  TIniFile ini;
  ini.LoadFromFile(fileName);
  fPos = static_cast<float>(fLevel.fEndLength) / static_cast<float>(fLevel.fCircles) + 1;
  fRoll = 0;
  fClock = 0;
  fMaxTime = static_cast<float>(ini.ReadInteger("FirePoints", "MaxTime", 0));
  fActive = false;

  const int32_t count = ReadCount(ini, "Boss " + fileName, "FirePoints", "count", kMaxBossCount);
  std::vector<std::pair<int32_t, int32_t>> places;  // x and z on the model
  for (int32_t i = 0; i < count; ++i) {
    const std::string index = std::to_string(i);
    TFirePoint point;
    const std::string text = ini.ReadString("FirePoints", "Point" + index, "0;0;0;0;0;0");
    const std::vector<std::string_view> values = TerminatedItems(text);
    const int32_t x = StrToInt(Item(values, 0));
    const int32_t z = StrToInt(Item(values, 1));
    point.fSpeed = -StrToFloat(Item(values, 2));
    point.fRollSpeed = -StrToFloat(Item(values, 3));
    point.fAccel = -StrToFloat(Item(values, 4));
    point.fRollAccel = -StrToFloat(Item(values, 5));
    point.fLifeTime = static_cast<float>(StrToInt(Item(values, 6)));
    const float scale = StrToFloat(Item(values, 7));
    point.fModel =
        GetParticle(ProgramPath(fLevel.ProgramDir(), ini.ReadString("FirePoints", "Particle" + index, "data\\SmallEnemy.part")),
                    scale);
    point.fNextIndex = 0;
    const std::string times = ini.ReadString("FirePoints", "Point" + index + "TimeList", "");
    for (std::string_view time : TerminatedItems(times)) point.fTimes.push_back(StrToInt(time));
    fFirePoints.push_back(std::move(point));
    places.emplace_back(x, z);
  }

  const double s = fModel->fScale;
  const double r = fLevel.fTubeSize;
  for (std::size_t i = 0; i < fFirePoints.size(); ++i) {
    const auto [x, z] = places[i];
    const double sine = x * s / (2 * r);
    if (!(std::fabs(sine) <= 1.0))
      throw EDataError("Boss " + fileName + ", Point" + std::to_string(i) + ": der Feuerpunkt liegt au\xDF" +
                       "erhalb der R\xF6hre");
    fFirePoints[i].fPos = static_cast<float>(fPos - z / fLevel.fPathLength * s);
    fFirePoints[i].fAngle = static_cast<float>(-std::trunc(2 * std::asin(sine) * 180 / M_PI));
  }

  const int32_t loops = ReadCount(ini, "Boss " + fileName, "Loops", "count", kMaxBossCount);
  fLoops.assign(static_cast<std::size_t>(loops), TBossLoop{});
  for (int32_t i = 0; i < loops; ++i) {
    const std::string text = ini.ReadString("Loops", "Loop" + std::to_string(i), "0;0;0");
    const std::vector<std::string_view> values = TerminatedItems(text);
    TBossLoop& loop = fLoops[static_cast<std::size_t>(i)];
    loop.fJumpTo = StrToInt(Item(values, 0));
    loop.fAt = StrToInt(Item(values, 1));
    loop.fRepeats = StrToInt(Item(values, 2));
    loop.fRemaining = loop.fRepeats;
  }
}

const TParticle* TBoss::GetParticle(const std::string& fileName, float scale) {
  if (std::nearbyint(scale * 10000.0) == 0) scale = 0.003f;
  for (const TBossParticle& cached : fParticles) {
    if (cached.fFileName == fileName && cached.fModel->fScale == scale) return cached.fModel.get();
  }
  const TParticle* result = nullptr;
  Guarded("Boss, LoadFromFile, GetParticle: Fehler beim hinzuf\xFCgen", [&] {
    TBossParticle entry{fileName, std::make_unique<TParticle>()};
    entry.fModel->LoadFromFile(fileName);
    entry.fModel->fScale = scale;
    result = entry.fModel.get();
    fParticles.push_back(std::move(entry));
  });
  return result;
}

void TBoss::Progress(float elapsed) {
  if (!fActive) return;
  fClock += elapsed;
  Guarded("Boss, Progress: Fehler beim Abarbeiten von 'fFirePoints'", [&] { Fire(); });
  Guarded("Boss, Progress: Fehler beim Abarbeiten von 'fLoops'", [&] { RunLoops(); });
  Guarded("Boss, Progress: Fehler beim Zur\xFC" "cksetzen der Zeit", [&] { Wrap(); });
  fRoll += fRollSpeed * elapsed / 1000;
  if (fRoll > 90 || fRoll < -90) fRollSpeed = -fRollSpeed;
  Guarded("Boss, Progress: Fehler bei Kollisionspr\xFC" "fung", [&] { TakeHits(); });
  Guarded("Boss, Progress: Fehler beim Abarbeiten von 'fParticleManager'", [&] {
    fParticleManager.CheckPlayerHit();
    fParticleManager.Progress(elapsed);
  });
}

void TBoss::Fire() {
  const float circles = static_cast<float>(fLevel.fCircles);
  for (TFirePoint& point : fFirePoints) {
    if (point.fNextIndex < 0 || static_cast<std::size_t>(point.fNextIndex) >= point.fTimes.size()) continue;
    if (!(static_cast<float>(point.fTimes[static_cast<std::size_t>(point.fNextIndex)]) < fClock)) continue;
    fParticleManager.Add(point.fModel)
        .Init(true, point.fPos, fRoll + point.fAngle, point.fSpeed / circles, point.fRollSpeed, point.fAccel / circles,
              point.fRollAccel, point.fLifeTime);
    ++point.fNextIndex;
  }
}

void TBoss::RunLoops() {
  for (TBossLoop& loop : fLoops) {
    if (!(loop.fRemaining > 0 && static_cast<float>(loop.fAt) < fClock)) continue;
    fClock = static_cast<float>(loop.fJumpTo) - 1;
    loop.fRemaining -= 1;
    // Each point's next shot becomes its first moment after the new clock.
    for (TFirePoint& point : fFirePoints) {
      const auto count = static_cast<int64_t>(point.fTimes.size());
      int64_t index = int64_t{point.fNextIndex} - 1;
      while (index >= 0 && index < count && static_cast<float>(point.fTimes[static_cast<std::size_t>(index)]) > fClock)
        --index;
      point.fNextIndex = static_cast<int32_t>(index + 1);
    }
  }
}

void TBoss::Wrap() {
  if (!(fClock > fMaxTime)) return;
  fClock -= fMaxTime;
  for (TFirePoint& point : fFirePoints) point.fNextIndex = 0;
  for (TBossLoop& loop : fLoops) loop.fRemaining = loop.fRepeats;
}

void TBoss::TakeHits() {
  const THitBox box = HitBoxAt(*fModel, fPos, fRoll);
  for (TParticleListItem& shot : fLevel.fPlayer.ParticleManager->Items()) {
    if (!box.Contains(shot.fPos, shot.fRoll) || shot.fAge >= shot.fLifeTime) continue;
    fLife -= 1;
    shot.Kill();
    fLevel.fScore = SaturatingAdd(fLevel.fScore, 10);
    if (fLife <= 0) {
      PlaySoundFile(fLevel.fSounds.BossExplode, false, 100);
      auto& finish = fLevel.fFinish;
      finish.State = 1;
      finish.Points = fLevel.fScore;
      finish.LifeBonus = SaturatingAdd(0, int64_t{fLevel.fLife} * 100);
      // A stage passed at time 0 would divide by zero: the bonus saturates.
      finish.TimeBonus = fLevel.fTime > 0 ? RoundToInt32(fLevel.fPathLength * 1000000.0 / fLevel.fTime)
                                          : RoundToInt32(fLevel.fPathLength > 0 ? HUGE_VAL : 0.0);
      finish.Total = SaturatingAdd(SaturatingAdd(finish.Points, finish.TimeBonus), finish.LifeBonus);
    }
  }
}

void TBoss::Render() const {
  glColor4f(fColor.r, fColor.g, fColor.b, fColor.a);
  glPushMatrix();
  ApplyTubeTransform(fLevel.fSpline, fPos, fRoll);
  glLineWidth(1.0f);
  fModel->Render();
  glPopMatrix();
  glColor4f(fParticleColor.r, fParticleColor.g, fParticleColor.b, fParticleColor.a);
  fParticleManager.Render();
}

void TBoss::Clear() {
  fParticles.clear();
  fFirePoints.clear();
  fParticleManager.Clear();
}
