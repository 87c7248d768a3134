// MainMenuLevels.cpp -- the stage files of data/: finding them, reading what
// the menu shows of them and filling the stage and highscore pages.
#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

#include "menu/MainMenu.h"
#include "stage/Level.h"
#include "platform/Platform.h"
#include "services/DataError.h"
#include "services/FatalError.h"
#include "services/Language.h"
#include "services/IniFile.h"
#include "services/Paths.h"
#include "services/SystemFile.h"
#include "services/RC4Stream.h"

namespace {

constexpr std::string_view kLevelExtension = ".level";

TIniFile LoadStage(const std::string& path) {
  TIniFile ini;
  LoadIni(ini, path, kLevelKey);
  return ini;
}

// The readers of what the menu shows of one stage file.
// In English a stage's TitleEn and DescEn, where it has them; else its
// German texts.
std::string ReadTitle(const TIniFile& stage, const std::string& fileName) {
  const std::string german = stage.ReadString("Level", "Title", fileName.substr(0, fileName.find(kLevelExtension)));
  return Language() == TLanguage::English ? stage.ReadString("Level", "TitleEn", german) : german;
}
std::string ReadDescription(const TIniFile& stage) {
  const std::string german = stage.ReadString("Level", "Desc", std::string(Tr("Keine Beschreibung vorhanden.")));
  return Language() == TLanguage::English ? stage.ReadString("Level", "DescEn", german) : german;
}
bool ReadActive(const TIniFile& stage) { return stage.ReadBool("Level", "Active", false); }
std::vector<THighscoreListItem> ReadHighscores(const TIniFile& stage, const std::string& fileName,
                                               const std::string& section) {
  std::vector<THighscoreListItem> list;
  const int32_t count = ReadCount(stage, "Level " + fileName, section.c_str(), "count", kMaxHighscores);
  for (int32_t j = 0; j < count; ++j) {
    const std::string index = std::to_string(j);
    list.push_back({stage.ReadString(section, "name" + index, std::string(Tr("Unbekannt"))), stage.ReadInteger(section, "score" + index, 0)});
  }
  return list;
}

}  // namespace

std::vector<TLevelListItem> ReadLevelList(const std::string& programDir, const std::string& highscoreSection) {
  // Sorted by name, so the campaign is listed in the same order everywhere.
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(FsPath(programDir + "data"), error)) {
    std::error_code kindError;
    if (!entry.is_regular_file(kindError)) continue;
    const std::string name = Utf8Path(entry.path().filename());
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && std::string_view(name).substr(dot) == kLevelExtension) names.push_back(name);
  }
  std::sort(names.begin(), names.end());

  std::vector<TLevelListItem> list;
  for (const std::string& name : names) {
    TLevelListItem item;
    item.FileName = name;
    try {
      const TIniFile stage = LoadStage(programDir + "data\\" + name);
      item.Title = ReadTitle(stage, name);
      item.Description = ReadDescription(stage);
      item.Active = ReadActive(stage);
      item.HighScores = ReadHighscores(stage, name, highscoreSection);
    } catch (const std::exception& failure) {
      throw EDataError("Leveldatei data\\" + name + " kann nicht gelesen werden: " + failure.what());
    }
    list.push_back(std::move(item));
  }
  return list;
}

std::string TMainMenu::StagePath(const std::string& fileName) const { return ProgramDir() + "data\\" + fileName; }

void TMainMenu::ScanLevels() {
  fLevelList = ReadLevelList(ProgramDir(), std::string(DifficultyRules(fDifficulty).HighscoreSection));
}

void TMainMenu::FillLevelPages() {
  TMenu& stages = fMenu.Items.at(0);
  TMenu& highscores = fMenu.Items.at(1);
  const TMenu back{std::string(Tr(kBackCaption)), std::string(Tr("Zur\xFC" "ck zum Hauptmen\xFC.")), {}};
  for (const TLevelListItem& level : fLevelList) {
    stages.Items.push_back({level.Title, level.Description, {}});
    highscores.Items.push_back({level.Title, std::string(Tr("Highscores f\xFCr ")) + level.Title, {}});
  }
  stages.Items.push_back(back);
  highscores.Items.push_back(back);
}

void TMainMenu::RefreshLevels() {
  for (TLevelListItem& level : fLevelList) {
    // A stage file that went bad while the stage ran is named, not lost in
    // an uncaught failure.
    try {
      const TIniFile stage = LoadStage(StagePath(level.FileName));
      level.Active = ReadActive(stage);
      level.HighScores = ReadHighscores(stage, level.FileName, std::string(DifficultyRules(fDifficulty).HighscoreSection));
    } catch (const std::exception& failure) {
      FatalError("MainMen\xFC, Progress: Fehler beim Lesen der Leveldatei data\\" + level.FileName + "\r\n" +
                 failure.what());
    }
  }
}
