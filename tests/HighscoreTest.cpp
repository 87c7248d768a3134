// HighscoreTest.cpp -- the finish screen's count-up and name entry, and the
// highscore list saved into the stage file with the next stage unlocked.
// Needs a display (real GL) and runs sounds on the dummy audio driver.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <sstream>
#include <vector>

#include "platform/Dialog.h"
#include "services/IniFile.h"
#include "services/RC4Stream.h"
#include "services/Sound.h"
#include "support/StagePlay.h"
#include "platform/VirtualKeys.h"

namespace {


std::string StageText(const std::string& path) {
  TIniFile ini;
  LoadIni(ini, path, kLevelKey);
  return ini.GetText();
}

// The lines of an INI text outside one section.
std::vector<std::string> LinesOutside(const std::string& text, const std::string& section) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] == '[') inside = line.rfind("[" + section + "]", 0) == 0;
    if (!inside) lines.push_back(line);
  }
  return lines;
}

void WriteNextStage(const std::string& path) {
  TIniFile ini;
  ini.WriteString("Level", "Title", "N\xE4" "chste");
  ini.WriteBool("Level", "Active", false);
  SaveIni(&ini, path, kLevelKey);
}

class Finish : public testing::Test {
 protected:
  TStagePlay Play;
  TLevel& Level() { return *Play.Level; }
  std::string Next() { return Play.Dir.File("next.level"); }

  // The stage passed with this breakdown, the finish screen at time 0.
  void Passed(int32_t points, int32_t life, int32_t time, int32_t total) {
    Level().fFinish.State = TFinishState::Passed;
    Level().fFinish.Points = points;
    Level().fFinish.LifeBonus = life;
    Level().fFinish.TimeBonus = time;
    Level().fFinish.Total = total;
  }
  void Type(const std::string& keys) {
    for (char key : keys) Play.Press(static_cast<unsigned char>(key));
  }
};

TEST_F(Finish, CountUpTicksOnlyForNumbersThatAreNotZero) {
  Play.Load(TStagePlay::Empty());
  Passed(100, 0, 5, 105);
  auto soundsUntil = [&](float t) {
    const uint64_t before = Play.Sound.PlayedCount();
    while (Level().fFinish.Time + 10 <= t) Play.Frame(10);
    return Play.Sound.PlayedCount() - before;
  };
  EXPECT_EQ(soundsUntil(2000), 0u);
  const uint64_t points = soundsUntil(3000);
  EXPECT_GE(points, 18u);
  EXPECT_LE(points, 20u);
  EXPECT_EQ(soundsUntil(4000), 0u);  // a life bonus of 0 counts silently
  EXPECT_GE(soundsUntil(5000), 18u);
  EXPECT_EQ(soundsUntil(5500), 0u);
  EXPECT_GE(soundsUntil(6000), 8u);
  EXPECT_EQ(soundsUntil(7000), 0u);
  EXPECT_FALSE(Level().fFinish.NameEntry);
  EXPECT_TRUE(Level().fActive);
}

TEST_F(Finish, EnterSkipsOpensAndConfirmsAndTheSaveUnlocksTheNextStage) {
  WriteNextStage(Next());
  Play.Load(TStagePlay::Empty({{"Level/NextLevel", "next.level"}}));
  const std::string before = StageText(Play.StageFile);
  Passed(4200, 3700, 25000, 32900);
  while (Level().fFinish.Time < 3000) Play.Frame(10);

  // Enter during the count-up jumps to its end.
  Play.Press(platform::kVkReturn);
  EXPECT_GE(Level().fFinish.Time, 6500);
  EXPECT_LT(Level().fFinish.Time, 6550);
  EXPECT_FALSE(Level().fFinish.NameEntry);
  // The second opens the entry for the new score, first in an empty list.
  Play.Press(platform::kVkReturn);
  ASSERT_TRUE(Level().fFinish.NameEntry);
  ASSERT_EQ(Level().fFinish.EntryIndex, 0);
  ASSERT_EQ(Level().fFinish.HighScore.size(), 1u);
  EXPECT_EQ(Level().fFinish.HighScore[0].Score, 32900);
  // An empty name is not taken.
  const uint64_t sounds = Play.Sound.PlayedCount();
  Play.Press(platform::kVkReturn);
  EXPECT_TRUE(Level().fActive);
  EXPECT_EQ(Play.Sound.PlayedCount(), sounds + 1);
  // Letters, digits and the space; Backspace takes the last one back.
  Type("AB");
  Play.Press(platform::kVkBack);
  Type("C 7");
  EXPECT_EQ(Level().fFinish.HighScore[0].Name, "AC 7");
  // Held keys type once.
  Play.Hold('Q', true);
  Play.Frames(10, 16);
  Play.Hold('Q', false);
  Play.Frame(16);
  EXPECT_EQ(Level().fFinish.HighScore[0].Name, "AC 7Q");
  Play.Press(platform::kVkReturn);
  EXPECT_FALSE(Level().fActive);

  TIniFile saved;
  LoadIni(saved, Play.StageFile, kLevelKey);
  EXPECT_EQ(saved.ReadInteger("Highscore", "count", -1), 1);
  EXPECT_EQ(saved.ReadString("Highscore", "name0", ""), "AC 7Q");
  EXPECT_EQ(saved.ReadInteger("Highscore", "score0", -1), 32900);
  EXPECT_EQ(LinesOutside(StageText(Play.StageFile), "Highscore"), LinesOutside(before, "Highscore"));
  TIniFile next;
  LoadIni(next, Next(), kLevelKey);
  EXPECT_TRUE(next.ReadBool("Level", "Active", false));
  EXPECT_EQ(next.ReadString("Level", "Title", ""), "N\xE4" "chste");
}

