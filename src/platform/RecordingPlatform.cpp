// RecordingPlatform.cpp -- input sampled after each pump, clock readings and
// seeds as they are asked for.
#include "platform/RecordingPlatform.h"

#include <utility>

namespace platform {

TRecordingPlatform::TRecordingPlatform(TPlatform& inner, TRecording start)
    : TPlatformDecorator(inner), fRecording(std::move(start)) {
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
  return counter;
}

int TRecordingPlatform::VirtualKeyForChar(char ch) {
  return fRecording.CharKeys[static_cast<uint8_t>(ch)];
}

TEvents TRecordingPlatform::PumpEvents() {
  const TEvents events = Inner().PumpEvents();
  TRecordedFrame& frame = fRecording.Frames.emplace_back();
  SampleInput(frame);
  frame.Quit = events.Quit;
  return events;
}

uint32_t TRecordingPlatform::RandomSeed() {
  const uint32_t seed = Inner().RandomSeed();
  fRecording.Frames.back().Seeds.push_back(seed);
  return seed;
}

void TRecordingPlatform::AddChecksum(uint32_t checksum) {
  fRecording.Frames.back().HasChecksum = true;
  fRecording.Frames.back().Checksum = checksum;
}

}  // namespace platform
