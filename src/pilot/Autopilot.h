// Autopilot.h -- a built-in player: it reads the menu and the running stage
// (never changing them) and answers the game's input questions as a
// player's hands would: keys, mouse, and with a fixed step the clock.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
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
  // A person's pace: the pilot decides on the world as it was this many ms
  // ago (its own ship it always knows as it is now).
  double ReactionMs = 0;
  // A person's aim: the roll it steers to is off by a Gaussian error of
  // this many degrees (standard deviation), drawn anew every 100 ms.
  double AimNoiseDeg = 0;
};

// What the pilot saw of a running stage in one frame: every body that can
// hit the ship or is worth steering for, with its motion.
struct TSight {
  // A body moving along the path and round it, with its box relative to
  // its place (zero for a shot's point).
  struct TBody {
    float Pos, Roll, Speed, RollSpeed, Accel = 0, RollAccel = 0;
    float PosMin = 0, PosMax = 0, RollMin = 0, RollMax = 0;
    float Life = 1e30f;  // ms until it is gone
  };
  struct TPickUp {
    float Pos, Roll;
    uint8_t Kind;
  };
  float Time = 0;                 // stage ms
  std::vector<TBody> Enemies;     // small enemies still flying
  std::vector<TBody> Shots;       // every enemy's and the boss's shots
  std::vector<TBody> Gunboats;    // their place only
  std::vector<TPickUp> PowerUps;
  std::optional<TBody> Boss;      // while it fights

  // Everything carried `ms` further along the course it had.
  void Advance(float ms);
};

// How one played stage ended.
struct TStageResult {
  std::string FileName;
  bool Won = false;
  int32_t Score = 0, Life = 0, Total = 0;
  float TimeMs = 0;
  std::string Hits;  // the life points lost by cause (THitTally::Text)
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
  // The world to decide on: as seen a reaction time ago, carried to now.
  TSight Recall(const TLevel& level);
  // The aim error for this moment of the stage.
  float AimError(float stageMs);
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
  int fMove = 0;  // in the arena: -1 back, 0 stay, 1 forward
  std::vector<TStageResult> fResults;
  std::string fFailure;
  // With a reaction time: what it saw in the frames of the last reaction
  // time and a little more, oldest first.
  std::deque<TSight> fSeen;
  // The aim noise: its own generator (the game's draws stay the game's),
  // the error now and the 100 ms period it was drawn for.
  std::mt19937 fNoiseEngine;
  float fAimError = 0;
  int64_t fAimPeriod = -1;
};

}  // namespace pilot
