// KeyboardTest.cpp -- held keys, one-shot presses and layout lookups.
#include <gtest/gtest.h>

#include "platform/Keyboard.h"
#include "platform/ScriptedPlatform.h"
#include "platform/VirtualKeys.h"

namespace {

using platform::ScriptedPlatform;
using platform::TKeyLatch;

TEST(Keyboard, LatchReportsEachPressOnce) {
  ScriptedPlatform p;
  TKeyLatch latch(256);
  const int enter = platform::kVkReturn;
  // Held for several frames: one report.
  p.SetKey(enter, true);
  EXPECT_TRUE(latch.KeyPressed(p, enter));
  EXPECT_FALSE(latch.KeyPressed(p, enter));
  EXPECT_FALSE(latch.KeyPressed(p, enter));
  // Release seen, press again: reported again.
  p.SetKey(enter, false);
  EXPECT_FALSE(latch.KeyPressed(p, enter));
  p.SetKey(enter, true);
  EXPECT_TRUE(latch.KeyPressed(p, enter));
  // A release and new press between two queries is not seen.
  p.SetKey(enter, false);
  p.SetKey(enter, true);
  EXPECT_FALSE(latch.KeyPressed(p, enter));
  // Clear re-arms every key.
  latch.Clear();
  EXPECT_TRUE(latch.KeyPressed(p, enter));
}

TEST(Keyboard, OwnersKeepSeparateLatches) {
  ScriptedPlatform p;
  TKeyLatch stage(257);
  TKeyLatch menu(256);
  p.SetKey(platform::kVkEscape, true);
  EXPECT_TRUE(stage.KeyPressed(p, platform::kVkEscape));
  EXPECT_TRUE(menu.KeyPressed(p, platform::kVkEscape));
  EXPECT_FALSE(stage.KeyPressed(p, platform::kVkEscape));
  EXPECT_FALSE(menu.KeyPressed(p, platform::kVkEscape));
  // A key pressed while an owner is not polling is reported when it looks.
  p.SetKey('A', true);
  EXPECT_TRUE(stage.KeyPressed(p, 'A'));
  EXPECT_TRUE(menu.KeyPressed(p, 'A'));
  // Codes outside the latch are never reported.
  EXPECT_FALSE(menu.KeyPressed(p, 256));
  EXPECT_FALSE(menu.KeyPressed(p, -1));
}

TEST(Keyboard, CharacterKeysFollowTheLayout) {
  ScriptedPlatform p;
  p.SetKey('X', true);
  EXPECT_TRUE(platform::IsCharKeyDown(p, 'x'));
  EXPECT_FALSE(platform::IsCharKeyDown(p, 'y'));
  p.MissingChars.insert('x');
  EXPECT_FALSE(platform::IsCharKeyDown(p, 'x'));
  EXPECT_FALSE(platform::IsCharKeyDown(p, '\xFC'));  // no key types it
  p.SetKey(platform::kVkLButton, true);
  EXPECT_TRUE(platform::IsKeyDown(p, platform::kVkLButton));
}

TEST(Keyboard, SdlKeyTableCoversTheGamesKeys) {
  for (int vk : {platform::kVkBack, platform::kVkReturn, platform::kVkEscape, platform::kVkSpace, platform::kVkLeft,
                 platform::kVkUp, platform::kVkRight, platform::kVkDown}) {
    EXPECT_FALSE(platform::ScancodesForVirtualKey(vk).empty()) << vk;
  }
  EXPECT_TRUE(platform::ScancodesForVirtualKey(0xFF).empty());
}

}  // namespace
