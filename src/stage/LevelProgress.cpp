// LevelProgress.cpp -- one frame of a running stage: input, flight, volleys,
// the objects, power-ups, warnings, game over and the finish screen.
#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <exception>
#include <string_view>
#include <utility>

#include "objects/Bolt.h"
#include "objects/Boss.h"
#include "objects/MediumEnemyManager.h"
#include "objects/ParticleManager.h"
#include "objects/PowerUp.h"
#include "objects/Ship.h"
#include "objects/SmallEnemyManager.h"
#include "platform/Cp1252.h"
#include "platform/Dialog.h"
#include "platform/Keyboard.h"
#include "platform/Platform.h"
#include "platform/VirtualKeys.h"
#include "services/Arith.h"
#include "services/Language.h"
#include "services/Sound.h"
#include "stage/Level.h"
#include "stage/StageRules.h"

namespace {

using platform::kVkBack;
using platform::kVkLButton;
using platform::kVkReturn;
using platform::kVkSpace;

// One shot of a volley: its roll offset is `side` (+1: the ship's right
// edge fRollMax, -1: its left edge fRollMin, 0: the middle) times num/den,
// and it rolls at `rollSpeed` degrees per second.
struct TVolleyShot {
  int side;
  float num, den;
  float rollSpeed;
};

struct TVolley {
  int count;
  TVolleyShot shots[9];
};

// The volley of each weapon level, in firing order.
constexpr TVolley kVolleys[10] = {
    {1, {{0, 1, 1, 0}}},
    {2, {{-1, 1, 1, 0}, {1, 1, 1, 0}}},
    {3, {{0, 1, 1, 0}, {1, 1, 1, 0}, {-1, 1, 1, 0}}},
    {3, {{0, 1, 1, 0}, {1, 1, 1, 30}, {-1, 1, 1, -30}}},
    {4, {{1, 1, 2, 0}, {-1, 1, 2, 0}, {1, 1, 1, 30}, {-1, 1, 1, -30}}},
    {5, {{0, 1, 1, 0}, {1, 2, 3, 0}, {-1, 2, 3, 0}, {1, 1, 1, 30}, {-1, 1, 1, -30}}},
    {5, {{0, 1, 1, 0}, {1, 2, 3, 30}, {-1, 2, 3, -30}, {1, 1, 1, 60}, {-1, 1, 1, -60}}},
    {6, {{1, 1, 3, 0}, {-1, 1, 3, 0}, {1, 2, 3, 30}, {-1, 2, 3, -30}, {1, 1, 1, 60}, {-1, 1, 1, -60}}},
    {7, {{0, 1, 1, 0}, {1, 1, 3, 0}, {-1, 1, 3, 0}, {1, 2, 3, 30}, {-1, 2, 3, -30}, {1, 1, 1, 60}, {-1, 1, 1, -60}}},
    {9,
     {{0, 1, 1, 0},
      {1, 1, 3, 0},
      {-1, 1, 3, 0},
      {1, 1, 3, 30},
      {-1, 1, 3, -30},
      {1, 2, 3, 30},
      {-1, 2, 3, -30},
      {1, 1, 1, 60},
      {-1, 1, 1, -60}}},
};

// Losing life shakes the pad briefly.
constexpr uint16_t kHitRumbleStrength = 0x9000;
constexpr uint32_t kHitRumbleMs = 180;

constexpr const char* kProgressFailures[4] = {
    "Level, Progress: Fehler beim Abarbeiten von 'fPlayer.ParticleManager'",
    "Level, Progress: Fehler beim Abarbeiten von 'fSmallEnemy.Manager'",
    "Level, Progress: Fehler beim Abarbeiten von 'fMediumEnemy.Manager'",
    "Level, Progress: Fehler beim Abarbeiten von 'fBoss'",
};

}  // namespace

