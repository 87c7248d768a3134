// HeadlessPlatform.cpp -- the clock and the few states a window would keep.
#include "platform/HeadlessPlatform.h"

#include <chrono>
#include <utility>

namespace platform {

THeadlessPlatform::THeadlessPlatform(std::string basePath, TScreenSize screen)
    : fBasePath(std::move(basePath)), fScreen(screen), fContext(NewGLContextNumber()) {
  fCursorX = fScreen.Width / 2;
  fCursorY = fScreen.Height / 2;
  SetCurrentGLPlatform(this);
}

THeadlessPlatform::~THeadlessPlatform() {
  if (CurrentGLPlatform() == this) SetCurrentGLPlatform(nullptr);
}

uint64_t THeadlessPlatform::PerformanceCounter() {
  return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

uint64_t THeadlessPlatform::PerformanceFrequency() {
  using period = std::chrono::steady_clock::period;
  return static_cast<uint64_t>(period::den / period::num);
}

void THeadlessPlatform::GetCursorPos(int& x, int& y) {
  x = fCursorX;
  y = fCursorY;
}

void THeadlessPlatform::SetCursorPos(int x, int y) {
  fCursorX = x;
  fCursorY = y;
}

TEvents THeadlessPlatform::PumpEvents() {
  TEvents events;
  events.Quit = fClosed;
  return events;
}

uint32_t THeadlessPlatform::RandomSeed() { return static_cast<uint32_t>(PerformanceCounter()); }

}  // namespace platform
