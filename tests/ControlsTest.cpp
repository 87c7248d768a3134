// ControlsTest.cpp -- the player's controls in settings.ini: every bad value
// falls back to its own default with a line on stderr, and what the game
// writes reads back as written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/VirtualKeys.h"
#include "services/IniFile.h"
#include "services/Settings.h"
#include "stage/Controls.h"
#include "support/TempDir.h"

namespace {

using platform::kPadA;
using platform::kPadB;
using platform::kPadStart;
using platform::kPadY;

struct TRead {
  TControls Controls;
  std::string Err;
};

TRead Read(const std::string& section) {
  TIniFile ini;
  ini.SetText("[main]\r\nvsync=1\r\n[controls]\r\n" + section);
  testing::internal::CaptureStderr();
  TRead read{ReadControls(ini), ""};
  read.Err = testing::internal::GetCapturedStderr();
  return read;
}

TEST(Controls, EveryBadValueFallsBackToItsOwnDefaultWithALine) {
  const TControls defaults = DefaultControls();
  struct TCase {
    const char* name;
    std::string section;
    TControls expected;
    std::vector<std::string> lines;  // parts of the stderr lines, one each
  };
  auto with = [&](auto change) {
    TControls c = defaults;
    change(c);
    return c;
  };
  const TCase cases[] = {
      {"no section", "", defaults, {}},
      {"names in any case, a decimal comma",
       "fire = f\r\npause=q\r\nleave=F12\r\nrollleft=num4\r\npad.fire=Y\r\npad.pause=b\r\n"
       "mousesensitivity=1,5\r\nmouseinvert=1\r\nautofire=1\r\n",
       with([](TControls& c) {
         c[TAction::Fire] = {'F', kPadY};
         c[TAction::Pause] = {'Q', kPadB};
         c[TAction::Leave].Key = 0x7B;
         c[TAction::RollLeft].Key = 0x64;
         c.MouseSensitivity = 1.5f;
         c.MouseInvert = true;
         c.AutoFire = true;
       }),
       {}},
      {"a swap is no clash", "rollleft=Right\r\nrollright=Left\r\npad.fire=Start\r\npad.pause=A\r\n",
       with([](TControls& c) {
         std::swap(c[TAction::RollLeft].Key, c[TAction::RollRight].Key);
         c[TAction::Fire].Pad = kPadStart;
         c[TAction::Pause].Pad = kPadA;
       }),
       {}},
      {"unknown names and empty values",
       "fire=Banane\r\npad.pause=Z\r\nleave=\r\nfaster=Enter\r\nslower=LButton\r\n", defaults,
       {"fire=Banane", "pad.pause=Z", "leave=", "faster=Enter", "slower=LButton"}},
      {"a key another action keeps by default", "fire=P\r\n", defaults, {"fire=P in settings.ini ist schon vergeben; es gilt X"}},
      {"the Pause key pauses and nothing else", "fire=Pause\r\npause=Pause\r\n",
       with([](TControls& c) { c[TAction::Pause].Key = platform::kVkPause; }), {"fire=Pause"}},
      {"one key given twice: the first gives way", "fire=Q\r\npause=Q\r\n",
       with([](TControls& c) { c[TAction::Pause].Key = 'Q'; }), {"fire=Q"}},
      // Up stays with Faster, so Left goes back to RollLeft and Fire loses it.
      {"a default taken back meets another's key", "rollleft=Up\r\nfire=Left\r\n", defaults,
       {"rollleft=Up", "fire=Left"}},
      // Leave gives Up back to Faster only after RollLeft took Escape: the
      // second round takes Escape back from RollLeft.
      {"a key taken back after another took it", "rollleft=Escape\r\nleave=Up\r\n", defaults,
       {"leave=Up", "rollleft=Escape"}},
      {"a button another action keeps", "pad.leave=A\r\n", defaults, {"pad.leave=A"}},
      {"sensitivities outside 0.25 to 4 and switches other than 0 and 1",
       "mousesensitivity=0.2\r\nmouseinvert=ja\r\nautofire=2\r\n", defaults,
       {"mousesensitivity=0.2", "mouseinvert=ja", "autofire=2"}},
      {"no number", "mousesensitivity=schnell\r\n", defaults, {"mousesensitivity=schnell"}},
      {"the ends of the range", "mousesensitivity=4\r\n", with([](TControls& c) { c.MouseSensitivity = 4; }), {}},
  };
  for (const TCase& c : cases) {
    const TRead read = Read(c.section);
    EXPECT_EQ(read.Controls, c.expected) << c.name;
    std::size_t lines = 0;
    for (const char ch : read.Err) lines += ch == '\n';
    EXPECT_EQ(lines, c.lines.size()) << c.name << ":\n" << read.Err;
    for (const std::string& part : c.lines) EXPECT_NE(read.Err.find(part), std::string::npos) << c.name << ": " << part;
  }
  // The line names what applies instead.
  EXPECT_NE(Read("pad.pause=Z\r\n").Err.find("es gilt Start"), std::string::npos);
}

// What the game stores reads back as the same controls, and the keys land in
// their own section without touching a byte of the rest of the file.
TEST(Controls, StoredControlsReadBackAndLeaveTheRestOfTheFile) {
  TTempDir dir;
  const std::string file = dir.File("settings.ini");
  const std::string before = "; Kommentar\r\n[main]\r\nvsync=0\r\n";
  WriteBytes(file, before);
  TControls controls = DefaultControls();
  controls[TAction::Fire] = {platform::kVkSpace, kPadY};
  controls[TAction::Leave].Key = 0x60;  // keypad 0
  controls.MouseSensitivity = 0.75f;
  controls.AutoFire = true;
  ASSERT_TRUE(WriteSettings(file, kControlsSection, ControlsSettings(controls)));
  const std::string after = ReadBytes(file);
  EXPECT_TRUE(after.starts_with(before + "[controls]\r\nrollleft=Left\r\nrollright=Right\r\n")) << after;
  EXPECT_NE(after.find("fire=Space\r\n"), std::string::npos) << after;
  EXPECT_NE(after.find("pad.fire=Y\r\n"), std::string::npos) << after;
  EXPECT_NE(after.find("leave=Num0\r\n"), std::string::npos) << after;
  EXPECT_NE(after.find("mousesensitivity=0.75\r\n"), std::string::npos) << after;
  testing::internal::CaptureStderr();
  EXPECT_EQ(ReadControls(ReadSettings(file)), controls);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  // One key changed later replaces its line in place.
  ASSERT_TRUE(WriteSettings(file, kControlsSection, {{"fire", "G"}}));
  EXPECT_EQ(ReadSettings(file).ReadString("controls", "fire", ""), "G");
  EXPECT_EQ(ReadBytes(file).size(), after.size() - 4);

  // Every key the game can bind has a name that reads back as that key.
  for (const int vk : BindableKeys()) EXPECT_EQ(KeyNamed(KeyFileName(vk)), vk) << KeyFileName(vk);
  EXPECT_FALSE(KeyNamed("Return"));
  // The sensitivity cycle runs through its steps and round again.
  float step = 0.25f;
  std::string cycle;
  for (int i = 0; i < 9; ++i) cycle += SensitivityText(step = NextMouseSensitivity(step)) + " ";
  EXPECT_EQ(cycle, "0.5 0.75 1 1.5 2 3 4 0.25 0.5 ");
}

}  // namespace
