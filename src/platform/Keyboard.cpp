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
  if (IsKeyDown(platform, vk)) {
    if (fLatch[static_cast<std::size_t>(vk)]) return false;
    fLatch[static_cast<std::size_t>(vk)] = true;
    return true;
  }
  fLatch[static_cast<std::size_t>(vk)] = false;
  return false;
}

void TKeyLatch::Latch(int vk) {
  if (vk >= 0 && static_cast<std::size_t>(vk) < fLatch.size()) fLatch[static_cast<std::size_t>(vk)] = true;
}

void TKeyLatch::Clear() { std::fill(fLatch.begin(), fLatch.end(), false); }

}  // namespace platform
