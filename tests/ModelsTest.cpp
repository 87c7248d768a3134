// ModelsTest.cpp -- model extents, shots and lightning.
#include <gtest/gtest.h>

#include <cmath>

#include "objects/Bolt.h"
#include "objects/ParticleManager.h"
#include "objects/Ship.h"
#include "render/Font.h"
#include "render/VertexBufferObject.h"
#include "stage/Level.h"
#include "support/GLWindow.h"
#include "support/StageFiles.h"
#include "support/StagePlay.h"
#include "support/TempDir.h"

namespace {

class ModelsTest : public testing::Test {
 protected:
  void SetUp() override { Level.LoadFromFile(WriteStage(Dir)); }
  TGLWindow Window{320, 240};
  TTempDir Dir;
  TSilentLevel Level{Window.Platform()};
};

TEST_F(ModelsTest, ExtentsFollowTheArcsineRule) {
  TShip empty(Window.Platform());
  WriteBytes(Dir.File("empty.ship"), "[Vertex]\r\nVertexCount=0\r\n[Lines]\r\nLineCount=0\r\n");
  empty.LoadFromFile(Dir.File("empty.ship"));
  empty.CalcExtents(Level);
  EXPECT_EQ(empty.fRollMin, -1);
  EXPECT_EQ(empty.fRollMax, 1);
  EXPECT_EQ(empty.fPosMin, 0);
  EXPECT_EQ(empty.fPosMax, 0);
  EXPECT_EQ(empty.fBuffer->Capacity(), 0);

  // Entirely at x >= 0 and z >= 0: the origin still bounds the box.
  WriteBytes(Dir.File("right.ship"),
             "[Vertex]\r\nVertexCount=2\r\nVertex0=50;0;10\r\nVertex1=100;0;30\r\n[Lines]\r\nLineCount=1\r\nLine0=0;1\r\n");
  TShip right(Window.Platform());
  right.LoadFromFile(Dir.File("right.ship"));
  right.fScale = 0.03f;  // a chord of 3 on a tube of radius 4: 44.05 degrees
  right.CalcExtents(Level);
  EXPECT_EQ(right.fRollMax, 1);
  EXPECT_EQ(right.fPosMax, 0);
  EXPECT_EQ(right.fRollMin, -45);
  EXPECT_FLOAT_EQ(right.fPosMin, -(30 * 0.03f / Level.fPathLength));

  // Doubling the scale doubles the path extent; the roll grows by the
  // arcsine (97.18 degrees), not linearly.
  right.fScale = 0.06f;
  right.CalcExtents(Level);
  EXPECT_FLOAT_EQ(right.fPosMin, -(30 * 0.06f / Level.fPathLength));
  EXPECT_EQ(right.fRollMin, -98);
}

TEST_F(ModelsTest, ReloadingReplacesTheGeometry) {
  TShip ship(Window.Platform());
  WriteBytes(Dir.File("a.ship"), ModelText(5, 5));
  WriteBytes(Dir.File("b.ship"), "[Vertex]\r\nVertexCount=2\r\nVertex0=0;0;0\r\nVertex1=1;1;1\r\n[Lines]\r\nLineCount=1\r\nLine0=1;0\r\n");
  ship.LoadFromFile(Dir.File("a.ship"));
  ship.LoadFromFile(Dir.File("b.ship"));
  EXPECT_EQ(ship.fVertices.size(), 2u);
  EXPECT_EQ(ship.fLines.size(), 1u);
  EXPECT_EQ(ship.fBuffer->Capacity(), 2);
}

TEST_F(ModelsTest, ShotsMoveWrapAndExpire) {
  TParticleManager shots(Level);
  shots.Add(nullptr).Init(false, 0.5f, 175, 0.1f, 100, 0.2f, 100, 1000);
  shots.Add(nullptr).Init(true, 1.5f, 170, 0, 200, 0, 0, 1000);  // rolls over the opened floor's top
  shots.Add(nullptr).Init(false, 1.5f, 100, 0, 0, 0, 0, 1000);   // beyond the tube, inside: flies on
  shots.Progress(100);
  ASSERT_EQ(shots.Items().size(), 2u);  // the floor shot rolled over the top
  const TParticleListItem& a = shots.Items()[0];
  EXPECT_FLOAT_EQ(a.fPos, 0.51f);
  EXPECT_FLOAT_EQ(a.fRoll, -175);  // 185 wrapped
  EXPECT_EQ(a.fSpinAngle, 0);      // not spinning
  EXPECT_FLOAT_EQ(a.fSpeed, 0.12f);
  EXPECT_FLOAT_EQ(a.fRollSpeed, 110);
  EXPECT_EQ(shots.Items()[1].fRoll, 100);
  shots.Progress(0);
  EXPECT_EQ(shots.Items().size(), 2u);
  shots.Items()[0].fAge = 1001;
  shots.Items()[1].fAge = 1001;
  shots.Progress(0);  // dt 0 still removes the dead
  EXPECT_TRUE(shots.Items().empty());
}

TEST(Bolt, TwoPointsAreEvenlySpacedAndWalksStayInBounds) {
  TRandom random;
  TBolt bolt({{0, 0, 0}, {0, 0, -9}}, 10, random);
  EXPECT_FLOAT_EQ(bolt.fBoltPoints.front().fCurrent.z, 0);
  EXPECT_FLOAT_EQ(bolt.fBoltPoints[3].fBase.z, -3);
  EXPECT_FLOAT_EQ(bolt.fBoltPoints.back().fBase.z, -9);
  random.Seed(7);
  bolt.fReshapeTime = 0;
  bolt.fMaxSide = 0.3f;
  bolt.fMaxUp = 0.2f;
  for (int i = 0; i < 500; ++i) {
    bolt.Progress(16);
    for (std::size_t k = 0; k < bolt.fBoltPoints.size(); ++k) {
      const TBoltPoint& p = bolt.fBoltPoints[k];
      ASSERT_LE(std::fabs(p.fSideOffset), 0.3f + 1e-6f);
      ASSERT_LE(std::fabs(p.fUpOffset), 0.2f + 1e-6f);
      if (k > 0) {
        ASSERT_LE(std::fabs(p.fSideOffset - bolt.fBoltPoints[k - 1].fSideOffset), 0.2f + 1e-5f);
      }
    }
  }
  EXPECT_THROW(TBolt({{0, 0, 0}}, 10, random), std::invalid_argument);
}

TEST(Bolt, ClosedRingMeetsAndFlickerFollowsItsChance) {
  std::vector<TVector3f> ring;
  for (int i = 0; i <= 8; ++i) ring.push_back({std::cos(i * 0.785398f), std::sin(i * 0.785398f), 0});
  TRandom random;
  TBolt bolt(ring, 50, random);
  EXPECT_NEAR(bolt.fBoltPoints.front().fBase.x, bolt.fBoltPoints.back().fBase.x, 1e-5);
  EXPECT_NEAR(bolt.fBoltPoints.front().fBase.y, bolt.fBoltPoints.back().fBase.y, 1e-5);
  bolt.fFlickerTime = 10;
  bolt.fFlickerChance = 1;
  for (int i = 0; i < 20; ++i) {
    bolt.Progress(16);
    EXPECT_TRUE(bolt.fVisible);
  }
  bolt.SetStrands(2);
  EXPECT_EQ(bolt.fBoltPoints[5].fJitter.size(), 2u);
}

}  // namespace
