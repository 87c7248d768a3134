// ReplayPlatform.cpp -- stepping through the recorded frames, and the wait
// that keeps a replay at its recorded pace.
#include "platform/ReplayPlatform.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

namespace platform {

TReplayPlatform::TReplayPlatform(TPlatform& inner, const TRecording& recording, std::string basePath,
                                 TReplayPace pace)
    : TPlatformDecorator(inner), fRecording(recording), fBasePath(std::move(basePath)), fPace(pace) {
  if (fRecording.Frames.empty()) throw EReplayError("Replay-Datei enth\xE4lt keine Bilder");
  TakeCursor();
  if (fPace == TReplayPace::Fastest && inner.HasSwapControl()) inner.SetSwapInterval(0);
}

uint64_t TReplayPlatform::PerformanceCounter() {
  const TRecordedFrame& frame = Frame();
  if (InPrelude()) {
    // The game's start-up before a stage's run: every reading is the one
    // the stage's first step is measured from.
    fLastCounter = frame.Counters.empty() ? 0 : frame.Counters.back();
    if (!fFirstRecorded) {
      fFirstRecorded = fLastCounter;
      fFirstReal = Inner().PerformanceCounter();
    }
    return fLastCounter;
  }
  if (fCounterIndex < frame.Counters.size()) {
    fLastCounter = frame.Counters[fCounterIndex++];
    if (!fFirstRecorded) {
      fFirstRecorded = fLastCounter;
      fFirstReal = Inner().PerformanceCounter();
    }
  } else {
    Diverge();
  }
  return fLastCounter;
}

bool TReplayPlatform::IsVirtualKeyDown(int vk) {
  return vk >= 0 && vk < 256 && Frame().Keys[static_cast<std::size_t>(vk)];
}

int TReplayPlatform::VirtualKeyForChar(char ch) { return fRecording.CharKeys[static_cast<uint8_t>(ch)]; }

void TReplayPlatform::GetCursorPos(int& x, int& y) {
  x = fCursorX;
  y = fCursorY;
}

void TReplayPlatform::TakeCursor() {
  // Recorded as the offset from the centre of the recorded desktop; the game
  // measures it from the centre of this window's client area.
  const TScreenSize client = Inner().ClientSize();
  fCursorX = Frame().CursorX - fRecording.ScreenWidth / 2 + client.Width / 2;
  fCursorY = Frame().CursorY - fRecording.ScreenHeight / 2 + client.Height / 2;
}

void TReplayPlatform::SetCursorPos(int x, int y) {
  fCursorX = x;
  fCursorY = y;
}

TEvents TReplayPlatform::PumpEvents() {
  // Clock readings or seeds the recorded frame had and this one did not ask
  // for: the game took another path.
  if (!InPrelude() && (fCounterIndex != Frame().Counters.size() || fSeedIndex != Frame().Seeds.size())) Diverge();
  TEvents events = Inner().PumpEvents();
  if (Finished()) {
    events.Quit = true;
    return events;
  }
  ++fFrame;
  fCounterIndex = fSeedIndex = 0;
  TakeCursor();
  if (Frame().Quit) events.Quit = true;
  if (fPace == TReplayPace::Recorded) WaitForRecordedTime();
  return events;
}

void TReplayPlatform::WaitForRecordedTime() {
  if (!fFirstRecorded || Frame().Counters.empty()) return;
  const double due = static_cast<double>(Frame().Counters.front() - *fFirstRecorded) /
                     static_cast<double>(fRecording.Frequency);
  const double frequency = static_cast<double>(Inner().PerformanceFrequency());
  for (;;) {
    const double now = static_cast<double>(Inner().PerformanceCounter() - fFirstReal) / frequency;
    if (now >= due) return;
    if (due - now > 0.25) {
      // A long recorded pause (the window was in the background) is not
      // waited out: the replay's clock moves on to it.
      fFirstReal -= static_cast<uint64_t>((due - now) * frequency);
      return;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(std::min(due - now, 0.005)));
  }
}

void TReplayPlatform::WaitForEvents(int timeoutMs) {
  if (fPace == TReplayPace::Recorded) Inner().WaitForEvents(timeoutMs);
}

int TReplayPlatform::GetSwapInterval() {
  return fPace == TReplayPace::Fastest ? fSwapInterval : Inner().GetSwapInterval();
}

void TReplayPlatform::SetSwapInterval(int interval) {
  if (fPace == TReplayPace::Fastest) {
    fSwapInterval = interval;
  } else {
    Inner().SetSwapInterval(interval);
  }
}

uint32_t TReplayPlatform::RandomSeed() {
  // Before a stage's run the seeds the start-up asks for do not matter:
  // the stage's start reseeds with the recorded one.
  if (InPrelude()) return fRecording.StageSeed;
  const TRecordedFrame& frame = Frame();
  if (fSeedIndex < frame.Seeds.size()) return frame.Seeds[fSeedIndex++];
  Diverge();
  return 0;
}

std::optional<uint32_t> TReplayPlatform::RecordedChecksum() const {
  if (!Frame().HasChecksum) return std::nullopt;
  return Frame().Checksum;
}

void TReplayPlatform::Diverge() {
  if (!fDivergedAt) fDivergedAt = fFrame;
}

}  // namespace platform
