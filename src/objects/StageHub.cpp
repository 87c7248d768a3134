// StageHub.cpp -- the changes objects make to their stage.
#include "objects/StageHub.h"

#include <algorithm>
#include <utility>

#include "objects/MediumEnemyManager.h"
#include "objects/ParticleManager.h"
#include "objects/Ship.h"
#include "objects/SmallEnemyManager.h"
#include "services/Arith.h"
#include "services/Sound.h"

TStageHub::TStageHub(TRandom& random, TSound& sound) : fRandom(random), fSound(sound) {}

TStageHub::~TStageHub() = default;

void TStageHub::AddScore(int32_t points) { fScore = SaturatingAdd(fScore, points); }

void TStageHub::HitPlayer(THitCause cause, int32_t point) {
  if (fPlayer.ShieldTime > 0 || fPlayer.GraceTime > 0) return;
  fLife -= 1;
  fPlayer.GraceTime = Rules().GraceMs;
  fSound.Play(fSounds.Hit1, false, 75);
  switch (cause) {
    case THitCause::SmallBody:
      ++fHits.SmallBody;
      break;
    case THitCause::SmallShot:
      ++fHits.SmallShot;
      break;
    case THitCause::GunboatShot:
      ++fHits.GunboatShot;
      break;
    case THitCause::BossShot:
      if (point < 0) point = 0;
      if (fHits.BossShot.size() <= static_cast<std::size_t>(point)) fHits.BossShot.resize(static_cast<std::size_t>(point) + 1);
      ++fHits.BossShot[static_cast<std::size_t>(point)];
      break;
  }
}

int32_t THitTally::Total() const {
  int32_t total = SmallBody + SmallShot + GunboatShot;
  for (int32_t hits : BossShot) total += hits;
  return total;
}

std::string THitTally::Text() const {
  std::vector<std::pair<std::string, int32_t>> causes;
  for (std::size_t i = 0; i < BossShot.size(); ++i) causes.emplace_back("boss P" + std::to_string(i), BossShot[i]);
  causes.emplace_back("small body", SmallBody);
  causes.emplace_back("small shot", SmallShot);
  causes.emplace_back("gunboat shot", GunboatShot);
  std::stable_sort(causes.begin(), causes.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  std::string text;
  for (const auto& [name, count] : causes) {
    if (count == 0) continue;
    text += (text.empty() ? "" : ", ") + name + " " + std::to_string(count);
  }
  return text.empty() ? "none" : text;
}
