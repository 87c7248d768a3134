// FeedbackTest.cpp -- what a stage adds to tell the player what happened (a
// hit, a power-up, a hit on the boss, life running low) and the klassisch
// setting that leaves it out: a flight through a small stage plays the same
// either way, frame by frame, and klassisch draws and plays nothing of it.
// Needs a display (real GL) and runs sounds on the dummy audio driver.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <memory>
#include <vector>

#include "app/StateChecksum.h"
#include "objects/Boss.h"
#include "objects/ParticleManager.h"
#include "objects/PowerUp.h"
#include "objects/SmallEnemyManager.h"
#include "platform/VirtualKeys.h"
#include "render/Font.h"
#include "render/FrameSetup.h"
#include "render/draw/Draw.h"
#include "services/Sound.h"
#include "support/StagePlay.h"

namespace {

// What a flight left behind, frame by frame, and what it played.
struct TFlight {
  std::vector<uint32_t> Checksums;
  uint64_t Sounds = 0;
  // Frames in which the feedback had a sound of its own due (a power-up
  // taken, a tick of the boss, the low-life warning).
  int FeedbackSounds = 0;
  int Hits = 0, PowerUps = 0, BossTicks = 0, Warnings = 0;
  TFinishState End = TFinishState::Running;
  std::string LastNote;
};

// The small stage from the gate to the boss's end, fire held and full speed,
// the three power-ups on the ship's line, life low enough to fall below 20,
// shots on the ship now and then, then turning toward the boss as a player
// would.
TFlight Fly(bool classic) {
  TStagePlay play;
  play.Load({{"Level/Circles", "150"},
             {"Level/PowerUpRoll", "0;0;0;"},
             {"Level/PowerUpType", "W;L;W;"},
             {"Level/PowerUpValue", "1;5;1;"},
             {"SmallEnemy/Count", "6"},
             {"SmallEnemy/ShootValue", "300"},
             {"Boss/Life", "40"}});
  TLevel& level = *play.Level;
  level.fClassic = classic;
  level.fLife = 22;
  TFlight flight;
  const uint64_t soundsBefore = play.Sound.PlayedCount();
  play.Hold('X', true);
  play.Hold(platform::kVkUp, true);
  for (int i = 0; i < 4000 && level.fActive && level.fFinish.State == TFinishState::Running; ++i) {
    const bool arena = level.ShipPos() >= 1;
    play.Hold(platform::kVkLeft, arena && level.fBoss->fRoll > level.fRoll + 2);
    play.Hold(platform::kVkRight, arena && level.fBoss->fRoll < level.fRoll - 2);
    // Now and then a shot right on the ship, the same in every flight.
    if (i % 40 == 20 && !arena)
      level.fSmallEnemy.Manager->fParticleManager.Add(level.fSmallEnemy.Particle.get())
          .Init(false, level.ShipPos(), level.fRoll, 0, 0, 0, 0, 1000);
    const bool warned = level.fFeedback.LowLifeWarned;
    play.Frame(16);
    const TLevel::TFeedback& f = level.fFeedback;
    flight.Hits += f.SinceHit == 0;
    flight.PowerUps += f.SinceNote == 0;
    flight.BossTicks += f.SinceBossTick == 0;
    flight.Warnings += f.LowLifeWarned && !warned;
    flight.Checksums.push_back(StateChecksum(level));
  }
  flight.FeedbackSounds = flight.PowerUps + flight.BossTicks + flight.Warnings;
  flight.Sounds = play.Sound.PlayedCount() - soundsBefore;
  flight.End = level.fFinish.State;
  flight.LastNote = level.fFeedback.Note;
  return flight;
}

TEST(Feedback, KlassischPlaysNothingOfItAndNeitherWayChangesTheFlight) {
  const TFlight shown = Fly(false);
  const TFlight classic = Fly(true);
  // Everything the feedback answers happened.
  EXPECT_EQ(shown.End, TFinishState::Passed);
  EXPECT_GT(shown.Hits, 5);
  EXPECT_EQ(shown.PowerUps, 3);
  EXPECT_EQ(shown.LastNote, "Waffe Stufe 3");  // the second weapon power-up: levels count from 1
  EXPECT_GT(shown.BossTicks, 5);
  EXPECT_EQ(shown.Warnings, 2);  // below 20, back up by the life power-up, below again

  ASSERT_EQ(classic.Checksums.size(), shown.Checksums.size());
  for (std::size_t i = 0; i < shown.Checksums.size(); ++i)
    ASSERT_EQ(classic.Checksums[i], shown.Checksums[i]) << "frame " << i;
  EXPECT_EQ(classic.FeedbackSounds, shown.FeedbackSounds);
  EXPECT_EQ(shown.Sounds, classic.Sounds + static_cast<uint64_t>(shown.FeedbackSounds));
}

// One frame of the stage as the form draws it.
std::vector<uint8_t> Draw(TStagePlay& play) {
  render::BeginFrame(play.Window.Width(), play.Window.Height());
  gfx::PushMatrix();
  play.Level->Render();
  gfx::PopMatrix();
  return play.Window.ReadPixels();
}

struct TCount {
  int Red = 0, White = 0;
};

TCount Count(const std::vector<uint8_t>& rgba, int width, int x0, int y0, int x1, int y1) {
  TCount count;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const uint32_t p = TGLWindow::Pixel(rgba, width, x, y);
      const int r = static_cast<int>(p >> 16), g = static_cast<int>((p >> 8) & 0xFF), b = static_cast<int>(p & 0xFF);
      count.Red += r > 90 && r > 2 * g + 20 && r > 2 * b + 20;
      count.White += r > 200 && g > 200 && b > 200;
    }
  }
  return count;
}

