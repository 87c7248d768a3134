// StagePlayTest.cpp -- a whole stage played through the scripted platform:
// through the gate and the tube with fire held, the boss destroyed, a name
// typed and the highscore saved; and frames that fire nothing allocate
// nothing. Needs a display (real GL).
#include <gtest/gtest.h>

#include <cmath>

#include "objects/Boss.h"
#include "services/IniFile.h"
#include "services/RC4Stream.h"
#include "services/Sound.h"
#include "support/Allocations.h"
#include "support/StagePlay.h"
#include "platform/VirtualKeys.h"

namespace {


TEST(StagePlay, ASmallStageFromTheGateToASavedHighscore) {
  TStagePlay play;
  {
    TIniFile next;
    next.WriteBool("Level", "Active", false);
    SaveIni(&next, play.Dir.File("next.level"), kLevelKey);
  }
  play.Load({{"Level/Circles", "200"},
             {"Level/NextLevel", "next.level"},
             {"SmallEnemy/Count", "3"},
             {"MediumEnemy/Position", "0,5;"},
             {"MediumEnemy/Life", "3"},
             {"Boss/Life", "20"}});
  TLevel& level = *play.Level;
  TBoss& boss = *level.fBoss;

  play.Hold('X', true);
  play.Hold(platform::kVkUp, true);
  int frames = 0, quietFrames = 0, bossFrames = 0;
  uint64_t quietAllocations = 0;
  while (level.fFinish.State == TFinishState::Running && frames < 6000) {
    // Aim at the boss once it is in sight.
    const bool left = level.ShipPos() >= 1 && boss.fRoll > level.fRoll + 2;
    const bool right = level.ShipPos() >= 1 && boss.fRoll < level.fRoll - 2;
    play.Hold(platform::kVkLeft, left);
    play.Hold(platform::kVkRight, right);
    const uint64_t shots = play.ShotsFired();
    const uint64_t sounds = play.Sound.PlayedCount();
    const uint64_t allocations = HeapAllocations();
    play.Frame(16);
    const uint64_t allocated = HeapAllocations() - allocations;
    ++frames;
    if (boss.fActive) ++bossFrames;
    if (play.ShotsFired() == shots && play.Sound.PlayedCount() == sounds && level.fFinish.State == TFinishState::Running) {
      ++quietFrames;
      quietAllocations += allocated;
    }
  }
  play.Hold('X', false);
  play.Hold(platform::kVkUp, false);
  play.Hold(platform::kVkLeft, false);
  play.Hold(platform::kVkRight, false);

  ASSERT_EQ(level.fFinish.State, TFinishState::Passed) << "after " << frames << " frames, life " << level.fLife;
  EXPECT_LE(boss.fLife, 0);
  EXPECT_GT(level.fLife, 0);
  EXPECT_GT(bossFrames, 10);
  EXPECT_TRUE(level.fBolts.empty() || level.fBolts[0] == nullptr);
  EXPECT_GT(quietFrames, 200);
  EXPECT_EQ(quietAllocations, 0u);

  // The breakdown of a passed stage.
  const auto& finish = level.fFinish;
  EXPECT_EQ(finish.Points, level.fScore);
  EXPECT_GE(level.fScore, 200);  // twenty hits on the boss at least
  EXPECT_EQ(finish.LifeBonus, level.fLife * 100);
  EXPECT_EQ(finish.TimeBonus, static_cast<int32_t>(std::nearbyint(level.fPathLength * 1000000.0 / level.fTime)));
  EXPECT_EQ(finish.Total, finish.Points + finish.LifeBonus + finish.TimeBonus);

  // The finish screen: skip, open the entry, type, confirm.
  play.Press(platform::kVkReturn);
  play.Press(platform::kVkReturn);
  ASSERT_TRUE(finish.NameEntry);
  for (char key : std::string("PILOT")) play.Press(key);
  play.Press(platform::kVkReturn);
  EXPECT_FALSE(level.fActive);

  TIniFile saved;
  LoadIni(saved, play.StageFile, kLevelKey);
  EXPECT_EQ(saved.ReadInteger("Highscore", "count", 0), 1);
  EXPECT_EQ(saved.ReadString("Highscore", "name0", ""), "PILOT");
  EXPECT_EQ(saved.ReadInteger("Highscore", "score0", 0), finish.Total);
  TIniFile next;
  LoadIni(next, play.Dir.File("next.level"), kLevelKey);
  EXPECT_TRUE(next.ReadBool("Level", "Active", false));
}

}  // namespace
