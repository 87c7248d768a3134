// StageHash.h -- a stage's fingerprint for the online leaderboard: the same
// for every copy of the same stage, whatever the player scored in it or
// unlocked.
#pragma once

#include <cstdint>
#include <string>

class TIniFile;

// 64-bit FNV-1a over the stage file's deciphered INI text as TIniFile
// writes it, with every difficulty's highscore section and the Level
// section's Active key left out (both change as the player plays).
[[nodiscard]] uint64_t StageHash(const TIniFile& stage);
// The same for a stage file on disk (enciphered as shipped). Throws what
// LoadIni throws.
[[nodiscard]] uint64_t StageFileHash(const std::string& path);
// 16 lower-case hex digits.
[[nodiscard]] std::string StageHashText(uint64_t hash);