void TLevel::Progress(float elapsed) {
  const float dt = elapsed;
  fPad = fPlatform.Gamepad();
  const int32_t lifeBefore = fLife;
  const int32_t hitsBefore = fHits.Total();
  const int32_t bossLifeBefore = fBoss->fLife;
  bool retry = false;
  const TBinding& leave = fControls[TAction::Leave];
  if (platform::IsKeyDown(fPlatform, leave.Key) || fPad.Down(leave.Pad)) fActive = false;
  // The cursor goes back to the centre of the client area every frame (in a
  // window, not the desktop's); its offset from there steers.
  const platform::TScreenSize client = fPlatform.ClientSize();

  // On the finish screen P is a letter of the name.
  if (CanPause() && PausePressed()) SetPaused(!fPaused);
  if (fPaused) {
    // Escape leaves a paused stage like a running one; the menu's sounds
    // play on.
    if (!fActive) SetPaused(false);
  } else if (fFinish.State != TFinishState::Running) {
    retry = ProgressFinish(dt) && fActive;
  } else {
    fTime += dt;
    int cursorX = 0, cursorY = 0;
    fPlatform.GetCursorPos(cursorX, cursorY);
    float delta = 0;
    // The keys roll at full rate; the stick up to it, by how far it is pushed.
    const TBinding& rollLeft = fControls[TAction::RollLeft];
    const TBinding& rollRight = fControls[TAction::RollRight];
    float left = platform::IsKeyDown(fPlatform, rollLeft.Key) || fPad.Down(rollLeft.Pad) ? 1.0f : 0.0f;
    float right = platform::IsKeyDown(fPlatform, rollRight.Key) || fPad.Down(rollRight.Pad) ? 1.0f : 0.0f;
    const float stick = fPad.Connected ? platform::StickDeflection(fPad.StickX) : 0.0f;
    left = std::max(left, -stick);
    right = std::max(right, stick);
    if (left > 0) delta += dt / 10 * left;
    if (right > 0) delta -= dt / 10 * right;
    // The player's sensitivity and direction; at 1 and not inverted the
    // products are the ones the game always computed.
    float mouseRoll = static_cast<float>(client.Width / 2 - cursorX) * kMouseDegreesPerPixel * fControls.MouseSensitivity;
    int mouseRise = client.Height / 2 - cursorY;
    if (fControls.MouseInvert) {
      mouseRoll = -mouseRoll;
      mouseRise = -mouseRise;
    }
    delta += mouseRoll;

    if (ShipPos() > 0) ProgressControls(dt, delta, mouseRise);

    if (fLife < 20) {
      fLifeBlinkTime += dt;
      if (fLifeBlinkTime > 200) {
        fLifeVisible = !fLifeVisible;
        fLifeBlinkTime -= 200;
      }
    } else {
      fLifeVisible = true;
    }

    if (fTime > kIntroMs) fPos += fSpeed * dt / 1000 / static_cast<float>(fCircles);

    if (fPos > 0 && !fBolts.empty() && fBolts[0]) {
      for (auto& bolt : fBolts) bolt.reset();
    }
    for (auto& bolt : fBolts) {
      if (bolt) bolt->Progress(dt);
    }

    if (fLife <= 0) {
      fFinish.State = TFinishState::GameOver;
      fFinish.Points = fScore;
      fFinish.LifeBonus = 0;
      fFinish.TimeBonus = 0;
      fFinish.Total = fFinish.Points + fFinish.TimeBonus + fFinish.LifeBonus;
    }
    ProgressFeedback(dt, hitsBefore, bossLifeBefore);
  }

  // A won stage left without naming a highscore keeps its unlock.
  if ((!fActive || retry) && fFinish.State == TFinishState::Passed && !fFinish.Saved) KeepUnlock();
  if (fLife < lifeBefore) fPlatform.Rumble(kHitRumbleStrength, kHitRumbleMs);
  fPlatform.SetCursorPos(client.Width / 2, client.Height / 2);
  if (retry) {
    // A copy: loading assigns the name it is given.
    const std::string fileName = fFileName;
    if (OnPlayAgain) {
      OnPlayAgain();
    } else {
      LoadFromFile(fileName);
    }
  }
}

