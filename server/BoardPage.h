// BoardPage.h -- the HTML page at "/": every stage's board.
#pragma once

#include <string>
#include <vector>

#include "Store.h"

struct TDifficultyBoard {
  std::string Difficulty;
  std::vector<TBoardEntry> Entries;
};

struct TStageBoard {
  std::string Stage;
  std::vector<TDifficultyBoard> Lists;  // only difficulties with entries
};

// A whole page: what the board proves (challengesRequired: only runs
// played live on the server's challenges), then per stage in the order
// given, one table per difficulty.
[[nodiscard]] std::string BoardPage(const std::vector<TStageBoard>& boards, bool challengesRequired);
