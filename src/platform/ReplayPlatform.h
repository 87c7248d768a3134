// ReplayPlatform.h -- answers the game's questions from a recording: clock,
// keys, mouse, focus, screen and random seeds, frame by frame. The window,
// drawing and the window's own events stay with the platform below.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/PlatformDecorator.h"
#include "platform/Recording.h"

namespace platform {

enum class TReplayPace {
  Recorded,  // each frame shown when it was shown in the recorded run
  Fastest,   // every frame at once, swap interval 0 (the timedemo)
};

class TReplayPlatform final : public TPlatformDecorator {
 public:
  // `recording` must outlive the platform. `basePath` (with its trailing
  // separator) is the program folder the game sees: a copy holding the
  // recording's stage files and settings.
  TReplayPlatform(TPlatform& inner, const TRecording& recording, std::string basePath, TReplayPace pace);

  uint64_t PerformanceCounter() override;
  uint64_t PerformanceFrequency() override { return fRecording.Frequency; }
  bool IsVirtualKeyDown(int vk) override;
  int VirtualKeyForChar(char ch) override;
  void GetCursorPos(int& x, int& y) override;
  void SetCursorPos(int x, int y) override;
  TGamepadState Gamepad() override { return Frame().Pad; }
  TScreenSize ScreenSize() override { return {fRecording.ScreenWidth, fRecording.ScreenHeight}; }
  TEvents PumpEvents() override;
  bool IsActive() override { return Frame().Active; }
  void WaitForEvents(int timeoutMs) override;
  void Close() override {}
  int GetSwapInterval() override;
  void SetSwapInterval(int interval) override;
  std::string BasePath() override { return fBasePath; }
  uint32_t RandomSeed() override;

  // The frame being played (0 before the first pump).
  [[nodiscard]] std::size_t FrameIndex() const { return fFrame; }
  // The checksum recorded with the current frame, if there is one.
  [[nodiscard]] std::optional<uint32_t> RecordedChecksum() const;
  // Marks the run as diverged at the current frame (the first mark counts).
  void Diverge();
  // The first frame where the game asked what the recording cannot answer,
  // or where its state differed from the recorded checksum.
  [[nodiscard]] std::optional<std::size_t> DivergedAt() const { return fDivergedAt; }
  // True once the recording's last frame has been reached.
  [[nodiscard]] bool Finished() const { return fFrame + 1 >= fRecording.Frames.size(); }

 private:
  [[nodiscard]] const TRecordedFrame& Frame() const { return fRecording.Frames[fFrame]; }
  // A stage's run before its first pump: the program starts up and the
  // stage starts, answered from the run's first frame and its stage seed.
  [[nodiscard]] bool InPrelude() const { return fFrame == 0 && !fRecording.StartStage.empty(); }
  void WaitForRecordedTime();
  // The current frame's cursor, as the game measures it in this window.
  void TakeCursor();

  const TRecording& fRecording;
  std::string fBasePath;
  TReplayPace fPace;
  std::size_t fFrame = 0;
  std::size_t fCounterIndex = 0, fSeedIndex = 0;
  uint64_t fLastCounter = 0;
  int fCursorX = 0, fCursorY = 0;
  int fSwapInterval = 0;
  std::optional<std::size_t> fDivergedAt;
  std::optional<uint64_t> fFirstRecorded;
  uint64_t fFirstReal = 0;
};

}  // namespace platform
