// StageRules.h -- the numbers a stage is played by, in one place for the
// stage and for whoever plays it (the autopilot reads them too), and the
// finish screen's schedule for its count-up, its ticks and its drawing.
#pragma once

#include <cstdint>

// The camera stands still this long (ms) while the tube is revealed.
inline constexpr float kIntroMs = 4000;
// A stage's arena hint shows this long (ms) after the ship reaches the arena.
inline constexpr float kArenaHintMs = 8000;
// A player's shot flies this many rings per second faster than the ship.
inline constexpr float kShotSpeedBonus = 15;
// One pixel of mouse motion rolls the ship by this many degrees.
inline constexpr float kMouseDegreesPerPixel = 0.8f;
// Weapon levels 0..kMaxWeapon; life 0..kMaxLife.
inline constexpr int32_t kMaxWeapon = 9;
inline constexpr int32_t kMaxLife = 100;

// How a stage has ended; the values are the ones stored and compared.
enum class TFinishState : uint8_t { Running = 0, Passed = 1, GameOver = 2 };

// The finish screen, in ms after the stage ended: the title, then each
// number counting up over its span, a rule drawn under them, the total, and
// from kFinishCountedMs on Enter opens the name entry.
struct TCountSpan {
  float Begin, End;
  [[nodiscard]] constexpr bool Inside(float t) const { return t > Begin && t < End; }
  // 0 before the span, 1 after it.
  [[nodiscard]] constexpr float Progress(float t) const {
    const float f = (t - Begin) / (End - Begin);
    return f < 0 ? 0 : f > 1 ? 1 : f;
  }
};
inline constexpr float kFinishTitleMs = 1000;
inline constexpr TCountSpan kCountPoints{2000, 3000};
inline constexpr TCountSpan kCountLifeBonus{3000, 4000};
inline constexpr TCountSpan kCountTimeBonus{4000, 5000};
inline constexpr TCountSpan kFinishRule{5000, 5500};
inline constexpr TCountSpan kCountTotal{5500, 6000};
inline constexpr float kFinishCountedMs = 6500;
// A count-up tick sounds this often (ms) while a number counts.
inline constexpr float kCountTickMs = 50;
