// BoardPage.h -- the HTML page at "/": every stage's board.
#pragma once

#include <string>
#include <vector>

#include "Store.h"

struct TStageBoard {
  std::string Stage;
  std::vector<TBoardEntry> Entries;
};

// A whole page, one table per board in the order given.
[[nodiscard]] std::string BoardPage(const std::vector<TStageBoard>& boards);
