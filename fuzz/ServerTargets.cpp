// ServerTargets.cpp -- the leaderboard server's parsers as the fuzzer drives
// them.
#include <charconv>
#include <cstdlib>
#include <string>

#include "Protocol.h"
#include "Targets.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Shortest digits that read back, never an exponent.
std::string Fixed(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return std::string(buffer, result.ptr);
}

std::string Print(const TVerifiedRun& run) {
  return "verified: stage=" + run.Stage + " stagehash=" + run.StageHash + " difficulty=" + run.Difficulty +
         " classic=" + (run.Classic ? "1" : "0") + " score=" + std::to_string(run.Score) +
         " life=" + std::to_string(run.Life) + " time=" + Fixed(run.Time) + " name=" + run.Name + " play=" + run.Play + " seed=" + std::to_string(run.Seed) +
         " challenge=" + (run.Challenge.empty() ? std::string("-") : run.Challenge) +
         " clockms=" + std::to_string(run.ClockMs);
}

}  // namespace

void FuzzServerInput(std::string_view bytes) {
  if (bytes.empty()) return;
  const unsigned selector = static_cast<unsigned char>(bytes[0]) % 5;
  const std::string_view text = bytes.substr(1);
  switch (selector) {
    case 0:
      if (const auto run = ParseVerifierLine(text)) {
        Check(IsStageName(run->Stage) && IsStageHash(run->StageHash) && IsStageHash(run->Play) && run->Score >= 0 &&
              run->Life >= 0 && run->Time >= 0 && run->ClockMs >= 0);
        Check(run->Name.find('\n') == std::string::npos);
        // The time is printed in its shortest form, so the text may differ
        // ("3.50" prints "3.5"); what it reads back to may not.
        const auto again = ParseVerifierLine(Print(*run));
        Check(again && Print(*again) == Print(*run));
      }
      break;
    case 1:
      if (const auto stages = ParseStageHashes(text)) {
        for (const auto& [name, hash] : *stages) Check(IsStageName(name) && IsStageHash(hash));
      }
      break;
    case 2: {
      const std::size_t bound = text.empty() ? 0 : static_cast<unsigned char>(text[0]);
      const std::string clean = ToCleanUtf8(text, bound);
      Check(clean.size() <= bound && IsValidUtf8(clean));
      const std::string json = JsonString(clean);
      for (char c : json) Check(static_cast<unsigned char>(c) >= 0x20);
      break;
    }
    case 3:
      if (const auto id = ParseRunId(text)) Check(*id > 0 && std::to_string(*id) == text);
      if (const auto limit = ParseLimit(text, 10, 100)) Check(*limit >= 1 && *limit <= 100);
      break;
    case 4: {
      const std::string html = HtmlEscape(text);
      Check(html.find_first_of("<>\"'") == std::string::npos);
      Check(IsValidName(text) == (IsValidName(html) && html == text));
      break;
    }
  }
}
