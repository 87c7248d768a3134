// LevelLoadTest.cpp -- loading a stage: its mesh, models, objects and the
// load errors of impossible stage values. Needs a display (real GL).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "geometry/SimMath.h"
#include "objects/Bolt.h"
#include "objects/Boss.h"
#include "objects/MediumEnemyManager.h"
#include "objects/PowerUp.h"
#include "objects/Ship.h"
#include "objects/SmallEnemyManager.h"
#include "render/Font.h"
#include "render/VertexBufferObject.h"
#include "services/DataError.h"
#include "stage/Level.h"
#include "support/GLWindow.h"
#include "support/StageFiles.h"
#include "support/StagePlay.h"
#include "support/TempDir.h"

namespace {

class LevelTest : public testing::Test {
 protected:
  TGLWindow Window{1024, 768};
  TTempDir Dir;
  TSilentLevel Level{Window.Platform()};
};

TEST_F(LevelTest, DefaultStageBuildsTheSpecifiedMesh) {
  Level.LoadFromFile(WriteStage(Dir));
  ASSERT_TRUE(Level.fActive);
  EXPECT_EQ(Level.fTubeVBO->Capacity(), 52542);  // (1200 + 50 + 1) * 21 * 2
  EXPECT_EQ(Level.fTubeVBO->Count(), 52542);
  EXPECT_EQ(Level.fRings.size(), 1200u);
  EXPECT_EQ(Level.fRings[0].Points.size(), 20u);
  ASSERT_EQ(Level.fBolts.size(), 21u);
  EXPECT_EQ(Level.fBolts[0]->fCount, 50);
  EXPECT_EQ(Level.fBolts[0]->fStrands, 5);
  EXPECT_EQ(Level.fBolts[0]->fFlickerChance, 3);
  EXPECT_EQ(Level.fBolts[1]->fCount, 100);
  EXPECT_EQ(Level.fBolts[1]->fStrands, 2);
  EXPECT_EQ(Level.fBolts[1]->fReshapeTime, 0);
  EXPECT_GE(Level.fBolts[1]->fFlickerTime, 75);
  EXPECT_LE(Level.fBolts[1]->fFlickerTime, 124);
  // The gate ring closes: its last control point is its first.
  const auto& gate = Level.fBolts[0]->fControlPoints;
  EXPECT_NEAR(gate.front().x, gate.back().x, 1e-4);
  EXPECT_NEAR(gate.front().z, gate.back().z, 1e-4);
  // The HUD font follows the viewport: 768 / 20.
  EXPECT_EQ(Level.fFont->Size(), 38);
}

TEST_F(LevelTest, RingColoursBlendAndTheOpenedTubeFadesOut) {
  Level.LoadFromFile(WriteStage(Dir));
  const auto half = Level.RingColor(0.5f);
  EXPECT_EQ(half[0], 128);  // 127.5 to even
  EXPECT_EQ(half[1], 128);
  EXPECT_EQ(half[2], 128);
  EXPECT_EQ(half[3], 255);
  EXPECT_EQ(Level.RingColor(0)[0], 255);
  EXPECT_EQ(Level.RingColor(1)[2], 255);
  EXPECT_EQ(Level.RingColor(1250.0f / 1200)[3], 0);
  EXPECT_NEAR(Level.RingColor(1225.0f / 1200)[3], 128, 1);
  EXPECT_EQ(Level.RingColor(1225.0f / 1200)[2], 255);  // colour of the end

  // Components beyond 0..1 saturate.
  Level.LoadFromFile(WriteStage(Dir, {{"Level/TubeStartColor", "2;-1;1e30;1"}, {"Level/TubeEndColor", "-2;3;-1e30;1"}}));
  EXPECT_EQ(Level.RingColor(0), (std::array<uint8_t, 4>{255, 0, 255, 255}));
  EXPECT_EQ(Level.RingColor(1), (std::array<uint8_t, 4>{0, 255, 0, 255}));
}

TEST_F(LevelTest, TubeVerticesLieOnTheWallAtTheObjectsAngle) {
  Level.LoadFromFile(WriteStage(Dir));
  for (float t : {0.1f, 0.5f, 0.9f}) {
    const TVector3f centre = Level.fSpline.GetPoint(t);
    for (float angle : {0.0f, 1.0f, 3.0f}) {
      const TVector3f v = Level.TubeVertex(t, angle, 1);
      const float d = std::sqrt((v.x - centre.x) * (v.x - centre.x) + (v.y - centre.y) * (v.y - centre.y) +
                                (v.z - centre.z) * (v.z - centre.z));
      EXPECT_NEAR(d, Level.fTubeSize, 1e-3) << t << " " << angle;
    }
    // Angle 0 lies under an object at roll 0 (0.9 radii from the axis).
    const TMatrix4f m = Level.fSpline.TubeTransform(t, 0);
    const TVector3f wall = Level.TubeVertex(t, 0, 0.9f);
    EXPECT_NEAR(m[12], wall.x, 1e-3);
    EXPECT_NEAR(m[13], wall.y, 1e-3);
    EXPECT_NEAR(m[14], wall.z, 1e-3);
  }
}

// The mesh computes a ring's frame once for all its points; every point must
// keep the bits of the formula computed point by point, beyond the end too.
TEST_F(LevelTest, RingSlicesGiveTheSameBitsAsThePointByPointFormula) {
  Level.LoadFromFile(WriteStage(Dir));
  auto direct = [&](float t, float angle) {
    TSplineFrame f;
    Level.fSpline.GetFrame(1.0f / static_cast<float>(Level.fCircles), t, f);
    double a = angle;
    if (t > 1) a = a / simmath::Pow(static_cast<double>(t), 50.0);
    a -= M_PI / 2;
    const double e = simmath::Pow(std::max(static_cast<double>(t) - 1.0, 0.0) + 1.0, 50.0);
    const float x = static_cast<float>(simmath::Cos(a) * Level.fTubeSize * e);
    const float y = static_cast<float>(simmath::Sin(a) * Level.fTubeSize * e + (e - 1) * Level.fTubeSize);
    const double yPrime = simmath::Cos(f.Pitch) * y;
    const double w = -simmath::Sin(f.Pitch) * y;
    const double bigX = simmath::Cos(f.Yaw) * x - simmath::Sin(f.Yaw) * w;
    const double bigZ = simmath::Sin(f.Yaw) * x + simmath::Cos(f.Yaw) * w;
    return TVector3f{static_cast<float>(bigX + f.Position.x), static_cast<float>(yPrime + f.Position.y),
                     static_cast<float>(bigZ + f.Position.z)};
  };
  const int32_t rings = Level.fCircles + Level.fEndLength + 1;
  const auto slices = Level.RingSlices(rings);
  for (int32_t i = 0; i < rings; i += 7) {
    const float t = static_cast<float>(i) / static_cast<float>(Level.fCircles);
    for (float angle : {0.0f, 0.7f, 2.5f, -3.1f}) {
      const TVector3f expected = direct(t, angle), sliced = Level.TubeVertex(slices[static_cast<std::size_t>(i)], angle, 1);
      EXPECT_EQ(std::memcmp(&expected, &sliced, sizeof expected), 0) << "ring " << i << " angle " << angle;
    }
  }
}

TEST_F(LevelTest, StartValuesModelsAndObjects) {
  Level.LoadFromFile(WriteStage(Dir));
  EXPECT_EQ(Level.fLife, 100);
  EXPECT_FLOAT_EQ(Level.fPos, -20.0f / 1200);
  EXPECT_FLOAT_EQ(Level.fSpeed, 10);
  EXPECT_FLOAT_EQ(Level.fShootTime, 99);
  EXPECT_TRUE(Level.fLifeVisible);
  EXPECT_EQ(Level.fPowerUp.Angle, 6);  // trunc(5.73) + 1
  EXPECT_FLOAT_EQ(Level.fPowerUp.Length, 0.4f / Level.fPathLength);
  EXPECT_FLOAT_EQ(Level.fPlayer.Radius, 20);  // largest |x| or |z|
  EXPECT_GT(Level.fPathLength, 400);
  // The mouse is centred for steering: in the window (1024 x 768 in a larger
  // test screen), not on the desktop.
  int x = 0, y = 0;
  Window.Platform().GetCursorPos(x, y);
  EXPECT_EQ(x, 512);
  EXPECT_EQ(y, 384);

  // The swarm is placed before the start values are set: on a first load,
  // ahead of path parameter 0.
  EXPECT_EQ(Level.fSmallEnemy.Manager->fSmallEnemy.size(), 5u);
  for (const auto& enemy : Level.fSmallEnemy.Manager->fSmallEnemy) {
    EXPECT_GE(enemy->fPos, 50.0f / 1200);
    EXPECT_LE(enemy->fPos, 200.0f / 1200);
    EXPECT_LE(enemy->fSpeed, 0);
    EXPECT_GE(std::fabs(enemy->fRollSpeed), 10);
  }
  ASSERT_EQ(Level.fMediumEnemy.Manager->fMediumEnemys.size(), 3u);  // default "0,1;0,2;0,3;"
  EXPECT_FLOAT_EQ(Level.fMediumEnemy.Manager->fMediumEnemys[2]->fPos, 0.3f);
  EXPECT_EQ(Level.fMediumEnemy.Manager->fMediumEnemys[0]->fLife, 10);

  ASSERT_EQ(Level.fPowerUp.List.size(), 3u);
  EXPECT_EQ(Level.fPowerUp.List[0]->Kind, kPowerUpShield);
  EXPECT_EQ(Level.fPowerUp.List[1]->Kind, kPowerUpWeapon);
  EXPECT_EQ(Level.fPowerUp.List[2]->Kind, kPowerUpLife);
  EXPECT_FLOAT_EQ(Level.fPowerUp.List[1]->Roll, 90);
  EXPECT_EQ(Level.fPowerUp.List[0]->Value, 5000);
}

TEST_F(LevelTest, ListsOnlyCountTerminatedItems) {
  Level.LoadFromFile(WriteStage(Dir, {{"MediumEnemy/Position", "0,1;0,2"},
                                      {"Level/PowerUpPos", "0,5"},
                                      {"Level/PowerUpType", "X;"}}));
  EXPECT_EQ(Level.fMediumEnemy.Manager->fMediumEnemys.size(), 1u);
  EXPECT_TRUE(Level.fPowerUp.List.empty());
  Level.LoadFromFile(WriteStage(Dir, {{"Level/PowerUpPos", "0,5;"}, {"Level/PowerUpType", "X;"}}));
  ASSERT_EQ(Level.fPowerUp.List.size(), 1u);
  EXPECT_EQ(Level.fPowerUp.List[0]->Kind, kPowerUpShield);  // any other letter
}

TEST_F(LevelTest, LongListsKeepEveryItem) {
  std::string positions;
  for (int i = 1; i <= 40; ++i) positions += "0," + std::to_string(100 + i) + ";";
  Level.LoadFromFile(WriteStage(Dir, {{"MediumEnemy/Position", positions}}));
  ASSERT_EQ(Level.fMediumEnemy.Manager->fMediumEnemys.size(), 40u);
  EXPECT_FLOAT_EQ(Level.fMediumEnemy.Manager->fMediumEnemys[39]->fPos, 0.140f);
}

TEST_F(LevelTest, AStageWithoutControlPointsIsNotStarted) {
  Level.LoadFromFile(WriteStage(Dir, {{"SplinePoints/count", ""}}));
  EXPECT_FALSE(Level.fActive);
  EXPECT_TRUE(Level.fBolts.empty());
  EXPECT_TRUE(Level.fRings.empty());
}

TEST_F(LevelTest, ASecondStageReplacesEverythingOfTheFirst) {
  Level.LoadFromFile(WriteStage(Dir));
  Level.fPlayer.ParticleManager->Add(Level.fPlayer.Particle.get());
  Level.fScore = 999;
  Level.LoadFromFile(WriteStage(Dir, {{"SmallEnemy/Count", "2"},
                                      {"MediumEnemy/Position", "0,5;"},
                                      {"Level/PowerUpPos", ""},
                                      {"Level/Circles", "600"}}));
  EXPECT_TRUE(Level.fPlayer.ParticleManager->Items().empty());
  EXPECT_EQ(Level.fScore, 0);
  EXPECT_EQ(Level.fSmallEnemy.Manager->fSmallEnemy.size(), 2u);
  EXPECT_EQ(Level.fMediumEnemy.Manager->fMediumEnemys.size(), 1u);
  EXPECT_TRUE(Level.fPowerUp.List.empty());
  EXPECT_EQ(Level.fRings.size(), 600u);
  EXPECT_EQ(Level.fTubeVBO->Capacity(), (600 + 50 + 1) * 21 * 2);
  EXPECT_EQ(Level.fBoss->fFirePoints.size(), 3u);
  EXPECT_EQ(Level.fBoss->fParticles.size(), 2u);
}

TEST_F(LevelTest, OddPointsPerCircleLeavesTheTubeShort) {
  try {
    Level.LoadFromFile(WriteStage(Dir, {{"Level/PointsPerCircle", "21"}}));
    FAIL() << "an odd ring must fail";
  } catch (const VertexBufferException& error) {
    EXPECT_STREQ(error.what(), "Weniger Vertex \xFC" "bergeben als erwartet!");
  }
}

TEST_F(LevelTest, ImpossibleStageValuesAreClearLoadErrors) {
  struct Case {
    const char* key;
    const char* value;
    const char* mentions;
  } cases[] = {
      {"Level/Circles", "0", "Circles"},
      {"Level/PointsPerCircle", "2", "PointsPerCircle"},
      {"Level/PointsPerCircle", "-20", "PointsPerCircle"},
      {"Level/TubeSize", "0", "TubeSize"},
      {"Level/EndLength", "-5", "EndLength"},
      {"Level/Circles", "100000", "Punkte der R\xF6hre"},
      {"SmallEnemy/Count", "-1", "Count"},
      {"SmallEnemy/Count", "2000000000", "Count"},
      {"SmallEnemy/MaxCreateDist", "1e30", "MaxCreateDist"},
      {"Level/PowerUpScale", "9", "PowerUpScale"},
      {"Level/PowerUpRoll", "0;", "PowerUpRoll"},
      {"Player/ShipScale", "2", "breiter als der Durchmesser"},
      // Divisions, negations and conversions fed by the file.
      {"Boss/Life", "0", "[Boss] Life"},
      {"Boss/Life", "-3", "[Boss] Life"},
      {"Level/EndLength", "0", "EndLength"},
      {"SmallEnemy/ExplodeTime", "0", "[SmallEnemy] ExplodeTime"},
      {"MediumEnemy/ExplodeTime", "0", "[MediumEnemy] ExplodeTime"},
      {"SmallEnemy/ShootValue", "-2147483648", "[SmallEnemy] ShootValue"},
      {"MediumEnemy/ShootValue", "-2147483648", "[MediumEnemy] ShootValue"},
      {"Player/MaxSpeed", "1e30", "MaxSpeed"},
      {"Camera/Dist", "1e30", "Dist"},
      {"Player/ParticleScale", "1e30", "ParticleScale"},
      {"Level/MaxShootCount", "-1", "MaxShootCount"},
      {"MediumEnemy/Life", "-2147483648", "[MediumEnemy] Life"},
  };
  for (const Case& c : cases) {
    try {
      Level.LoadFromFile(WriteStage(Dir, {{c.key, c.value}}));
      ADD_FAILURE() << c.key << "=" << c.value << " was accepted";
    } catch (const EDataError& error) {
      EXPECT_NE(std::string(error.what()).find(c.mentions), std::string::npos) << error.what();
    }
  }
}

TEST_F(LevelTest, BrokenModelsNameTheFileAndKey) {
  WriteBytes(Dir.File("bad.ship"), "[Vertex]\r\nVertexCount=2\r\nVertex0=0;0;0\r\nVertex1=1;0;0\r\n"
                                   "[Lines]\r\nLineCount=1\r\nLine0=0;7\r\n");
  try {
    Level.LoadFromFile(WriteStage(Dir, {{"Player/Ship", Dir.File("bad.ship")}}));
    FAIL();
  } catch (const EDataError& error) {
    const std::string text = error.what();
    EXPECT_NE(text.find("bad.ship"), std::string::npos) << text;
    EXPECT_NE(text.find("Line0"), std::string::npos) << text;
  }
}

TEST_F(LevelTest, BossFilePartsAndTheShotModelCache) {
  Level.LoadFromFile(WriteStage(Dir));
  const TBoss& boss = *Level.fBoss;
  EXPECT_FLOAT_EQ(boss.fPos, 1 + 50.0f / 1200);
  EXPECT_EQ(boss.fLife, 800);
  EXPECT_EQ(boss.fMaxLife, 800);
  EXPECT_FLOAT_EQ(boss.fMaxTime, 5000);
  ASSERT_EQ(boss.fFirePoints.size(), 3u);
  // Point0 and Point1 share file and scale: one cached model. Point2's scale
  // 0 becomes 0.003, another entry.
  EXPECT_EQ(boss.fFirePoints[0].fModel, boss.fFirePoints[1].fModel);
  EXPECT_NE(boss.fFirePoints[0].fModel, boss.fFirePoints[2].fModel);
  EXPECT_FLOAT_EQ(boss.fParticles[1].fModel->fScale, 0.003f);
  // Speeds are stored negated; the time list without its last ';' loses 1500.
  EXPECT_FLOAT_EQ(boss.fFirePoints[0].fSpeed, -20);
  EXPECT_EQ(boss.fFirePoints[0].fTimes, (std::vector<int32_t>{500, 1000}));
  EXPECT_EQ(boss.fFirePoints[1].fTimes, (std::vector<int32_t>{250, 750}));
  // Sides of the boss: x = 10 and -10 give opposite roll offsets.
  EXPECT_LT(boss.fFirePoints[0].fAngle, 0);
  EXPECT_FLOAT_EQ(boss.fFirePoints[1].fAngle, -boss.fFirePoints[0].fAngle);
  EXPECT_GT(boss.fFirePoints[0].fPos, boss.fPos);  // z = -5: ahead of the boss's origin
  ASSERT_EQ(boss.fLoops.size(), 1u);
  EXPECT_EQ(boss.fLoops[0].fJumpTo, 1000);
  EXPECT_EQ(boss.fLoops[0].fAt, 3000);
  EXPECT_EQ(boss.fLoops[0].fRemaining, 2);
}

TEST_F(LevelTest, HighscoreRankGoesAfterEqualScores) {
  const std::string stage = WriteStage(Dir, {{"Highscore/count", "4"},
                                             {"Highscore/name0", "A"}, {"Highscore/score0", "500"},
                                             {"Highscore/name1", "B"}, {"Highscore/score1", "300"},
                                             {"Highscore/name2", "C"}, {"Highscore/score2", "300"},
                                             {"Highscore/score3", "100"}});
  Level.LoadFromFile(stage);
  EXPECT_EQ(Level.LoadHighscores(300), 3);
  ASSERT_EQ(Level.fFinish.HighScore.size(), 5u);
  EXPECT_EQ(Level.fFinish.HighScore[3].Name, "");
  EXPECT_EQ(Level.fFinish.HighScore[4].Name, "Unbekannt");
  EXPECT_EQ(Level.LoadHighscores(1000), 0);
  EXPECT_EQ(Level.LoadHighscores(0), 4);
}

class LevelDeathTest : public LevelTest {};

TEST_F(LevelDeathTest, TooFewControlPoints) {
  const std::string stage = WriteStage(Dir, {{"SplinePoints/count", "2"}});
  EXPECT_EXIT(Level.LoadFromFile(stage), testing::ExitedWithCode(1),
              "Level, LoadFromFile: Fehler beim erzeugen und laden von 'fSpline'");
}

// A count raised past the points: p5 and p6 both read as 0;0;0, and the
// path would stand still between them.
TEST_F(LevelDeathTest, TwoEqualConsecutiveControlPoints) {
  const std::string stage = WriteStage(Dir, {{"SplinePoints/count", "7"}});
  EXPECT_EXIT(Level.LoadFromFile(stage), testing::ExitedWithCode(1),
              "fSpline'\r\nLevel .*test.level, \\[SplinePoints\\] p6 = 0;0;0: liegt auf p5, der Pfad hat dort keine Richtung");
}

}  // namespace