// R (or the pad's Y) during the count-up of a run that earns a place asks
// for the name first and plays again once it is saved; a run without a
// place plays again at once. The screen names the keys that work.
TEST_F(Finish, RetryKeepsARunWithAPlaceByAskingTheNameFirst) {
  Play.Load(TStagePlay::Empty());
  Passed(4200, 3700, 25000, 32900);
  while (Level().fFinish.Time < 3000) Play.Frame(10);
  EXPECT_EQ(Level().FinishKeyLines(), (std::vector<std::string>{"Enter: weiter", "R: erst Namen eintragen, dann nochmal",
                                                               "Esc: Men\xFC ohne Eintrag"}));
  Play.Press('R');
  EXPECT_TRUE(Level().fActive);
  EXPECT_EQ(Level().fFinish.State, TFinishState::Passed);
  ASSERT_TRUE(Level().fFinish.NameEntry);
  ASSERT_EQ(Level().fFinish.EntryIndex, 0);
  EXPECT_EQ(Level().fFinish.HighScore[0].Name, "");  // the R typed nothing
  EXPECT_EQ(Level().FinishKeyLines(), (std::vector<std::string>{"Enter: Namen speichern, dann nochmal",
                                                               "Esc: Men\xFC ohne Eintrag"}));
  Type("ACE");
  Play.Hold(platform::kVkReturn, true);
  Play.Frame(16);
  // The frame of the save still shows the run; the next one starts again.
  EXPECT_EQ(Level().fFinish.State, TFinishState::Passed);
  Play.Hold(platform::kVkReturn, false);
  Play.Frame(16);
  EXPECT_TRUE(Level().fActive);
  EXPECT_EQ(Level().fFinish.State, TFinishState::Running);
  EXPECT_EQ(Level().fTime, 0);
  TIniFile saved;
  LoadIni(saved, Play.StageFile, kLevelKey);
  EXPECT_EQ(saved.ReadString("Highscore", "name0", ""), "ACE");
  EXPECT_EQ(saved.ReadInteger("Highscore", "score0", -1), 32900);

  // Ten better runs in the list: R plays again at once.
  std::map<std::string, std::string> full = TStagePlay::Empty();
  full["Highscore/count"] = "10";
  for (int i = 0; i < 10; ++i) {
    full["Highscore/name" + std::to_string(i)] = "PROFI";
    full["Highscore/score" + std::to_string(i)] = "99999";
  }
  Play.Load(full);
  Passed(4200, 3700, 25000, 32900);
  while (Level().fFinish.Time < 7000) Play.Frame(10);
  EXPECT_EQ(Level().FinishKeyLines(),
            (std::vector<std::string>{"Enter: Highscores", "R: nochmal spielen", "Esc: Men\xFC"}));
  Play.Press('R');
  EXPECT_EQ(Level().fFinish.State, TFinishState::Running);
  LoadIni(saved, Play.StageFile, kLevelKey);
  EXPECT_EQ(saved.ReadString("Highscore", "name0", ""), "PROFI");
}

