// Autopilot.cpp -- the pilot's hands: through the menu to a stage, flying it
// (fire held, dodging, steering for power-ups and targets), the name typed
// into the highscore list, and out of the menu again.
#include "pilot/Autopilot.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "menu/MainMenu.h"
#include "objects/Boss.h"
#include "objects/MediumEnemyManager.h"
#include "objects/ParticleManager.h"
#include "objects/PowerUp.h"
#include "objects/Ship.h"
#include "objects/SmallEnemyManager.h"
#include "geometry/SimMath.h"
#include "platform/VirtualKeys.h"
#include "stage/Level.h"
#include "stage/StageRules.h"

namespace pilot {

namespace {

// The look-ahead: what reaches the ship within kSlots * kSlotMs.
constexpr int kBins = 360;  // one per degree of roll, -180 .. 179
constexpr int kSlots = 32;
constexpr float kSlotMs = 25;
// How fast the pilot's hand rolls the ship (degrees per second).
constexpr float kRollRate = 400;
constexpr float kMargin = 3;  // degrees kept clear of a threat's edge
// How fast the keys move the ship on the arena's floor (rings per second).
constexpr float kArenaSpeed = 10;

int Wrap(int bin) { return ((bin % kBins) + kBins) % kBins; }
int BinOf(float roll) { return Wrap(static_cast<int>(std::lround(roll)) + 180); }
float RollOf(int bin) { return static_cast<float>(bin - 180); }

// Signed shortest turn from a to b in degrees.
float Turn(float a, float b) {
  float d = std::fmod(b - a, 360.0f);
  if (d > 180) d -= 360;
  if (d < -180) d += 360;
  return d;
}

// For each roll the ship could have: the look-ahead slots in which something
// would hit it there.
class TDangerMap {
 public:
  // Ship rolls in (lo, hi), widened by the margin, are hit during `slot`.
  void Mark(float lo, float hi, int slot) {
    if (slot < 0 || slot >= kSlots) return;
    const int first = static_cast<int>(std::floor(lo - kMargin));
    const int last = static_cast<int>(std::ceil(hi + kMargin));
    for (int r = first; r <= last && r - first < kBins; ++r) fMask[static_cast<std::size_t>(Wrap(r + 180))] |= 1u << slot;
  }
  [[nodiscard]] uint32_t At(int bin) const { return fMask[static_cast<std::size_t>(Wrap(bin))]; }

