// Keyboard.cpp -- key queries on top of the platform.
#include "platform/Keyboard.h"

#include <algorithm>

#include "platform/Platform.h"

namespace platform {

bool IsKeyDown(TPlatform& platform, int vk) { return platform.IsVirtualKeyDown(vk); }

bool IsCharKeyDown(TPlatform& platform, char ch) {
  const int vk = platform.VirtualKeyForChar(ch);
  return vk >= 0 && platform.IsVirtualKeyDown(vk);
}

bool TKeyLatch::KeyPressed(TPlatform& platform, int vk) {
  if (vk < 0 || static_cast<std::size_t>(vk) >= fLatch.size()) return false;
  return Pressed(vk, IsKeyDown(platform, vk));
}

bool TKeyLatch::Pressed(int code, bool down) {
  if (code < 0 || static_cast<std::size_t>(code) >= fLatch.size()) return false;
  const auto index = static_cast<std::size_t>(code);
  if (down) {
    if (fLatch[index]) return false;
    fLatch[index] = true;
    return true;
  }
  fLatch[index] = false;
  return false;
}

void TKeyLatch::Latch(int vk) {
  if (vk >= 0 && static_cast<std::size_t>(vk) < fLatch.size()) fLatch[static_cast<std::size_t>(vk)] = true;
}

void TKeyLatch::Clear() { std::fill(fLatch.begin(), fLatch.end(), false); }

}  // namespace platform
