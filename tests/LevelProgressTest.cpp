// LevelProgressTest.cpp -- the stage's frame: volleys, flight and the end
// zone, power-ups, warnings, game over and the reporting of failed updates.
// Needs a display (real GL) and runs sounds on the dummy audio driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <vector>

#include "app/StateChecksum.h"
#include "objects/Boss.h"
#include "objects/ParticleManager.h"
#include "objects/SmallEnemyManager.h"
#include "objects/PowerUp.h"
#include "objects/Ship.h"
#include "platform/Audio.h"
#include "platform/Dialog.h"
#include "platform/VirtualKeys.h"
#include "services/Sound.h"
#include "support/StagePlay.h"

namespace {


class LevelProgress : public testing::Test {
 protected:
  TStagePlay Play;
  TLevel& Level() { return *Play.Level; }
  std::vector<TParticleListItem>& PlayerShots() { return Level().fPlayer.ParticleManager->Items(); }
};

TEST_F(LevelProgress, FireTimerFiresOnThePressThenEveryInterval) {
  Play.Load(TStagePlay::Empty());
  Play.FlyTo(0.2f);
  ASSERT_EQ(Level().fShootInterval, 100);
  Play.Hold('X', true);
  std::vector<int> firing;
  for (int frame = 0; frame < 40; ++frame) {
    const uint64_t before = Level().fPlayer.ParticleManager->Added();
    Play.Frame(16);
    if (Level().fPlayer.ParticleManager->Added() != before) firing.push_back(frame);
  }
  // 99 + 16 > 100 fires at once and leaves 15; then 6 or 7 frames apart.
  ASSERT_GE(firing.size(), 5u);
  EXPECT_EQ(firing[0], 0);
  for (std::size_t i = 1; i < firing.size(); ++i) {
    const int gap = firing[i] - firing[i - 1];
    EXPECT_TRUE(gap == 6 || gap == 7) << "gap " << gap << " before volley " << i;
  }

  // Released, the timer waits just below the interval: a press in a frame
  // shorter than 2 ms fires one frame later.
  Play.Hold('X', false);
  Play.Frame(16);
  EXPECT_EQ(Level().fShootTime, 99);
  Play.Hold('X', true);
  const uint64_t before = Level().fPlayer.ParticleManager->Added();
  Play.Frame(1);
  EXPECT_EQ(Level().fPlayer.ParticleManager->Added(), before);
  Play.Frame(16);
  EXPECT_EQ(Level().fPlayer.ParticleManager->Added(), before + 1);

  // However long the frame, one volley at most; the rest stays on the timer.
  Play.Frame(450);
  EXPECT_EQ(Level().fPlayer.ParticleManager->Added(), before + 2);
  EXPECT_GT(Level().fShootTime, 300);

  // The left mouse button fires as well.
  Play.Hold('X', false);
  Play.Frame(16);
  Play.Hold(platform::kVkLButton, true);
  Play.Frame(16);
  EXPECT_EQ(Level().fPlayer.ParticleManager->Added(), before + 3);
}

TEST_F(LevelProgress, EachWeaponFiresItsVolley) {
  Play.Load(TStagePlay::Empty());
  Play.FlyTo(0.2f);
  Level().fRoll = 10;
  const TShip& ship = *Level().fPlayer.Ship;
  const float max = ship.fRollMax, min = ship.fRollMin;
  ASSERT_GT(max, 1);
  ASSERT_LT(min, -1);
  struct TShot {
    float offset, rollSpeed;
  };
  const std::vector<std::vector<TShot>> volleys = {
      {{0, 0}},
      {{min, 0}, {max, 0}},
      {{0, 0}, {max, 0}, {min, 0}},
      {{0, 0}, {max, 30}, {min, -30}},
      {{max / 2, 0}, {min / 2, 0}, {max, 30}, {min, -30}},
      {{0, 0}, {max * 2 / 3, 0}, {min * 2 / 3, 0}, {max, 30}, {min, -30}},
      {{0, 0}, {max * 2 / 3, 30}, {min * 2 / 3, -30}, {max, 60}, {min, -60}},
      {{max / 3, 0}, {min / 3, 0}, {max * 2 / 3, 30}, {min * 2 / 3, -30}, {max, 60}, {min, -60}},
      {{0, 0}, {max / 3, 0}, {min / 3, 0}, {max * 2 / 3, 30}, {min * 2 / 3, -30}, {max, 60}, {min, -60}},
      {{0, 0},
       {max / 3, 0},
       {min / 3, 0},
       {max / 3, 30},
       {min / 3, -30},
       {max * 2 / 3, 30},
       {min * 2 / 3, -30},
       {max, 60},
       {min, -60}},
  };
  Play.Hold('X', true);
  for (int weapon = -1; weapon <= 10; ++weapon) {
    Level().fPlayer.ParticleManager->Clear();
    Level().fPlayer.Weapon = weapon;
    // A frame of 0 ms fires without moving the new shots.
    Level().fShootTime = Level().fShootInterval + 1;
    Play.Frame(0);
    const auto& shots = PlayerShots();
    if (weapon < 0 || weapon > 9) {
      EXPECT_TRUE(shots.empty()) << "weapon " << weapon;
      continue;
    }
    const auto& expected = volleys[static_cast<std::size_t>(weapon)];
    ASSERT_EQ(shots.size(), expected.size()) << "weapon " << weapon;
    for (std::size_t i = 0; i < shots.size(); ++i) {
      EXPECT_FLOAT_EQ(shots[i].fRoll, 10 + expected[i].offset) << "weapon " << weapon << " shot " << i;
      EXPECT_EQ(shots[i].fRollSpeed, expected[i].rollSpeed) << "weapon " << weapon << " shot " << i;
      EXPECT_FLOAT_EQ(shots[i].fPos, Level().ShipPos());
      EXPECT_FLOAT_EQ(shots[i].fSpeed, (10.0f + 15) / 1200);
      EXPECT_EQ(shots[i].fLifeTime, 2000);
      EXPECT_TRUE(shots[i].fSpin);
    }
  }
}

TEST_F(LevelProgress, SpeedRollAndTheIntroInTheTube) {
  Play.Load(TStagePlay::Empty());
  // The intro: 4000 ms standing still at -20 rings, no controls.
  const float start = Level().fPos;
  EXPECT_FLOAT_EQ(start, -20.0f / 1200);
  Play.Hold(platform::kVkLeft, true);
  Play.Frames(249, 16);
  EXPECT_EQ(Level().fPos, start);
  EXPECT_EQ(Level().fRoll, 0);
  Play.Frames(2, 16);
  EXPECT_GT(Level().fPos, start);
  EXPECT_EQ(Level().fRoll, 0);  // the ship is not in the tube yet
  Play.Hold(platform::kVkLeft, false);
  // The gate's bolts are released once the camera passes the start.
  EXPECT_TRUE(Level().fBolts[0] != nullptr);
  Level().fPos = 0.001f;
  Play.Frame(16);
  for (const auto& bolt : Level().fBolts) EXPECT_EQ(bolt, nullptr);

  // Up for 0.2 s from 10 with a maximum of 25: 25 after 0.15 s, then held;
  // the shots in flight are re-sped to 15 rings per second faster.
  Play.FlyTo(0.2f);
  Level().fPlayer.ParticleManager->Add(Level().fPlayer.Particle.get()).Init(true, 0.3f, 0, 0, 0, 0, 0, 5000);
  Play.Hold(platform::kVkUp, true);
  Play.Frames(15, 10);
  EXPECT_FLOAT_EQ(Level().fSpeed, 25);
  Play.Frames(5, 10);
  EXPECT_FLOAT_EQ(Level().fSpeed, 25);
  EXPECT_FLOAT_EQ(PlayerShots()[0].fSpeed, 40.0f / 1200);
  Play.Hold(platform::kVkUp, false);
  Play.Hold(platform::kVkDown, true);
  Play.Frames(30, 10);
  EXPECT_FLOAT_EQ(Level().fSpeed, 10);
  EXPECT_FLOAT_EQ(PlayerShots()[0].fSpeed, 25.0f / 1200);
  Play.Hold(platform::kVkDown, false);

  // Roll: keys at Elapsed/10 degrees, the mouse at 0.8 degrees per pixel,
  // wrapped once at +-180 in the tube.
  Level().fRoll = 179;
  Play.Hold(platform::kVkLeft, true);
  Play.Frame(20);
  EXPECT_FLOAT_EQ(Level().fRoll, -179);
  Play.Hold(platform::kVkLeft, false);
  Play.Hold(platform::kVkRight, true);
  Play.Frame(20);
  EXPECT_FLOAT_EQ(Level().fRoll, 179);
  Play.Hold(platform::kVkRight, false);
  Level().fRoll = 0;
  Play.Input.MoveMouse(-10, 0);
  Play.Frame(16);
  EXPECT_FLOAT_EQ(Level().fRoll, 8);
  // The cursor is back in the centre after every frame.
  EXPECT_EQ(Play.Input.CursorX, 512);
  EXPECT_EQ(Play.Input.CursorY, 384);
  Play.Frame(16);
  EXPECT_FLOAT_EQ(Level().fRoll, 8);
  // In a window the centre is the client area's, not the desktop's.
  Play.Input.Client = {800, 600};
  Play.Input.SetCursorPos(400, 300);
  Play.Frame(16);
  EXPECT_FLOAT_EQ(Level().fRoll, 8);
  Play.Input.MoveMouse(-10, 0);
  Play.Frame(16);
  EXPECT_FLOAT_EQ(Level().fRoll, 16);
  EXPECT_EQ(Play.Input.CursorX, 400);
  EXPECT_EQ(Play.Input.CursorY, 300);
}

TEST_F(LevelProgress, TheEndZoneSlowsToTheBossAndKeepsTheShipInside) {
  Play.Load(TStagePlay::Empty({{"Boss/Life", "100000"}}));
  const float c = 1200, e = 50;
  Play.FlyTo(1 + 1 / c);  // the camera itself past the end: the opened floor
  Level().fPlayer.ShieldTime = 1e9f;  // the boss's shots must not end the test
  Level().fRoll = 179;

  // On the opened floor the ship cannot roll over the top.
  Play.Hold(platform::kVkLeft, true);
  Play.Frame(20);
  EXPECT_FLOAT_EQ(Level().fRoll, 179);
  Play.Hold(platform::kVkLeft, false);
  EXPECT_FLOAT_EQ(Level().fEndPos, 1 + 1 / c + 10 * 0.02f / c);
  EXPECT_FLOAT_EQ(Level().fEndRoll, 179.0f * 0.97f);
  EXPECT_FALSE(Level().fBoss->fActive);

  // At minimum speed it coasts to 29 rings into the zone, then slows at 10
  // rings per second squared (5 rings more) and the fight begins.
  int frames = 0;
  while (Level().fSpeed > 0 && frames < 2000) {
    Play.Frame(16);
    ++frames;
  }
  EXPECT_EQ(Level().fSpeed, 0);
  EXPECT_TRUE(Level().fBoss->fActive);
  EXPECT_GT(Level().ShipPos(), 1 + 29 / c);
  EXPECT_LT(Level().ShipPos(), 1 + 35 / c);

  // Up and Down move ten rings a second within the zone's limits.
  Play.Hold(platform::kVkUp, true);
  Play.Frames(600, 16);
  EXPECT_LE(Level().ShipPos(), (e - 5) / c + 1 + 1e-6f);
  EXPECT_GT(Level().ShipPos(), (e - 6) / c + 1);
  Play.Hold(platform::kVkUp, false);
  Play.Hold(platform::kVkDown, true);
  Play.Frames(800, 16);
  EXPECT_GE(Level().ShipPos(), 5 / c + 1 - 1e-6f);
  EXPECT_LT(Level().ShipPos(), 6 / c + 1);
  Play.Hold(platform::kVkDown, false);
  // The mouse moves it only between 29 rings and 2 before the zone's end.
  Play.Input.MoveMouse(0, -10);
  const float before = Level().fPos;
  Play.Frame(16);
  EXPECT_EQ(Level().fPos, before);
  // The end flight's camera has reached 30 rings before the end and stays.
  EXPECT_GE(Level().fEndPos, (e - 30) / c + 1);
  EXPECT_LT(Level().fEndPos, (e - 29) / c + 1);
  EXPECT_EQ(Level().fEndRoll, 0);  // decayed per frame, then snapped to 0
}

TEST_F(LevelProgress, PowerUpsApplyTheirEffectsOnlyUnderTheShip) {
  Play.Load(TStagePlay::Empty());
  auto place = [&](uint8_t kind, int32_t value, float roll) {
    auto powerUp = std::make_unique<TPowerUp>();
    powerUp->Kind = kind;
    powerUp->Value = value;
    powerUp->Pos = Level().ShipPos();
    powerUp->Roll = roll;
    Level().fPowerUp.List.push_back(std::move(powerUp));
  };
  Play.FlyTo(0.3f);
  place(kPowerUpShield, 5000, 0);
  Play.Frame(0);
  EXPECT_EQ(Level().fPlayer.ShieldTime, 5000);
  EXPECT_TRUE(Level().fPlayer.ShieldVisible);
  EXPECT_TRUE(Level().fPowerUp.List.empty());
  Play.Frame(1000);
  place(kPowerUpShield, 1000, 0);  // overwrites the 4000 ms left
  Play.Frame(0);
  EXPECT_EQ(Level().fPlayer.ShieldTime, 1000);

  Level().fLife = 95;
  place(kPowerUpLife, 10, 0);
  Level().fPlayer.Weapon = 8;
  place(kPowerUpWeapon, 3, 0);
  Play.Frame(0);
  EXPECT_EQ(Level().fLife, 100);
  EXPECT_EQ(Level().fPlayer.Weapon, 9);
  place(kPowerUpLife, -10, 0);
  Play.Frame(0);
  EXPECT_EQ(Level().fLife, 90);

  // 3 degrees apart across +-180 is still far apart.
  Level().fRoll = -179;
  place(kPowerUpLife, 5, 178);
  Play.Frame(0);
  EXPECT_EQ(Level().fLife, 90);
  ASSERT_EQ(Level().fPowerUp.List.size(), 1u);
  // Once behind the camera it is gone.
  Level().fPowerUp.List[0]->Pos = Level().fPos - 0.001f;
  Play.Frame(0);
  EXPECT_TRUE(Level().fPowerUp.List.empty());
  EXPECT_EQ(Level().fLife, 90);
}

TEST_F(LevelProgress, ShieldAndLifeWarningsBlinkAndGameOverEndsTheFrame) {
  Play.Load(TStagePlay::Empty());
  Play.FlyTo(0.3f);
  Level().fPlayer.ShieldTime = 2050;
  Level().fPlayer.ShieldVisible = true;
  Play.Frame(100);  // 1950 left: blinking starts, not yet 100 ms of it
  EXPECT_TRUE(Level().fPlayer.ShieldVisible);
  Play.Frame(101);
  EXPECT_FALSE(Level().fPlayer.ShieldVisible);
  Play.Frames(20, 100);  // runs out
  Play.Frame(16);
  EXPECT_FALSE(Level().fPlayer.ShieldVisible);

  Level().fLife = 19;
  Play.Frame(150);
  EXPECT_TRUE(Level().fLifeVisible);
  Play.Frame(60);
  EXPECT_FALSE(Level().fLifeVisible);
  Level().fLife = 20;
  Play.Frame(16);
  EXPECT_TRUE(Level().fLifeVisible);

  // Two enemy shots on the ship in one frame cost two points; the second
  // takes the last one and play ends in that frame.
  Level().fLife = 2;
  Level().fScore = 1234;
  auto& shots = Level().fBoss->fParticleManager;
  for (int i = 0; i < 2; ++i) shots.Add(nullptr).Init(false, Level().ShipPos(), Level().fRoll, 0, 0, 0, 0, 5000);
  Level().fBoss->fActive = true;
  // A plugged-in pad shakes for the lost life, once in the frame.
  Play.Input.Pad.Connected = true;
  ASSERT_TRUE(Play.Input.Rumbles.empty());
  Play.Frame(16);
  EXPECT_EQ(Play.Input.Rumbles.size(), 1u);
  EXPECT_EQ(Level().fLife, 0);
  EXPECT_EQ(Level().fFinish.State, TFinishState::GameOver);
  EXPECT_EQ(Level().fFinish.Points, 1234);
  EXPECT_EQ(Level().fFinish.LifeBonus, 0);
  EXPECT_EQ(Level().fFinish.TimeBonus, 0);
  EXPECT_EQ(Level().fFinish.Total, 1234);
}

// What a paused frame must leave alone: the state a replay checks, and the
// blink timers that only the picture shows.
struct TStill {
  uint32_t Checksum;
  float LifeBlink, ShieldBlink;
  bool LifeVisible, ShieldVisible;
  bool operator==(const TStill&) const = default;
};
std::ostream& operator<<(std::ostream& out, const TStill& s) {
  return out << s.Checksum << " " << s.LifeBlink << " " << s.ShieldBlink << " " << s.LifeVisible << s.ShieldVisible;
}
TStill Still(const TLevel& level) {
  return {StateChecksum(level), level.fLifeBlinkTime, level.fPlayer.ShieldBlinkTime, level.fLifeVisible,
          level.fPlayer.ShieldVisible};
}

TEST_F(LevelProgress, PauseHoldsEverythingUntilResumedAndEscapeStillLeaves) {
  Play.Load({{"SmallEnemy/Count", "8"}, {"SmallEnemy/ShootValue", "200"}});
  Play.Input.Pad.Connected = true;
  Play.Hold('X', true);
  Play.Hold(platform::kVkUp, true);
  Play.Frames(400, 16);  // through the intro, firing, enemies about
  ASSERT_GT(Level().ShipPos(), 0);
  ASSERT_FALSE(PlayerShots().empty());
  ASSERT_FALSE(Level().fSmallEnemy.Manager->fSmallEnemy.empty());

  // Each of P, the Pause key and Start pauses and resumes; keys, mouse and
  // stick do nothing meanwhile, and the sounds stand still.
  for (int source = 0; source < 3; ++source) {
    auto press = [&] {
      if (source == 0) Play.Press('P');
      if (source == 1) Play.Press(platform::kVkPause);
      if (source == 2) {
        Play.Input.SetPadButton(platform::kPadStart, true);
        Play.Frame(16);
        Play.Input.SetPadButton(platform::kPadStart, false);
        Play.Frame(16);
      }
    };
    // A fading shield and a blinking life count, both running.
    Level().fPlayer.ShieldTime = 1500;
    Level().fLife = 15;
    press();
    ASSERT_TRUE(Level().Paused()) << source;
    const TStill still = Still(Level());
    const float time = Level().fTime;
    const uint64_t sounds = Play.Sound.PlayedCount();
    Play.Hold(platform::kVkLeft, true);
    Play.Input.MoveMouse(40, -30);
    Play.Input.Pad.StickX = 32767;
    Play.Frames(100, 16);
    EXPECT_EQ(Still(Level()), still) << source;
    EXPECT_EQ(Play.Sound.PlayedCount(), sounds) << source;
    EXPECT_TRUE(platform::AudioPaused());
    EXPECT_EQ(Level().PauseTexts(640, 480, 24).size(), 3u);
    EXPECT_EQ(Level().PauseTexts(640, 480, 24)[1].Text, "P oder Start: weiter, Esc: Level verlassen");
    Play.Hold(platform::kVkLeft, false);
    Play.Input.Pad.StickX = 0;
    press();
    EXPECT_FALSE(Level().Paused()) << source;
    EXPECT_FALSE(platform::AudioPaused());
    Play.Frames(10, 16);
    EXPECT_GT(Level().fTime, time) << source;
  }
  EXPECT_TRUE(Level().PauseTexts(640, 480, 24).empty());

  // The window losing focus pauses the same way; Escape leaves from there
  // and the menu's sounds play on.
  Level().Pause();
  Play.Frames(5, 16);
  EXPECT_TRUE(Level().Paused());
  Play.Hold(platform::kVkEscape, true);
  Play.Frame(16);
  EXPECT_FALSE(Level().fActive);
  EXPECT_FALSE(Level().Paused());
  EXPECT_FALSE(platform::AudioPaused());

  // On the finish screen P is a letter, never a pause.
  Play.Hold(platform::kVkEscape, false);
  Play.Load(TStagePlay::Empty());
  Level().fFinish.State = TFinishState::Passed;
  Level().Pause();
  Play.Press('P');
  EXPECT_FALSE(Level().Paused());
  EXPECT_GT(Level().fFinish.Time, 0);
}

TEST_F(LevelProgress, EscLeavesAtOnce) {
  Play.Load(TStagePlay::Empty());
  Play.FlyTo(0.3f);
  Play.Hold(platform::kVkEscape, true);
  Play.Frame(16);
  EXPECT_FALSE(Level().fActive);
  EXPECT_GT(Level().fTime, 5000);  // the rest of the frame still ran
}

TEST_F(LevelProgress, AFailingUpdateIsShownOncePerStageAndLoggedEveryTime) {
  Play.Load(TStagePlay::Empty());
  std::vector<std::string> boxes;
  platform::SetDialogSink(
      [&](platform::TDialogKind, const std::string&, const std::string& text) { boxes.push_back(text); });
  testing::internal::CaptureStderr();
  for (int i = 0; i < 3; ++i) Level().ReportProgressFailure(1);
  Level().ReportProgressFailure(3);
  const std::string log = testing::internal::GetCapturedStderr();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "Level, Progress: Fehler beim Abarbeiten von 'fSmallEnemy.Manager'");
  EXPECT_EQ(boxes[1], "Level, Progress: Fehler beim Abarbeiten von 'fBoss'");
  std::size_t lines = 0;
  for (std::size_t at = log.find("fSmallEnemy.Manager"); at != std::string::npos;
       at = log.find("fSmallEnemy.Manager", at + 1))
    ++lines;
  EXPECT_EQ(lines, 3u);
  // A new stage shows it again.
  Level().LoadFromFile(Play.StageFile);
  Level().ReportProgressFailure(1);
  EXPECT_EQ(boxes.size(), 3u);
  platform::SetDialogSink([](platform::TDialogKind, const std::string&, const std::string&) {});
}

}  // namespace