void TLevel::PassStage() {
  fFinish.State = TFinishState::Passed;
  fFinish.Points = fScore;
  fFinish.LifeBonus = SaturatingAdd(0, int64_t{fLife} * 100);
  // A stage passed at time 0 would divide by zero: the bonus saturates.
  fFinish.TimeBonus = fTime > 0 ? RoundToInt32(fPathLength * 1000000.0 / fTime)
                                : RoundToInt32(fPathLength > 0 ? HUGE_VAL : 0.0);
  fFinish.Total = SaturatingAdd(SaturatingAdd(fFinish.Points, fFinish.TimeBonus), fFinish.LifeBonus);
}

void TLevel::Pause() {
  if (CanPause() && fActive && !fPaused) SetPaused(true);
}

void TLevel::SetPaused(bool paused) {
  fPaused = paused;
  Sound().Pause(paused);
}

bool TLevel::PausePressed() {
  // Every source is polled, so that each one's press is used up once.
  const TBinding& pause = fControls[TAction::Pause];
  const bool key = fKeyLatch.KeyPressed(fPlatform, pause.Key);
  // The Pause key pauses whatever else is bound.
  const bool pauseKey = pause.Key != platform::kVkPause && fKeyLatch.KeyPressed(fPlatform, platform::kVkPause);
  const bool pad = PadPressed(pause.Pad);
  return key || pauseKey || pad;
}

void TLevel::ProgressControls(float dt, float rollDelta, int mouseRise) {
  const float circles = static_cast<float>(fCircles);

  // On the opened floor the ship cannot pass over the top.
  if (fPos > 1) {
    const float roll = fRoll + rollDelta;
    if (roll > -180 && roll < 180) fRoll = roll;
  } else {
    fRoll += rollDelta;
  }
  if (fRoll > 180) fRoll -= 360;
  if (fRoll < -180) fRoll += 360;

  bool firing = FireHeld();
  if (fControls.AutoFire) {
    // Each press switches fire on or off; it stays so between presses.
    if (fKeyLatch.Pressed(kFireLatch, firing)) fAutoFireOn = !fAutoFireOn;
    firing = fAutoFireOn;
  }
  if (firing) {
    fShootTime += dt;
  } else {
    fShootTime = fShootInterval - 1;
  }
  if (fShootTime > fShootInterval) {
    Sound().Play(fSounds.Laser, false, 50);
    FireVolley();
    fShootTime -= fShootInterval;
  }

  if (ShipPos() < 1) {
    if (HoldsUp()) {
      fSpeed = std::min(fSpeed + 100 * dt / 1000, fPlayer.MaxSpeed);
      fPlayer.ParticleManager->SetSpeed((fSpeed + kShotSpeedBonus) / circles);
    }
    if (HoldsDown()) {
      fSpeed = std::max(fSpeed - 100 * dt / 1000, fPlayer.MinSpeed);
      fPlayer.ParticleManager->SetSpeed((fSpeed + kShotSpeedBonus) / circles);
    }
  } else {
    ProgressEndZone(dt, mouseRise);
  }

  if (fPlayer.ShieldTime > 0) {
    fPlayer.ShieldTime -= dt;
    if (fPlayer.ShieldTime < 2000) fPlayer.ShieldBlinkTime += dt;
    if (fPlayer.ShieldBlinkTime > 100) {
      fPlayer.ShieldVisible = !fPlayer.ShieldVisible;
      fPlayer.ShieldBlinkTime -= 100;
    }
  } else {
    fPlayer.ShieldVisible = false;
  }
  if (fPlayer.GraceTime > 0) fPlayer.GraceTime -= dt;

  ProgressObjects(dt);
  ProgressPowerUps(dt);
}

