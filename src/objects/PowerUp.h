// PowerUp.h -- a pick-up lying on the tube wall.
#pragma once

#include <array>
#include <cstdint>

enum : uint8_t { kPowerUpShield = 0, kPowerUpLife = 1, kPowerUpWeapon = 2 };

struct TPowerUp {
  float Angle = 0;  // spin of the drawn shape, degrees
  float Pos = 0;    // path parameter
  float Roll = 0;   // degrees
  float Scale = 0;
  int32_t Value = 0;   // shield ms, life points or weapon levels
  uint8_t Kind = 0;    // shield, life or weapon

  // 100 degrees per second, wrapped once past 360.
  void Spin(float elapsed) {
    Angle += elapsed / 10;
    if (Angle > 360) Angle -= 360;
  }
};

// The colour a kind is drawn in (r, g, b): shield blue, life red, weapon green.
[[nodiscard]] inline std::array<float, 3> PowerUpColour(uint8_t kind) {
  if (kind == kPowerUpLife) return {1, 0, 0};
  if (kind == kPowerUpWeapon) return {0, 1, 0};
  return {0, 0, 1};
}

// The kind a stage file's letter stands for: L life, W weapon, anything
// else (S included) a shield.
[[nodiscard]] inline uint8_t PowerUpKindFromLetter(char letter) {
  if (letter == 'L') return kPowerUpLife;
  if (letter == 'W') return kPowerUpWeapon;
  return kPowerUpShield;
}