// A save on Leicht ranks against Leicht's list only and adds its section;
// Normal's list and every other byte of the file stay, the unlock is shared.
TEST_F(Finish, EachDifficultyHasItsOwnListAndASaveTouchesNothingElse) {
  WriteNextStage(Next());
  Play.Load(TStagePlay::Empty(
      {{"Level/NextLevel", "next.level"}, {"Highscore/count", "1"}, {"Highscore/name0", "N"}, {"Highscore/score0", "9000"}}));
  const std::string before = StageText(Play.StageFile);
  Level().fDifficulty = TDifficulty::Easy;
  Passed(100, 200, 300, 600);
  Play.Press(platform::kVkReturn);
  Play.Press(platform::kVkReturn);
  EXPECT_EQ(Level().fFinish.EntryIndex, 0);
  EXPECT_EQ(Level().ResultTexts(800, 600, 30)[0].Text, "HIGHSCORE Leicht");
  Type("EASY");
  Play.Press(platform::kVkReturn);
  ASSERT_FALSE(Level().fActive);
  EXPECT_EQ(StageText(Play.StageFile), before + "[HighscoreLeicht]\r\ncount=1\r\nname0=EASY\r\nscore0=600\r\n\r\n");
  TIniFile next;
  LoadIni(next, Next(), kLevelKey);
  EXPECT_TRUE(next.ReadBool("Level", "Active", false));
}

TEST_F(Finish, RanksAndTheTenthPlace) {
  WriteNextStage(Next());
  std::map<std::string, std::string> values = {{"Level/NextLevel", "next.level"}, {"Highscore/count", "10"}};
  for (int i = 0; i < 10; ++i) {
    values["Highscore/name" + std::to_string(i)] = "P" + std::to_string(i);
    values["Highscore/score" + std::to_string(i)] = std::to_string(1000 - 100 * i);
  }
  Play.Load(TStagePlay::Empty(values));
  // Equal scores go after the ones already there.
  EXPECT_EQ(Level().LoadHighscores(800), 3);
  EXPECT_EQ(Level().LoadHighscores(2000), 0);
  EXPECT_EQ(Level().LoadHighscores(100), 10);
  EXPECT_EQ(Level().LoadHighscores(50), 10);

  // Outside the ten: Enter confirms at once, the ten stay as they were and
  // the next stage is unlocked all the same.
  const std::string before = StageText(Play.StageFile);
  Passed(50, 0, 0, 50);
  Play.Press(platform::kVkReturn);
  Play.Press(platform::kVkReturn);
  ASSERT_TRUE(Level().fFinish.NameEntry);
  ASSERT_EQ(Level().fFinish.EntryIndex, 10);
  Play.Press(platform::kVkReturn);
  EXPECT_FALSE(Level().fActive);
  EXPECT_EQ(StageText(Play.StageFile), before);
  TIniFile next;
  LoadIni(next, Next(), kLevelKey);
  EXPECT_TRUE(next.ReadBool("Level", "Active", false));

  // Inside the ten: the last one drops off.
  Play.Level->LoadFromFile(Play.StageFile);
  Passed(850, 0, 0, 850);
  Play.Press(platform::kVkReturn);
  Play.Press(platform::kVkReturn);
  ASSERT_EQ(Level().fFinish.EntryIndex, 2);
  Type("NEU");
  Play.Press(platform::kVkReturn);
  TIniFile saved;
  LoadIni(saved, Play.StageFile, kLevelKey);
  EXPECT_EQ(saved.ReadInteger("Highscore", "count", -1), 10);
  EXPECT_EQ(saved.ReadString("Highscore", "name2", ""), "NEU");
  EXPECT_EQ(saved.ReadString("Highscore", "name3", ""), "P2");
  EXPECT_EQ(saved.ReadString("Highscore", "name9", ""), "P8");
  EXPECT_EQ(saved.ReadInteger("Highscore", "score9", -1), 200);

  // A hand-edited negative count is an empty list: the run is not lost.
  Play.Load(TStagePlay::Empty({{"Highscore/count", "-3"}, {"Highscore/name0", "ALT"}}));
  EXPECT_EQ(Level().LoadHighscores(10), 0);
  EXPECT_EQ(Level().fFinish.HighScore.size(), 1u);
}

