// MainMenuTest.cpp -- the menu as a player drives it: keys through the
// scripted platform, pages, starting stages, settings and the stage list.
#include <gtest/gtest.h>

#include <filesystem>

#include "menu/MainMenu.h"
#include "platform/Audio.h"
#include "platform/ScriptedPlatform.h"
#include "platform/VirtualKeys.h"
#include "render/Font.h"
#include "services/IniFile.h"
#include "services/RC4Stream.h"
#include "services/Settings.h"
#include "services/Sound.h"
#include "stage/Level.h"
#include "support/MenuRuntime.h"

namespace {

using namespace platform;

// A menu text with a page of six items behind root item 2.
std::string SixItemMenuText() {
  std::string text = "[menu_0]\r\ncount=5\r\n[menu_0_0]\r\nname=Spielen\r\n[menu_0_1]\r\nname=Highscores\r\n"
                     "[menu_0_2]\r\nname=Sechs\r\ncount=6\r\n[menu_0_3]\r\nname=Zwei\r\ncount=2\r\n"
                     "[menu_0_3_1]\r\nname=zur\xFC" "ck\r\n[menu_0_4]\r\nname=Beenden\r\n";
  for (int i = 0; i < 6; ++i) text += "[menu_0_2_" + std::to_string(i) + "]\r\nname=Punkt " + std::to_string(i) + "\r\n";
  return text;
}

class MainMenuTest : public TMenuTest {};

TEST_F(MainMenuTest, HoldingDownMovesOneRowAndAMoveIsNotRestarted) {
  TMainMenu& menu = Create();
  Keys.SetKey(kVkDown, true);
  for (int i = 0; i < 30; ++i) Frame();
  EXPECT_EQ(menu.fCursor, 1);
  EXPECT_EQ(menu.fItemId, "0_1");
  Keys.SetKey(kVkDown, false);
  Frame();

  // A second press half-way through a move does not start another one.
  Press(kVkDown, 0);
  Frame(50);
  Press(kVkDown, 0);
  EXPECT_EQ(menu.fCursor, 1);
  EXPECT_EQ(menu.fSelected, 1);  // the selection changes when the move ends
  Frame(100);
  EXPECT_EQ(menu.fCursor, 2);
  EXPECT_EQ(menu.fItemId, "0_2");
  Press(kVkUp);
  EXPECT_EQ(menu.fItemId, "0_1");
}

TEST_F(MainMenuTest, SixItemsMoveThreeRowsThenScrollTwice) {
  Runtime.WriteMenuText(SixItemMenuText());
  TMainMenu& menu = Create();
  Press(kVkDown);
  Press(kVkDown);
  Press(kVkReturn);
  ASSERT_EQ(menu.fPath, "0_2");
  EXPECT_EQ(menu.fLastRow, 3);

  const std::vector<std::pair<int, int>> afterEachDown = {{1, 0}, {2, 0}, {3, 0}, {3, 1}, {3, 2}, {3, 2}};
  for (const auto& [cursor, first] : afterEachDown) {
    Press(kVkDown);
    EXPECT_EQ(menu.fCursor, cursor);
    EXPECT_EQ(menu.fFirst, first);
    EXPECT_EQ(menu.fSelected, cursor + first);
    EXPECT_EQ(menu.fItemId, "0_2_" + std::to_string(cursor + first));
  }
  // Up moves the marker first and scrolls only from the top row.
  for (int i = 0; i < 3; ++i) Press(kVkUp);
  EXPECT_EQ(menu.fCursor, 0);
  EXPECT_EQ(menu.fFirst, 2);
  Press(kVkUp);
  EXPECT_EQ(menu.fFirst, 1);
  EXPECT_EQ(menu.fItemId, "0_2_1");

  // Escape goes back to the root's first item; a two-item page has two rows.
  Press(kVkEscape);
  EXPECT_EQ(menu.fPath, "0");
  EXPECT_EQ(menu.fItemId, "0_0");
  EXPECT_EQ(menu.fLastRow, 3);
  for (int i = 0; i < 3; ++i) Press(kVkDown);
  Press(kVkReturn);
  EXPECT_EQ(menu.fPath, "0_3");
  EXPECT_EQ(menu.fLastRow, 1);
  Press(kVkDown);
  Press(kVkDown);
  EXPECT_EQ(menu.fCursor, 1);
  Press(kVkReturn);  // "zurück"
  EXPECT_EQ(menu.fPath, "0");
  EXPECT_EQ(Quits, 0);
}

TEST_F(MainMenuTest, EscapeOnARootQuitsAndRootItemFourQuits) {
  TMainMenu& menu = Create();
  Press(kVkDown);
  Press(kVkDown);
  Press(kVkReturn);
  EXPECT_EQ(menu.fPath, "0_2");
  Press(kVkEscape);
  EXPECT_EQ(menu.fPath, "0");
  EXPECT_EQ(Quits, 0);
  Press(kVkEscape);
  EXPECT_EQ(Quits, 1);

  for (int i = 0; i < 4; ++i) Press(kVkDown);
  EXPECT_EQ(menu.fItemId, "0_4");
  Press(kVkReturn);
  EXPECT_EQ(Quits, 2);
}

TEST_F(MainMenuTest, EnterStartsOnlyUnlockedStagesAndTheMenuWaitsOnTheRoot) {
  Runtime.WritePlayableStage("A.level", "Erste", true);
  Runtime.WriteStage("B.level", "Zweite", false);
  TMainMenu& menu = Create();
  Press(kVkReturn);
  ASSERT_EQ(menu.fPath, "0_0");
  ASSERT_EQ(menu.CurrentPage().Items.size(), 3u);

  // Locked: the enter sound and nothing else.
  Press(kVkDown);
  const uint64_t played = Sound.PlayedCount();
  Tap(kVkReturn);
  EXPECT_EQ(Sound.PlayedCount(), played + 1);
  Frame();
  EXPECT_FALSE(menu.Level->fActive);
  EXPECT_EQ(menu.fPath, "0_0");
  EXPECT_FALSE(menu.fRefresh);

  Press(kVkUp);
  const uint64_t beforeStart = Sound.PlayedCount();
  Tap(kVkReturn);
  EXPECT_EQ(Sound.PlayedCount(), beforeStart + 1);
  EXPECT_TRUE(menu.Level->fActive);
  EXPECT_EQ(menu.Level->fFileName, Runtime.Base() + "data\\A.level");
  EXPECT_EQ(menu.fPath, "0");
  EXPECT_EQ(menu.fItemId, "0_0");
  EXPECT_TRUE(menu.fRefresh);

  // While the stage ran it unlocked B and saved a highscore; the player
  // leaves it with Escape, still held when the menu comes back.
  Runtime.WriteStage("B.level", "Zweite", true, {{"ANNA", 1234}});
  menu.Level->fActive = false;
  Keys.SetKey(kVkEscape, true);
  Frame();
  Keys.SetKey(kVkEscape, false);
  Frame();
  EXPECT_EQ(Quits, 0) << "the Escape that ended the stage quit the menu";
  EXPECT_FALSE(menu.fRefresh);
  EXPECT_TRUE(menu.fLevelList[1].Active);
  ASSERT_EQ(menu.fLevelList[1].HighScores.size(), 1u);
  EXPECT_EQ(menu.fLevelList[1].HighScores[0].Name, "ANNA");
  EXPECT_EQ(menu.fLevelList[1].HighScores[0].Score, 1234);
  EXPECT_EQ(menu.fLevelList[1].Title, "Zweite");  // titles are not re-read
}

TEST_F(MainMenuTest, StageListComesFromTheDataFolder) {
  Runtime.WriteStage("Level02.level", "", true, {{"BEA", 20}, {"CARL", 10}});
  Runtime.WriteStage("Level01.level", "Anfang", false);
  Runtime.WriteStage("Gross.LEVEL", "Gross", true);
  Runtime.WriteStage("Alt.level.bak", "Alt", true);
  std::filesystem::create_directory(Runtime.Data("Ordner.level"));
  TMainMenu& menu = Create();

  ASSERT_EQ(menu.fLevelList.size(), 2u);
  EXPECT_EQ(menu.fLevelList[0].FileName, "Level01.level");
  EXPECT_EQ(menu.fLevelList[0].Title, "Anfang");
  EXPECT_FALSE(menu.fLevelList[0].Active);
  EXPECT_EQ(menu.fLevelList[0].Description, "Keine Beschreibung vorhanden.");
  EXPECT_EQ(menu.fLevelList[1].Title, "Level02");
  ASSERT_EQ(menu.fLevelList[1].HighScores.size(), 2u);
  EXPECT_EQ(menu.fLevelList[1].HighScores[1].Name, "CARL");

  const TMenu& stages = menu.fMenu.Items[0];
  const TMenu& highscores = menu.fMenu.Items[1];
  std::vector<std::string> captions;
  for (const TMenu& item : stages.Items) captions.push_back(item.Caption);
  EXPECT_EQ(captions, (std::vector<std::string>{"Anfang", "Level02", "zur\xFC" "ck"}));
  EXPECT_EQ(stages.Items[2].Description, "Zur\xFC" "ck zum Hauptmen\xFC.");
  ASSERT_EQ(highscores.Items.size(), 3u);
  EXPECT_EQ(highscores.Items[1].Description, "Highscores f\xFCr Level02");
  EXPECT_EQ(highscores.Items[2].Caption, "zur\xFC" "ck");
}

TEST_F(MainMenuTest, WithoutStagesTheStagePageCannotBeEntered) {
  TMainMenu& menu = Create();
  ASSERT_EQ(menu.fMenu.Items[0].Items.size(), 1u);
  EXPECT_EQ(menu.fMenu.Items[1].Items.size(), 1u);
  Press(kVkReturn);  // enters, finds "zurück" first and returns at once
  EXPECT_EQ(menu.fPath, "0");
  Press(kVkDown);
  Press(kVkReturn);
  EXPECT_EQ(menu.fPath, "0");
}

TEST_F(MainMenuTest, SettingsChangeOnlyTheirOwnKey) {
  struct TCase {
    bool SwapControl;
    std::string Before;
    std::vector<int> SwapCalls;
    std::string AfterVSyncOff, After;
  };
  const std::string other = "; eigene Notiz\r\n[Andere]\r\nx = y\r\n";
  const std::vector<TCase> cases = {
      {true, "[Main]\r\nsound=1\r\nVSync = 1\r\nlanguage=Deutsch\r\n" + other, {0, 1},
       "[Main]\r\nsound=1\r\nvsync=0\r\nlanguage=Deutsch\r\n" + other,
       "[Main]\r\nmusic=sound\\music3.mp3\r\nsound=1\r\nvsync=1\r\nlanguage=Deutsch\r\n" + other},
      // No language stored: the first start stores the system's.
      {false, other, {}, other + "[main]\r\nvsync=0\r\nlanguage=Deutsch\r\n",
       other + "[main]\r\nmusic=sound\\music3.mp3\r\nvsync=1\r\nlanguage=Deutsch\r\n"},
  };
  for (const TCase& c : cases) {
    WriteBytes(Runtime.Base() + "settings.ini", c.Before);
    Keys.SwapControl = c.SwapControl;
    Keys.SwapInterval = 1;
    Keys.SwapIntervalCalls.clear();
    TMainMenu& menu = Create();
    EXPECT_TRUE(menu.VSyncOn());
    for (int i = 0; i < 3; ++i) Press(kVkDown);
    Press(kVkReturn);
    ASSERT_EQ(menu.fItemId, "0_3_0");
    Press(kVkReturn);
    EXPECT_EQ(ReadBytes(Runtime.Base() + "settings.ini"), c.AfterVSyncOff);
    EXPECT_FALSE(menu.VSyncOn());
    Press(kVkReturn);
    EXPECT_EQ(Setting("vsync"), "1");
    EXPECT_TRUE(menu.VSyncOn());
    EXPECT_EQ(Keys.SwapIntervalCalls, c.SwapCalls);

    Press(kVkDown);
    Press(kVkReturn);
    ASSERT_EQ(menu.fPath, "0_3_1");
    Press(kVkDown);
    Press(kVkDown);
    Press(kVkReturn);
    EXPECT_EQ(ReadBytes(Runtime.Base() + "settings.ini"), c.After);
  }
}

TEST_F(MainMenuTest, AnUnwritableSettingStillAppliesAndIsReported) {
  // A folder where settings.ini should be: no file can replace it.
  std::filesystem::create_directory(Runtime.Base() + "settings.ini");
  testing::internal::CaptureStderr();
  TMainMenu& menu = Create();
  const std::string unreadable = testing::internal::GetCapturedStderr();
  EXPECT_NE(unreadable.find("es gelten die Vorgaben"), std::string::npos) << unreadable;
  EXPECT_TRUE(menu.VSyncOn());
  for (int i = 0; i < 3; ++i) Press(kVkDown);
  Press(kVkReturn);
  testing::internal::CaptureStderr();
  Press(kVkReturn);
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(menu.VSyncOn());
  EXPECT_NE(errors.find("vsync=0"), std::string::npos) << errors;
  EXPECT_NE(errors.find("settings.ini"), std::string::npos) << errors;
  EXPECT_TRUE(std::filesystem::is_directory(Runtime.Base() + "settings.ini"));
}

using MainMenuDeathTest = MainMenuTest;

TEST_F(MainMenuDeathTest, BrokenDataEndsWithAMessageNamingTheFile) {
  Runtime.WriteMenuText("[menu_0]\r\ncount=1\r\n[menu_0_0]\r\nname=Spielen\r\n");
  EXPECT_EXIT(Create(), testing::ExitedWithCode(1),
              "MainMen.*, Create: Fehler beim erstellen von 'fMenu'\r\nMen.*datei .*ger.txt: es fehlen");

  Runtime.WriteMenuText("[menu_0]\r\ncount=2\r\n[menu_0_0]\r\ncount=1\r\n");
  EXPECT_EXIT(Create(), testing::ExitedWithCode(1), "menu_0_0\\] muss count=0 haben");
}

TEST_F(MainMenuDeathTest, AStageFileThatGoesBadDuringTheStageIsNamed) {
  Runtime.WritePlayableStage("A.level", "Erste", true);
  TMainMenu& menu = Create();
  Press(kVkReturn);
  Tap(kVkReturn);
  ASSERT_TRUE(menu.Level->fActive);
  TIniFile broken;
  broken.WriteInteger("Highscore", "count", 5000000);
  SaveIni(&broken, Runtime.Data("A.level"), kLevelKey);
  menu.Level->fActive = false;
  EXPECT_EXIT(Frame(), testing::ExitedWithCode(1),
              "Fehler beim Lesen der Leveldatei data.A.level\r\n.*count = 5000000");
}

}  // namespace

