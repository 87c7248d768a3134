// StageHash.cpp -- the stage fingerprint.
#include "stage/StageHash.h"

#include <cstdio>

#include "services/Difficulty.h"
#include "services/IniFile.h"
#include "services/RC4Stream.h"

uint64_t StageHash(const TIniFile& stage) {
  TIniFile rules = stage;
  for (const TDifficultyRules& difficulty : kDifficulties) rules.EraseSection(difficulty.HighscoreSection);
  rules.DeleteKey("Level", "Active");
  uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : rules.GetText()) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ull;
  }
  return hash;
}

uint64_t StageFileHash(const std::string& path) {
  TIniFile stage;
  LoadIni(stage, path, kLevelKey);
  return StageHash(stage);
}

std::string StageHashText(uint64_t hash) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}
