// Boss.cpp -- loading the boss file and drawing the boss.
#include "objects/Boss.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "objects/BossFile.h"
#include "objects/Enemy.h"
#include "objects/Particle.h"
#include "objects/StageHub.h"
#include "render/draw/Draw.h"
#include "render/TubeTransform.h"
#include "services/Arith.h"
#include "services/DataError.h"
#include "services/FatalError.h"
#include "services/IniFile.h"
#include "services/Paths.h"
#include "services/Sound.h"
#include "services/ValueLists.h"

TBoss::TBoss(TStageHub& level) : fModel(std::make_unique<TShip>(level.Platform())), fParticleManager(level), fLevel(level) {}

TBoss::~TBoss() = default;

void TBoss::LoadFromFile(const std::string& fileName) {
  Clear();
  CheckFileExists(fileName, "Boss, LoadFromFile: ");
  fModel->LoadFromFile(fileName);
  fModel->CalcExtents(fLevel);

  TIniFile ini;
  ini.LoadFromFile(fileName);
  const TBossFileData file = ReadBossFile(ini, fileName);
  fPos = static_cast<float>(fLevel.fEndLength) / static_cast<float>(fLevel.fCircles) + 1;
  fRoll = 0;
  fClock = 0;
  fMaxTime = static_cast<float>(file.MaxTime);
  fActive = false;

  const double s = fModel->fScale;
  for (std::size_t i = 0; i < file.FirePoints.size(); ++i) {
    const TBossFirePointData& data = file.FirePoints[i];
    TFirePoint point;
    point.fSpeed = -data.Speed;
    point.fRollSpeed = -data.RollSpeed;
    point.fAccel = -data.Accel;
    point.fRollAccel = -data.RollAccel;
    point.fLifeTime = static_cast<float>(data.LifeTime);
    point.fModel = GetParticle(ProgramPath(fLevel.ProgramDir(), data.Particle), data.Scale);
    point.fNextIndex = 0;
    point.fTimes = data.Times;
    point.fPos = static_cast<float>(fPos - data.Z / fLevel.fPathLength * s);
    point.fAngle = FirePointAngle(data.X, s, fLevel.fTubeSize, fileName, i);
    fFirePoints.push_back(std::move(point));
  }

  fLoops.clear();
  for (const TBossLoopData& data : file.Loops) fLoops.push_back({data.JumpTo, data.At, data.Repeats, data.Repeats});
}

const TParticle* TBoss::GetParticle(const std::string& fileName, float scale) {
  if (std::nearbyint(scale * 10000.0) == 0) scale = 0.003f;
  for (const TBossParticle& cached : fParticles) {
    if (cached.fFileName == fileName && cached.fModel->fScale == scale) return cached.fModel.get();
  }
  const TParticle* result = nullptr;
  Guarded("Boss, LoadFromFile, GetParticle: Fehler beim hinzuf\xFCgen", [&] {
    TBossParticle entry{fileName, std::make_unique<TParticle>(fLevel.Platform())};
    entry.fModel->LoadFromFile(fileName);
    entry.fModel->fScale = scale;
    result = entry.fModel.get();
    fParticles.push_back(std::move(entry));
  });
  return result;
}

void TBoss::Progress(float elapsed) {
  if (!fActive) return;
  Guarded("Boss, Progress: Fehler beim Abarbeiten von 'fFirePoints'", [&] {
    fClock += elapsed;
    Fire();
  });
  Guarded("Boss, Progress: Fehler beim Abarbeiten von 'fLoops'", [&] { RunLoops(); });
  Guarded("Boss, Progress: Fehler beim Zur\xFC" "cksetzen der Zeit", [&] { Wrap(); });
  fRoll += fRollSpeed * elapsed / 1000;
  if (fRoll > 90 || fRoll < -90) fRollSpeed = -fRollSpeed;
  Guarded("Boss, Progress: Fehler bei Kollisionspr\xFC" "fung", [&] { TakeHits(); });
  Guarded("Boss, Progress: Fehler beim Abarbeiten von 'fParticleManager'", [&] {
    fParticleManager.CheckPlayerHit(THitCause::BossShot);
    fParticleManager.Progress(elapsed);
  });
}

void TBoss::Fire() {
  const float circles = static_cast<float>(fLevel.fCircles);
  const float pace = fLevel.Rules().BossShotSpeed;
  for (std::size_t i = 0; i < fFirePoints.size(); ++i) {
    TFirePoint& point = fFirePoints[i];
    if (point.fNextIndex < 0 || static_cast<std::size_t>(point.fNextIndex) >= point.fTimes.size()) continue;
    if (!(static_cast<float>(point.fTimes[static_cast<std::size_t>(point.fNextIndex)]) < fClock)) continue;
    fParticleManager.Add(point.fModel)
        .Init(true, point.fPos, fRoll + point.fAngle, point.fSpeed * pace / circles, point.fRollSpeed,
              point.fAccel * pace / circles, point.fRollAccel, point.fLifeTime)
        .fSource = static_cast<int32_t>(i);
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
  fLevel.fPlayer.ParticleManager->TakeHits(box, [&] {
    fLife -= 1;
    fLevel.AddScore(10);
    if (fLife <= 0) {
      fLevel.Sound().Play(fLevel.fSounds.BossExplode, false, 100);
      fLevel.PassStage();
    }
    return true;  // every shot in the box hits
  });
}

void TBoss::Render(float flash) const {
  // White, or for a boss that is white already, a pale red.
  const bool white = std::min({fColor.r, fColor.g, fColor.b}) >= 0.8f;
  const TVector4f lit{1, white ? 0.3f : 1, white ? 0.3f : 1, 1};
  const bool full = flash >= 1;
  if (full) {
    gfx::Color(lit.r, lit.g, lit.b, lit.a);
  } else if (flash > 0) {
    auto mix = [flash](float own, float to) { return own + (to - own) * flash; };
    gfx::Color(mix(fColor.r, lit.r), mix(fColor.g, lit.g), mix(fColor.b, lit.b), mix(fColor.a, lit.a));
  } else {
    gfx::Color(fColor.r, fColor.g, fColor.b, fColor.a);
  }
  gfx::PushMatrix();
  ApplyTubeTransform(fLevel.fSpline, fPos, fRoll);
  gfx::LineWidth(full ? 2.0f : 1.0f);
  fModel->Render();
  if (full) gfx::LineWidth(1.0f);
  gfx::PopMatrix();
  gfx::Color(fParticleColor.r, fParticleColor.g, fParticleColor.b, fParticleColor.a);
  fParticleManager.Render();
}

void TBoss::Clear() {
  fParticles.clear();
  fFirePoints.clear();
  fParticleManager.Clear();
}
