// LevelHighscore.cpp -- the stage's highscore list.
#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/Cp1252.h"
#include "platform/FileNames.h"
#include "services/DataError.h"
#include "services/IniFile.h"
#include "services/Paths.h"
#include "services/RC4Stream.h"
#include "stage/Level.h"

std::vector<THighScoreItem> TLevel::ReadHighscoreList() const {
  std::vector<THighScoreItem> list;
  TIniFile ini;
  LoadIni(ini, fFileName, kLevelKey);
  // A hand-edited count cannot make the game read without end; the menu
  // refuses the same counts when it lists the stage.
  // Each difficulty has a list of its own.
  const std::string section(Rules().HighscoreSection);
  const int32_t count = ReadCount(ini, "Level " + fFileName, section.c_str(), "count", kMaxHighscores);
  for (int32_t i = 0; i < count; ++i) {
    const std::string index = std::to_string(i);
    list.push_back({ini.ReadString(section, "name" + index, "Unbekannt"), ini.ReadInteger(section, "score" + index, 0)});
  }
  return list;
}

namespace {

// After every entry with the same or a better score.
std::size_t RankIn(const std::vector<THighScoreItem>& list, int32_t score) {
  std::size_t rank = list.size();
  for (std::size_t i = list.size(); i-- > 0;) {
    if (list[i].Score < score) rank = i;
  }
  return rank;
}

}  // namespace

int32_t TLevel::LoadHighscores(int32_t score) {
  fFinish.HighScore = ReadHighscoreList();
  const std::size_t rank = RankIn(fFinish.HighScore, score);
  fFinish.HighScore.insert(fFinish.HighScore.begin() + static_cast<std::ptrdiff_t>(rank), THighScoreItem{"", score});
  return static_cast<int32_t>(rank);
}

bool TLevel::EarnsPlace(int32_t score) const { return RankIn(ReadHighscoreList(), score) < 10; }

namespace {

// The folder of a stage file as written, with its separator ("" for none).
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

void TLevel::SaveHighscores() {
  TIniFile ini;
  LoadIni(ini, fFileName, kLevelKey);
  const std::string_view section = Rules().HighscoreSection;
  const std::size_t count = std::min<std::size_t>(fFinish.HighScore.size(), 10);
  ini.WriteInteger(section, "count", static_cast<int64_t>(count));
  for (std::size_t i = 0; i < count; ++i) {
    const std::string index = std::to_string(i);
    ini.WriteString(section, "name" + index, fFinish.HighScore[i].Name);
    ini.WriteInteger(section, "score" + index, fFinish.HighScore[i].Score);
  }
  SaveIni(&ini, fFileName, kLevelKey);
  UnlockNextStage(ini, false);
}

void TLevel::KeepUnlock() {
  fFinish.Saved = true;
  // Leaving never ends the game: a stage file gone meanwhile unlocks nothing.
  if (!FileExists(fFileName)) return;
  TIniFile ini;
  LoadIni(ini, fFileName, kLevelKey);
  UnlockNextStage(ini, true);
}

void TLevel::UnlockNextStage(const TIniFile& stage, bool leaving) {
  auto nothingUnlocked = [&](const std::string& why) {
    std::fprintf(stderr, "%s\n", platform::Cp1252ToUtf8("Level, UnlockNextStage: " + why + "; nichts freigeschaltet").c_str());
  };
  const std::string next = stage.ReadString("Level", "NextLevel", "");
  if (next.empty()) return;
  // NextLevel must name a file beside the stage: no folders, no way up or
  // out, and no drive either.
  if (!platform::IsPlainFileName(next) || next.find(':') != std::string::npos) {
    nothingUnlocked("NextLevel '" + next + "' in " + fFileName + " ist kein Dateiname neben dem Level");
    return;
  }
  const std::string nextFile = FolderOf(fFileName) + next;
  if (leaving && !FileExists(nextFile)) {
    nothingUnlocked(nextFile + " fehlt");
    return;
  }
  TIniFile ini;
  LoadIni(ini, nextFile, kLevelKey);
  if (leaving && ini.ReadBool("Level", "Active", false)) return;
  ini.WriteBool("Level", "Active", true);
  SaveIni(&ini, nextFile, kLevelKey);
}
