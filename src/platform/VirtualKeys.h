// VirtualKeys.h -- the game's virtual-key codes and their SDL scancodes.
#pragma once

#include <vector>

namespace platform {

inline constexpr int kVkLButton = 0x01;
inline constexpr int kVkBack = 0x08;
inline constexpr int kVkTab = 0x09;
inline constexpr int kVkReturn = 0x0D;
inline constexpr int kVkShift = 0x10;
inline constexpr int kVkControl = 0x11;
inline constexpr int kVkMenu = 0x12;
inline constexpr int kVkPause = 0x13;
inline constexpr int kVkEscape = 0x1B;
inline constexpr int kVkSpace = 0x20;
inline constexpr int kVkLeft = 0x25;
inline constexpr int kVkUp = 0x26;
inline constexpr int kVkRight = 0x27;
inline constexpr int kVkDown = 0x28;

// Scancodes that count as the key `vk` (letters and digits follow the
// current layout; Shift, Ctrl and Alt match either side). Empty when the code
// has no key.
std::vector<int> ScancodesForVirtualKey(int vk);

// The virtual-key code of the key that types `ch` on the current layout, or
// -1 when no key types it.
int VirtualKeyForCharOnLayout(char ch);

}  // namespace platform
