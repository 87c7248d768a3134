// RecordingPlatform.h -- records what the platform below answered, frame by
// frame, so that the run can be played back exactly.
#pragma once

#include "platform/PlatformDecorator.h"
#include "platform/Recording.h"

namespace platform {

class TRecordingPlatform final : public TPlatformDecorator {
 public:
  // `start` holds the stage files and settings the run begins with; the
  // recorder fills in the clock, the screen, the layout and the frames.
  TRecordingPlatform(TPlatform& inner, TRecording start);

  uint64_t PerformanceCounter() override;
  int VirtualKeyForChar(char ch) override;
  TEvents PumpEvents() override;
  uint32_t RandomSeed() override;

  // Stores a checksum of the game state with the current frame.
  void AddChecksum(uint32_t checksum);
  [[nodiscard]] const TRecording& Recording() const { return fRecording; }
  [[nodiscard]] std::size_t FrameIndex() const { return fRecording.Frames.size() - 1; }

 private:
  void SampleInput(TRecordedFrame& frame);

  TRecording fRecording;
};

}  // namespace platform
