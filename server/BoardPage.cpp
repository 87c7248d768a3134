// BoardPage.cpp -- the boards as a plain HTML page.
#include "BoardPage.h"

#include <cstdio>

std::string BoardPage(const std::vector<TStageBoard>& boards, bool challengesRequired) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"de\"><head><meta charset=\"utf-8\"><title>Riftvaulter Bestenliste</title>"
      "<style>body{font-family:sans-serif;margin:2em}table{border-collapse:collapse;margin-bottom:2em}"
      "td,th{padding:.2em .8em;text-align:right}td:nth-child(2){text-align:left}</style></head><body>\n"
      "<h1>Riftvaulter Bestenliste</h1>\n";
  page += challengesRequired
              ? "<p id=\"challenges\" data-challenges=\"required\">Jeder Lauf hier wurde live gespielt, mit einem "
                "frischen Startwert dieses Servers und in der Zeit, die er dauerte, von jemandem oder etwas, der diese "
                "Tasten dr\u00fcckte; der Server hat ihn nachgespielt.</p>\n"
              : "<p id=\"challenges\" data-challenges=\"off\">Private Bestenliste: der Server hat jeden Lauf "
                "nachgespielt, verlangt aber keine Herausforderung (Startwert und Uhr w\u00e4hlte der Spieler).</p>\n";
  for (const TStageBoard& board : boards) {
    page += "<h2>" + HtmlEscape(board.Stage) + "</h2>\n";
    if (board.Lists.empty()) {
      page += "<p>Noch keine gepr\u00fcften L\u00e4ufe.</p>\n";
      continue;
    }
    for (const TDifficultyBoard& list : board.Lists) {
      page += "<h3>" + HtmlEscape(list.Difficulty) + "</h3>\n";
      page += "<table><tr><th>Platz</th><th>Name</th><th>Punkte</th><th>Leben</th><th>Zeit</th></tr>\n";
      for (const TBoardEntry& e : list.Entries) {
        char time[32];
        std::snprintf(time, sizeof time, "%.1f s", e.Time);
        page += "<tr><td>" + std::to_string(e.Rank) + "</td><td>" + HtmlEscape(e.Name) + "</td><td>" +
                std::to_string(e.Score) + "</td><td>" + std::to_string(e.Life) + "</td><td>" + time + "</td></tr>\n";
      }
      page += "</table>\n";
    }
  }
  return page + "</body></html>\n";
}
