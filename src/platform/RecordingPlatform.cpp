// RecordingPlatform.cpp -- input sampled after each pump, clock readings and
// seeds as they are asked for; a stage's run mirrors them from its start.
#include "platform/RecordingPlatform.h"

#include <utility>

namespace platform {

TRecordingPlatform::TRecordingPlatform(TPlatform& inner, TRecording start, bool wholeSession)
    : TPlatformDecorator(inner), fRecording(std::move(start)), fWholeSession(wholeSession) {
  fRecording.Frequency = inner.PerformanceFrequency();
  const TScreenSize screen = inner.ScreenSize();
  fRecording.ScreenWidth = screen.Width;
  fRecording.ScreenHeight = screen.Height;
  for (int ch = 0; ch < 256; ++ch) {
    const int vk = inner.VirtualKeyForChar(static_cast<char>(ch));
    fRecording.CharKeys[static_cast<std::size_t>(ch)] = static_cast<int16_t>(vk >= 0 && vk < 256 ? vk : -1);
  }
  fRecording.Frames.clear();
  SampleInput(fRecording.Frames.emplace_back());
}

void TRecordingPlatform::SampleInput(TRecordedFrame& frame) {
  frame.Active = Inner().IsActive();
  for (int vk = 0; vk < 256; ++vk) frame.Keys[static_cast<std::size_t>(vk)] = Inner().IsVirtualKeyDown(vk);
  // The game puts the cursor back to the client area's centre each frame and
  // steers by the offset from it. The cursor is kept as that offset from the
  // recorded desktop's centre, so that a replay in a window of another size
  // (or a run that changed its size) gives the game the same offsets; for a
  // full-screen run it is the cursor itself.
  int x = 0, y = 0;
  Inner().GetCursorPos(x, y);
  const TScreenSize client = Inner().ClientSize();
  frame.CursorX = x - client.Width / 2 + fRecording.ScreenWidth / 2;
  frame.CursorY = y - client.Height / 2 + fRecording.ScreenHeight / 2;
  frame.Pad = Inner().Gamepad();
}

uint64_t TRecordingPlatform::PerformanceCounter() {
  const uint64_t counter = Inner().PerformanceCounter();
  fRecording.Frames.back().Counters.push_back(counter);
  if (fStage) fStage->Frames.back().Counters.push_back(counter);
  return counter;
}

int TRecordingPlatform::VirtualKeyForChar(char ch) {
  return fRecording.CharKeys[static_cast<uint8_t>(ch)];
}

TEvents TRecordingPlatform::PumpEvents() {
  const TEvents events = Inner().PumpEvents();
  if (!fWholeSession) fRecording.Frames.clear();
  TRecordedFrame& frame = fRecording.Frames.emplace_back();
  ++fFrames;
  SampleInput(frame);
  frame.Quit = events.Quit;
  if (fStage) {
    TRecordedFrame copy = frame;
    fStage->Frames.push_back(std::move(copy));
  }
  return events;
}

uint32_t TRecordingPlatform::RandomSeed() {
  const uint32_t seed = fSeedOverride ? *std::exchange(fSeedOverride, std::nullopt) : Inner().RandomSeed();
  // The whole session replays the stage's seed like any other; the stage's
  // run holds it in its header.
  fRecording.Frames.back().Seeds.push_back(seed);
  if (fStage) {
    if (fStageSeedDue) {
      fStage->StageSeed = seed;
      fStageSeedDue = false;
    } else {
      fStage->Frames.back().Seeds.push_back(seed);
    }
  }
  return seed;
}

void TRecordingPlatform::AddChecksum(uint32_t checksum) {
  fRecording.Frames.back().HasChecksum = true;
  fRecording.Frames.back().Checksum = checksum;
}

void TRecordingPlatform::BeginStage(TStageStart start) {
  TRecording run;
  run.Frequency = fRecording.Frequency;
  run.ScreenWidth = fRecording.ScreenWidth;
  run.ScreenHeight = fRecording.ScreenHeight;
  run.CharKeys = fRecording.CharKeys;
  run.Settings = std::move(start.Settings);
  run.StartStage = start.FileName;
  run.StageFiles.emplace(std::move(start.FileName), std::move(start.StageFile));
  run.Challenge = std::move(start.Challenge);
  // The first frame: the input as the stage finds it, and the clock
  // reading its first step is measured from.
  const TRecordedFrame& now = fRecording.Frames.back();
  TRecordedFrame& first = run.Frames.emplace_back();
  first.Active = now.Active;
  first.Keys = now.Keys;
  first.CursorX = now.CursorX;
  first.CursorY = now.CursorY;
  first.Pad = now.Pad;
  if (!now.Counters.empty()) first.Counters.push_back(now.Counters.back());
  fStage = std::move(run);
  fStageSeedDue = true;
  fSeedOverride = start.Seed;
}

void TRecordingPlatform::AddStageChecksum(uint32_t checksum) {
  if (!fStage) return;
  fStage->Frames.back().HasChecksum = true;
  fStage->Frames.back().Checksum = checksum;
}

std::optional<TRecording> TRecordingPlatform::EndStage() {
  std::optional<TRecording> run = std::move(fStage);
  fStage.reset();
  fStageSeedDue = false;
  fSeedOverride.reset();
  return run;
}

}  // namespace platform
