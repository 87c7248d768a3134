// VirtualKeys.cpp -- mapping virtual-key codes to SDL scancodes.
#include "platform/VirtualKeys.h"

#include <SDL.h>

namespace platform {

namespace {

struct TFixedKey {
  int Vk;
  SDL_Scancode Scancode;
};

// Keys whose place does not depend on the layout.
constexpr TFixedKey kFixedKeys[] = {
    {kVkBack, SDL_SCANCODE_BACKSPACE}, {kVkTab, SDL_SCANCODE_TAB},
    {kVkReturn, SDL_SCANCODE_RETURN},  {kVkReturn, SDL_SCANCODE_KP_ENTER},
    {kVkShift, SDL_SCANCODE_LSHIFT},   {kVkShift, SDL_SCANCODE_RSHIFT},
    {kVkControl, SDL_SCANCODE_LCTRL},  {kVkControl, SDL_SCANCODE_RCTRL},
    {kVkMenu, SDL_SCANCODE_LALT},      {kVkMenu, SDL_SCANCODE_RALT},
    {kVkPause, SDL_SCANCODE_PAUSE},        {0x14, SDL_SCANCODE_CAPSLOCK},
    {kVkEscape, SDL_SCANCODE_ESCAPE},  {kVkSpace, SDL_SCANCODE_SPACE},
    {0x21, SDL_SCANCODE_PAGEUP},       {0x22, SDL_SCANCODE_PAGEDOWN},
    {0x23, SDL_SCANCODE_END},          {0x24, SDL_SCANCODE_HOME},
    {kVkLeft, SDL_SCANCODE_LEFT},      {kVkUp, SDL_SCANCODE_UP},
    {kVkRight, SDL_SCANCODE_RIGHT},    {kVkDown, SDL_SCANCODE_DOWN},
    {0x2D, SDL_SCANCODE_INSERT},       {0x2E, SDL_SCANCODE_DELETE},
    {0x60, SDL_SCANCODE_KP_0},         {0x61, SDL_SCANCODE_KP_1},
    {0x62, SDL_SCANCODE_KP_2},         {0x63, SDL_SCANCODE_KP_3},
    {0x64, SDL_SCANCODE_KP_4},         {0x65, SDL_SCANCODE_KP_5},
    {0x66, SDL_SCANCODE_KP_6},         {0x67, SDL_SCANCODE_KP_7},
    {0x68, SDL_SCANCODE_KP_8},         {0x69, SDL_SCANCODE_KP_9},
    {0x6A, SDL_SCANCODE_KP_MULTIPLY},  {0x6B, SDL_SCANCODE_KP_PLUS},
    {0x6D, SDL_SCANCODE_KP_MINUS},     {0x6E, SDL_SCANCODE_KP_PERIOD},
    {0x6F, SDL_SCANCODE_KP_DIVIDE},    {0xA0, SDL_SCANCODE_LSHIFT},
    {0xA1, SDL_SCANCODE_RSHIFT},       {0xA2, SDL_SCANCODE_LCTRL},
    {0xA3, SDL_SCANCODE_RCTRL},        {0xA4, SDL_SCANCODE_LALT},
    {0xA5, SDL_SCANCODE_RALT},
};

}  // namespace

std::vector<int> ScancodesForVirtualKey(int vk) {
  std::vector<int> result;
  if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) {
    // Letter and digit codes name the key that types them on this layout.
    const SDL_Keycode key = vk >= 'A' ? static_cast<SDL_Keycode>(vk - 'A' + 'a') : static_cast<SDL_Keycode>(vk);
    const SDL_Scancode scancode = SDL_GetScancodeFromKey(key);
    if (scancode != SDL_SCANCODE_UNKNOWN) result.push_back(scancode);
    return result;
  }
  if (vk >= 0x70 && vk <= 0x7B) {
    result.push_back(SDL_SCANCODE_F1 + (vk - 0x70));
    return result;
  }
  for (const TFixedKey& key : kFixedKeys) {
    if (key.Vk == vk) result.push_back(key.Scancode);
  }
  return result;
}

int VirtualKeyForCharOnLayout(char ch) {
  const unsigned char c = static_cast<unsigned char>(ch);
  int vk = -1;
  SDL_Keycode key = SDLK_UNKNOWN;
  if (c >= 'a' && c <= 'z') {
    vk = c - 'a' + 'A';
    key = c;
  } else if (c >= 'A' && c <= 'Z') {
    vk = c;
    key = c - 'A' + 'a';
  } else if (c >= '0' && c <= '9') {
    vk = c;
    key = c;
  } else if (c == ' ') {
    return kVkSpace;
  }
  if (vk < 0 || SDL_GetScancodeFromKey(key) == SDL_SCANCODE_UNKNOWN) return -1;
  return vk;
}

}  // namespace platform
