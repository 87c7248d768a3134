// StateChecksum.h -- a fingerprint of the game's state, recorded every
// second of a run so that a replay that drifts is caught where it drifts.
#pragma once

#include <cstdint>

class TLevel;
class TMainMenu;

// Over the menu's page and selection and, while a stage runs, the stage:
// clock, place, roll, speed, life, score, weapon, shield, every enemy, shot
// and power-up, the boss and the finish table.
[[nodiscard]] uint32_t StateChecksum(const TMainMenu& menu);
// The stage's part alone (what the pause must hold still).
[[nodiscard]] uint32_t StateChecksum(const TLevel& level);
