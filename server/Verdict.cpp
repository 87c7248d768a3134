// Verdict.cpp -- judging a verifier's exit and output.
#include "Verdict.h"

#include <signal.h>

std::string LastLine(std::string_view text) {
  const std::size_t end = text.find_last_not_of(" \r\n\t");
  if (end == std::string_view::npos) return {};
  const std::size_t newline = text.find_last_of("\r\n", end);
  const std::size_t start = newline == std::string_view::npos ? 0 : newline + 1;
  return std::string(text.substr(start, end + 1 - start));
}

TVerdict Judge(const TChildResult& child, const std::string& claimedStageHash,
               const std::map<std::string, std::string>& shippedStages) {
  if (!child.Started) return std::string("Die Pr\u00fcfung lie\u00df sich nicht starten.");
  if (child.TimedOut) return std::string("Die Pr\u00fcfung hat das Zeitlimit \u00fcberschritten.");
  if (child.Signal == SIGXCPU) return std::string("Die Pr\u00fcfung hat das Rechenzeitlimit \u00fcberschritten.");
  if (child.Signal != 0) {
    return "Die Pr\u00fcfung ist abgest\u00fcrzt (Signal " + std::to_string(child.Signal) + ").";
  }
  if (child.ExitCode != 0) {
    const std::string message = ToCleanUtf8(LastLine(child.Err), 300);
    if (!message.empty()) return message;
    return "Die Pr\u00fcfung hat die Aufzeichnung abgelehnt (Code " + std::to_string(child.ExitCode) + ").";
  }
  const auto run = ParseVerifierLine(child.Out);
  if (!run) return std::string("Die Pr\u00fcfung hat keine g\u00fcltige Antwort gegeben.");
  if (run->StageHash != claimedStageHash) {
    return std::string("Die Aufzeichnung geh\u00f6rt zu einer anderen Strecke als angegeben.");
  }
  const auto shipped = shippedStages.find(run->Stage);
  if (shipped == shippedStages.end() || shipped->second != run->StageHash) {
    return std::string("Die Strecke der Aufzeichnung ist keine der ausgelieferten.");
  }
  if (!IsValidName(run->Name)) {
    return std::string("Der Name ist ung\u00fcltig: erlaubt sind 1 bis 32 Zeichen aus A-Z, 0-9 und Leerzeichen.");
  }
  return *run;
}
