// ObjectsProgressTest.cpp -- shots, small and medium enemies and the boss in
// play: hits, ramming, firing rules, the kill value, the boss's timeline and
// the end of the stage. Needs a display (real GL) for the models' buffers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "objects/Boss.h"
#include "objects/Enemy.h"
#include "objects/MediumEnemyManager.h"
#include "objects/ParticleManager.h"
#include "objects/PowerUp.h"
#include "objects/Ship.h"
#include "objects/SmallEnemyManager.h"
#include "services/Arith.h"
#include "support/StageFiles.h"
#include "support/StagePlay.h"

namespace {

TEST(KillValue, ScalesWithSpeedAndNeverCostsPoints) {
  struct TCase {
    float speed, min, max;
    int32_t pct;
  };
  const TCase cases[] = {
      {10, 10, 25, 1},       // 0 becomes 1
      {25, 10, 25, 100},     //
      {17.5f, 10, 25, 50},   //
      {10.075f, 10, 25, 0 + 1},
      {11.05f, 10, 25, 7},   // 7.0 rounds to 7
      {5, 10, 25, 1},        // slower than the minimum: still 1
      {0, 10, 25, 1},        //
      {20, 10, 10, 100},     // equal limits: full speed
      {20, 25, 10, 33},      // inverted limits: the formula as it stands
      {30, 25, 10, 1},       // and never below 1
  };
  for (const TCase& c : cases) EXPECT_EQ(KillValue(c.speed, c.min, c.max), c.pct) << c.speed;
  // Rounding halves to even: 12.5 and 13.5 of 100.
  EXPECT_EQ(KillValue(12.5f, 0, 100), 12);
  EXPECT_EQ(KillValue(13.5f, 0, 100), 14);
}

TEST(Arith, ScoresSaturateInsteadOfWrapping) {
  EXPECT_EQ(SaturatingAdd(std::numeric_limits<int32_t>::max() - 5, 10), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(SaturatingAdd(std::numeric_limits<int32_t>::min() + 5, -10), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(SaturatingAdd(100, -30), 70);
  EXPECT_EQ(RoundToInt32(2.5), 2);
  EXPECT_EQ(RoundToInt32(-3.5), -4);
  EXPECT_EQ(RoundToInt32(1e30), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(RoundToInt32(-HUGE_VAL), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(RoundToInt32(std::nan("")), 0);
}

class ObjectsProgress : public testing::Test {
 protected:
  TStagePlay Play;
  TLevel& Level() { return *Play.Level; }
  TParticleManager& PlayerShots() { return *Level().fPlayer.ParticleManager; }
  // Adds a player shot and returns its index in the list.
  std::size_t PlayerShot(float pos, float roll) {
    PlayerShots().Add(Level().fPlayer.Particle.get()).Init(true, pos, roll, 0, 0, 0, 0, 2000);
    return PlayerShots().Items().size() - 1;
  }
  bool ShotDead(std::size_t index) { return PlayerShots().Items()[index].Dead(); }
};

TEST_F(ObjectsProgress, SmallEnemyTakesOneShotAndRammingCostsLifeOnlyWithoutShieldTalliedByCause) {
  Play.Load(TStagePlay::Empty({{"SmallEnemy/Count", "1"}, {"SmallEnemy/ShootValue", "-100000"}}));
  Play.FlyTo(0.3f);
  Level().fSpeed = 17.5f;  // kill value 50
  TSmallEnemy& enemy = *Level().fSmallEnemy.Manager->fSmallEnemy[0];
  enemy.fPos = Level().ShipPos() + 0.01f;
  enemy.fRoll = 40;
  enemy.fSpeed = enemy.fRollSpeed = 0;
  const std::size_t first = PlayerShot(enemy.fPos, 40);
  const std::size_t second = PlayerShot(enemy.fPos, 40);
  Level().fSmallEnemy.Manager->Progress(0);
  EXPECT_TRUE(enemy.fExploding);
  EXPECT_TRUE(ShotDead(first));
  EXPECT_FALSE(ShotDead(second));
  EXPECT_EQ(Level().fScore, 50);

  // Ramming: the enemy explodes either way, life only goes without shield.
  auto ram = [&] {
    enemy.Reset();
    enemy.fPos = Level().ShipPos();
    enemy.fRoll = Level().fRoll;
    Level().fSmallEnemy.Manager->Progress(0);
    EXPECT_TRUE(enemy.fExploding);
  };
  Level().fLife = 50;
  ram();
  EXPECT_EQ(Level().fLife, 49);
  EXPECT_EQ(Level().fScore, 50);  // no points for ramming
  Level().fPlayer.ShieldTime = 100;
  ram();
  EXPECT_EQ(Level().fLife, 49);

  // Each lost point is tallied by its cause, the boss's shots by the fire
  // point that fired them; a hit the shield takes is not.
  TBoss& boss = *Level().fBoss;
  boss.fActive = true;
  auto bossShots = [&](std::initializer_list<int32_t> points) {
    for (const int32_t point : points) {
      boss.fParticleManager.Add(nullptr).Init(true, Level().ShipPos(), Level().fRoll, 0, 0, 0, 0, 1000).fSource = point;
    }
    boss.Progress(0);
  };
  bossShots({3});
  Level().fPlayer.ShieldTime = 0;
  bossShots({3, 0, 3});
  EXPECT_EQ(Level().fLife, 46);
  EXPECT_EQ(Level().fHits.Text(), "boss P3 2, boss P0 1, small body 1");
}

TEST_F(ObjectsProgress, SmallEnemiesFireByTimerOrAtRandomButNotOnceDead) {
  Play.Load(TStagePlay::Empty({{"SmallEnemy/Count", "1"}, {"SmallEnemy/ShootValue", "-1000"}}));
  Play.FlyTo(0.3f);
  TSmallEnemyManager& manager = *Level().fSmallEnemy.Manager;
  TSmallEnemy& enemy = *manager.fSmallEnemy[0];
  enemy.fPos = 0.6f;
  enemy.fRoll = 90;
  enemy.fShootTimer = 0;
  for (int i = 0; i < 250; ++i) manager.Progress(10);  // 2.5 s: shots at 1.0 and 2.0 s
  EXPECT_EQ(manager.fParticleManager.Added(), 2u);
  const TParticleListItem& shot = manager.fParticleManager.Items()[0];
  EXPECT_FALSE(shot.fSpin);
  EXPECT_EQ(shot.fLifeTime, 5000);
  EXPECT_EQ(shot.fRollSpeed, 0);
  EXPECT_FLOAT_EQ(shot.fSpeed, enemy.fSpeed - 15.0f / 1200);

  // Shoot value 0: random mode that always fires.
  enemy.fShootValue = 0;
  manager.Progress(16);
  EXPECT_EQ(manager.fParticleManager.Added(), 3u);
  // An exploding enemy still fires; a dead one that is not reborn does not.
  enemy.Explode();
  manager.Progress(16);
  EXPECT_EQ(manager.fParticleManager.Added(), 4u);
  Level().fPos = 0.95f;  // no room ahead for a rebirth
  enemy.fPos = 0.99f;
  manager.Progress(600);
  ASSERT_TRUE(enemy.fDead);
  const uint64_t fired = manager.fParticleManager.Added();
  manager.Progress(16);
  manager.Progress(16);
  EXPECT_EQ(manager.fParticleManager.Added(), fired);

  // With room ahead a dead enemy is reborn in the same frame.
  Level().fPos = 0.3f;
  manager.Progress(16);
  EXPECT_FALSE(enemy.fDead);
  EXPECT_FALSE(enemy.fExploding);
  EXPECT_GT(enemy.fPos, 0.3f + 50.0f / 1200 - 1e-6f);
  EXPECT_LT(enemy.fPos, 0.3f + 200.0f / 1200);
}

// Schwer sharpens the fire of small enemies and gunboats: in 2.5 s a timer
// of 1 s fires twice on Leicht and Normal and three times on Schwer (every
// 0.75 s), and the shots fly a quarter faster; a random shooter's mean time
// shrinks alike.
TEST_F(ObjectsProgress, DifficultiesScaleTheFireOfSmallEnemiesAndGunboats) {
  for (const auto& [difficulty, shots, pace, randomMean] :
       {std::tuple{TDifficulty::Easy, 2u, 1.0f, 4000}, {TDifficulty::Normal, 2u, 1.0f, 4000},
        {TDifficulty::Hard, 3u, 1.25f, 3000}}) {
    SCOPED_TRACE(DifficultyRules(difficulty).Name);
    EXPECT_EQ(EnemyShootValue(DifficultyRules(difficulty), 4000), randomMean);
    Level().fDifficulty = difficulty;
    Play.Load(TStagePlay::Empty({{"SmallEnemy/Count", "1"}, {"SmallEnemy/ShootValue", "-1000"},
                                 {"MediumEnemy/Position", "0,5;"}, {"MediumEnemy/ShootValue", "-1000"}}));
    Play.FlyTo(0.5f - (Level().fCamera.Dist + 20) / 1200);
    TSmallEnemyManager& small = *Level().fSmallEnemy.Manager;
    TMediumEnemyManager& gunboats = *Level().fMediumEnemy.Manager;
    TSmallEnemy& enemy = *small.fSmallEnemy[0];
    enemy.fPos = 0.6f;
    enemy.fShootTimer = 0;
    const uint64_t smallBefore = small.fParticleManager.Added(), gunboatsBefore = gunboats.fParticleManager.Added();
    for (int i = 0; i < 250; ++i) {
      small.Progress(10);
      gunboats.Progress(10);
    }
    EXPECT_EQ(small.fParticleManager.Added() - smallBefore, shots);
    EXPECT_EQ(gunboats.fParticleManager.Added() - gunboatsBefore, 2 * shots);
    EXPECT_FLOAT_EQ(small.fParticleManager.Items().at(0).fSpeed, enemy.fSpeed - 15 * pace / 1200);
    EXPECT_FLOAT_EQ(gunboats.fParticleManager.Items().at(0).fSpeed, -15 * pace / 1200);
  }
}

TEST_F(ObjectsProgress, MediumEnemiesWaitTurnKeepAheadFireSalvosAndNeedEveryHit) {
  Play.Load(TStagePlay::Empty({{"MediumEnemy/Position", "0,5;"},
                               {"MediumEnemy/Life", "3"},
                               {"MediumEnemy/ShootValue", "-1000"}}));
  TMediumEnemyManager& manager = *Level().fMediumEnemy.Manager;
  ASSERT_EQ(manager.fMediumEnemys.size(), 1u);
  TMediumEnemy& enemy = *manager.fMediumEnemys[0];
  const float c = 1200, dist = Level().fCamera.Dist;

  // Out of reach: nothing happens at all.
  Play.FlyTo(0.2f);
  enemy.fRoll = 100;
  manager.Progress(2000);
  EXPECT_EQ(enemy.fRoll, 100);
  EXPECT_EQ(enemy.fShootTimer, 0);
  EXPECT_EQ(manager.fParticleManager.Added(), 0u);

  // In reach: turns the shorter way, holds within 10 degrees.
  Level().fPos = 0.5f - (dist + 29) / c;
  Level().fRoll = 0;
  enemy.fRoll = 10;
  manager.Progress(10);
  EXPECT_FLOAT_EQ(enemy.fRoll, 10 - 0.9f);
  enemy.fRoll = 9.9f;
  manager.Progress(10);
  EXPECT_FLOAT_EQ(enemy.fRoll, 9.9f);
  enemy.fRoll = -170;
  Level().fRoll = 170;  // delta -340: the short way is down through -180
  manager.Progress(10);
  EXPECT_FLOAT_EQ(enemy.fRoll, -170 - 0.9f);
  // Pushed ahead: never closer than PlayerDist rings to the ship.
  Level().fPos = 0.5f;
  manager.Progress(0);
  EXPECT_FLOAT_EQ(enemy.fPos, 0.5f + (dist + 15) / c);

  // Timer mode: a salvo of two every second after activation, one shot from
  // each side of the hull.
  const uint64_t before = manager.fParticleManager.Added();
  enemy.fShootTimer = 0;
  enemy.fRoll = 0;
  Level().fRoll = 0;
  for (int i = 0; i < 150; ++i) manager.Progress(10);
  EXPECT_EQ(manager.fParticleManager.Added(), before + 2);
  const auto& salvo = manager.fParticleManager.Items();
  ASSERT_GE(salvo.size(), 2u);
  const TShip& model = *Level().fMediumEnemy.Ship;
  EXPECT_NEAR(salvo[salvo.size() - 1].fRoll - salvo[salvo.size() - 2].fRoll, model.fRollMax - model.fRollMin, 1e-3);
  // Random mode: both shots of a salvo together.
  enemy.fShootValue = 0;
  manager.Progress(16);
  EXPECT_EQ(manager.fParticleManager.Added(), before + 4);
  enemy.fShootValue = -1000000;

  // Three hits needed: the first two only use up the shots.
  Level().fSpeed = 25;  // kill value 100: 1000 points for the medium enemy
  Level().fScore = 0;
  for (int hit = 1; hit <= 3; ++hit) {
    const std::size_t shot = PlayerShot(enemy.fPos, enemy.fRoll);
    manager.Progress(0);
    EXPECT_TRUE(ShotDead(shot));
    EXPECT_EQ(enemy.fLife, 3 - hit);
    EXPECT_EQ(enemy.fExploding, hit == 3);
  }
  EXPECT_EQ(Level().fScore, 1000);
  // Once exploding, shots pass through; when dead it is removed for good.
  const std::size_t late = PlayerShot(enemy.fPos, enemy.fRoll);
  manager.Progress(0);
  EXPECT_FALSE(ShotDead(late));
  manager.Progress(600);
  EXPECT_TRUE(manager.fMediumEnemys.empty());
}

// A boss file with one fire point and one loop, for the timeline.
std::string TimelineBoss(const TTempDir& dir, const std::string& maxTime, const std::string& times,
                         const std::string& loops) {
  const std::string path = dir.File("timeline.boss");
  WriteBytes(path, ModelText(20, 10) + "[FirePoints]\r\nMaxTime=" + maxTime +
                       "\r\ncount=1\r\nPoint0=0;0;20;0;0;0;100;0;\r\nParticle0=" + dir.File("shot.part") +
                       "\r\nPoint0TimeList=" + times + "\r\n[Loops]\r\n" + loops);
  return path;
}

TEST_F(ObjectsProgress, BossTimelineLoopsAndWraps) {
  struct TCase {
    const char* name;
    std::string maxTime, times, loops;
    int frames;  // of 10 ms
    uint64_t shots;
  };
  const TCase cases[] = {
      // 1000..3000 played three times per pass, then 4000; the next pass
      // starts after 9000 ms of play.
      {"loop", "5000", "1500;2500;4000;", "count=1\r\nLoop0=1000;3000;2;\r\n", 905, 7},
      {"two passes", "5000", "1500;2500;4000;", "count=1\r\nLoop0=1000;3000;2;\r\n", 905 + 900, 14},
      // A value without its ';' is not part of the list.
      {"unterminated", "5000", "500;1000;1500", "count=0\r\n", 400, 2},
      // MaxTime 0: every point returns to its first moment every frame.
      {"no length", "0", "50;", "count=0\r\n", 20, 15},
  };
  for (const TCase& c : cases) {
    Play.Load(TStagePlay::Empty({{"Boss/FileName", TimelineBoss(Play.Dir, c.maxTime, c.times, c.loops)}}));
    TBoss& boss = *Level().fBoss;
    Play.FlyTo(0.3f);
    boss.Progress(1000);  // inactive: nothing moves, not even the clock
    EXPECT_EQ(boss.fClock, 0) << c.name;
    boss.fActive = true;
    const uint64_t before = boss.fParticleManager.Added();
    for (int i = 0; i < c.frames; ++i) boss.Progress(10);
    EXPECT_EQ(boss.fParticleManager.Added() - before, c.shots) << c.name;
  }
}

// Each difficulty on the same stage: the boss's shot, a heart of 10 at life
// 50, ten hits one frame apart (a wall of shots) and one more after 600 ms.
TEST_F(ObjectsProgress, DifficultiesScaleBossShotsHeartsAndTheGraceAfterAHit) {
  for (const auto& [difficulty, pace, afterHeart, lostToTen] :
       {std::tuple{TDifficulty::Normal, 1.0f, 60, 10}, {TDifficulty::Easy, 0.8f, 65, 1}, {TDifficulty::Hard, 1.15f, 57, 10}}) {
    Level().fDifficulty = difficulty;
    Play.Load(TStagePlay::Empty({{"Boss/FileName", TimelineBoss(Play.Dir, "5000", "10;", "count=0\r\n")}}));
    TBoss& boss = *Level().fBoss;
    boss.fActive = true;
    boss.Progress(20);
    EXPECT_FLOAT_EQ(boss.fParticleManager.Items().at(0).fSpeed, -20 * pace / static_cast<float>(Level().fCircles));
    boss.fActive = false;
    Play.FlyTo(0.3f);
    Level().fLife = 50;
    Level().fPowerUp.List.push_back(std::make_unique<TPowerUp>());
    *Level().fPowerUp.List.back() = {.Pos = Level().ShipPos(), .Value = 10, .Kind = kPowerUpLife};
    Play.Frame(0);
    EXPECT_EQ(Level().fLife, afterHeart);
    for (int i = 0; i < 10; ++i) {
      Level().HitPlayer(THitCause::SmallShot);
      Play.Frame(16);
    }
    EXPECT_EQ(Level().fLife, afterHeart - lostToTen);
    Play.Frame(600);
    Level().HitPlayer(THitCause::SmallShot);
    EXPECT_EQ(Level().fLife, afterHeart - lostToTen - 1);
  }
}

TEST_F(ObjectsProgress, BossSwingsAndItsLastHitsEndTheStage) {
  Play.Load(TStagePlay::Empty({{"Boss/Life", "2"}, {"Boss/RollSpeed", "45"}}));
  TBoss& boss = *Level().fBoss;
  Play.FlyTo(1 + 30.0f / 1200 - Level().fCamera.Dist / 1200);
  Level().fPlayer.ShieldTime = 1e9f;
  boss.fActive = true;
  float lowest = 0, highest = 0;
  for (int i = 0; i < 1000; ++i) {
    boss.Progress(16);
    lowest = std::min(lowest, boss.fRoll);
    highest = std::max(highest, boss.fRoll);
  }
  EXPECT_GT(highest, 90);
  EXPECT_LE(highest, 90 + 45 * 0.016f + 1e-3f);
  EXPECT_LT(lowest, -90);
  EXPECT_GE(lowest, -90 - 45 * 0.016f - 1e-3f);

  // Three hits in one frame on a boss with two life points: every hit
  // scores, and the breakdown is set from the last.
  Level().fScore = 500;
  Level().fLife = 37;
  Level().fTime = 100000;
  Level().fPathLength = 2500;
  boss.fRollSpeed = 0;
  for (int i = 0; i < 3; ++i) PlayerShot(boss.fPos, boss.fRoll);
  boss.Progress(0);
  EXPECT_EQ(boss.fLife, -1);
  EXPECT_EQ(Level().fScore, 530);
  const auto& finish = Level().fFinish;
  EXPECT_EQ(finish.State, TFinishState::Passed);
  EXPECT_EQ(finish.Points, 530);
  EXPECT_EQ(finish.LifeBonus, 3700);
  EXPECT_EQ(finish.TimeBonus, 25000);
  EXPECT_EQ(finish.Total, 530 + 3700 + 25000);
  for (const TParticleListItem& shot : PlayerShots().Items()) EXPECT_TRUE(shot.Dead());
}

}  // namespace