// Escape saves no list; after a won stage it still unlocks the next one, at
// any point of the finish screen, and leaves an unlocked one untouched.
TEST_F(Finish, EscSavesNoListButKeepsTheUnlockOfAWonStage) {
  WriteNextStage(Next());
  Play.Load(TStagePlay::Empty({{"Level/NextLevel", "next.level"}}));
  const std::string stage = ReadBytes(Play.StageFile);
  const std::string locked = ReadBytes(Next());
  auto leave = [&](TFinishState state, bool inEntry) {
    Level().LoadFromFile(Play.StageFile);
    Level().fFinish.State = state;
    Level().fFinish.Total = 5000;
    if (inEntry) {
      Play.Press(platform::kVkReturn);
      Play.Press(platform::kVkReturn);
      Type("X");
    }
    Play.Press(platform::kVkEscape);
    EXPECT_FALSE(Level().fActive);
    EXPECT_EQ(ReadBytes(Play.StageFile), stage) << "the list was saved";
  };
  leave(TFinishState::GameOver, true);  // game over: nothing unlocked
  EXPECT_EQ(ReadBytes(Next()), locked);
  leave(TFinishState::Passed, false);  // won, left during the count-up
  TIniFile next;
  LoadIni(next, Next(), kLevelKey);
  EXPECT_TRUE(next.ReadBool("Level", "Active", false));
  EXPECT_EQ(next.ReadString("Level", "Title", ""), "N\xE4" "chste");
  const std::string unlocked = ReadBytes(Next());
  leave(TFinishState::Passed, true);  // won again, left from the name entry
  EXPECT_EQ(ReadBytes(Next()), unlocked);

  // A next stage gone meanwhile: leaving names it on stderr and goes on.
  std::filesystem::remove(Next());
  testing::internal::CaptureStderr();
  leave(TFinishState::Passed, false);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("nichts freigeschaltet"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(Next()));
}

TEST_F(Finish, NextLevelOutsideTheStageFolderIsRefusedButTheListIsSaved) {
  namespace fs = std::filesystem;
  fs::create_directories(Play.Dir.Path() / "stages" / "sub");
  const std::string outside = Play.Dir.File("outside.level");
  const std::string nested = (Play.Dir.Path() / "stages" / "sub" / "next.level").string();
  WriteNextStage(outside);
  WriteNextStage(nested);
  const std::string outsideBytes = ReadBytes(outside);
  const std::string nestedBytes = ReadBytes(nested);
  const std::vector<std::string> refused = {"../outside.level", "sub/next.level", "sub\\next.level", outside, ".."};
  for (const std::string& next : refused) {
    Play.Load(TStagePlay::Empty({{"Level/NextLevel", next}}));
    const std::string stage = (Play.Dir.Path() / "stages" / "test.level").string();
    fs::rename(Play.StageFile, stage);
    Level().LoadFromFile(stage);
    Level().fFinish.EntryIndex = Level().LoadHighscores(77);
    Level().fFinish.HighScore[0].Name = "ICH";
    testing::internal::CaptureStderr();
    Level().SaveHighscores();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("NextLevel"), std::string::npos) << next;
    TIniFile saved;
    LoadIni(saved, stage, kLevelKey);
    EXPECT_EQ(saved.ReadString("Highscore", "name0", ""), "ICH") << next;
    EXPECT_EQ(ReadBytes(outside), outsideBytes) << next;
    EXPECT_EQ(ReadBytes(nested), nestedBytes) << next;
  }
}

class FinishDeathTest : public Finish {};

TEST_F(FinishDeathTest, MissingNextStageIsFatalAfterTheListIsSaved) {
  Play.Load(TStagePlay::Empty({{"Level/NextLevel", "missing.level"}}));
  Level().fFinish.EntryIndex = Level().LoadHighscores(77);
  Level().fFinish.HighScore[0].Name = "ICH";
  // The dying program shows what its stage file holds by then.
  const std::string stage = Play.StageFile;
  EXPECT_EXIT(
      {
        platform::SetDialogSink([stage](platform::TDialogKind, const std::string&, const std::string&) {
          TIniFile saved;
          LoadIni(saved, stage, kLevelKey);
          std::fprintf(stderr, "gespeichert: %s\n", saved.ReadString("Highscore", "name0", "").c_str());
        });
        Level().SaveHighscores();
      },
      testing::ExitedWithCode(1), "Datein nicht gefunden: .*missing.level(.|\n)*gespeichert: ICH");
}

}  // namespace