namespace {

TEST(VolumeSteps, EnterWalksDownByQuartersThenBackToFull) {
  const std::pair<int32_t, int32_t> steps[] = {{100, 75}, {75, 50}, {50, 25}, {25, 0}, {0, 100},
                                               {60, 50},  {1, 0},   {-5, 100}, {130, 75}};
  for (const auto& [from, to] : steps) EXPECT_EQ(NextVolumeStep(from), to) << from;
}

TEST_F(MainMenuTest, VolumeItemsStepStoreAndScaleWhatTheMixerPlays) {
  WriteBytes(Runtime.Base() + "settings.ini", "[main]\r\nmusicvolume=25\r\n");
  TMainMenu& menu = Create();
  // The menu's music asks for 50: a quarter of it reaches the mixer.
  const bool audio = platform::AudioDeviceOpen();
  if (audio) {
    EXPECT_EQ(platform::MixerVolume(menu.fMusic), 12 * 128 / 100);
  }
  for (int i = 0; i < 3; ++i) Press(kVkDown);
  Press(kVkReturn);
  Press(kVkDown);
  Press(kVkDown);
  ASSERT_EQ(menu.fItemId, "0_3_2");
  Press(kVkReturn);
  EXPECT_EQ(Setting("musicvolume"), "0");
  if (audio) {
    EXPECT_EQ(platform::MixerVolume(menu.fMusic), 0);
  }
  Press(kVkReturn);
  EXPECT_EQ(Setting("musicvolume"), "100");
  if (audio) {
    EXPECT_EQ(platform::MixerVolume(menu.fMusic), 50 * 128 / 100);
  }
  Press(kVkDown);
  ASSERT_EQ(menu.fItemId, "0_3_3");
  for (const char* expected : {"75", "50", "25", "0", "100"}) {
    Press(kVkReturn);
    EXPECT_EQ(Setting("effectsvolume"), expected);
  }
  EXPECT_EQ(Setting("musicvolume"), "100");

  // klassisch: Enter switches it, the stage follows at once, the file keeps it.
  Press(kVkDown);
  ASSERT_EQ(menu.fItemId, "0_3_4");
  EXPECT_FALSE(menu.Level->fClassic);
  Press(kVkReturn);
  EXPECT_EQ(Setting("klassisch"), "1");
  EXPECT_TRUE(menu.Level->fClassic);
  Press(kVkReturn);
  EXPECT_EQ(Setting("klassisch"), "0");
  EXPECT_FALSE(menu.Level->fClassic);

  // Weniger Blitze, the same way, before the page's way back.
  while (menu.fItemId != kReduceFlashItem && menu.fSelected < 11) Press(kVkDown);
  ASSERT_EQ(menu.fItemId, kReduceFlashItem);
  EXPECT_FALSE(menu.Level->fReduceFlash);
  Press(kVkReturn);
  EXPECT_EQ(Setting("wenigerblitze"), "1");
  EXPECT_TRUE(menu.Level->fReduceFlash);
  Press(kVkReturn);
  EXPECT_EQ(Setting("wenigerblitze"), "0");
  EXPECT_FALSE(menu.Level->fReduceFlash);

  // The online leaderboard: off by default; Enter stores it with the
  // address, which the side block shows. Switched on in the menu, it waits
  // for the next start, which records the session from its beginning.
  Press(kVkDown);
  ASSERT_EQ(menu.fItemId, kOnlineItem);
  auto online = [&](const char* key) { return ReadSettings(Runtime.Base() + "settings.ini").ReadString("online", key, "-"); };
  EXPECT_EQ(online("enabled"), "-");
  EXPECT_EQ(menu.ControlsStateText(), "zur Zeit ausgeschaltet\r\nServer: http://127.0.0.1:8080");
  Press(kVkReturn);
  EXPECT_EQ(online("enabled"), "1");
  EXPECT_EQ(online("server"), "http://127.0.0.1:8080");
  EXPECT_EQ(menu.ControlsStateText(),
            "zur Zeit eingeschaltet\r\nServer: http://127.0.0.1:8080\r\nEingeschaltet: gilt ab dem n\xE4" "chsten Start des Spiels.");
  Press(kVkReturn);
  EXPECT_EQ(online("enabled"), "0");
  EXPECT_EQ(Setting("wenigerblitze"), "0");  // the other section stays as it was

  Press(kVkDown);
  EXPECT_EQ(menu.CurrentPage().Items.back().Caption, kBackCaption);
  EXPECT_EQ(menu.fSelected + 1, static_cast<int32_t>(menu.CurrentPage().Items.size()));
}

TEST_F(MainMenuTest, KlassischAndWenigerBlitzeFromTheSettingsReachTheStage) {
  WriteBytes(Runtime.Base() + "settings.ini", "[main]\r\nklassisch=1\r\nwenigerblitze=1\r\n");
  TMainMenu& menu = Create();
  EXPECT_TRUE(menu.Level->fClassic);
  EXPECT_TRUE(menu.Level->fReduceFlash);
}

}  // namespace