void TLevel::FireVolley() {
  if (fPlayer.Weapon < 0 || fPlayer.Weapon > kMaxWeapon) return;
  const TShip& ship = *fPlayer.Ship;
  const float speed = (fSpeed + kShotSpeedBonus) / static_cast<float>(fCircles);
  const TVolley& volley = kVolleys[fPlayer.Weapon];
  for (int i = 0; i < volley.count; ++i) {
    const TVolleyShot& shot = volley.shots[i];
    float offset = 0;
    if (shot.side > 0) offset = ship.fRollMax * shot.num / shot.den;
    if (shot.side < 0) offset = ship.fRollMin * shot.num / shot.den;
    fPlayer.ParticleManager->Add(fPlayer.Particle.get())
        .Init(true, ShipPos(), fRoll + offset, speed, shot.rollSpeed, 0, 0, fPlayer.ParticleLifeTime);
  }
}

void TLevel::ProgressEndZone(float dt, int mouseRise) {
  const float c = static_cast<float>(fCircles);
  const float e = static_cast<float>(fEndLength);
  const float dist = fCamera.Dist / c;

  if (fSpeed > 0) {
    if (fSpeed > fPlayer.MinSpeed) fSpeed -= 10 * dt / 1000;
    if (ShipPos() > 29 / c + 1) fSpeed -= 10 * dt / 1000;
    if (fSpeed < 0.1f) {
      fSpeed = 0;
      fBoss->fActive = true;
    }
  }
  if (fEndPos == 0) {
    fEndPos = fPos;
    fEndRoll = fRoll;
    fArenaTime = fTime;
  }
  if (fEndPos < (e - 30) / c + 1) fEndPos += fPlayer.MinSpeed * dt / 1000 / c;
  if (fEndRoll != 0) {
    fEndRoll *= 0.97f;
    if (std::fabs(fEndRoll) < 0.1f) fEndRoll = 0;
  }

  float p = fPos + (static_cast<float>(mouseRise) * 5 * 0.8f * fControls.MouseSensitivity / c) * dt / 1000;
  if (29 / c + 1 <= p + dist && p + dist <= (e - 2) / c + 1) fPos = p;
  if (HoldsUp()) {
    p = fPos + (10 / c) * dt / 1000;
    if (p + dist <= (e - 5) / c + 1) fPos = p;
  }
  if (HoldsDown()) {
    p = fPos - (10 / c) * dt / 1000;
    if (p + dist >= 5 / c + 1) fPos = p;
  }
}

void TLevel::ProgressObjects(float dt) {
  auto run = [&](std::size_t which, auto&& step) {
    try {
      step();
    } catch (...) {
      ReportProgressFailure(which);
    }
  };
  run(0, [&] { fPlayer.ParticleManager->Progress(dt); });
  run(1, [&] { fSmallEnemy.Manager->Progress(dt); });
  run(2, [&] { fMediumEnemy.Manager->Progress(dt); });
  run(3, [&] { fBoss->Progress(dt); });
}

void TLevel::ReportProgressFailure(std::size_t which) {
  const std::string text = TrMessage(kProgressFailures[which]);
  if (!fProgressReported[which]) {
    fProgressReported[which] = true;
    platform::ShowMessage(platform::TDialogKind::Information, platform::kApplicationTitle, text);
    return;
  }
  std::fprintf(stderr, "%s: %s\n", platform::kApplicationTitle, platform::Cp1252ToUtf8(text).c_str());
}

