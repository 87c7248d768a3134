// FirstStartTest.cpp -- what the menu chooses before the player does: the
// language of a first start from the system's, and the difficulty the stage
// page shows and changes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "menu/MainMenu.h"
#include "platform/VirtualKeys.h"
#include "services/Language.h"
#include "services/Settings.h"
#include "stage/InputTexts.h"
#include "stage/Level.h"
#include "support/MenuRuntime.h"

namespace {

using namespace platform;

// LC_ALL for one test, put back afterwards (the test run's is C), and the
// game's German again.
class TLocale {
 public:
  explicit TLocale(const char* value) {
    const char* old = std::getenv("LC_ALL");
    fOld = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("LC_ALL", value, 1);
  }
  ~TLocale() {
    if (fOld) {
      ::setenv("LC_ALL", fOld->c_str(), 1);
    } else {
      ::unsetenv("LC_ALL");
    }
    SetLanguage(TLanguage::German);
  }

 private:
  std::optional<std::string> fOld;
};

class FirstStart : public TMenuTest {};

TEST_F(FirstStart, TheSystemsLanguageIsTakenAndStoredOnlyWhenNoneIsStored) {
  Runtime.WriteStage("A.level", "Erste", true);
  struct Case {
    const char* locale;
    TLanguage language;
    const char* stored;
  } cases[] = {{"en_GB.UTF-8", TLanguage::English, "English"},
               {"de_CH.UTF-8", TLanguage::German, "Deutsch"},
               {"POSIX", TLanguage::German, "Deutsch"},
               {"fr_FR", TLanguage::English, "English"}};
  for (const Case& c : cases) {
    TLocale locale(c.locale);
    std::filesystem::remove(Runtime.Base() + "settings.ini");
    TMainMenu& menu = Create();
    EXPECT_EQ(Language(), c.language) << c.locale;
    EXPECT_EQ(Setting("language"), c.stored) << c.locale;
    // The menu's pages are the language's own.
    EXPECT_EQ(menu.fMenu.Items.at(0).Items.back().Caption, std::string(Tr(kBackCaption))) << c.locale;
  }
  // A stored choice wins over the system's.
  TLocale english("en_US.UTF-8");
  std::filesystem::remove(Runtime.Base() + "settings.ini");
  WriteSetting(Runtime.Base() + "settings.ini", "language", "Deutsch");
  Create();
  EXPECT_EQ(Language(), TLanguage::German);
  EXPECT_EQ(Setting("language"), "Deutsch");
}

TEST_F(FirstStart, LeftAndRightOnTheStagePageChangeTheDifficultyThatIsShown) {
  Runtime.WritePlayableStage("A.level", "Erste", true);
  TMainMenu& menu = Create();
  Press(kVkReturn);
  ASSERT_EQ(menu.fPath, "0_0");
  EXPECT_EQ(menu.fDifficulty, TDifficulty::Normal);
  Press(kVkRight);
  EXPECT_EQ(menu.fDifficulty, TDifficulty::Hard);
  EXPECT_EQ(Setting("difficulty"), "Schwer");
  Press(kVkRight);  // the last stays
  EXPECT_EQ(menu.fDifficulty, TDifficulty::Hard);
  Press(kVkLeft);
  Press(kVkLeft);
  Press(kVkLeft);
  EXPECT_EQ(menu.fDifficulty, TDifficulty::Easy);
  EXPECT_EQ(Setting("difficulty"), "Leicht");
  EXPECT_EQ(FillText(kTextStageDifficulty, {Tr(DifficultyRules(menu.fDifficulty).Name)}),
            "Schwierigkeit: Leicht (Pfeil links/rechts)");
  // The stage starts with it; on the root Left and Right change nothing.
  Press(kVkReturn);
  ASSERT_TRUE(menu.Level->fActive);
  EXPECT_EQ(menu.Level->fDifficulty, TDifficulty::Easy);
  menu.Level->fActive = false;
  Frame();
  Press(kVkRight);
  EXPECT_EQ(menu.fDifficulty, TDifficulty::Easy);
}

}  // namespace
