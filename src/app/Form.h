// Form.h -- the main form: window, GL state, frame clock and FPS figure.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Platform.h"
#include "render/textengine/TextEngine.h"
#include "services/Sound.h"

class TglFont;
class TMainMenu;

// What the owner of the main loop may add to it (replays, the timedemo, the
// autopilot); every hook is optional.
struct TRunHooks {
  std::function<void()> Created;     // after FormCreate: the menu exists
  std::function<bool()> FrameDone;   // after each frame; false ends the loop
  std::function<void()> Ending;      // the loop is over, before teardown
};

class TForm1 {
 public:
  // The form draws through `platform`'s window and GL context; nothing
  // happens until FormCreate.
  explicit TForm1(platform::TPlatform& platform);
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // Start-up: GL state, vsync from settings.ini, then InitGame.
  void FormCreate();
  void InitGL();
  void SetVSync(bool enable);
  // Reads main/vsync from settings.ini beside the program (default on) and
  // applies it.
  void ApplyVSyncSetting();
  // main/sound from settings.ini (default on): 0 runs the game without ever
  // opening the audio device; so does fSilent.
  [[nodiscard]] bool SoundSetting();
  void InitGame();
  // One frame: time since the last call, draw and advance while active,
  // count the FPS second. `done` is set to false (call again at once).
  void IdleHandler(bool& done);
  void DrawFrame();
  // The client size changed (or is set for the first time): viewport,
  // projection, and the FPS, menu and HUD fonts follow it.
  void FormResize();
  // Alt+Enter: full screen becomes a window (of the size this run's window
  // last had, else a default that fits the desktop) and back, and
  // settings.ini's main/window remembers the choice.
  void ToggleWindowMode();
  // The window size Alt+Enter switches to when the run has had no window
  // yet: 1280 x 720, or three quarters of a desktop that is not larger.
  [[nodiscard]] static platform::TScreenSize DefaultWindowSize(platform::TScreenSize screen);
  void FormDestroy();
  // Ends the main loop; the menu calls it when the player quits.
  void MenuQuit();

  // The main loop a frame at a time, driven by its owner (the session; in
  // the browser, once per frame of the page): Begin, then Step until it
  // returns false, then End.
  void Begin(const TRunHooks& hooks);
  [[nodiscard]] bool Step();
  void End();

  // FPS font size for a client height: height / 60, halves to even.
  static int FpsFontSize(int clientHeight);

  int32_t fFrameCount = 0;
  int32_t fFPS = 0;
  float fFPSTime = 0;
  float fElapsed = 0;
  std::unique_ptr<TSound> fSound;  // the run's sound, from InitGame on
  std::unique_ptr<TMainMenu> MainMenu;
  ts::TtsContextID fTextContext = 0;
  std::unique_ptr<TglFont> FPSFont;
  uint64_t fFrequency = 1;
  uint64_t fLastCounter = 0;
  uint64_t fCounter = 0;
  // Set before FormCreate: the run has no audio device (nor a window).
  bool fSilent = false;

 private:
  platform::TPlatform& fPlatform;
  platform::TScreenSize fWindowSize;  // the window's last client size; 0 x 0 before any
  bool fCreated = false;
  bool fWasActive = true;  // the window had focus at the last idle call
  bool fDestroyed = false;
  TRunHooks fHooks;
};
