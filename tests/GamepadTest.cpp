// GamepadTest.cpp -- the game controller: flying a stage, entering a name on
// the finish screen and walking the menu with the scripted platform's
// virtual controller, and SDL's hot-plugging with a virtual pad.
// Needs a display (real GL) and runs sounds on the dummy audio driver.
#include <gtest/gtest.h>

#include <SDL.h>

#include "menu/MainMenu.h"
#include "objects/ParticleManager.h"
#include "platform/SdlPlatform.h"
#include "platform/VirtualKeys.h"
#include "services/IniFile.h"
#include "services/RC4Stream.h"
#include "services/Sound.h"
#include "support/MenuRuntime.h"
#include "support/StagePlay.h"

namespace {

using namespace platform;

class GamepadStage : public testing::Test {
 protected:
  TStagePlay Play;
  TLevel& Level() { return *Play.Level; }
  TGamepadState& Pad() { return Play.Input.Pad; }

  // Roll after one 20 ms frame from 0 (the keys turn 2 degrees in it).
  float RollInOneFrame() {
    Level().fRoll = 0;
    Play.Frame(20);
    return Level().fRoll;
  }
  void PressPad(TPadButton button) {
    Play.Input.SetPadButton(button, true);
    Play.Frame(16);
    Play.Input.SetPadButton(button, false);
    Play.Frame(16);
  }
};

TEST_F(GamepadStage, TheStickScalesTheRollUpToTheKeysRateAndTheDpadIsTheArrowKeys) {
  Play.Load(TStagePlay::Empty());
  Play.FlyTo(0.2f);
  Pad().Connected = true;

  Pad().StickX = -32768;  // full left: the keys' rate
  EXPECT_FLOAT_EQ(RollInOneFrame(), 2);
  Pad().StickX = 32767;
  EXPECT_FLOAT_EQ(RollInOneFrame(), -2);
  Pad().StickX = -(kStickDeadZone + (32767 - kStickDeadZone) / 2);  // half way
  EXPECT_NEAR(RollInOneFrame(), 1, 0.001);
  Pad().StickX = kStickDeadZone;  // resting
  EXPECT_EQ(RollInOneFrame(), 0);
  // Stick and key together roll no faster than the key.
  Pad().StickX = -32768;
  Play.Hold(kVkLeft, true);
  EXPECT_FLOAT_EQ(RollInOneFrame(), 2);
  Play.Hold(kVkLeft, false);
  Pad().StickX = 0;
  Play.Input.SetPadButton(kPadRight, true);
  EXPECT_FLOAT_EQ(RollInOneFrame(), -2);
  Play.Input.SetPadButton(kPadRight, false);
  // A pad that is gone moves nothing, whatever its last state said.
  Pad().Connected = false;
  Pad().StickX = -32768;
  Play.Input.SetPadButton(kPadLeft, true);
  EXPECT_EQ(RollInOneFrame(), 0);
  Pad() = {};
  Pad().Connected = true;

  // Speed: the stick pushed up (or the d-pad) is the Up key.
  ASSERT_FLOAT_EQ(Level().fSpeed, 10);
  Pad().StickY = -20000;
  Play.Frames(5, 10);
  EXPECT_FLOAT_EQ(Level().fSpeed, 15);
  Pad().StickY = -kStickPressed + 1;  // not far enough
  Play.Frames(5, 10);
  EXPECT_FLOAT_EQ(Level().fSpeed, 15);
  Pad().StickY = 0;
  Play.Input.SetPadButton(kPadDown, true);
  Play.Frames(10, 10);
  EXPECT_FLOAT_EQ(Level().fSpeed, 10);
  Play.Input.SetPadButton(kPadDown, false);

  // A fires as the fire key does; Back leaves the stage.
  const uint64_t shots = Play.ShotsFired();
  Play.Input.SetPadButton(kPadA, true);
  Play.Frame(16);
  EXPECT_GT(Play.ShotsFired(), shots);
  Play.Input.SetPadButton(kPadA, false);
  Play.Frame(16);
  EXPECT_TRUE(Level().fActive);
  PressPad(kPadBack);
  EXPECT_FALSE(Level().fActive);
}

TEST_F(GamepadStage, TheNameIsEnteredWithTheDpadAndConfirmedWithA) {
  Play.Load(TStagePlay::Empty());
  Pad().Connected = true;
  // The stage is passed while A is held to fire: that A skips nothing.
  Play.Input.SetPadButton(kPadA, true);
  Level().fFinish.State = TFinishState::Passed;
  Level().fFinish.Points = Level().fFinish.Total = 5000;
  while (Level().fFinish.Time < 3000) Play.Frame(10);
  EXPECT_LT(Level().fFinish.Time, 3010);
  Play.Input.SetPadButton(kPadA, false);
  Play.Frame(10);
  // Released and pressed again, A is Enter: skip, then open the entry.
  PressPad(kPadA);
  EXPECT_GE(Level().fFinish.Time, 6500);
  PressPad(kPadA);
  ASSERT_TRUE(Level().fFinish.NameEntry);
  ASSERT_EQ(Level().fFinish.HighScore.size(), 1u);
  const std::string& name = Level().fFinish.HighScore[0].Name;

  PressPad(kPadA);  // an empty name is not taken
  EXPECT_TRUE(Level().fActive);
  PressPad(kPadUp);  // starts a letter
  EXPECT_EQ(name, "A");
  PressPad(kPadUp);
  EXPECT_EQ(name, "B");
  PressPad(kPadRight);
  EXPECT_EQ(name, "BA");
  PressPad(kPadDown);  // below A: round to the space, then the digits
  EXPECT_EQ(name, "B ");
  PressPad(kPadDown);
  EXPECT_EQ(name, "B9");
  PressPad(kPadRight);
  PressPad(kPadRight);
  PressPad(kPadLeft);
  EXPECT_EQ(name, "B9A");
  // Held, the d-pad turns once.
  Play.Input.SetPadButton(kPadUp, true);
  Play.Frames(20, 16);
  Play.Input.SetPadButton(kPadUp, false);
  Play.Frame(16);
  EXPECT_EQ(name, "B9B");
  PressPad(kPadA);
  EXPECT_FALSE(Level().fActive);

  TIniFile saved;
  LoadIni(saved, Play.StageFile, kLevelKey);
  EXPECT_EQ(saved.ReadString("Highscore", "name0", ""), "B9B");
  EXPECT_EQ(saved.ReadInteger("Highscore", "score0", -1), 5000);
}

class GamepadMenu : public TMenuTest {
 protected:
  void PressPad(TPadButton button) {
    Keys.SetPadButton(button, true);
    Frame();
    Keys.SetPadButton(button, false);
    Frame(150);
  }
};

TEST_F(GamepadMenu, TheDpadMovesAEntersAndBGoesBack) {
  TMainMenu& menu = Create();
  Keys.Pad.Connected = true;
  // Held down, the d-pad moves one row, as the arrow key does.
  Keys.SetPadButton(kPadDown, true);
  for (int i = 0; i < 30; ++i) Frame();
  Keys.SetPadButton(kPadDown, false);
  Frame();
  EXPECT_EQ(menu.fItemId, "0_1");
  PressPad(kPadDown);
  PressPad(kPadDown);
  EXPECT_EQ(menu.fItemId, "0_3");
  PressPad(kPadUp);
  EXPECT_EQ(menu.fItemId, "0_2");
  PressPad(kPadA);
  EXPECT_EQ(menu.fPath, "0_2");
  PressPad(kPadB);
  EXPECT_EQ(menu.fPath, "0");
  EXPECT_EQ(Quits, 0);
  PressPad(kPadB);
  EXPECT_EQ(Quits, 1);
}

// A press and its release, both queued before the next pump: `press` is a
// key, mouse button or pad button going down.
void PushTap(SDL_Event press) {
  SDL_PushEvent(&press);
  SDL_Event release = press;
  if (press.type == SDL_KEYDOWN) release.type = SDL_KEYUP, release.key.state = SDL_RELEASED;
  if (press.type == SDL_MOUSEBUTTONDOWN) release.type = SDL_MOUSEBUTTONUP, release.button.state = SDL_RELEASED;
  if (press.type == SDL_CONTROLLERBUTTONDOWN)
    release.type = SDL_CONTROLLERBUTTONUP, release.cbutton.state = SDL_RELEASED;
  SDL_PushEvent(&release);
}

// SDL's virtual joystick stands in for a pad plugged into the machine.
TEST(GamepadSdl, APadPluggedInAndPulledOutWhileTheGameRuns) {
  SdlPlatform sdl(TWindowOptions{64, 64, false});
  sdl.PumpEvents();
  EXPECT_FALSE(sdl.Gamepad().Connected);

  const int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                               SDL_CONTROLLER_BUTTON_MAX, 0);
  ASSERT_GE(device, 0) << SDL_GetError();
  SDL_Joystick* hands = SDL_JoystickOpen(device);
  ASSERT_NE(hands, nullptr) << SDL_GetError();
  sdl.PumpEvents();
  ASSERT_TRUE(sdl.Gamepad().Connected);
  EXPECT_EQ(sdl.Gamepad().Buttons, 0);

