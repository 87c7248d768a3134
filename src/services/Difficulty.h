// Difficulty.h -- the three difficulties and every number that differs
// between them, in one table so that they can be tuned after measuring.
// Normal is the game as its stage and boss files describe it: each of its
// factors leaves a value exactly as it is.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "services/Arith.h"
#include "services/Text.h"

enum class TDifficulty : uint8_t { Easy = 0, Normal = 1, Hard = 2 };

struct TDifficultyRules {
  // The name in settings.ini, on --difficulty and on screen.
  std::string_view Name;
  // The stage file's section of this difficulty's highscores.
  std::string_view HighscoreSection;
  // After a hit the ship takes no further hit for this long (ms): a curtain
  // of shots costs one point, not one per shot.
  float GraceMs;
  // The boss's shots fly forward at this multiple of their speed (and
  // acceleration); their sideways sweep and life time stay.
  float BossShotSpeed;
  // A life power-up gives this many percent of its value.
  int32_t LifePowerUpPercent;
  // Small enemies and gunboats wait this multiple of their stage's time
  // between two shots (a random shooter's mean time likewise).
  float EnemyFireInterval;
  // Their shots fly at this multiple of the stage's shot speed.
  float EnemyShotSpeed;
};

inline constexpr std::array<TDifficultyRules, 3> kDifficulties{{
    {"Leicht", "HighscoreLeicht", 600, 0.8f, 150, 1.0f, 1.0f},
    {"Normal", "Highscore", 0, 1.0f, 100, 1.0f, 1.0f},
    {"Schwer", "HighscoreSchwer", 0, 1.15f, 75, 0.75f, 1.25f},
}};

// A stage's interval between an enemy's shots under these rules, as the
// enemy keeps it (negative: a fixed period, positive: a random mean; see
// TEnemy::ShootNow). A factor of 1 leaves it exactly as it is.
[[nodiscard]] inline int32_t EnemyShootValue(const TDifficultyRules& rules, int32_t shootValue) {
  return RoundToInt32(static_cast<double>(shootValue) * rules.EnemyFireInterval);
}

[[nodiscard]] constexpr const TDifficultyRules& DifficultyRules(TDifficulty difficulty) {
  return kDifficulties[static_cast<std::size_t>(difficulty)];
}

// The difficulty of a name (as written, or in any case of A to Z); none for
// an unknown one.
[[nodiscard]] constexpr std::optional<TDifficulty> DifficultyNamed(std::string_view name) {
  for (std::size_t i = 0; i < kDifficulties.size(); ++i) {
    if (SameIgnoringCase(kDifficulties[i].Name, name)) return static_cast<TDifficulty>(i);
  }
  return std::nullopt;
}

// The settings page's cycle: Leicht, Normal, Schwer and round again.
[[nodiscard]] constexpr TDifficulty NextDifficulty(TDifficulty difficulty) {
  return static_cast<TDifficulty>((static_cast<std::size_t>(difficulty) + 1) % kDifficulties.size());
}