void TLevel::ProgressPowerUps(float dt) {
  const TShip& ship = *fPlayer.Ship;
  const float shipPos = ShipPos();
  auto& list = fPowerUp.List;
  for (std::size_t i = list.size(); i-- > 0;) {
    TPowerUp& powerUp = *list[i];
    powerUp.Spin(dt);
    const bool picked = shipPos + ship.fPosMax > powerUp.Pos - fPowerUp.Length &&
                        shipPos + ship.fPosMin < powerUp.Pos + fPowerUp.Length &&
                        fRoll + ship.fRollMax > powerUp.Roll - fPowerUp.Angle &&
                        fRoll + ship.fRollMin < powerUp.Roll + fPowerUp.Angle;
    if (picked) {
      const int32_t lifeBefore = fLife, weaponBefore = fPlayer.Weapon;
      switch (powerUp.Kind) {
        case kPowerUpLife:
          fLife = std::min(SaturatingAdd(fLife, int64_t{powerUp.Value} * Rules().LifePowerUpPercent / 100), kMaxLife);
          break;
        case kPowerUpWeapon:
          fPlayer.Weapon = std::min(SaturatingAdd(fPlayer.Weapon, powerUp.Value), kMaxWeapon);
          break;
        default:
          fPlayer.ShieldTime = static_cast<float>(powerUp.Value);
          fPlayer.ShieldVisible = true;
          break;
      }
      NotePowerUp(powerUp, lifeBefore, weaponBefore);
    }
    if (picked || powerUp.Pos < fPos) list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

bool TLevel::ProgressFinish(float dt) {
  float& t = fFinish.Time;
  if (t == 0) {
    // A key of the player's own choice still held from the flight (fire on
    // R, say) is no press of the finish screen's R or letters.
    const TControls defaults = DefaultControls();
    for (std::size_t i = 0; i < fControls.Bindings.size(); ++i) {
      const int key = fControls.Bindings[i].Key;
      if (key != defaults.Bindings[i].Key && platform::IsKeyDown(fPlatform, key)) fKeyLatch.Latch(key);
    }
  }
  if (t == 0) fFinish.Qualifies = fFinish.Total > 0 && EarnsPlace(fFinish.Total);
  // The name of a run with a place was saved after R or Y: now again (a
  // frame later, so that the frame of the save still shows the run).
  if (fFinish.Saved && fFinish.RetryAfterName) return true;
  t += dt;

  // The count-up ticks from the first number's start to the third's end and
  // again while the total counts; a tick sounds for a number that is not 0.
  if ((t > kCountPoints.Begin && t < kCountTimeBonus.End) || kCountTotal.Inside(t)) {
    fFinish.CountTime += dt;
    if (fFinish.CountTime > kCountTickMs) {
      const std::pair<TCountSpan, int32_t> counts[] = {{kCountPoints, fFinish.Points},
                                                       {kCountLifeBonus, fFinish.LifeBonus},
                                                       {kCountTimeBonus, fFinish.TimeBonus},
                                                       {kCountTotal, fFinish.Total}};
      int32_t counted = 0;
      for (const auto& [span, value] : counts) {
        if (span.Inside(t)) counted = value;
      }
      if (counted != 0) Sound().Play(fSounds.MenuChange, false, 100);
      fFinish.CountTime -= kCountTickMs;
    }
  }

  const bool entryInList =
      fFinish.EntryIndex >= 0 && static_cast<std::size_t>(fFinish.EntryIndex) < fFinish.HighScore.size();
  if (fFinish.NameEntry) {
    fFinish.CursorTime += dt;
    if (fFinish.CursorTime > 250) {
      fFinish.CursorTime -= 250;
      fFinish.CursorVisible = !fFinish.CursorVisible;
    }
    std::string* name = entryInList ? &fFinish.HighScore[static_cast<std::size_t>(fFinish.EntryIndex)].Name : nullptr;
    auto type = [&](int vk, char ch) {
      if (!fKeyLatch.KeyPressed(fPlatform, vk)) return;
      if (name) *name += ch;
      Sound().Play(fSounds.MenuChange, false, 100);
    };
    for (int vk = 'A'; vk <= 'Z'; ++vk) type(vk, static_cast<char>(vk));
    for (int vk = '0'; vk <= '9'; ++vk) type(vk, static_cast<char>(vk));
    type(kVkSpace, ' ');
    if (fKeyLatch.KeyPressed(fPlatform, kVkBack)) {
      if (name && !name->empty()) name->pop_back();
      Sound().Play(fSounds.MenuChange, false, 100);
    }
    ProgressPadNameEntry(name);
  }

  if (!fPad.Down(platform::kPadA)) fFinish.PadArmed = true;
  const bool padConfirms = fFinish.PadArmed && fPad.Down(platform::kPadA);
  if (fKeyLatch.Pressed(kVkReturn, platform::IsKeyDown(fPlatform, kVkReturn) || padConfirms)) {
    Sound().Play(fSounds.MenuEnter, false, 100);
    if (t >= kFinishCountedMs && !fFinish.NameEntry) {
      fFinish.NameEntry = true;
      fFinish.EntryIndex = LoadHighscores(fFinish.Total);
    } else if (t >= kFinishCountedMs && fFinish.NameEntry) {
      const bool named = entryInList && !fFinish.HighScore[static_cast<std::size_t>(fFinish.EntryIndex)].Name.empty();
      if (named || fFinish.EntryIndex >= 10) {
        SaveHighscores();
        fFinish.Saved = true;
        if (!fFinish.RetryAfterName) fActive = false;
        if (named && OnNameConfirmed) OnNameConfirmed();
      }
    }
    if (t < kFinishCountedMs) t = kFinishCountedMs;
  }

  // R or the pad's Y plays the stage again, saving nothing; in the name
  // entry R is a letter and Y does nothing either. A run with a place in
  // the list is not thrown away by it: the name entry opens at once, and the
  // stage starts again when the name is saved.
  const bool padRetry = PadPressed(platform::kPadY);
  if (fFinish.NameEntry || !(padRetry || fKeyLatch.KeyPressed(fPlatform, 'R'))) return false;
  Sound().Play(fSounds.MenuEnter, false, 100);
  if (fFinish.Qualifies) {
    if (t < kFinishCountedMs) t = kFinishCountedMs;
    fFinish.NameEntry = true;
    fFinish.EntryIndex = LoadHighscores(fFinish.Total);
    fFinish.RetryAfterName = true;
    return false;
  }
  return true;
}

bool TLevel::HoldsUp() {
  const TBinding& faster = fControls[TAction::Faster];
  return platform::IsKeyDown(fPlatform, faster.Key) || fPad.Down(faster.Pad) ||
         (fPad.Connected && fPad.StickY <= -platform::kStickPressed);
}

bool TLevel::HoldsDown() {
  const TBinding& slower = fControls[TAction::Slower];
  return platform::IsKeyDown(fPlatform, slower.Key) || fPad.Down(slower.Pad) ||
         (fPad.Connected && fPad.StickY >= platform::kStickPressed);
}

bool TLevel::FireHeld() {
  const TBinding& fire = fControls[TAction::Fire];
  // A letter or digit is the key that types it on the player's layout, as
  // the fire key X always was.
  const bool letter = (fire.Key >= 'A' && fire.Key <= 'Z') || (fire.Key >= '0' && fire.Key <= '9');
  const bool key = letter ? platform::IsCharKeyDown(fPlatform, static_cast<char>(std::tolower(fire.Key)))
                          : platform::IsKeyDown(fPlatform, fire.Key);
  return key || platform::IsKeyDown(fPlatform, kVkLButton) || fPad.Down(fire.Pad);
}

bool TLevel::PadPressed(platform::TPadButton button) {
  return fPadLatch.Pressed(std::countr_zero(static_cast<unsigned>(button)), fPad.Down(button));
}

void TLevel::ProgressPadNameEntry(std::string* name) {
  // Up and down turn the last letter through the ones the keyboard types,
  // right adds a letter, left takes the last one away.
  static constexpr std::string_view kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ";
  const int n = static_cast<int>(kLetters.size());
  auto turn = [&](int step) {
    if (name && name->empty()) {
      *name = "A";
    } else if (name) {
      const std::size_t at = kLetters.find(name->back());
      const int index = at == std::string_view::npos ? 0 : static_cast<int>(at);
      name->back() = kLetters[static_cast<std::size_t>((index + step + n) % n)];
    }
    Sound().Play(fSounds.MenuChange, false, 100);
  };
  if (PadPressed(platform::kPadUp)) turn(1);
  if (PadPressed(platform::kPadDown)) turn(-1);
  if (PadPressed(platform::kPadRight)) {
    if (name) *name += 'A';
    Sound().Play(fSounds.MenuChange, false, 100);
  }
  if (PadPressed(platform::kPadLeft)) {
    if (name && !name->empty()) name->pop_back();
    Sound().Play(fSounds.MenuChange, false, 100);
  }
}
