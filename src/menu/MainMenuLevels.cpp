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

}  // namespace

std::string TMainMenu::StagePath(const std::string& fileName) const { return ProgramDir() + "data\\" + fileName; }

std::string TMainMenu::ReadTitle(const std::string& fileName) const {
  return LoadStage(StagePath(fileName))
      .ReadString("Level", "Title", fileName.substr(0, fileName.find(kLevelExtension)));
}

std::string TMainMenu::ReadDescription(const std::string& fileName) const {
  return LoadStage(StagePath(fileName)).ReadString("Level", "Desc", "Keine Beschreibung vorhanden.");
}

bool TMainMenu::ReadActive(const std::string& fileName) const {
  return LoadStage(StagePath(fileName)).ReadBool("Level", "Active", false);
}

int32_t TMainMenu::ReadHighscoreCount(const std::string& fileName) const {
  return ReadCount(LoadStage(StagePath(fileName)), "Level " + fileName, "Highscore", "count", kMaxHighscores);
}

std::string TMainMenu::ReadHighscoreName(const std::string& fileName, int32_t j) const {
  return LoadStage(StagePath(fileName)).ReadString("Highscore", "name" + std::to_string(j), "Unbekannt");
}

int32_t TMainMenu::ReadHighscoreScore(const std::string& fileName, int32_t j) const {
  return LoadStage(StagePath(fileName)).ReadInteger("Highscore", "score" + std::to_string(j), 0);
}

void TMainMenu::ReadHighscores(TLevelListItem& item) const {
  item.HighScores.clear();
  const int32_t count = ReadHighscoreCount(item.FileName);
  for (int32_t j = 0; j < count; ++j)
    item.HighScores.push_back({ReadHighscoreName(item.FileName, j), ReadHighscoreScore(item.FileName, j)});
}

void TMainMenu::ScanLevels() {
  // Sorted by name, so the campaign is listed in the same order everywhere.
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(FsPath(ProgramDir() + "data"), error)) {
    std::error_code kindError;
    if (!entry.is_regular_file(kindError)) continue;
    const std::string name = Utf8Path(entry.path().filename());
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && std::string_view(name).substr(dot) == kLevelExtension) names.push_back(name);
  }
  std::sort(names.begin(), names.end());

  fLevelList.clear();
  for (const std::string& name : names) {
    TLevelListItem item;
    item.FileName = name;
    try {
      item.Title = ReadTitle(name);
      item.Description = ReadDescription(name);
      item.Active = ReadActive(name);
      ReadHighscores(item);
    } catch (const std::exception& failure) {
      throw EDataError("Leveldatei data\\" + name + " kann nicht gelesen werden: " + failure.what());
    }
    fLevelList.push_back(std::move(item));
  }
}

void TMainMenu::FillLevelPages() {
  TMenu& stages = fMenu.Items.at(0);
  TMenu& highscores = fMenu.Items.at(1);
  const TMenu back{kBackCaption, "Zur\xFC" "ck zum Hauptmen\xFC.", {}};
  for (const TLevelListItem& level : fLevelList) {
    stages.Items.push_back({level.Title, level.Description, {}});
    highscores.Items.push_back({level.Title, "Highscores f\xFCr " + level.Title, {}});
  }
  stages.Items.push_back(back);
  highscores.Items.push_back(back);
}

void TMainMenu::RefreshLevels() {
  for (TLevelListItem& level : fLevelList) {
    // A stage file that went bad while the stage ran is named, not lost in
    // an uncaught failure.
    try {
      level.Active = ReadActive(level.FileName);
      ReadHighscores(level);
    } catch (const std::exception& failure) {
      FatalError("MainMen\xFC, Progress: Fehler beim Lesen der Leveldatei data\\" + level.FileName + "\r\n" +
                 failure.what());
    }
  }
}