 private:
  std::array<uint32_t, kBins> fMask{};
};

using TMover = TSight::TBody;

// How the ship moves along the path over the look-ahead: at `Speed`, kept
// within [Lo, Hi] (the arena's floor ends).
struct TShipCourse {
  float Pos, Speed;
  float Lo = -1e30f, Hi = 1e30f;
};

// A moving body: where it is relative to the ship over each look-ahead slot.
void MarkMover(TDangerMap& map, const TMover& m, const TShip& ship, const TShipCourse& course) {
  float pos = m.Pos, roll = m.Roll, speed = m.Speed, rollSpeed = m.RollSpeed, p = course.Pos;
  const float shipSpeed = course.Speed;
  const float dt = kSlotMs / 1000;
  for (int slot = 0; slot < kSlots; ++slot) {
    if (static_cast<float>(slot) * kSlotMs >= m.Life) return;  // gone by then
    const float rel0 = pos - p;
    const float roll0 = roll;
    pos += speed * dt;
    roll += rollSpeed * dt;
    speed += m.Accel * dt;
    rollSpeed += m.RollAccel * dt;
    p = std::clamp(p + shipSpeed * dt, course.Lo, course.Hi);
    const float rel1 = pos - p;
    // The boxes overlap along the path when the mover's offset from the ship
    // lies in (ship.fPosMin - PosMax, ship.fPosMax - PosMin).
    const float lo = ship.fPosMin - m.PosMax, hi = ship.fPosMax - m.PosMin;
    if (std::max(rel0, rel1) <= lo || std::min(rel0, rel1) >= hi) {
      if (rel0 < lo && rel1 < lo && speed <= shipSpeed) return;  // behind and falling back
      continue;
    }
    const float rollLo = std::min(roll0, roll), rollHi = std::max(roll0, roll);
    map.Mark(rollLo + m.RollMin - ship.fRollMax, rollHi + m.RollMax - ship.fRollMin, slot);
  }
}

void SeeShots(std::vector<TMover>& seen, const TParticleManager& shots) {
  for (const TParticleListItem& shot : shots.Items()) {
    if (shot.Dead()) continue;
    seen.push_back({shot.fPos, shot.fRoll, shot.fSpeed, shot.fRollSpeed, shot.fAccel, shot.fRollAccel, 0, 0, 0, 0,
                    shot.fLifeTime - shot.fAge});
  }
}

TSight Look(const TLevel& level) {
  TSight sight;
  sight.Time = level.fTime;
  for (const auto& enemy : level.fSmallEnemy.Manager->fSmallEnemy) {
    if (enemy->fDead || enemy->fExploding) continue;
    const TShip& m = *enemy->fModel;
    sight.Enemies.push_back(
        {enemy->fPos, enemy->fRoll, enemy->fSpeed, enemy->fRollSpeed, 0, 0, m.fPosMin, m.fPosMax, m.fRollMin, m.fRollMax});
  }
  SeeShots(sight.Shots, level.fSmallEnemy.Manager->fParticleManager);
  SeeShots(sight.Shots, level.fMediumEnemy.Manager->fParticleManager);
  SeeShots(sight.Shots, level.fBoss->fParticleManager);
  for (const auto& enemy : level.fMediumEnemy.Manager->fMediumEnemys) {
    if (enemy->fExploding || enemy->fDead) continue;
    sight.Gunboats.push_back({enemy->fPos, enemy->fRoll, 0, 0});
  }
  for (const auto& powerUp : level.fPowerUp.List) sight.PowerUps.push_back({powerUp->Pos, powerUp->Roll, powerUp->Kind});
  if (level.ShipPos() >= 1 && level.fBoss->fActive) {
    const TBoss& boss = *level.fBoss;
    sight.Boss = TMover{boss.fPos, boss.fRoll, 0, boss.fRollSpeed, 0, 0, 0, 0, boss.fModel->fRollMin, boss.fModel->fRollMax};
  }
  return sight;
}

// A uniform number in (0, 1) from 32 bits of the engine.
double Uniform(std::mt19937& engine) { return (static_cast<double>(engine()) + 0.5) / 4294967296.0; }

}  // namespace

void TSight::Advance(float ms) {
  // In steps no longer than the look-ahead's, as it would carry them on.
  while (ms > 0) {
    const float dt = std::min(ms, kSlotMs) / 1000;
    ms -= kSlotMs;
    for (std::vector<TBody>* bodies : {&Enemies, &Shots}) {
      for (TBody& b : *bodies) {
        b.Pos += b.Speed * dt;
        b.Roll += b.RollSpeed * dt;
        b.Speed += b.Accel * dt;
        b.RollSpeed += b.RollAccel * dt;
        b.Life -= dt * 1000;
      }
    }
    if (Boss) {
      // It swings between -90 and 90 degrees.
      Boss->Roll += Boss->RollSpeed * dt;
      if (Boss->Roll > 90 || Boss->Roll < -90) Boss->RollSpeed = -Boss->RollSpeed;
    }
  }
}

TAutopilot::TAutopilot(platform::TPlatform& inner, TPilotOptions options)
    : TPlatformDecorator(inner),
      fOptions(std::move(options)),
      fNoiseEngine(fOptions.Seed ? *fOptions.Seed : static_cast<uint32_t>(inner.PerformanceCounter())) {
  const platform::TScreenSize screen = inner.ClientSize();
  fCursorX = screen.Width / 2;
  fCursorY = screen.Height / 2;
  fCounter = inner.PerformanceCounter();
  if (fOptions.FixedStepMs > 0)
    fStep = static_cast<uint64_t>(std::llround(fOptions.FixedStepMs * static_cast<double>(inner.PerformanceFrequency()) / 1000.0));
}

uint64_t TAutopilot::PerformanceCounter() { return fStep > 0 ? fCounter : Inner().PerformanceCounter(); }

void TAutopilot::GetCursorPos(int& x, int& y) {
  x = fCursorX;
  y = fCursorY;
}

void TAutopilot::SetCursorPos(int x, int y) {
  fCursorX = x;
  fCursorY = y;
}

int TAutopilot::GetSwapInterval() { return fStep > 0 ? fSwapInterval : Inner().GetSwapInterval(); }

void TAutopilot::SetSwapInterval(int interval) {
  // With a fixed step the frames come as fast as they can be drawn.
  if (fStep > 0) {
    fSwapInterval = interval;
    if (Inner().HasSwapControl() && Inner().GetSwapInterval() != 0) Inner().SetSwapInterval(0);
  } else {
    Inner().SetSwapInterval(interval);
  }
}

platform::TEvents TAutopilot::PumpEvents() {
  const platform::TEvents events = Inner().PumpEvents();
  fCounter += fStep;
  Decide();
  return events;
}

bool TAutopilot::AllWon() const {
  if (!fFailure.empty() || fResults.empty() || !fQueue.empty()) return false;
  return std::all_of(fResults.begin(), fResults.end(), [](const TStageResult& r) { return r.Won; });
}

void TAutopilot::Tap(int vk) {
  const bool anyDown = std::any_of(fKeys.begin(), fKeys.end(), [](bool down) { return down; });
  ReleaseAll();
  if (!anyDown) fKeys[static_cast<std::size_t>(vk)] = true;
}

void TAutopilot::Decide() {
  const platform::TScreenSize screen = Inner().ClientSize();
  fCursorX = screen.Width / 2;
  fCursorY = screen.Height / 2;
  if (!fMenu || !fMenu->Level) return;
  const TLevel& level = *fMenu->Level;
  if (level.fActive) {
    if (!fWasActive) {
      fWasActive = true;
      fResultTaken = false;
      fPlaying = fQueue.empty() ? std::string() : fQueue.front();
      if (!fQueue.empty()) fQueue.erase(fQueue.begin());
      ReleaseAll();
      fSeen.clear();
      fAimPeriod = -1;
      fMove = 0;
    }
    if (level.fFinish.State != TFinishState::Running) {
      DecideFinish(level);
    } else {
      DecideFlight(level);
    }
    return;
  }
  fWasActive = false;
  DecideMenu(*fMenu);
}

void TAutopilot::ChooseStages(const TMainMenu& menu) {
  fStagesChosen = true;
  const auto& list = menu.fLevelList;
  if (fOptions.AllStages) {
    for (const TLevelListItem& item : list) fQueue.push_back(item.FileName);
  } else if (!fOptions.Stages.empty()) {
    fQueue = fOptions.Stages;
  } else {
    const auto first = std::find_if(list.begin(), list.end(), [](const TLevelListItem& item) { return item.Active; });
    if (first != list.end()) fQueue.push_back(first->FileName);
  }
  if (fQueue.empty()) fFailure = "Kein freigeschalteter Level gefunden";
}

void TAutopilot::DecideMenu(const TMainMenu& menu) {
  if (!fStagesChosen) ChooseStages(menu);
  const bool lost = !fResults.empty() && !fResults.back().Won;
  if (lost || !fFailure.empty()) fQueue.clear();
  // Rows still sliding: the next key would be lost.
  if (menu.fCursorMove != 0 || menu.fScrollMove != 0) {
    ReleaseAll();
    return;
  }
  if (fQueue.empty()) {
    Tap(platform::kVkEscape);  // back to the first page, then quit from it
    return;
  }
  const auto& list = menu.fLevelList;
  const auto it = std::find_if(list.begin(), list.end(),
                               [&](const TLevelListItem& item) { return item.FileName == fQueue.front(); });
  // The menu rereads the unlocks one frame after a stage: give it a moment.
  if (it != list.end() && !it->Active && ++fLockedFrames < 10) {
    ReleaseAll();
    return;
  }
  fLockedFrames = 0;
  if (it == list.end() || !it->Active) {
    fFailure = it == list.end() ? "Level " + fQueue.front() + " nicht gefunden" : "Level " + fQueue.front() + " ist gesperrt";
    fQueue.clear();
    ReleaseAll();
    return;
  }
  const int32_t index = static_cast<int32_t>(it - list.begin());
  if (menu.fPath == "0") {
    Tap(menu.fSelected > 0 ? platform::kVkUp : platform::kVkReturn);
  } else if (menu.fPath == kStagePage) {
    if (menu.fSelected < index) {
      Tap(platform::kVkDown);
    } else if (menu.fSelected > index) {
      Tap(platform::kVkUp);
    } else {
      Tap(platform::kVkReturn);
    }
  } else {
    Tap(platform::kVkEscape);
  }
}

void TAutopilot::DecideFinish(const TLevel& level) {
  const auto& finish = level.fFinish;
  if (!fResultTaken) {
    fResultTaken = true;
    fResults.push_back({fPlaying, finish.State == TFinishState::Passed, level.fScore, level.fLife, finish.Total, level.fTime,
                        level.fHits.Text()});
  }
  if (!finish.NameEntry) {
    Tap(platform::kVkReturn);
    return;
  }
  const bool inList = finish.EntryIndex >= 0 && static_cast<std::size_t>(finish.EntryIndex) < finish.HighScore.size();
  const std::string name = inList ? finish.HighScore[static_cast<std::size_t>(finish.EntryIndex)].Name : fOptions.Name;
  const std::string& wanted = fOptions.Name;
  if (name == wanted) {
    Tap(platform::kVkReturn);
  } else if (name.size() < wanted.size() && wanted.compare(0, name.size(), name) == 0) {
    Tap(static_cast<unsigned char>(wanted[name.size()]));
  } else {
    Tap(platform::kVkBack);
  }
}

TSight TAutopilot::Recall(const TLevel& level) {
  TSight now = Look(level);
  if (fOptions.ReactionMs <= 0) return now;
  // A person sees the world a reaction time late: the newest sight at least
  // that old, carried on along the courses it showed. A shot fired since is
  // not seen yet; a body that turned since is seen on its old course.
  const float before = level.fTime - static_cast<float>(fOptions.ReactionMs);
  if (!fSeen.empty() && fSeen.back().Time > level.fTime) fSeen.clear();  // a new stage
  fSeen.push_back(std::move(now));
  while (fSeen.size() > 1 && fSeen[1].Time <= before) fSeen.pop_front();
  TSight seen = fSeen.front();
  seen.Advance(level.fTime - seen.Time);
  return seen;
}

float TAutopilot::AimError(float stageMs) {
  if (fOptions.AimNoiseDeg <= 0) return 0;
  const auto period = static_cast<int64_t>(std::floor(stageMs / 100));
  if (period != fAimPeriod) {
    fAimPeriod = period;
    // Box and Muller's transform, on functions that give the same bits
    // everywhere, so that a seed flies alike on every system.
    const double u = Uniform(fNoiseEngine), v = Uniform(fNoiseEngine);
    const double g = std::sqrt(-2 * simmath::Log(u)) * simmath::Cos(2 * simmath::kPi * v);
    fAimError = static_cast<float>(g * fOptions.AimNoiseDeg);
  }
  return fAimError;
}

void TAutopilot::DecideFlight(const TLevel& level) {
  ReleaseAll();
  fKeys[platform::kVkLButton] = true;  // fire, always
  const float c = static_cast<float>(level.fCircles);
  const float shipPos = level.ShipPos();
  const bool endZone = shipPos >= 1;
  // The keys the player bound for speed and for the arena's moves.
  const int faster = level.fControls[TAction::Faster].Key, slower = level.fControls[TAction::Slower].Key;
  if (!endZone) fKeys[static_cast<std::size_t>(faster)] = true;
  const TSight seen = Recall(level);
  if (!(shipPos > 0)) return;  // the gate: no control yet

  const TShip& ship = *level.fPlayer.Ship;
  const float shipSpeed = endZone || level.fTime <= kIntroMs ? 0.0f : level.fSpeed / c;
  // In the arena the keys move the ship back and forth on the floor, as far
  // as its ends allow: the pilot weighs each of the three.
  auto course = [&](int move) {
    TShipCourse course{shipPos, shipSpeed};
    if (!endZone || move == 0) return course;
    const float e = static_cast<float>(level.fEndLength);
    course.Speed = static_cast<float>(move) * kArenaSpeed / c;
    course.Lo = std::min(shipPos, 5 / c + 1);
    course.Hi = std::max(shipPos, (e - 5) / c + 1);
    return course;
  };
  std::array<TDangerMap, 3> danger;
  for (int move = endZone ? -1 : 0; move <= (endZone ? 1 : 0); ++move) {
    const TShipCourse ahead = course(move);
    TDangerMap& map = danger[static_cast<std::size_t>(move + 1)];
    for (const TMover& enemy : seen.Enemies) MarkMover(map, enemy, ship, ahead);
    for (const TMover& shot : seen.Shots) MarkMover(map, shot, ship, ahead);
  }

  // What is worth steering for, per roll.
  std::array<float, kBins> want{};
  auto attract = [&](float lo, float hi, float weight) {
    for (int r = static_cast<int>(std::ceil(lo)); r <= static_cast<int>(std::floor(hi)) && r - lo < kBins; ++r)
      want[static_cast<std::size_t>(Wrap(r + 180))] = std::max(want[static_cast<std::size_t>(Wrap(r + 180))], weight);
  };
  const float shotSpeed = (level.fSpeed + kShotSpeedBonus) / c;
  const float reach = level.fPlayer.ParticleLifeTime / 1000;
  for (const TMover& enemy : seen.Enemies) {
    if (enemy.Pos <= shipPos) continue;
    const float closing = shotSpeed - enemy.Speed;
    if (closing <= 0) continue;
    const float t = (enemy.Pos - shipPos) / closing;
    if (t > reach) continue;
    const float roll = enemy.Roll + enemy.RollSpeed * t;
    attract(roll + enemy.RollMin + 1, roll + enemy.RollMax - 1, 6 / (1 + t));
  }
  for (const TMover& enemy : seen.Gunboats) {
    if (enemy.Pos - shipPos > reach * shotSpeed) continue;
    attract(enemy.Roll - 2, enemy.Roll + 2, 10);
  }
  for (const TSight::TPickUp& powerUp : seen.PowerUps) {
    const float ahead = powerUp.Pos - shipPos;
    if (ahead < 0 || ahead > 2 * level.fSpeed / c) continue;
    float weight = 14;
    if (powerUp.Kind == kPowerUpWeapon) weight = level.fPlayer.Weapon < kMaxWeapon ? 40 : 0;
    if (powerUp.Kind == kPowerUpLife) weight = level.fLife < kMaxLife ? 30 : 0;
    attract(powerUp.Roll - level.fPowerUp.Angle - ship.fRollMax + 1, powerUp.Roll + level.fPowerUp.Angle - ship.fRollMin - 1,
            weight);
  }
  if (seen.Boss) {
    const TMover& boss = *seen.Boss;
    const float t = shotSpeed > 0 ? std::max(0.0f, (boss.Pos - shipPos) / shotSpeed) : 0;
    float roll = boss.Roll + boss.RollSpeed * t;
    if (roll > 90) roll = 180 - roll;
    if (roll < -90) roll = -180 - roll;
    attract(roll + boss.RollMin + 2, roll + boss.RollMax - 2, 25);
  }

  // Each reachable roll: what hits the ship on the way there and while it
  // stays, against what it gains there.
  const float roll = level.fRoll;
  const float slotsPerDegree = 1000 / kRollRate / kSlotMs;
  auto weight = [](int slot) { return 100.0f / static_cast<float>(slot + 2); };
  auto bestRoll = [&](const TDangerMap& map, float& bestCost) {
    bestCost = 1e30f;
    float best = roll;
    for (int bin = 0; bin < kBins; ++bin) {
      const float target = RollOf(bin);
      float turn = endZone ? target - roll : Turn(roll, target);
      if (endZone && (target <= -178 || target >= 178)) continue;
      const int steps = static_cast<int>(std::fabs(turn));
      const int dir = turn < 0 ? -1 : 1;
      float cost = 0.02f * std::fabs(turn) - want[static_cast<std::size_t>(bin)];
      if (std::fabs(Turn(fTargetRoll, target)) < 3) cost -= 2;
      for (int k = 0; k <= steps; ++k) {
        const int slot = static_cast<int>(static_cast<float>(k) * slotsPerDegree);
        const uint32_t mask = map.At(BinOf(roll) + dir * k);
        for (int s = std::max(0, slot - 1); s <= std::min(kSlots - 1, slot + 1); ++s) {
          if (mask & (1u << s)) cost += weight(s);
        }
      }
      const int arrive = static_cast<int>(static_cast<float>(steps) * slotsPerDegree);
      const uint32_t stay = map.At(bin);
      for (int s = arrive; s < kSlots; ++s) {
        if (stay & (1u << s)) cost += weight(s);
      }
      if (cost < bestCost) {
        bestCost = cost;
        best = target;
      }
    }
    return best;
  };
  float bestCost = 0;
  float best = bestRoll(danger[1], bestCost);
  if (endZone) {
    // Back off from what cannot be rolled through in time; come forward
    // again when it is clear, to where the shots reach the boss.
    const float range = shotSpeed * reach;
    const float bossAhead = level.fBoss->fPos - shipPos;
    const float span = kSlots * kSlotMs / 1000 * kArenaSpeed / c;
    int chosen = 0;
    if (fMove == 0) bestCost -= 1;
    for (const int move : {-1, 1}) {
      float cost = 0;
      const float target = bestRoll(danger[static_cast<std::size_t>(move + 1)], cost);
      if (move < 0) cost += bossAhead + span > 0.85f * range ? 9 : 3;
      if (move > 0) cost += bossAhead > 0.6f * range ? -3 : 3;
      if (move == fMove) cost -= 1;
      if (cost < bestCost) {
        bestCost = cost;
        best = target;
        chosen = move;
      }
    }
    fMove = chosen;
    if (fMove < 0) fKeys[static_cast<std::size_t>(slower)] = true;
    if (fMove > 0) fKeys[static_cast<std::size_t>(faster)] = true;
  }
  fTargetRoll = best;

  // The hand misses the roll it means by a little.
  if (fOptions.AimNoiseDeg > 0) {
    best += AimError(level.fTime);
    if (endZone) best = std::clamp(best, -177.0f, 177.0f);
  }
  const double stepMs = fStep > 0 ? fOptions.FixedStepMs : 16.7;
  const float maxTurn = static_cast<float>(kRollRate * stepMs / 1000);
  const float turn = std::clamp(endZone ? best - roll : Turn(roll, best), -maxTurn, maxTurn);
  // The mouse as the player set it up: a pixel rolls by the sensitivity's
  // share of the degrees, the other way when inverted.
  const float perPixel = kMouseDegreesPerPixel * level.fControls.MouseSensitivity;
  const long pixels = std::lround(turn / perPixel);
  fCursorX -= static_cast<int>(level.fControls.MouseInvert ? -pixels : pixels);
}

}  // namespace pilot
