// ControlsReplayTest.cpp -- the player's own controls end to end: the
// controls page remaps fire and pause (refusing a key that is taken), a
// stage is flown with the new keys, and the recorded run replays frame by
// frame where settings.ini holds the defaults; a run recorded with custom
// keys and fire by toggle replays there too. A replay never writes the
// player's settings.ini. Needs a display (real GL).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/GameFolder.h"
#include "app/StateChecksum.h"
#include "menu/MainMenu.h"
#include "objects/ParticleManager.h"
#include "platform/RecordingPlatform.h"
#include "platform/ReplayPlatform.h"
#include "platform/VirtualKeys.h"
#include "render/Font.h"
#include "services/Settings.h"
#include "stage/Level.h"
#include "support/MenuRuntime.h"

namespace {

using namespace platform;

// The main loop's body on one platform: pump, the time since the last
// frame by the platform's clock, one menu frame; and what each frame left.
class TLoop {
 public:
  TLoop(TPlatform& platform, TSound& sound, ts::TtsContextID context)
      : Menu(platform, sound, context, 640, 480), fPlatform(platform), fLast(platform.PerformanceCounter()) {}

  void Frame() {
    fPlatform.PumpEvents();
    const uint64_t now = fPlatform.PerformanceCounter();
    Menu.Progress(static_cast<float>(static_cast<double>(now - fLast) * 1000.0 /
                                     static_cast<double>(fPlatform.PerformanceFrequency())));
    fLast = now;
    Checksums.push_back(StateChecksum(Menu));
  }
  [[nodiscard]] TLevel& Level() const { return *Menu.Level; }
  [[nodiscard]] uint64_t Shots() const { return Menu.Level->fPlayer.ParticleManager->Added(); }

  TMainMenu Menu;
  std::vector<uint32_t> Checksums;

 private:
  TPlatform& fPlatform;
  uint64_t fLast;
};

// A player's hands on the scripted platform below the recorder.
struct THands {
  ScriptedPlatform& Keys;
  TLoop& Loop;

  void Frame() {
    Keys.AdvanceMs(16);
    Loop.Frame();
  }
  void Frames(int count) {
    for (int i = 0; i < count; ++i) Frame();
  }
  // Down for a frame, up for the next, then until the menu's row has moved.
  void Tap(int vk) {
    Keys.SetKey(vk, true);
    Frame();
    Keys.SetKey(vk, false);
    Frame();
    while (Loop.Menu.fCursorMove != 0 || Loop.Menu.fScrollMove != 0) Frame();
  }
  void TapPad(TPadButton button) {
    Keys.SetPadButton(button, true);
    Frame();
    Keys.SetPadButton(button, false);
    Frame();
  }
  // From the selected item of the current page down to item `index`.
  void Select(int index) {
    while (Loop.Menu.fSelected < index) Tap(kVkDown);
  }
  // From the root down the page ids of `id`, Enter on each.
  void Open(const std::string& id) {
    for (std::size_t at = id.find('_'); at != std::string::npos; at = id.find('_', at + 1)) {
      const std::size_t end = id.find('_', at + 1);
      Select(std::stoi(id.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1)));
      Tap(kVkReturn);
    }
  }
  // Starts the first stage from the root page and flies to where the
  // controls take over.
  void FlyIntoTheTube() {
    Open(kStagePage);
    Tap(kVkReturn);
    ASSERT_TRUE(Loop.Level().fActive);
    while (Loop.Level().ShipPos() <= 0) Frame();
  }
};

class ControlsReplayTest : public TMenuTest {
 protected:
  ControlsReplayTest() {
    Runtime.WritePlayableStage("Level01.level", "ERSTE", true);
    if (TextContext == 0) TextContext = CreateTextContext();
  }

  [[nodiscard]] std::string SettingsFile() const { return Runtime.Base() + "settings.ini"; }

  // Replays `recorded` on a window whose keys and pad are anything but the
  // run's, and expects every frame's state again; the player's
  // settings.ini stays as it is.
  void ExpectReplayed(const TRecording& recorded, const std::vector<uint32_t>& checksums) {
    const TRecording recording = ParseRecording(SerializeRecording(recorded));
    const std::string before = ReadBytes(SettingsFile());
    TScratchFolder scratch(Runtime.Base(), recording.Settings, recording.StageFiles);
    ScriptedPlatform window;
    window.SetKey('X', true);
    window.SetKey('P', true);
    TReplayPlatform replay(window, recording, scratch.Base(), TReplayPace::Fastest);
    TLoop loop(replay, Sound, TextContext);
    for (std::size_t i = 0; i < checksums.size(); ++i) {
      loop.Frame();
      ASSERT_EQ(loop.Checksums.back(), checksums[i]) << "frame " << i;
    }
    EXPECT_FALSE(replay.DivergedAt());
    EXPECT_EQ(ReadBytes(SettingsFile()), before);
  }
};

