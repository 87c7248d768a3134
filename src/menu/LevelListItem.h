// LevelListItem.h -- the menu's copy of what it shows of one stage file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct THighscoreListItem {
  std::string Name;
  int32_t Score = 0;
};

struct TLevelListItem {
  std::string FileName;     // name inside data/, with its extension
  std::string Title;        // caption on the stage and highscore pages
  std::string Description;  // description on the stage page
  bool Active = false;      // unlocked: the stage can be started
  std::vector<THighscoreListItem> HighScores;  // in file order
};

// Every stage file of programDir's data/ (programDir with its trailing
// separator), sorted by name, with what the menu shows of it and the
// highscores of `highscoreSection` (one difficulty's list). Throws
// EDataError (Windows-1252 text) naming a file that cannot be read.
[[nodiscard]] std::vector<TLevelListItem> ReadLevelList(const std::string& programDir,
                                                        const std::string& highscoreSection = "Highscore");
