// StageHash.h -- one number for a stage's rules, the same for every player
// of the stage: the online leaderboard files a verified run under it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A 64-bit hash (FNV-1a) of the stage file's deciphered INI text as the game
// writes it, without what a player's own games change in it: the highscore
// lists of every difficulty and the unlock flag (Level/Active). `fileBytes`
// is the enciphered stage file.
[[nodiscard]] uint64_t StageRulesHash(std::string_view fileBytes);

// The hash as 16 lower-case hex digits.
[[nodiscard]] std::string StageHashText(uint64_t hash);