  SDL_JoystickSetVirtualButton(hands, SDL_CONTROLLER_BUTTON_A, 1);
  SDL_JoystickSetVirtualButton(hands, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1);
  SDL_JoystickSetVirtualAxis(hands, SDL_CONTROLLER_AXIS_LEFTX, -32768);
  SDL_JoystickSetVirtualAxis(hands, SDL_CONTROLLER_AXIS_LEFTY, 20000);
  // Without focus the game hears no pad: another test's window may have
  // taken it, so take it back as a player would by clicking.
  for (int i = 0; i < 100; ++i) {
    sdl.PumpEvents();
    if (sdl.IsActive()) break;
    if (SDL_Window* window = SDL_GetWindowFromID(1)) SDL_SetWindowInputFocus(window);
    SDL_Delay(10);
  }
  ASSERT_TRUE(sdl.IsActive());
  const TGamepadState pad = sdl.Gamepad();
  EXPECT_EQ(pad.Buttons, kPadA | kPadLeft);
  EXPECT_EQ(pad.StickX, -32768);
  EXPECT_EQ(pad.StickY, 20000);

  // Start pressed and let go between two pumps: seen by the one pump.
  SDL_Event tap{};
  tap.type = SDL_CONTROLLERBUTTONDOWN;
  tap.cbutton.which = SDL_JoystickInstanceID(hands);
  tap.cbutton.button = SDL_CONTROLLER_BUTTON_START;
  tap.cbutton.state = SDL_PRESSED;
  PushTap(tap);
  sdl.PumpEvents();
  EXPECT_EQ(sdl.Gamepad().Buttons, kPadA | kPadLeft | kPadStart);
  sdl.PumpEvents();
  EXPECT_EQ(sdl.Gamepad().Buttons, kPadA | kPadLeft);

