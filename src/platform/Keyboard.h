// Keyboard.h -- polled key queries and the per-owner one-shot latch.
#pragma once

#include <cstddef>
#include <vector>

namespace platform {

class TPlatform;

// True while the key with this virtual-key code (or mouse button 1) is down.
bool IsKeyDown(TPlatform& platform, int vk);

// True while the key that types `ch` on the current layout is down; false
// when the layout has no such key.
bool IsCharKeyDown(TPlatform& platform, char ch);

// One flag per key code: set once a press was reported, cleared when the
// owner sees the key released. The stage keeps 257 of them, the menu 256.
class TKeyLatch {
 public:
  explicit TKeyLatch(std::size_t size) : fLatch(size, false) {}

  // True exactly once per press: on the first call that sees the key down.
  // Codes outside the latch are never reported.
  bool KeyPressed(TPlatform& platform, int vk);
  // The same for any other button under code `code` (a key together with
  // the pad button that stands for it, or a pad button alone), given
  // whether it is down now.
  bool Pressed(int code, bool down);
  // Marks `vk` as already reported, so a press that is still held (or that
  // began for another owner) is not reported to this one.
  void Latch(int vk);
  void Clear();
  std::size_t Size() const { return fLatch.size(); }

 private:
  std::vector<bool> fLatch;
};

// Alt+Enter switches the window mode. From that press until Enter is let go
// the platform hides Return from the game, so the switch is never also a
// press of Return in the menu or on the finish screen, whichever key the
// player lets go of first. Both platforms feed their Enter presses through it.
class TAltEnter {
 public:
  // Return or keypad Enter went down (not by key repeat). True when it is
  // the switch: Alt was down.
  bool EnterDown(bool altDown) {
    if (altDown) fHiding = true;
    return altDown;
  }
  // No Enter key is down any more.
  void EnterUp() { fHiding = false; }
  [[nodiscard]] bool HidesReturn() const { return fHiding; }

 private:
  bool fHiding = false;
};

}  // namespace platform
