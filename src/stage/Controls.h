// Controls.h -- the player's own controls: which key and which controller
// button does what in a stage, the mouse's sensitivity and direction, and
// whether fire toggles. Read from settings.ini's [controls]; the menu's
// controls page changes them, the stage and the autopilot obey them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Gamepad.h"

class TIniFile;

// What a key or a button does in flight, in the order the controls page
// lists them.
enum class TAction : uint8_t { RollLeft, RollRight, Faster, Slower, Fire, Pause, Leave };
inline constexpr int kActionCount = 7;

struct TBinding {
  int Key = 0;  // virtual-key code
  platform::TPadButton Pad = platform::kPadA;
  bool operator==(const TBinding&) const = default;
};

inline constexpr float kMinMouseSensitivity = 0.25f;
inline constexpr float kMaxMouseSensitivity = 4;

struct TControls {
  std::array<TBinding, kActionCount> Bindings;
  // A factor on the degrees the ship rolls per pixel of mouse motion (and
  // on how far it moves in the arena), kMinMouseSensitivity to kMax.
  float MouseSensitivity = 1;
  bool MouseInvert = false;  // the mouse rolls and moves the other way
  // Fire toggles with each press instead of firing while held.
  bool AutoFire = false;

  [[nodiscard]] const TBinding& operator[](TAction action) const { return Bindings[static_cast<std::size_t>(action)]; }
  [[nodiscard]] TBinding& operator[](TAction action) { return Bindings[static_cast<std::size_t>(action)]; }
  bool operator==(const TControls&) const = default;
};

// The game as it always played: arrows, X, P, Escape; d-pad, A, Start, Back.
[[nodiscard]] TControls DefaultControls();

// settings.ini's section and an action's keys in it ("fire", "pad.fire").
inline constexpr const char* kControlsSection = "controls";
[[nodiscard]] std::string ActionKeySetting(TAction action);
[[nodiscard]] std::string ActionPadSetting(TAction action);

// The controls settings.ini gives. A value that is not a key or button name,
// a key or button another action already has, a sensitivity outside its
// range or a switch other than 0 and 1 falls back to that setting's default
// with a line on stderr. No section: the defaults, silently.
[[nodiscard]] TControls ReadControls(const TIniFile& settings);
// Every key of the section for `controls`, in the order the file shows them.
[[nodiscard]] std::vector<std::pair<std::string, std::string>> ControlsSettings(const TControls& controls);

// Keys by name: settings.ini's name ("X", "Left", "F1", "Num0"; any case)
// and the name the game shows ("Pfeil links"). Only keys that can be bound
// have names; Enter and the mouse cannot be bound.
[[nodiscard]] std::optional<int> KeyNamed(std::string_view name);
[[nodiscard]] std::string KeyFileName(int vk);
[[nodiscard]] std::string KeyShownName(int vk);
// Every key that can be bound, by code.
[[nodiscard]] const std::vector<int>& BindableKeys();

[[nodiscard]] std::optional<platform::TPadButton> PadButtonNamed(std::string_view name);
[[nodiscard]] std::string PadButtonFileName(platform::TPadButton button);
[[nodiscard]] std::string PadButtonShownName(platform::TPadButton button);

// The action other than `except` that `vk` (or `button`) does now. The Pause
// key always pauses, whatever P is bound to.
[[nodiscard]] std::optional<TAction> KeyHolder(const TControls& controls, int vk, TAction except);
[[nodiscard]] std::optional<TAction> PadHolder(const TControls& controls, platform::TPadButton button, TAction except);

// The arena's hint on moving forward and back with the keys in force.
[[nodiscard]] std::string ArenaHintText(const TControls& controls);

// The next step of the controls page's sensitivity cycle after `value`:
// 0.25, 0.5, 0.75, 1, 1.5, 2, 3, 4 and round again.
[[nodiscard]] float NextMouseSensitivity(float value);
// A sensitivity as the game shows and stores it: "1", "0.75", "1.5".
[[nodiscard]] std::string SensitivityText(float value);
