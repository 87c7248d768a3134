// Autopilot.h -- a built-in player: it reads the menu and the running stage
// (never changing them) and answers the game's input questions as a
// player's hands would: keys, mouse, and with a fixed step the clock.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/PlatformDecorator.h"

class TLevel;
class TMainMenu;

namespace pilot {

struct TPilotOptions {
  // Stage files (names inside data/) to play, in order. Empty: the first
  // unlocked stage.
  std::vector<std::string> Stages;
  // Every stage of the menu's list in order, each unlocked by the one before.
  bool AllStages = false;
  // > 0: the clock advances by this many ms per frame, as fast as frames can
  // be drawn; otherwise the real clock runs.
  double FixedStepMs = 0;
  // Seeds the game's random generator instead of the clock when set.
  std::optional<uint32_t> Seed;
  // The name typed into the highscore list.
  std::string Name = "AUTOPILOT";
};

// How one played stage ended.
struct TStageResult {
  std::string FileName;
  bool Won = false;
  int32_t Score = 0, Life = 0, Total = 0;
  float TimeMs = 0;
};

class TAutopilot final : public platform::TPlatformDecorator {
 public:
  TAutopilot(platform::TPlatform& inner, TPilotOptions options);

  // The menu to read; until it is attached the pilot keeps its hands still.
  // It must outlive the pilot's use.
  void Attach(const TMainMenu& menu) { fMenu = &menu; }

  uint64_t PerformanceCounter() override;
  bool IsVirtualKeyDown(int vk) override { return vk >= 0 && vk < 256 && fKeys[static_cast<std::size_t>(vk)]; }
  void GetCursorPos(int& x, int& y) override;
  void SetCursorPos(int x, int y) override;
  // The pilot's hands are on the keys: a controller on the desk stays out.
  platform::TGamepadState Gamepad() override { return {}; }
  void Rumble(uint16_t, uint32_t) override {}
  platform::TEvents PumpEvents() override;
  bool IsActive() override { return true; }
  void WaitForEvents(int timeoutMs) override {}
  int GetSwapInterval() override;
  uint32_t RandomSeed() override { return fOptions.Seed ? *fOptions.Seed : Inner().RandomSeed(); }
  void SetSwapInterval(int interval) override;

  [[nodiscard]] const std::vector<TStageResult>& Results() const { return fResults; }
  // Every stage it set out to play was played and won.
  [[nodiscard]] bool AllWon() const;
  // Why the pilot gave up, empty while it has not (Windows-1252 text).
  [[nodiscard]] const std::string& Failure() const { return fFailure; }

 private:
  void Decide();
  void DecideMenu(const TMainMenu& menu);
  void DecideFinish(const TLevel& level);
  void DecideFlight(const TLevel& level);
  // Down this frame when every key was up in the last one: one press for a
  // latch per two frames.
  void Tap(int vk);
  void ReleaseAll() { fKeys.fill(false); }
  void ChooseStages(const TMainMenu& menu);

  TPilotOptions fOptions;
  const TMainMenu* fMenu = nullptr;
  std::array<bool, 256> fKeys{};
  bool fAnyDownBefore = false;
  int fCursorX = 0, fCursorY = 0;
  int fSwapInterval = 0;
  uint64_t fCounter = 0;
  uint64_t fStep = 0;  // counter ticks per frame with a fixed step
  bool fStagesChosen = false;
  int fLockedFrames = 0;
  std::vector<std::string> fQueue;  // stages still to play
  std::string fPlaying;             // the stage running now
  bool fResultTaken = false;
  bool fWasActive = false;
  float fTargetRoll = 0;
  std::vector<TStageResult> fResults;
  std::string fFailure;
};

}  // namespace pilot
