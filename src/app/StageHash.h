// StageHash.h -- one number for a stage's rules, the same for every player
// of the stage: the online leaderboard files a verified run under it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The stage file's deciphered INI text as the game writes it, without what
// a player's own games change in it: the highscore lists of every
// difficulty and the unlock flag (Level/Active). Two stage files with the
// same rules text play the same. Throws like the stage loader for a file
// that cannot be deciphered.
[[nodiscard]] std::string StageRulesText(std::string_view fileBytes);

// The stage's identity on the online leaderboard: SHA-256 of its rules text
// as 64 lower-case hex digits.
[[nodiscard]] std::string StageSha256(std::string_view fileBytes);

// A quick local check of the same text: a 64-bit hash (FNV-1a) of the stage file's deciphered INI text as the game
// writes it, without what a player's own games change in it: the highscore
// lists of every difficulty and the unlock flag (Level/Active). `fileBytes`
// is the enciphered stage file.
[[nodiscard]] uint64_t StageRulesHash(std::string_view fileBytes);

// The hash as 16 lower-case hex digits.
[[nodiscard]] std::string StageHashText(uint64_t hash);
