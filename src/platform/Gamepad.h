// Gamepad.h -- the one game controller the game listens to, as the platform
// saw it after the last event pump: buttons and the left stick, nothing else.
#pragma once

#include <cstdint>

namespace platform {

// Buttons by their place on the pad (A is the south button, whatever the
// pad prints on it).
enum TPadButton : uint16_t {
  kPadA = 1 << 0,
  kPadB = 1 << 1,
  kPadBack = 1 << 2,
  kPadStart = 1 << 3,
  kPadUp = 1 << 4,
  kPadDown = 1 << 5,
  kPadLeft = 1 << 6,
  kPadRight = 1 << 7,
  kPadY = 1 << 8,  // the north button
};
inline constexpr uint16_t kPadButtons = 0x1FF;  // every button above
inline constexpr int kPadButtonCount = 9;

struct TGamepadState {
  bool Connected = false;
  uint16_t Buttons = 0;  // TPadButton bits
  // The left stick, -32768..32767; x grows to the right, y downwards.
  int16_t StickX = 0, StickY = 0;

  [[nodiscard]] bool Down(TPadButton button) const { return Connected && (Buttons & button) != 0; }
  bool operator==(const TGamepadState&) const = default;
};

// Stick travel that counts as resting: worn sticks never centre exactly.
inline constexpr int kStickDeadZone = 8000;
// Stick travel past which it counts as a held direction (speed, menus).
inline constexpr int kStickPressed = 16000;

// How far the stick is pushed along one axis, 0 (inside the dead zone) to 1
// (at the stop); the sign says the direction.
[[nodiscard]] inline float StickDeflection(int16_t axis) {
  const int travel = axis < 0 ? -static_cast<int>(axis) : static_cast<int>(axis);
  if (travel <= kStickDeadZone) return 0;
  const float amount = travel >= 32767 ? 1.0f : static_cast<float>(travel - kStickDeadZone) / (32767 - kStickDeadZone);
  return axis < 0 ? -amount : amount;
}

// Directions as the arrow keys give them: the d-pad, or the stick pushed
// well past its dead zone.
[[nodiscard]] inline bool PadHoldsUp(const TGamepadState& pad) {
  return pad.Down(kPadUp) || (pad.Connected && pad.StickY <= -kStickPressed);
}
[[nodiscard]] inline bool PadHoldsDown(const TGamepadState& pad) {
  return pad.Down(kPadDown) || (pad.Connected && pad.StickY >= kStickPressed);
}

}  // namespace platform
