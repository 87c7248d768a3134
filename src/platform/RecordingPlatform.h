// RecordingPlatform.h -- records what the platform below answered, frame by
// frame, so that the run can be played back exactly: the whole session for
// a file, and the current stage's run on its own (the online leaderboard
// and the page's download take that).
#pragma once

#include <optional>

#include "platform/PlatformDecorator.h"
#include "platform/Recording.h"

namespace platform {

// What a stage's run starts with besides the frames: settings.ini and the
// stage file as they are at the stage's start, its plain file name and the
// server's challenge (empty without one).
struct TStageStart {
  std::string Settings;
  std::string FileName;
  std::string StageFile;
  std::string Challenge;
  // The seed the challenge gives the stage; without one the platform below
  // is asked, as for every other seed.
  std::optional<uint32_t> Seed;
};

class TRecordingPlatform final : public TPlatformDecorator {
 public:
  // `start` holds the stage files and settings the run begins with; the
  // recorder fills in the clock, the screen, the layout and the frames.
  // Without `wholeSession` only the current frame is kept (and stage runs):
  // memory stays bounded by one stage however long the session lasts.
  TRecordingPlatform(TPlatform& inner, TRecording start, bool wholeSession = true);

  uint64_t PerformanceCounter() override;
  int VirtualKeyForChar(char ch) override;
  TEvents PumpEvents() override;
  uint32_t RandomSeed() override;

  // Stores a checksum of the game state with the current frame.
  void AddChecksum(uint32_t checksum);
  [[nodiscard]] const TRecording& Recording() const { return fRecording; }
  // Frames recorded since the start, the current one included.
  [[nodiscard]] std::size_t FrameIndex() const { return fFrames - 1; }

  // A stage starts in the current frame, after its clock was read: a run of
  // its own begins, holding the input as it is now and the frame's last
  // clock reading (the stage's first step is measured from it). The next
  // seed asked for is the stage's (`start.Seed` when given).
  void BeginStage(TStageStart start);
  // Stores a checksum of the stage's state with the stage run's frame.
  void AddStageChecksum(uint32_t checksum);
  // The stage's run so far; null when none is being recorded.
  [[nodiscard]] const TRecording* StageRun() const { return fStage ? &*fStage : nullptr; }
  // Ends the stage's run and hands it over (nullopt without one).
  [[nodiscard]] std::optional<TRecording> EndStage();

 private:
  void SampleInput(TRecordedFrame& frame);

  TRecording fRecording;
  bool fWholeSession;
  std::size_t fFrames = 1;
  std::optional<TRecording> fStage;
  bool fStageSeedDue = false;
  std::optional<uint32_t> fSeedOverride;
};

}  // namespace platform