TEST(Feedback, AHitAPowerUpAndABossHitShowAndKlassischDrawsTheFrameWithoutThem) {
  // The first stage's arena, with the fight on: its models at their sizes,
  // a yellow ship and an orange boss over a blue floor.
  TStagePlay play;
  TLevel& level = *play.Level;
  level.LoadFromFile(RV_BIN_DIR "/data/Level01.level");
  level.fPlayer.ShipColor = {1, 1, 0, 1};
  TBoss& boss = *level.fBoss;
  boss.fColor = {1, 0.6f, 0.2f, 1};
  const float c = static_cast<float>(level.fCircles);
  play.FlyTo(1 + 30 / c - level.fCamera.Dist / c);
  level.fTime = 90000;
  level.fEndPos = (static_cast<float>(level.fEndLength) - 30) / c + 1;
  level.fSpeed = 0;
  boss.fActive = true;
  boss.fRollSpeed = 0;

  // In one frame: a boss shot on the ship, a volley on the boss, a life
  // power-up under the ship.
  boss.fParticleManager.Add(level.fPlayer.Particle.get()).Init(false, level.ShipPos(), level.fRoll, 0, 0, 0, 0, 5000);
  for (int i = 0; i < 3; ++i)
    level.fPlayer.ParticleManager->Add(level.fPlayer.Particle.get()).Init(true, boss.fPos, boss.fRoll, 0, 0, 0, 0, 2000);
  auto life = std::make_unique<TPowerUp>();
  life->Kind = kPowerUpLife;
  life->Value = 20;
  life->Pos = level.ShipPos();
  level.fPowerUp.List.push_back(std::move(life));
  level.fLife = 50;
  play.Frame(16);
  ASSERT_EQ(level.fLife, 69);
  ASSERT_EQ(boss.fLife, boss.fMaxLife - 3);
  EXPECT_EQ(level.fFeedback.Note, "+20 Leben");

  const int w = play.Window.Width(), h = play.Window.Height();
  const std::vector<uint8_t> shown = Draw(play);
  level.fClassic = true;
  const std::vector<uint8_t> classic = Draw(play);
  // The same frame had nothing happened: the picture klassisch must give.
  level.fFeedback = TLevel::TFeedback{};
  level.fClassic = false;
  const std::vector<uint8_t> quiet = Draw(play);
  EXPECT_TRUE(classic == quiet) << "klassisch draws something of the feedback";

  // The edge glows red all round (the HUD's row and the boss bar aside).
  const int edge = 3;
  for (const auto& [x0, y0, x1, y1] : {std::array{0, h / 3, edge, 2 * h / 3}, std::array{w - edge, h / 3, w, 2 * h / 3},
                                       std::array{w / 3, 0, 2 * w / 3, edge}}) {
    EXPECT_GT(Count(shown, w, x0, y0, x1, y1).Red, (x1 - x0) * (y1 - y0) / 2) << x0 << "," << y0;
    EXPECT_EQ(Count(quiet, w, x0, y0, x1, y1).Red, 0) << x0 << "," << y0;
  }
  // The boss (in the upper half) and the ship (in the lower) flash white:
  // neither has any white of its own.
  for (const auto& [y0, y1] : {std::pair{h / 8, h / 2}, std::pair{h / 2, h - h / 8}})
    EXPECT_GT(Count(shown, w, 0, y0, w, y1).White, Count(quiet, w, 0, y0, w, y1).White + 30) << y0;
  // The note of the power-up under the HUD's row, in the heart's red.
  const int s = level.fFont->Size();
  EXPECT_GT(Count(shown, w, w / 4, s, 3 * w / 4, 2 * s + s / 2).Red, 10);
  EXPECT_EQ(Count(quiet, w, w / 4, s, 3 * w / 4, 2 * s + s / 2).Red, 0);
}

}  // namespace