// The arena's hint shows from the ship's arrival for a few seconds, in a
// stage that asks for it and never in the classic picture; play runs the same
// with it or without it.
TEST_F(LevelProgress, TheArenaHintShowsForAWhileAfterTheShipArrives) {
  auto hinted = [&] {
    const auto texts = Level().HudTexts(800, 600, 30);
    return std::any_of(texts.begin(), texts.end(), [](const THudText& t) { return t.Text.starts_with("Pfeil"); });
  };
  std::vector<uint32_t> checksums;
  for (const auto& [asks, hints] : {std::pair{true, true}, std::pair{true, false}, std::pair{false, true}}) {
    SCOPED_TRACE(testing::Message() << "asks " << asks << ", hints " << hints);
    Play.Load(TStagePlay::Empty({{"Level/ArenaHint", asks ? "1" : "0"}, {"Boss/Life", "100000"}}));
    Level().fClassic = !hints;
    Level().fPlayer.ShieldTime = 1e9f;
    Play.FlyTo(1 - 2 * Level().fCamera.Dist / 1200);  // the ship five rings before the arena
    Play.Frames(10, 16);
    EXPECT_FALSE(hinted());
    int frames = 0;
    while (Level().fArenaTime < 0 && frames++ < 100) Play.Frame(16);
    EXPECT_EQ(hinted(), asks && hints);
    Play.Frames(static_cast<int>(kArenaHintMs / 16) - 2, 16);
    EXPECT_EQ(hinted(), asks && hints);
    Play.Frames(3, 16);
    EXPECT_FALSE(hinted());
    checksums.push_back(StateChecksum(Level()));
  }
  EXPECT_EQ(checksums[0], checksums[1]);
}
