// LevelHighscore.cpp -- the stage's highscore list.
#include "services/IniFile.h"
#include "services/RC4Stream.h"
#include "stage/Level.h"

int32_t TLevel::LoadHighscores(int32_t score) {
  fFinish.HighScore.clear();
  TIniFile ini;
  LoadIni(ini, fFileName, kLevelKey);
  const int32_t count = ini.ReadInteger("Highscore", "count", 0);
  for (int32_t i = 0; i < count; ++i) {
    const std::string index = std::to_string(i);
    fFinish.HighScore.push_back(
        {ini.ReadString("Highscore", "name" + index, "Unbekannt"), ini.ReadInteger("Highscore", "score" + index, 0)});
  }
  // After every entry with the same or a better score.
  std::size_t rank = fFinish.HighScore.size();
  for (std::size_t i = fFinish.HighScore.size(); i-- > 0;) {
    if (fFinish.HighScore[i].Score < score) rank = i;
  }
  fFinish.HighScore.insert(fFinish.HighScore.begin() + static_cast<std::ptrdiff_t>(rank), THighScoreItem{"", score});
  return static_cast<int32_t>(rank);
}