  SDL_JoystickClose(hands);
  ASSERT_EQ(SDL_JoystickDetachVirtual(device), 0) << SDL_GetError();
  sdl.PumpEvents();
  EXPECT_FALSE(sdl.Gamepad().Connected);
  EXPECT_FALSE(sdl.Gamepad().Down(kPadA));
}

// A press and its release between two pumps (a tap shorter than a frame,
// or Pause, whose press and release many keyboards send at once) still
// reaches the game, for that pump only: keys, the mouse button and the pad.
// Alt+Enter is the window switch however short, never a press of Enter.
TEST(SdlKeys, ATapBetweenTwoPumpsIsSeenForThatPumpOnly) {
  SdlPlatform sdl(TWindowOptions{64, 64, false});
  sdl.PumpEvents();
  auto key = [](SDL_Scancode scancode, Uint16 mod = KMOD_NONE) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.scancode = scancode;
    event.key.keysym.mod = mod;
    PushTap(event);
  };
  auto seenOnce = [&](int vk) {
    sdl.PumpEvents();
    const bool tapped = sdl.IsVirtualKeyDown(vk);
    sdl.PumpEvents();
    return tapped && !sdl.IsVirtualKeyDown(vk);
  };
  key(SDL_SCANCODE_PAUSE);
  EXPECT_TRUE(seenOnce(platform::kVkPause));
  key(SDL_SCANCODE_P);
  EXPECT_TRUE(seenOnce('P'));
  key(SDL_SCANCODE_ESCAPE);
  EXPECT_TRUE(seenOnce(platform::kVkEscape));
  key(SDL_SCANCODE_RETURN);
  EXPECT_TRUE(seenOnce(platform::kVkReturn));
  SDL_Event click{};
  click.type = SDL_MOUSEBUTTONDOWN;
  click.button.button = SDL_BUTTON_LEFT;
  click.button.state = SDL_PRESSED;
  PushTap(click);
  EXPECT_TRUE(seenOnce(platform::kVkLButton));

  key(SDL_SCANCODE_RETURN, KMOD_LALT);
  EXPECT_TRUE(sdl.PumpEvents().ToggleWindowMode);
  EXPECT_FALSE(sdl.IsVirtualKeyDown(platform::kVkReturn));
  sdl.PumpEvents();
  EXPECT_FALSE(sdl.IsVirtualKeyDown('P'));
}

}  // namespace