TEST_F(ControlsReplayTest, RemappedFireAndPauseFlyAndReplayUnderEitherSettings) {
  WriteBytes(SettingsFile(), "[main]\r\nvsync=1\r\n");
  Keys.Pad.Connected = true;

  // Run 1: remap on the controls page, then fly with the new keys.
  TRecordingPlatform recorder(Keys, ReadStartState(Runtime.Base()));
  std::vector<uint32_t> run1;
  {
    TLoop loop(recorder, Sound, TextContext);
    THands hands{Keys, loop};
    TMainMenu& menu = loop.Menu;
    hands.Open(kControlsPage);
    ASSERT_EQ(menu.fPath, kControlsPage);
    hands.Select(static_cast<int>(TAction::Fire));
    hands.Tap(kVkReturn);
    ASSERT_TRUE(menu.fWaitingFor);
    hands.Tap(kVkLeft);  // taken: refused, naming the action that has it
    EXPECT_FALSE(menu.fWaitingFor);
    EXPECT_EQ(menu.ControlsStateText(), "Pfeil links ist schon mit 'Links drehen' belegt.");
    EXPECT_EQ(menu.fSelected, static_cast<int>(TAction::Fire)) << "the arrow did not move the selection";
    hands.Tap(kVkReturn);
    hands.Tap('F');
    hands.Tap(kVkReturn);
    hands.TapPad(kPadY);  // the pad's fire too
    EXPECT_EQ(menu.ControlsStateText(), "Taste: F\r\nController: Y");

    hands.Tap(kVkDown);
    hands.Tap(kVkReturn);
    hands.Tap(kVkEscape);  // cancels: still P, still on the page
    EXPECT_EQ(menu.fPath, kControlsPage);
    EXPECT_EQ(menu.fControls[TAction::Pause].Key, 'P');
    hands.Tap(kVkReturn);
    hands.Tap('Q');
    const TIniFile stored = ReadSettings(SettingsFile());
    EXPECT_EQ(stored.ReadString("controls", "fire", "-"), "F");
    EXPECT_EQ(stored.ReadString("controls", "pad.fire", "-"), "Y");
    EXPECT_EQ(stored.ReadString("controls", "pause", "-"), "Q");
    hands.Tap(kVkEscape);
    hands.Tap(kVkEscape);
    ASSERT_EQ(menu.fPath, "0");

    hands.FlyIntoTheTube();
    TLevel& level = loop.Level();
    // The old keys do nothing now.
    hands.Keys.SetKey('X', true);
    hands.Keys.SetPadButton(kPadA, true);
    hands.Keys.SetKey('P', true);
    hands.Frames(30);
    EXPECT_EQ(loop.Shots(), 0u);
    EXPECT_FALSE(level.Paused());
    hands.Keys.SetKey('X', false);
    hands.Keys.SetPadButton(kPadA, false);
    hands.Keys.SetKey('P', false);
    // The new ones do.
    hands.Keys.SetKey('F', true);
    hands.Frames(40);
    hands.Keys.SetKey('F', false);
    const uint64_t byKey = loop.Shots();
    EXPECT_GT(byKey, 3u);
    hands.Tap('Q');
    EXPECT_TRUE(level.Paused());
    const float pausedAt = level.fTime;
    EXPECT_EQ(level.PauseTexts(640, 480, 20)[1].Text, "Q oder Start: weiter, Esc: Level verlassen");
    hands.Frames(20);
    EXPECT_EQ(level.fTime, pausedAt);
    hands.Tap('Q');
    EXPECT_FALSE(level.Paused());
    hands.Keys.SetPadButton(kPadY, true);
    hands.Frames(40);
    hands.Keys.SetPadButton(kPadY, false);
    EXPECT_GT(loop.Shots(), byKey);
    hands.Frames(30);
    run1 = loop.Checksums;
  }
  // The machine's settings.ini now has the custom keys; the run started
  // from the defaults and replays from them.
  ExpectReplayed(recorder.Recording(), run1);

  // Run 2: recorded with the custom keys, fire by toggle and a fast,
  // inverted mouse from the start.
  WriteSettings(SettingsFile(), kControlsSection, {{"autofire", "1"}, {"mousesensitivity", "2"}, {"mouseinvert", "1"}});
  Keys.SetPadButton(kPadY, false);
  TRecordingPlatform recorder2(Keys, ReadStartState(Runtime.Base()));
  std::vector<uint32_t> run2;
  {
    TLoop loop(recorder2, Sound, TextContext);
    THands hands{Keys, loop};
    hands.FlyIntoTheTube();
    const float roll = loop.Level().fRoll;
    hands.Keys.MoveMouse(5, 0);  // right, which rolls left when inverted: +5 * 0.8 * 2 degrees
    hands.Frame();
    EXPECT_FLOAT_EQ(loop.Level().fRoll - roll, 8);
    hands.Tap('F');  // on
    hands.Frames(40);
    const uint64_t toggledOn = loop.Shots();
    EXPECT_GT(toggledOn, 3u) << "fire went on with one press";
    hands.Tap('Q');
    hands.Frames(10);
    EXPECT_EQ(loop.Shots(), toggledOn) << "nothing fires while paused";
    hands.Tap('Q');
    hands.Frames(20);
    hands.Tap('F');  // off
    const uint64_t toggledOff = loop.Shots();
    EXPECT_GT(toggledOff, toggledOn);
    hands.Frames(40);
    EXPECT_EQ(loop.Shots(), toggledOff);
    run2 = loop.Checksums;
  }
  // Now this machine plays with the defaults.
  WriteBytes(SettingsFile(), "[main]\r\nvsync=1\r\n");
  ExpectReplayed(recorder2.Recording(), run2);
}

}  // namespace
